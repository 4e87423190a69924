#!/usr/bin/env bash
# Send picture to device with the simulated handheld: "No image loaded"
# right after Connect; a panned picture larger than the screen sent while the
# progress window is up, the received file equal to the prepared one and to
# the crop of the panned picture (decoded by ImageMagick, not by us); a second
# picture right after; refusals at the announcement and at block 1 (the two
# failure messages in order, "Bye", the log lines); the handheld dropping the
# channel while a block waits for its acknowledgement.
source "$(dirname "$0")/lib.sh"

SENT="$WORK/Sent Pictures"
STARTED=$SECONDS

#                     connect disconnect open size send mail zoomin zoomout
CONNECTED_WITH_PICTURE=01111111
DISCONNECTED_WITH_PICTURE=10110111


connect() {
  drv click "$MAIN" 1002 || fail "Connect is not clickable"
  wait_status "Connected"
}

# The message box texts in the order they come, each dismissed.
next_message() { drv msgbox "$MAIN" "${1:-15000}" || fail "no message box"; }

# Waits until the transfer has finished on the program's side.
wait_transfer_end() {
  wait_for '[ "$(drv status "$MAIN")" != "Sending picture. Please wait..." ]' "the status stayed at Sending" 15
}

# RMSE (0 … 1) of two pictures of the same size.
rmse() {
  local out
  out="$(/usr/bin/compare -metric RMSE "$1" "$2" null: 2>&1 || true)"
  sed -n 's/.*(\(.*\)).*/\1/p' <<<"$out"
}

# The colour at (x, y) as "r g b", 0 … 255.
pixel() {
  /usr/bin/convert "$1" -format "%[fx:int(255*p{$2,$3}.r+0.5)] %[fx:int(255*p{$2,$3}.g+0.5)] %[fx:int(255*p{$2,$3}.b+0.5)]" info:
}

# Every channel of colour $1 within $3 of colour $2.
near() {
  local a b i
  read -r -a a <<<"$1"
  read -r -a b <<<"$2"
  for i in 0 1 2; do
    local d=$((a[i] - b[i]))
    [ "${d#-}" -le "$3" ] || return 1
  done
}

use_handheld "screen_reply=height=240 width=320" "latency_ms=700"
make_card "$WORK/card.png" 800 600
make_card "$WORK/small.day.png" 200 150

start_app log
drv wait "$MAIN" 20000 >/dev/null || fail "main window did not appear"

# --- Send right after Connect, with no picture -------------------------
connect
drv click "$MAIN" 1006 || fail "Send is not enabled after Connect"
expect_eq "$(next_message)" "No image loaded" "Send without a picture"
wait_eq 'drv status "$MAIN"' "Connected" "status after No image loaded"
[ -z "$(ls -A "$WORK/received")" ] || fail "something was received without a picture"
grep -q 'init_img' "$WORK/trace.txt" && fail "a record was sent without a picture"

# --- A panned picture larger than the screen ---------------------------
open_picture "$WORK/card.png"
expect_eq "$(offset_of 139 140)" "-240 -180 800 600" "card centred on the 320 x 240 screen"
# Horizontal range 480, page 80; vertical range 360, page 60.
drv sendscroll "$MAIN" 138 h 3        # page right: 240 + 80
drv sendscroll "$MAIN" 138 h 0        # line left: - 5
drv sendscroll "$MAIN" 138 v 7        # bottom: 360
drv sendscroll "$MAIN" 138 v 2        # page up: 300
drv sendscroll "$MAIN" 138 v 2        # page up: 240
drv sendscroll "$MAIN" 138 v 1        # line down: 245
expect_eq "$(offset_of 139 140)" "-315 -245 800 600" "panned"
CROP_X=315 CROP_Y=245

: >"$WORK/trace.txt"
log_at_send=$(stat -c %s "$WORK/log.txt")
drv click "$MAIN" 1006 || fail "Send is not enabled"
screenshot send-progress
# While the handheld acknowledges (700 ms per record) the progress window is
# up and the main window is disabled.
expect_eq "$(drv status "$MAIN")" "Sending picture. Please wait..." "status while sending"
expect_eq "$(drv visible "$MAIN" 1023)" "1" "progress bar while sending"
expect_eq "$(drv visible "$MAIN" 1041)" "0" "preview label while sending"
expect_eq "$(drv enabled "$MAIN" 0)" "0" "main window while sending"
expect_eq "$(drv peekbox "$MAIN" 30000)" "Image has been sent successfully" "success message"
screenshot send-success
next_message >/dev/null
wait_transfer_end
expect_eq "$(drv status "$MAIN")" "Connected" "status after the transfer"
expect_eq "$(drv enabled "$MAIN" 0)" "1" "main window after the transfer"
expect_eq "$(drv visible "$MAIN" 1041)" "1" "preview label after the transfer"
expect_eq "$(drv visible "$MAIN" 1023)" "0" "progress window after the transfer"
expect_eq "$(enabled_set)" "$CONNECTED_WITH_PICTURE" "buttons after the transfer"

[ -f "$SENT/card.jpg" ] || fail "no prepared file in Sent Pictures"
[ -f "$WORK/received/card.jpg" ] || fail "nothing received: $(cat "$WORK/trace.txt")"
cmp "$SENT/card.jpg" "$WORK/received/card.jpg" || fail "received file differs from the prepared one"
size=$(stat -c %s "$SENT/card.jpg")
blocks=$(((size + 999) / 1000))
grep -q "announce #2 name=\"card.jpg\" length=$size\$" "$WORK/trace.txt" || fail "announcement: $(grep announce "$WORK/trace.txt")"
grep -q "^file #$((blocks + 3)) \"card.jpg\" $size bytes in $blocks blocks" "$WORK/trace.txt" ||
  fail "file line: $(grep '^file' "$WORK/trace.txt")"
grep -q violation "$WORK/trace.txt" && fail "protocol violations: $(grep violation "$WORK/trace.txt")"
grep -q Bye "$WORK/trace.txt" && fail "a successful transfer disconnected"

# The log's raw entries are the records on the wire, byte for byte: the
# announcement (packet 2) and every block (packets 3 …), each logged behind
# its header line (the text, CR LF and a zero byte).
tail -c +"$((log_at_send + 1))" "$WORK/log.txt" >"$WORK/send-log.bin"
logged_record() {  # header text, its occurrence (from 1), record size
  local at
  at="$(LC_ALL=C grep -abo -- "$1" "$WORK/send-log.bin" | sed -n "${2}p" | cut -d: -f1)"
  [ -n "$at" ] || { echo "not logged"; return 0; }
  tail -c +"$((at + $(printf %s "$1" | wc -c) + 3 + 1))" "$WORK/send-log.bin" | head -c "$3" | od -An -tx1 -v | tr -d ' \n'
}
wire_record() { sed -n "s/^recv #$1 [a-z_]* len=[0-9]* //p" "$WORK/trace.txt"; }
[ "$(logged_record 'init_img struct all bytes:' 1 264)" = "$(wire_record 2)" ] ||
  fail "the logged init_img differs from the one sent"
for ((b = 0; b < blocks; b++)); do
  [ "$(logged_record $'block_img \xb9'"$b all bytes ====> " 1 1006)" = "$(wire_record $((b + 3)))" ] ||
    fail "the logged block $b differs from the one sent"
done

# The received picture, decoded by ImageMagick: the screen's size and the
# crop of the card at the panned offset, within the losses of 16-bit colour
# and JPEG; a crop 10 pixels off (half a grid cell) must fit clearly worse.
expect_eq "$(/usr/bin/identify -format '%w %h' "$WORK/received/card.jpg")" "320 240" "received picture size"
/usr/bin/convert "$WORK/card.png" -crop "320x240+$CROP_X+$CROP_Y" +repage "$WORK/expected.png"
/usr/bin/convert "$WORK/card.png" -crop "320x240+$((CROP_X + 10))+$((CROP_Y + 10))" +repage "$WORK/shifted.png"
good="$(rmse "$WORK/received/card.jpg" "$WORK/expected.png")"
bad="$(rmse "$WORK/received/card.jpg" "$WORK/shifted.png")"
echo "RMSE at the panned offset $good, 10 pixels off $bad"
awk -v g="$good" -v b="$bad" 'BEGIN { exit !(g != "" && g < 0.09 && b > 3 * g) }' ||
  fail "received picture is not the panned crop (RMSE $good, shifted $bad)"
# The card's centre (400, 300) lies at (85, 55) of the crop: one cell inside
# each quadrant, away from the grid lines.
for probe in "75 45 208 32 32" "95 45 32 160 32" "75 65 32 64 208" "95 65 224 192 32"; do
  read -r px py r g b <<<"$probe"
  got="$(pixel "$WORK/received/card.jpg" "$px" "$py")"
  near "$got" "$r $g $b" 24 || fail "pixel ($px, $py) is $got, expected about $r $g $b"
done

# --- A second picture right after: smaller than the screen, sent whole --
open_picture "$WORK/small.day.png"
: >"$WORK/trace.txt"
drv click "$MAIN" 1006 || fail "Send is not enabled for the second picture"
expect_eq "$(next_message 30000)" "Image has been sent successfully" "second success message"
wait_transfer_end
cmp "$SENT/small.jpg" "$WORK/received/small.jpg" || fail "second picture differs"
expect_eq "$(/usr/bin/identify -format '%w %h' "$WORK/received/small.jpg")" "200 150" "second picture size"
small_size=$(stat -c %s "$SENT/small.jpg")
grep -q "announce #[0-9]* name=\"small.jpg\" length=$small_size\$" "$WORK/trace.txt" ||
  fail "second announcement: $(grep announce "$WORK/trace.txt")"
expect_eq "$(drv status "$MAIN")" "Connected" "status after the second picture"
cmp -s "$SENT/card.jpg" "$WORK/received/card.jpg" || fail "the first picture was disturbed"

drv click "$MAIN" 1003
wait_status "Disconnected"

# --- Refusals: at the announcement, then at block 1 --------------------
START_TEXT=$'Please start Quorvel Photos on your handheld, connect USB cable\nand then press Connect button again.'
sim_set latency_ms ""
log_before=$(stat -c %s "$WORK/log.txt")
for fault in "2:NO" "3:RCV"; do
  sim_set ack_text_at "$fault"
  : >"$WORK/trace.txt"
  rm -f "$WORK/received/small.jpg"
  connect
  drv click "$MAIN" 1006 || fail "Send is not enabled ($fault)"
  expect_eq "$(next_message)" "$START_TEXT" "first failure message ($fault)"
  expect_eq "$(next_message)" "Image has not been sent" "second failure message ($fault)"
  wait_transfer_end
  # The end of the transfer is shown before any later message could come.
  wait_status "Disconnected"
  wait_eq enabled_set "$DISCONNECTED_WITH_PICTURE" "buttons after the refusal ($fault)"
  drv msgbox "" 1000 >/dev/null 2>&1 && fail "a third message after the refusal ($fault)"
  expect_eq "$(drv enabled "$MAIN" 0)" "1" "main window after the refusal ($fault)"
  grep -q 'recv #[0-9]* Bye len=3 427965$' "$WORK/trace.txt" || fail "no Bye after the refusal ($fault): $(cat "$WORK/trace.txt")"
  grep -q '^file' "$WORK/trace.txt" && fail "a refused picture was completed ($fault)"
  [ ! -e "$WORK/received/small.jpg" ] || fail "a refused picture was stored ($fault)"
done
grep -c 'recv #3 block_img' "$WORK/trace.txt" >/dev/null || fail "block 1 was never sent"
grep -q 'recv #4 block_img' "$WORK/trace.txt" && fail "a block was sent after the refusal of block 1"
# The log of the two refusals: the failure line, then "Label error".
tail -c +"$((log_before + 1))" "$WORK/log.txt" | tr -d '\000' | tr -d '\r' |
  grep -a -e '^rcv compare fail' -e '^Label error' >"$WORK/refusal-log.txt" || true
expect_eq "$(tr '\n' '|' <"$WORK/refusal-log.txt")" \
  "rcv compare fail -- init|Label error|rcv compare fail on block 1|Label error|" "refusal log lines"

# --- The handheld drops the channel while block 1 waits ---------------
sim_set ack_text_at ""
sim_set close_at 3
: >"$WORK/trace.txt"
connect
drv click "$MAIN" 1006 || fail "Send is not enabled (close_at)"
expect_eq "$(next_message)" "$START_TEXT" "first message after the drop"
expect_eq "$(next_message)" "Image has not been sent" "second message after the drop"
wait_transfer_end
wait_for 'grep -q "close #3 (close_at)" "$WORK/trace.txt"' "the channel was not dropped at block 1: $(cat "$WORK/trace.txt")"
expect_eq "$(drv status "$MAIN")" "Disconnected" "status after the drop"
expect_eq "$(enabled_set)" "$DISCONNECTED_WITH_PICTURE" "buttons after the drop"
expect_eq "$(drv enabled "$MAIN" 0)" "1" "main window after the drop"

# Connect again and send, zoomed in once: the link recovers, and the
# picture goes at its displayed size.
sim_set close_at ""
: >"$WORK/trace.txt"
connect
drv click "$MAIN" 1031
wait_eq 'echo "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)"' "220 165" "zoomed size"
drv click "$MAIN" 1006 || fail "Send is not enabled after reconnecting"
expect_eq "$(next_message)" "Image has been sent successfully" "success after reconnecting"
wait_transfer_end
cmp "$SENT/small.jpg" "$WORK/received/small.jpg" || fail "picture after reconnecting differs"
expect_eq "$(/usr/bin/identify -format '%w %h' "$WORK/received/small.jpg")" "220 165" "zoomed picture size"

# --- A prepared file above 64000 bytes: refused before anything is sent --
# Noise on a 480 x 360 screen does not compress below the limit.
/usr/bin/convert -size 480x360 xc:gray +noise Random -depth 8 "$WORK/noise.png"
drv click "$MAIN" 1003
sim_set screen_reply "height=360 width=480"
connect
open_picture "$WORK/noise.png"
: >"$WORK/trace.txt"
drv click "$MAIN" 1006 || fail "Send is not enabled (too big)"
expect_eq "$(next_message)" $'Image is too big.\nIt has not been sent' "message for a file above 64000 bytes"
wait_transfer_end
drv msgbox "" 1000 >/dev/null 2>&1 && fail "a second message for a file above 64000 bytes"
big=$(stat -c %s "$SENT/noise.jpg")
[ "$big" -gt 64000 ] || fail "the noise picture came out at $big bytes, not above the limit"
grep -q init_img "$WORK/trace.txt" && fail "a record was sent for a file above the limit"
grep -q '^recv #2 Bye len=3 427965$' "$WORK/trace.txt" || fail "no Bye after the refusal: $(cat "$WORK/trace.txt")"
expect_eq "$(drv status "$MAIN")" "Disconnected" "status after a file above the limit"
expect_eq "$(enabled_set)" "$DISCONNECTED_WITH_PICTURE" "buttons after a file above the limit"
expect_eq "$(drv enabled "$MAIN" 0)" "1" "main window after a file above the limit"

drv command "$MAIN" 32773
expect_exit 0
echo "send: ok ($((SECONDS - STARTED)) s)"
