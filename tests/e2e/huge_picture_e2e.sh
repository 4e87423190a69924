#!/usr/bin/env bash
# Photos of the sizes today's phones and cameras make, through the real
# program: a 200-megapixel (16320 x 12240) and a 100-megapixel
# (12000 x 9000) JPEG, made by streaming rows into cjpeg so that no tool
# holds the whole picture. Each opens at its own size with the centre of the
# photo on the screen (the 200-megapixel one while the window keeps answering
# within half a second); the 200-megapixel one pans to its far right and
# bottom and zooms out. Every crop the simulated handheld receives is
# compared with libjpeg-turbo's own decode of the same part of the file. A
# JPEG with stray bytes between its segments opens as well; one whose header
# claims more than the bounds leaves the program usable.
source "$(dirname "$0")/lib.sh"
DJPEG=/usr/bin/djpeg CJPEG=/usr/bin/cjpeg CONVERT=/usr/bin/convert COMPARE=/usr/bin/compare
for t in "$DJPEG" "$CJPEG" "$CONVERT" "$COMPARE"; do [ -x "$t" ] || fail "$t is missing"; done

make_photo() { python3 "$E2E_ROOT/tests/e2e/stream_picture.py" "$2" "$3" | "$CJPEG" -quality 85 >"$1"; }
rmse() { { "$COMPARE" -metric RMSE "$1" "$2" null: 2>&1 || true; } | sed -E 's/.*\(([0-9.e+-]+)\).*/\1/'; }
lt() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
mean_rgb() {
  "$CONVERT" "$1" ${2:+-crop "$2"} +repage -format '%[fx:int(255*mean.r+.5)] %[fx:int(255*mean.g+.5)] %[fx:int(255*mean.b+.5)]' info:
}
fields() { echo "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)"; }
# The part of the file at (x, y), w x h, as libjpeg-turbo decodes it.
reference() { # jpeg x y w h out
  "$DJPEG" -crop "${4}x${5}+${2}+${3}" "$1" >"$WORK/ref-full.ppm"
  local fw; fw="$(head -c 20 "$WORK/ref-full.ppm" | sed -n 2p | cut -d' ' -f1)"
  # djpeg moves the left edge back to a block boundary and widens the cut.
  "$CONVERT" "$WORK/ref-full.ppm" -crop "${4}x${5}+$((fw - $4))+0" +repage "$6"
}
# Sends the picture and checks that the handheld got the part at (x, y) of
# the file, 320 x 240, to the pixel (one pixel off is clearly worse).
send_and_check() { # name x y what
  rm -f "$WORK/received/$1.jpg"
  drv click "$MAIN" 1006 || fail "$4: Send is not enabled"
  expect_eq "$(drv msgbox "$MAIN" 30000)" "Image has been sent successfully" "$4: send"
  [ -f "$WORK/received/$1.jpg" ] || fail "$4: nothing received"
  reference "$WORK/$1.jpg" "$2" "$3" 320 240 "$WORK/expected.png"
  reference "$WORK/$1.jpg" "$(($2 - 1))" "$(($3 - 1))" 320 240 "$WORK/shifted.png"
  local good bad
  good="$(rmse "$WORK/received/$1.jpg" "$WORK/expected.png")"
  bad="$(rmse "$WORK/received/$1.jpg" "$WORK/shifted.png")"
  lt "$good" 0.05 && lt "$(awk -v a="$good" 'BEGIN { print 1.5 * a }')" "$bad" ||
    fail "$4: received picture is not the part at ($2, $3) (RMSE $good, one pixel off $bad)"
}
# The device-screen pane as the screen shows it: not white.
screen_not_white() {
  local r; read -r -a r <<<"$(rect_of 140)"
  screenshot "$1"
  local m; m="$(mean_rgb "$SCREENS/$1.png" "$((r[2] - r[0]))x$((r[3] - r[1]))+${r[0]}+${r[1]}")"
  local red green blue; read -r red green blue <<<"$m"
  [ "$red" -lt 235 ] || [ "$green" -lt 235 ] || [ "$blue" -lt 235 ] || fail "$1: the screen is white ($m)"
}

make_photo "$WORK/photo200.jpg" 16320 12240 &
make_photo "$WORK/photo100.jpg" 12000 9000 &
wait %1 || fail "no 200-megapixel photo"
wait %2 || fail "no 100-megapixel photo"
# Stray bytes between two segments, which common decoders skip.
"$CONVERT" -size 64x48 gradient:red-blue "$WORK/plain.jpg"
python3 - "$WORK/plain.jpg" "$WORK/stray.jpg" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
at = data.index(b"\xff\xdb")  # before the first quantisation table
open(sys.argv[2], "wb").write(data[:at] + b"\x00\r\nstray" + data[at:])
PY

use_handheld "screen_reply=height=240 width=320"
start_app
drv wait "$MAIN" 20000 >/dev/null || fail "main window did not appear"
drv click "$MAIN" 1002
wait_status Connected

open_picture "$WORK/stray.jpg"
expect_eq "$(fields)" "64 48" "a JPEG with stray bytes opens"

# 200 megapixels, decoded while the window answers within half a second at
# every moment (a message every 20 ms until the title names the photo).
drv click "$MAIN" 1004 || fail "Open picture is not clickable"
drv openfile "Open" "$(winepath -w "$WORK/photo200.jpg")" 20000 || fail "no file dialog"
read -r longest pings <<<"$(drv responsive "$MAIN" "photo200.jpg" 120000)" || fail "the 200-megapixel photo never opened"
echo "200 MP open: the window answered $pings messages, the longest after $longest ms"
[ "$pings" -ge 10 ] || fail "the decode was over before it could be watched ($pings messages)"
[ "$longest" -le 500 ] || fail "the window took $longest ms to answer during the decode"
wait_title "$MAIN - photo200.jpg"
# Its own size, centred: the part at (8000, 6000) is shown and sent.
expect_eq "$(fields)" "16320 12240" "size fields of the 200-megapixel photo"
expect_eq "$(offset_of 139 140)" "-8000 -6000 16320 12240" "200-megapixel photo centred"
screen_not_white huge-200mp-centre
send_and_check photo200 8000 6000 "centre of 200 MP"

# Far right and bottom.
drv sendscroll "$MAIN" 138 h 7
drv sendscroll "$MAIN" 138 v 7
expect_eq "$(offset_of 139 140)" "-16000 -12000 16320 12240" "panned to the far right and bottom"
screen_not_white huge-200mp-bottom-right
send_and_check photo200 16000 12000 "bottom right of 200 MP"

# Zoom out: 14688 x 11016, centred again; the crop's mean colour is that of
# the same place in the file (red and green grow across the photo).
drv click "$MAIN" 1030
wait_eq fields "14688 11016" "zoomed out"
expect_eq "$(offset_of 139 140)" "-7184 -5388 14688 11016" "zoomed out, centred"
screen_not_white huge-200mp-zoomed-out
rm -f "$WORK/received/photo200.jpg"
drv click "$MAIN" 1006
expect_eq "$(drv msgbox "$MAIN" 30000)" "Image has been sent successfully" "send after zoom out"
# The crop covers the file's part from 7184 / 0.9 = 7982 to 7540 / 0.9 = 8378 across.
reference "$WORK/photo200.jpg" 7982 5987 355 266 "$WORK/expected-zoom.png"
read -r r1 g1 _ <<<"$(mean_rgb "$WORK/received/photo200.jpg")"
read -r r2 g2 _ <<<"$(mean_rgb "$WORK/expected-zoom.png")"
[ $((r1 - r2)) -le 2 ] && [ $((r2 - r1)) -le 2 ] && [ $((g1 - g2)) -le 2 ] && [ $((g2 - g1)) -le 2 ] ||
  fail "zoomed-out crop has mean red/green $r1/$g1, the file's part $r2/$g2"

# 100 megapixels, opened after the 200-megapixel one.
open_picture "$WORK/photo100.jpg"
expect_eq "$(fields)" "12000 9000" "size fields of the 100-megapixel photo"
screen_not_white huge-100mp-centre
send_and_check photo100 5840 4380 "centre of 100 MP"

# A header that claims more than the bounds: nothing is allocated for it, the
# preview stays white, the sizes read 0 and Send fails as it does for any
# picture that cannot be decoded; the program goes on.
printf '\xff\xd8\xff\xc0\x00\x11\x08\xff\xff\xff\xff\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xff\xd9' >"$WORK/forged.jpg"
open_picture "$WORK/forged.jpg"
expect_eq "$(fields)" "0 0" "sizes of a picture beyond the bounds"
drv click "$MAIN" 1006
expect_eq "$(drv msgbox "$MAIN" 30000)" $'The prepared picture could not be read.\nIt has not been sent' "Send of a picture beyond the bounds"
while drv msgbox "" 2000 >/dev/null 2>&1; do :; done
wait_status Disconnected

drv command "$MAIN" 32773
expect_exit 0
echo "huge pictures: ok"
