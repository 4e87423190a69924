#!/usr/bin/env bash
# Runs tooltip_bench under Wine: the time from the end of a tooltip's initial
# delay to its first paint and the cost of one fade step, next to a plain
# copy of the tip's pixels measured in the same run.
#
#   bench/run_tooltip_bench.sh [repetitions]
#
# QUORVEL_BIN names the folder with tooltip_bench.exe (default build/win/bin);
# it is built first when that is the default build folder. Without DISPLAY,
# scripts/wine-run starts Xvfb by itself.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${QUORVEL_BIN:-$root/build/win/bin}"
if [ -z "${QUORVEL_BIN:-}" ] && [ -d "$root/build/win" ]; then
  cmake --build "$root/build/win" -j2 --target tooltip_bench >/dev/null
fi
if [ ! -f "$bin/tooltip_bench.exe" ]; then
  echo "missing $bin/tooltip_bench.exe (build the Windows tree first: scripts/build)" >&2
  exit 1
fi
exec "$root/scripts/wine-run" "$bin/tooltip_bench.exe" "$@"
