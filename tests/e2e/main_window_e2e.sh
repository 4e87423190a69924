#!/usr/bin/env bash
# The main window with the simulated handheld: the start state and pane
# geometry, opening a picture through the real file dialog, zoom, Image size,
# connecting with two screen sizes, panning by scroll bar and by dragging,
# Disconnect, and Exit after a connection.
source "$(dirname "$0")/lib.sh"


use_handheld "screen_reply=height=240 width=320"
make_card "$WORK/card.png" 600 100
make_card "$WORK/wide.png" 400 200

start_app
drv wait "$MAIN" 20000 >/dev/null || fail "main window did not appear"
expect_eq "$(drv status "$MAIN")" "Disconnected" "status at start"
#            connect disconnect open size send mail zoomin zoomout
expect_eq "$(enabled_set)" "10100011" "buttons at start"
expect_eq "$(drv client "$MAIN" 138)" "313 271" "handheld pane for 240 x 160"
expect_eq "$(offset_of 140 138)" "37 58 240 160" "screen hole for 240 x 160"
screenshot main-empty

# Open a picture wider than the screen.
open_picture "$WORK/card.png"
expect_eq "$(drv title "$MAIN")" "$MAIN - card.png" "title after Open"
expect_eq "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)" "600 100" "size fields"
expect_eq "$(enabled_set)" "10110111" "buttons after Open"
expect_eq "$(offset_of 139 140)" "-180 30 600 100" "picture centred on the screen"
screenshot main-picture

# Pan: the bar's far right shows the picture's right edge (the whole
# overhang of 360 is reachable); one line step is 5 pixels; a drag to the
# right moves the picture right, in line steps.
drv sendscroll "$MAIN" 138 h 7
expect_eq "$(offset_of 139 140)" "-360 30 600 100" "panned to the right edge"
drv sendscroll "$MAIN" 138 h 0
expect_eq "$(offset_of 139 140)" "-355 30 600 100" "one line step back"
drv sendscroll "$MAIN" 138 v 1
expect_eq "$(offset_of 139 140)" "-355 30 600 100" "no vertical panning for a short picture"
drv drag "$MAIN" 139 40 0
x_after_drag="$(offset_of 139 140 | cut -d' ' -f1)"
[ "$x_after_drag" -gt -355 ] || fail "dragging right did not move the picture right (x $x_after_drag)"
screenshot main-panned

# Zoom in and out: one tenth per step.
drv click "$MAIN" 1031
wait_eq 'echo "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)"' "660 110" "zoom in"
drv click "$MAIN" 1030
wait_eq 'echo "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)"' "594 99" "zoom out"

# Image size: 100 x 100 on a 400 x 200 picture gives 100 x 50; 10 x 10 is ignored.
open_picture "$WORK/wide.png"
drv click "$MAIN" 1005
drv wait "Image size" 10000 >/dev/null || fail "no Image size dialog"
expect_eq "$(drv text "Image size" 1019) $(drv text "Image size" 1017)" "400 200" "Image size fields"
screenshot image-size
drv settext "Image size" 1019 100
drv settext "Image size" 1017 100
drv click "Image size" 1035
drv gone "Image size" 5000 || fail "Image size stayed open"
wait_eq 'echo "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)"' "100 50" "fitted into 100 x 100"
# Image size from the sizes $1 with width $2 and height $3 (with "escape",
# cancelled). The dialog opens only once every earlier input has been
# handled, so its fields and the window's show what that input left.
image_size() {
  drv click "$MAIN" 1005
  drv wait "Image size" 10000 >/dev/null || fail "no Image size dialog"
  expect_eq "$(drv text "Image size" 1019) $(drv text "Image size" 1017)" "$1" "Image size fields before $2 x $3"
  expect_eq "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)" "$1" "size fields before $2 x $3"
  drv settext "Image size" 1019 "$2"
  drv settext "Image size" 1017 "$3"
  if [ "${4:-}" = escape ]; then drv key "Image size" escape; else drv click "Image size" 1035; fi
  drv gone "Image size" 5000 || fail "Image size stayed open"
}
# 10 x 10 is ignored; an empty height keeps both values (the dialog still
# ends with OK); leading zeros read as the number; Escape cancels.
image_size "100 50" 10 10
image_size "100 50" 300 ""
image_size "100 50" 0320 0320
wait_eq 'echo "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)"' "320 160" "leading zeros"
image_size "320 160" 50 50 escape
# A zoom in after it grows 320 x 160 by a tenth (50 x 25 would give 55 x 27).
drv click "$MAIN" 1031
wait_eq 'echo "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)"' "352 176" "Escape cancels"

# Zoom limits: in stops once a side reaches 2500, out once a side is 10.
make_card "$WORK/big.png" 2400 1000
open_picture "$WORK/big.png"
drv click "$MAIN" 1031
wait_eq 'echo "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)"' "2640 1100" "zoom in below 2500"
# At its limit a zoom in does nothing: the zoom out that follows it takes a
# tenth off 2640 x 1100 (and not off 2904 x 1210).
drv click "$MAIN" 1031
drv click "$MAIN" 1030
wait_eq 'echo "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)"' "2376 990" "zoom in at its limit"
make_card "$WORK/thin.png" 11 200
open_picture "$WORK/thin.png"
drv click "$MAIN" 1030
wait_eq 'echo "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)"' "10 180" "zoom out above 10"
# The zoom in that follows a zoom out at its limit adds a tenth to 10 x 180
# (9 x 162 would give 9 x 178).
drv click "$MAIN" 1030
drv click "$MAIN" 1031
wait_eq 'echo "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)"' "11 198" "zoom out at its limit"

# Connect: the handheld reports 320 x 240.
drv click "$MAIN" 1002
wait_status "Connected"
expect_eq "$(enabled_set)" "01111111" "buttons after Connect"
expect_eq "$(drv client "$MAIN" 138)" "418 407" "handheld pane for 320 x 240"
expect_eq "$(offset_of 140 138)" "50 87 320 240" "screen hole for 320 x 240"
open_picture "$WORK/card.png"
screenshot main-connected

drv click "$MAIN" 1003
wait_status "Disconnected"
expect_eq "$(enabled_set)" "10110111" "buttons after Disconnect"
grep -q 'recv #2 Bye len=3 427965' "$WORK/trace.txt" || fail "Bye not sent as three bytes: $(cat "$WORK/trace.txt")"

# A bigger screen: 480 x 360.
sed -i 's/^screen_reply=.*/screen_reply=height=360 width=480/' "$WORK/handheld.ini"
drv click "$MAIN" 1002
wait_eq 'offset_of 140 138' "75 131 480 360" "screen hole for 480 x 360"
screenshot main-connected-480

# A broken picture file: no crash, no message, the size it reports is 0 x 0
# and the window goes on answering; zoom on it changes nothing.
head -c 300 "$WORK/card.png" > "$WORK/broken.png"
open_picture "$WORK/broken.png"
expect_eq "$(drv title "$MAIN")" "$MAIN - broken.png" "title for a broken file"
expect_eq "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)" "0 0" "size of a broken file"
drv click "$MAIN" 1031
# The Image size dialog that follows the zoom shows 0 x 0 still.
drv click "$MAIN" 1005
drv wait "Image size" 10000 >/dev/null || fail "no Image size dialog after a zoom on a broken file"
expect_eq "$(drv text "Image size" 1019) $(drv text "Image size" 1017)" "0 0" "zoom on a broken file"
drv key "Image size" escape
drv gone "Image size" 5000 || fail "Image size stayed open"
expect_eq "$(drv status "$MAIN")" "Connected" "still answering after a broken file"

# Exit ends the connection ("Bye") and the run with exit code 0.
drv command "$MAIN" 32773
expect_exit 0
[ "$(grep -c 'Bye len=3' "$WORK/trace.txt")" = 2 ] || fail "Exit did not say Bye"
echo "main window: ok"
