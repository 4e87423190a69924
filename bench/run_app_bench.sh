#!/usr/bin/env bash
# Builds (if needed) and runs app_bench under Wine on a 24-megapixel
# (6000 x 4000) and a 200-megapixel (16320 x 12240) JPEG, made by streaming
# rows into cjpeg, and prints the ratios the preview is held to:
#   a zoom step at 200 MP within 2x the step at 24 MP;
#   a zoom step at 24 MP at most a tenth of the whole-picture render;
#   a first open at most 1.15x the bare decode;
# and the memory headline: the private peak against the picture's 32-bit size.
# Usage: bench/run_app_bench.sh [build-dir]   (default build/win)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/win}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j"${QUORVEL_JOBS:-2}" --target app_bench >/dev/null
dir="$root/build/bench"
mkdir -p "$dir"
photos=()
for size in 6000x4000 16320x12240; do
  photo="$dir/stream-$size.jpg"
  if [ ! -f "$photo" ]; then
    python3 "$root/tests/e2e/stream_picture.py" "${size%x*}" "${size#*x}" | /usr/bin/cjpeg -quality 85 >"$photo.tmp"
    mv "$photo.tmp" "$photo"
  fi
  photos+=("$(winepath -w "$photo" 2>/dev/null || echo "Z:$photo" | tr / '\\')")
done
export WINEPREFIX="${QUORVEL_WINEPREFIX:-$build/wineprefix}"
cd "$build/bin"
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
"$root/scripts/wine-run" "$build/bin/app_bench.exe" "${photos[@]}" | tr -d '\r' | tee "$out"
# Ratios against the targets, from the figures above.
awk '
  /^[^ ]/ && /megapixels/ { n++ }
  /first open \(cold/ { first[n] = $(NF) }
  /first open: [0-9]+ decode/ { decodes[n] = $3 }
  /longest unanswered, open/ { for (i = 1; i <= NF; i++) if ($i == "ms") { unanswered[n] = $(i - 1); break } }
  /memory: peak private/ { for (i = 1; i <= NF; i++) if ($i ~ /x$/ && $(i - 1) == "MB,") { priv[n] = $i; break } }
  /zoom out step.*whole picture/ { full[n] = $(NF) ; for (i = 1; i <= NF; i++) if ($i == "ms") { zoom[n] = $(i - 1); break } }
  END {
    printf "targets:\n"
    printf "  zoom step 200 MP / 24 MP       %6.2f  (target <= 2)\n", zoom[2] / zoom[1]
    printf "  zoom step 24 MP / whole render %6.3f  (target <= 0.1)\n", full[1]
    printf "  first open / bare decode       %6.3f  %6.3f  (target <= 1.15)\n", first[1], first[2]
    printf "  decodes of the first open      %6d  %6d  (target 1)\n", decodes[1], decodes[2]
    printf "  longest unanswered, 200 MP     %6.1f ms      (target <= 500)\n", unanswered[2]
    printf "  peak private / 32-bit picture  %6s  %6s\n", priv[1], priv[2]
  }' "$out"

# A portrait photo as a camera stores it: the 24-megapixel photo tagged to be
# turned a quarter clockwise, against the same photo untagged. Each is the
# first open of a fresh process (the turn happens while the pixels are
# copied into the one kept copy), alternately three times; the medians, their
# ratio, and the private peak of both, which the turn must not grow.
portrait="$dir/stream-6000x4000-o6.jpg"
[ -f "$portrait" ] || python3 "$root/tests/e2e/tag_orientation.py" "$dir/stream-6000x4000.jpg" "$portrait" 6
turned="$(mktemp)"
trap 'rm -f "$out" "$turned"' EXIT
for run in 1 2 3; do
  for photo in "$dir/stream-6000x4000.jpg" "$portrait"; do
    "$root/scripts/wine-run" "$build/bin/app_bench.exe" "$(winepath -w "$photo" 2>/dev/null)" | tr -d '\r' |
      grep -E 'megapixels|first open|memory: peak|did not do' | sed "s|^|$(basename "$photo") |" >>"$turned"
  done
done
grep 'did not do' "$turned" && echo "!! a step of the portrait comparison did not do its work"
awk '
  function median(a, n,   i, j, t) {
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
    return a[int((n + 1) / 2)]
  }
  { tagged = $1 ~ /-o6/ }
  /megapixels/ { size[tagged] = $3 " x " $5 }
  /first open \(cold/ { if (tagged) t[++nt] = $6; else u[++nu] = $6 }
  /memory: peak/ { if (tagged) pt = $10 > pt ? $10 : pt; else pu = $10 > pu ? $10 : pu }
  END {
    mu = median(u, nu); mt = median(t, nt)
    printf "portrait photo (orientation 6), first open of a fresh process, median of %d:\n", nt
    printf "  untagged %s  %7.1f ms   tagged %s (upright)  %7.1f ms   ratio %6.3f  (target <= 1.10)\n", size[0], mu, size[1], mt, mt / mu
    printf "  peak private: untagged %s MB, tagged %s MB  (target: not grown)\n", pu, pt
    if (size[1] != "4000 x 6000") print "  !! the tagged photo did not open upright"
  }' "$turned"
