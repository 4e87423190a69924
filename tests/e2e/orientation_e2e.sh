#!/usr/bin/env bash
# A portrait photo as a camera stores it: 600 x 400 pixels in landscape
# order, tagged with orientation 6 (to be turned a quarter clockwise). The
# program shows it upright (size fields 400 and 600, the preview upright)
# and the handheld receives the centre crop of the upright photo. The
# reference is made and the received file decoded by ImageMagick, not by us.
# Then an icon, a format only the platform's imaging components decode, is
# dropped, opens at its size and is sent.
source "$(dirname "$0")/lib.sh"

win() { winepath -w "$1"; }
size() { echo "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)"; }
rmse() {
  local out
  out="$(/usr/bin/compare -metric RMSE "$1" "$2" null: 2>&1 || true)"
  sed -n 's/.*(\(.*\)).*/\1/p' <<<"$out"
}

make_card "$WORK/card.png" 600 400
/usr/bin/convert "$WORK/card.png" -quality 95 "$WORK/stored.jpg"
python3 "$E2E_ROOT/tests/e2e/tag_orientation.py" "$WORK/stored.jpg" "$WORK/portrait.jpg" 6
expect_eq "$(/usr/bin/identify -format '%[orientation] %w %h' "$WORK/portrait.jpg")" "RightTop 600 400" "the tagged photo"
/usr/bin/convert "$WORK/portrait.jpg" -auto-orient "$WORK/upright.png"
expect_eq "$(/usr/bin/identify -format '%w %h' "$WORK/upright.png")" "400 600" "ImageMagick's upright photo"

use_handheld "screen_reply=height=240 width=320"
start_app "$(win "$WORK/portrait.jpg")"
drv wait "$MAIN - portrait.jpg" 20000 >/dev/null || fail "the photo did not open"
expect_eq "$(size)" "400 600" "size fields of the portrait photo"
drv click "$MAIN" 1002 || fail "Connect is not clickable"
wait_status "Connected"
# Upright and centred on the 320 x 240 screen.
expect_eq "$(offset_of 139 140)" "-40 -180 400 600" "portrait centred on the screen"
screenshot orientation-portrait

drv click "$MAIN" 1006 || fail "Send is not enabled"
expect_eq "$(drv msgbox "$MAIN" 30000)" "Image has been sent successfully" "success message"
[ -f "$WORK/received/portrait.jpg" ] || fail "nothing received: $(cat "$WORK/trace.txt")"
expect_eq "$(/usr/bin/identify -format '%w %h' "$WORK/received/portrait.jpg")" "320 240" "received picture size"

# The centre crop of the upright photo; the same crop of the photo as
# stored (turned the other way) must fit clearly worse.
/usr/bin/convert "$WORK/upright.png" -crop 320x240+40+180 +repage "$WORK/expected.png"
/usr/bin/convert "$WORK/upright.png" -rotate 180 -crop 320x240+40+180 +repage "$WORK/wrong.png"
good="$(rmse "$WORK/received/portrait.jpg" "$WORK/expected.png")"
bad="$(rmse "$WORK/received/portrait.jpg" "$WORK/wrong.png")"
echo "RMSE against the upright centre crop $good, against the photo turned the other way $bad"
awk -v g="$good" -v b="$bad" 'BEGIN { exit !(g != "" && g < 0.09 && b > 3 * g) }' ||
  fail "received picture is not the upright centre crop (RMSE $good, other way $bad)"

make_card "$WORK/card64.png" 64 48
/usr/bin/convert "$WORK/card64.png" "$WORK/card.ico"
expect_eq "$(/usr/bin/identify -format '%m %w %h' "$WORK/card.ico")" "ICO 64 48" "the icon"
drv drop "$MAIN" 0 "$(win "$WORK/card.ico")" || fail "drop of the icon failed"
wait_eq size "64 48" "size of the dropped icon"
drv click "$MAIN" 1006 || fail "Send is not enabled for the icon"
expect_eq "$(drv msgbox "$MAIN" 30000)" "Image has been sent successfully" "icon sent"
expect_eq "$(/usr/bin/identify -format '%w %h' "$WORK/received/card.jpg")" "64 48" "received icon size"
/usr/bin/convert "$WORK/card64.png" -depth 8 "$WORK/icon-expected.png"
icon="$(rmse "$WORK/received/card.jpg" "$WORK/icon-expected.png")"
echo "RMSE of the received icon $icon"
awk -v g="$icon" 'BEGIN { exit !(g != "" && g < 0.12) }' || fail "received icon is not the icon (RMSE $icon)"

drv close "$MAIN"
expect_exit 0
echo "orientation: ok"
