#!/usr/bin/env bash
# Builds (if needed) and runs app_bench under Wine on a 24-megapixel
# photo-like JPEG made with ImageMagick.
# Usage: bench/run_app_bench.sh [build-dir]   (default build/win)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/win}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j"${QUORVEL_JOBS:-2}" --target app_bench >/dev/null
photo="$root/build/bench/photo24mp.jpg"
mkdir -p "$(dirname "$photo")"
if [ ! -f "$photo" ]; then
  /usr/bin/convert -size 6000x4000 plasma:fractal -blur 0x2 -quality 90 "$photo"
fi
export WINEPREFIX="${QUORVEL_WINEPREFIX:-$build/wineprefix}"
cd "$build/bin"
exec "$root/scripts/wine-run" "$build/bin/app_bench.exe" "$(winepath -w "$photo" 2>/dev/null || echo "Z:$photo" | tr / '\\')" "${2:-3}"
