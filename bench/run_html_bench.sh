#!/usr/bin/env bash
# Runs html_bench under Wine: measuring and drawing each of the program's
# tooltip texts (and the About text) with the HTML renderer, next to a plain
# GDI DrawText of the same words, and their ratio. It also writes the
# rendered texts to build/screens/html/tooltips.bmp (and .png when
# ImageMagick is there) for people to look at.
#
#   bench/run_html_bench.sh [rounds]
#
# QUORVEL_BIN names the folder with html_bench.exe (default build/win/bin);
# it is built first when that is the default build folder. Without DISPLAY,
# scripts/wine-run starts Xvfb by itself.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${QUORVEL_BIN:-$root/build/win/bin}"
if [ -z "${QUORVEL_BIN:-}" ] && [ -d "$root/build/win" ]; then
  cmake --build "$root/build/win" -j2 --target html_bench >/dev/null
fi
if [ ! -f "$bin/html_bench.exe" ]; then
  echo "missing $bin/html_bench.exe (build the Windows tree first: scripts/build)" >&2
  exit 1
fi
out="$root/build/screens/html"
mkdir -p "$out"
"$root/scripts/wine-run" "$bin/html_bench.exe" "$@" --picture "Z:$out/tooltips.bmp"
if command -v /usr/bin/convert >/dev/null; then
  /usr/bin/convert "$out/tooltips.bmp" "$out/tooltips.png" 2>/dev/null || true
fi
