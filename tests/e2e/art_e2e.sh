#!/usr/bin/env bash
# The program's pictures as an independent reader sees them: every icon holds
# a 32 x 32 and a 16 x 16 image, the handheld bitmaps are 324 x 270 at 24 bits
# with the screen area one flat colour exactly at (39, 58) 248 x 159, the
# cursor is 32 x 32. Each is written to build/screens/art/ as PNG for people
# to look at.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
art="$root/resources/art"
out="$root/build/screens/art"
mkdir -p "$out"
fail() { echo "FAIL [art]: $*" >&2; exit 1; }

for ico in "$art"/icon*.ico; do
  sizes="$(/usr/bin/identify -format '%wx%h ' "$ico")"
  [[ "$sizes" == *"32x32"* && "$sizes" == *"16x16"* ]] || fail "$(basename "$ico") holds $sizes"
  /usr/bin/convert "$ico[0]" -scale 400% "$out/$(basename "$ico" .ico).png"
done
for bmp in handheld153 handheld154; do
  info="$(/usr/bin/identify -format '%wx%h %[bit-depth] %[channels]' "$art/$bmp.bmp")"
  [[ "$info" == "324x270 8 srgb"* ]] || fail "$bmp.bmp is $info"
  # The screen area is one flat colour: its crop has a single colour.
  colours="$(/usr/bin/convert "$art/$bmp.bmp" -crop 248x159+39+58 +repage -unique-colors -format '%w' info:)"
  [ "$colours" = 1 ] || fail "$bmp.bmp screen area has $colours colours"
  /usr/bin/convert "$art/$bmp.bmp" "$out/$bmp.png"
done
/usr/bin/cmp -s "$art/handheld153.bmp" "$art/handheld154.bmp" && fail "connected and disconnected looks are the same"
cur="$(/usr/bin/identify -format '%wx%h' "$art/cursor1018.cur[0]")"
[ "$cur" = 32x32 ] || fail "cursor is $cur"
/usr/bin/convert "$art/cursor1018.cur[0]" -scale 400% "$out/cursor1018.png"
# One contact sheet of all icons.
/usr/bin/montage "$out"/icon*.png -tile 6x -geometry +8+8 -background '#f0f0f0' "$out/icons.png" 2>/dev/null || true
echo "art: ok"
