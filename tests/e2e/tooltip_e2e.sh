#!/usr/bin/env bash
# The toolbar's HTML tooltips with the real mouse: every button shows its
# tip with its own text (the disabled ones once a picture is open or the
# handheld connected), moving to another button switches the tip, a click
# or a key hides it. Leaves a screenshot of a tip.
source "$(dirname "$0")/lib.sh"

use_handheld "screen_reply=height=240 width=320"
make_card "$WORK/card.png" 200 100

start_app
drv wait "$MAIN" 20000 >/dev/null || fail "main window did not appear"
# A tip shows only while the program is the active one (it hides when the
# program loses the activation): wait until a control of it holds the focus.
wait_for '[ "$(drv focus "$MAIN")" -gt 0 ]' "the main window never got the focus"

# Hovers button $1 and expects the tip "$2" (and only that text).
expect_tip() {
  drv glide "$MAIN" "$1" || fail "cannot hover $1"
  local out
  # On a loaded machine a move can reach the program late; a second, small
  # move over the same button (as a hand makes) must then show the tip.
  out="$(drv tip "$2" 3000)" || { drv glide "$MAIN" "$1" 9 9; out="$(drv tip "$2" 5000)"; } \
    || fail "no tip '$2' over $1 (shown: $(drv tip "" 100 | head -n 1))"
  expect_eq "$(head -n 1 <<<"$out")" "$2" "tip over $1"
  TIP_RECT="$(sed -n 2p <<<"$out")"
}

expect_tip 1002 "Connect to device"
expect_tip 1004 "Open picture"      # moving to another button switches
expect_tip 1031 "Zoom In (+)"
expect_tip 1030 "Zoom Out (-)"

# The tip lies next to the cursor and on the screen.
read -r l t r b <<<"$TIP_RECT"
[ "$l" -ge 0 ] && [ "$t" -ge 0 ] && [ "$r" -le 1280 ] && [ "$b" -le 1024 ] || fail "tip off the screen: $TIP_RECT"
read -r bl bt br bb <<<"$(rect_of 1030)"
cx=$(((bl + br) / 2)); cy=$(((bt + bb) / 2))
[ $((cx - l)) -ge 0 ] && [ $((cx - l)) -le $((r - l)) ] && [ "$b" -le $((cy + 12)) ] && [ "$b" -ge $((cy - 12)) ] \
  || fail "tip $TIP_RECT is not above the cursor $cx,$cy"
screenshot tooltip

# A click hides the tip (on the frame bar, which does nothing itself).
drv mouseclick "$MAIN" 1034 || fail "cannot click"
drv notip - 3000 || fail "a click left the tip"

# A key hides it too.
expect_tip 1002 "Connect to device"
drv key "$MAIN" escape
drv notip - 3000 || fail "a key left the tip"

# The buttons that start disabled.
open_picture "$WORK/card.png"
expect_tip 1005 "Image size"
expect_tip 1008 "Send by Mail"
drv click "$MAIN" 1002 || fail "Connect is not clickable"
wait_status "Connected"
expect_tip 1003 "Disconnect from device"
expect_tip 1006 "Send picture to device"

drv command "$MAIN" 32773
expect_exit 0
echo "PASS [$SCENARIO]"
