#!/usr/bin/env bash
# Builds (if needed) and runs transfer_bench under Wine: the time to send a
# 64000-byte picture to the simulated handheld with no delay and with 2 ms
# per answer, against the stop-and-wait floor of 65 answers.
#
# Usage: bench/run_transfer_bench.sh [build-dir]   (default build/win)
# The build folder must be configured with cmake/mingw-w64.cmake; its
# bin/ must hold, or be able to build, transfer_bench.exe and handheld_sim.dll.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/win}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j"${QUORVEL_JOBS:-2}" --target transfer_bench handheld_sim >/dev/null

exec "$root/scripts/wine-run" "$build/bin/transfer_bench.exe"
