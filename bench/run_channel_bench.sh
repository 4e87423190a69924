#!/usr/bin/env bash
# Runs channel_bench under Wine: the time of one 1006-byte block round trip
# through UsbChannel against the simulated handheld, next to the same
# exchange made directly on the simulator's interfaces, and the bare
# hand-offs of the channel's design (thread messages to a worker with an
# event back, a notification from a third thread), with the channel's ratio
# to each.
#
#   bench/run_channel_bench.sh [round trips]
#
# QUORVEL_BIN names the folder with channel_bench.exe and handheld_sim.dll
# (default build/win/bin); they are built first when that is the default
# build folder. Without DISPLAY, scripts/wine-run starts Xvfb by itself.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${QUORVEL_BIN:-$root/build/win/bin}"
if [ -z "${QUORVEL_BIN:-}" ] && [ -d "$root/build/win" ]; then
  cmake --build "$root/build/win" -j2 --target channel_bench handheld_sim >/dev/null
fi
for f in channel_bench.exe handheld_sim.dll; do
  if [ ! -f "$bin/$f" ]; then
    echo "missing $bin/$f (build the Windows tree first: scripts/build)" >&2
    exit 1
  fi
done
exec "$root/scripts/wine-run" "$bin/channel_bench.exe" "$@"
