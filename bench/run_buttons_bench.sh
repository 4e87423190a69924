#!/usr/bin/env bash
# Runs buttons_bench under Wine: the time to paint the main window's eight
# textured buttons, next to DrawIconEx of the same eight icons.
#
#   bench/run_buttons_bench.sh [rounds]
#
# QUORVEL_BIN names the folder with buttons_bench.exe (default build/win/bin,
# built first). Without DISPLAY, scripts/wine-run starts Xvfb by itself.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${QUORVEL_BIN:-$root/build/win/bin}"
if [ -z "${QUORVEL_BIN:-}" ] && [ -d "$root/build/win" ]; then
  cmake --build "$root/build/win" -j2 --target buttons_bench >/dev/null
fi
[ -f "$bin/buttons_bench.exe" ] || { echo "missing $bin/buttons_bench.exe (build the Windows tree first: scripts/build)" >&2; exit 1; }
exec "$root/scripts/wine-run" "$bin/buttons_bench.exe" "$@"
