#!/usr/bin/env bash
# Runs bench/image_ops_bench.cpp under Wine on a 24-megapixel photo-like JPEG
# and ImageMagick's convert doing the same three jobs on the same file, and
# prints both side by side with ratios (ours / ImageMagick):
#   load     decode the picture and learn its size
#   fitted   decode, fit into 320 x 240 on white (the preview)
#   prepare  decode, cut the 320 x 240 screen out of the picture shown at its
#            own size and centred, reduce to 5 bits per channel, JPEG
# Our figures are measured inside the process (Wine's start-up excluded);
# ImageMagick's are whole runs of convert. Each job runs three times; the
# best time is shown. "warm" is ours with the decoded picture kept (zoom
# steps and Image size on the current picture), which ImageMagick has no
# counterpart for.
#
#   bench/run_image_bench.sh            (after scripts/build)
#   QUORVEL_BIN=build/win-x/bin bench/run_image_bench.sh
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BIN="${QUORVEL_BIN:-$ROOT/build/win/bin}"
export WINEPREFIX="${QUORVEL_WINEPREFIX:-$ROOT/build/win/wineprefix}"
export WINEDEBUG=-all
CONVERT=/usr/bin/convert
WORK="$ROOT/build/bench"
PHOTO="$WORK/photo24.jpg"
RUNS=3

[ -x "$CONVERT" ] || { echo "ImageMagick is missing (scripts/setup installs it)" >&2; exit 1; }
[ -f "$BIN/image_ops_bench.exe" ] || { echo "$BIN/image_ops_bench.exe is not built" >&2; exit 1; }
XVFB_PID=""
if [ -z "${DISPLAY:-}" ]; then
  read -r DISPLAY XVFB_PID < <("$ROOT/scripts/xvfb-start")
  export DISPLAY
fi
trap '[ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true' EXIT
"$ROOT/scripts/wine-prefix" "$WINEPREFIX"
mkdir -p "$WORK/out"

if [ ! -f "$PHOTO" ]; then
  # Smooth fractal structure with fine grain: compresses like a camera picture.
  "$CONVERT" -seed 1 -size 1500x1000 plasma:fractal -resize '6000x4000!' -attenuate 0.4 +noise Gaussian \
    -quality 90 "$PHOTO"
fi
win() { printf 'Z:%s' "${1//\//\\}"; }

# ImageMagick's job: best elapsed seconds and largest resident size (MB).
im_run() {
  local best=999999 peak=0 t m
  for _ in $(seq "$RUNS"); do
    read -r t m < <({ /usr/bin/time -f '%e %M' "$CONVERT" "$@" >/dev/null; } 2>&1 | tail -n 1)
    best="$(awk -v a="$best" -v b="$t" 'BEGIN { print (b < a) ? b : a }')"
    peak="$(awk -v a="$peak" -v b="$m" 'BEGIN { print (b > a) ? b : a }')"
  done
  awk -v t="$best" -v m="$peak" 'BEGIN { printf "%.1f %.1f\n", t * 1000, m / 1024 }'
}

# Ours: best cold and warm milliseconds, largest peak (MB).
ours_run() {
  local job="$1" cold=999999 warm=999999 peak=0 line c w p
  for _ in $(seq "$RUNS"); do
    line="$(wine "$BIN/image_ops_bench.exe" "$(win "$PHOTO")" "$job" "$(win "$WORK/out")" | tr -d '\r' |
            grep -E "^$job +cold")"
    case "$line" in *FAILED*) echo "our $job failed: $line" >&2; exit 1 ;; esac
    read -r c w p < <(awk '{ print $3, $6, $9 }' <<<"$line")
    cold="$(awk -v a="$cold" -v b="$c" 'BEGIN { print (b < a) ? b : a }')"
    warm="$(awk -v a="$warm" -v b="$w" 'BEGIN { print (b < a) ? b : a }')"
    peak="$(awk -v a="$peak" -v b="$p" 'BEGIN { print (b > a) ? b : a }')"
  done
  echo "$cold $warm $peak"
}

read -r width height < <("$CONVERT" "$PHOTO" -ping -format '%w %h\n' info:)
left=$(( (width - 320) / 2 )) top=$(( (height - 240) / 2 ))
echo "picture: $PHOTO, ${width} x ${height}, $(( $(stat -c %s "$PHOTO") / 1024 )) KB"
echo "ImageMagick: $("$CONVERT" -version | head -n 1 | cut -d' ' -f2-4), $("$CONVERT" -list resource | awk '/Thread/ { print $2 }') threads"
echo
printf '%-8s | %10s %10s %10s | %10s %10s | %9s %9s\n' job "ours cold" "ours warm" "IM" "ours peak" "IM peak" "time" "memory"
printf '%-8s | %10s %10s %10s | %10s %10s | %9s %9s\n' "" ms ms ms MB MB ratio ratio
for job in load fitted prepare; do
  case "$job" in
    load) im=("$PHOTO" -format '%w %h\n' info:) ;;
    fitted) im=("$PHOTO" -resize 320x240 -background white -gravity center -extent 320x240 "BMP3:$WORK/out/im-fitted.bmp") ;;
    prepare) im=("$PHOTO" -crop "320x240+$left+$top" +repage -posterize 32 "$WORK/out/im-prepared.jpg") ;;
  esac
  read -r cold warm peak < <(ours_run "$job")
  read -r imt imm < <(im_run "${im[@]}")
  awk -v j="$job" -v c="$cold" -v w="$warm" -v t="$imt" -v p="$peak" -v m="$imm" 'BEGIN {
    printf "%-8s | %10.1f %10.1f %10.1f | %10.1f %10.1f | %9.2f %9.2f\n", j, c, w, t, p, m, c / t, p / m }'
done
echo
echo "ratios: ours cold / ImageMagick (below 1: we are faster or smaller)"
