#!/usr/bin/env bash
# Connecting without a handheld, a handheld that drops the channel instead
# of answering the greeting, one that goes away while connected and idle,
# and the two ways the run ends after a connection (Exit and the close box):
# exit code 0, "Bye" said, nothing left running.
source "$(dirname "$0")/lib.sh"

STARTED=$SECONDS
START_TEXT=$'Please start Quorvel Photos on your handheld, connect USB cable\nand then press Connect button again.'
#                connect disconnect open size send mail zoomin zoomout
DISCONNECTED=10100011
CONNECTED=01101011

# --- No handheld attached ----------------------------------------------
use_handheld "devices=0"
start_app
drv wait "$MAIN" 20000 >/dev/null || fail "main window did not appear"
for press in 1 2; do
  drv click "$MAIN" 1002 || fail "Connect is not clickable (press $press)"
  expect_eq "$(drv msgbox "$MAIN" 15000)" "$START_TEXT" "message without a handheld (press $press)"
  # The window is enabled again once the message has returned to it.
  wait_eq 'drv enabled "$MAIN" 0' "1" "main window after the message (press $press)"
  wait_eq enabled_set "$DISCONNECTED" "buttons without a handheld"
  drv msgbox "$MAIN" 1000 >/dev/null 2>&1 && fail "a second message without a handheld"
  expect_eq "$(drv status "$MAIN")" "Disconnected" "status without a handheld"
done
grep -q '^open ok' "$WORK/trace.txt" && fail "a channel opened without a handheld"

# --- The handheld drops the channel instead of answering the greeting --
sim_set devices 1
sim_set close_at 1
: >"$WORK/trace.txt"
drv click "$MAIN" 1002 || fail "Connect is not clickable"
expect_eq "$(drv msgbox "$MAIN" 15000)" "$START_TEXT" "message when the greeting is not answered"
wait_for 'grep -q "close #1 (close_at)" "$WORK/trace.txt"' "the greeting was not dropped"
expect_eq "$(drv status "$MAIN")" "Disconnected" "status after the dropped greeting"
expect_eq "$(enabled_set)" "$DISCONNECTED" "buttons after the dropped greeting"

# --- The handheld goes away while connected and idle -------------------
# The handheld pane as the screen shows it now, and whether two such
# pictures are the same pixel for pixel.
pane_shot() {
  local l t r b
  read -r l t r b <<<"$(rect_of 138)"
  /usr/bin/import -window root -crop "$((r - l))x$((b - t))+$l+$t" +repage "$WORK/$1.png"
}
same_picture() { [ "$(compare -metric AE "$WORK/$1.png" "$WORK/$2.png" null: 2>&1)" = "0" ]; }
sim_set close_at ""
sim_set screen_reply "height=160 width=240"  # the screen size shown before any connection
sim_set close_idle_ms 4000
pane_shot before
: >"$WORK/trace.txt"
drv click "$MAIN" 1002 || fail "Connect is not clickable after the drop"
wait_status "Connected"
pane_shot connected
same_picture before connected && fail "the handheld looks the same when connected"
wait_for 'grep -q "close after 4000 ms idle" "$WORK/trace.txt"' "the handheld did not go away"
wait_eq enabled_set "$DISCONNECTED" "buttons after the handheld went away"
pane_shot dropped
same_picture before dropped || fail "the handheld did not take its disconnected look"
# The end of a connection does not refresh the status text; the next
# action that refreshes it does.
expect_eq "$(drv status "$MAIN")" "Connected" "status text after the handheld went away"

# The handheld is back: Connect works again, and Exit says Bye and ends.
sim_set close_idle_ms ""
: >"$WORK/trace.txt"
drv click "$MAIN" 1002 || fail "Connect is not clickable after the handheld went away"
wait_eq enabled_set "$CONNECTED" "buttons once the handheld is back"
drv command "$MAIN" 32773
expect_exit 0
expect_eq "$(grep -c '^recv #2 Bye len=3 427965$' "$WORK/trace.txt")" "1" "Bye on Exit"
grep -q '^close by program' "$WORK/trace.txt" || fail "Exit did not close the channel: $(cat "$WORK/trace.txt")"
drv wait "$MAIN" 500 >/dev/null 2>&1 && fail "a window is left after Exit"

# --- The close box after a connection --------------------------------
use_handheld
start_app
drv wait "$MAIN" 20000 >/dev/null || fail "main window did not appear (second run)"
drv click "$MAIN" 1002 || fail "Connect is not clickable (second run)"
wait_status "Connected"
drv close "$MAIN"
expect_exit 0
expect_eq "$(grep -c '^recv #2 Bye len=3 427965$' "$WORK/trace.txt")" "1" "Bye on the close box"
grep -q '^close by program' "$WORK/trace.txt" || fail "the close box did not close the channel"
drv wait "$MAIN" 500 >/dev/null 2>&1 && fail "a window is left after the close box"
echo "link drop: ok ($((SECONDS - STARTED)) s)"
