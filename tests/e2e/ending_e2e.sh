#!/usr/bin/env bash
# The program ends cleanly at any moment: a session end (WM_QUERYENDSESSION,
# then WM_ENDSESSION) while a block waits for its acknowledgement ends it
# within 5 seconds with exit code 0, says "Bye" and leaves the handheld
# without a partial picture; Exit while a mail's compose
# window is still open (a mail library that holds the call) ends it within 5
# seconds as well, and the next start removes the copy that mail left behind.
source "$(dirname "$0")/lib.sh"

wait_trace() {
  local i
  for i in $(seq 1 100); do
    grep -q "$1" "$WORK/trace.txt" 2>/dev/null && return 0
    sleep 0.2
  done
  fail "no '$1' in the trace: $(cat "$WORK/trace.txt" 2>/dev/null)"
}

# ------------------------------------------------- session end in a transfer
make_card "$WORK/card.png" 640 480
use_handheld "silent_at=4"  # the second block's acknowledgement never comes
start_app
drv wait "$MAIN" 20000 >/dev/null || fail "main window did not appear"
open_picture "$WORK/card.png"
drv click "$MAIN" 1002 || fail "Connect is not clickable"
wait_status "Connected"
drv click "$MAIN" 1006 || fail "Send is not clickable"
wait_trace "silent #4"
expect_eq "$(drv endsession "$MAIN")" "1" "WM_QUERYENDSESSION allows the session end"
expect_exit 0 5
grep -q "Bye" "$WORK/trace.txt" || fail "no Bye: $(cat "$WORK/trace.txt")"
grep -q "^file #" "$WORK/trace.txt" && fail "the handheld stored a picture: $(grep '^file' "$WORK/trace.txt")"
[ -z "$(ls -A "$WORK/received")" ] || fail "partial picture kept: $(ls "$WORK/received")"

# --------------------------------------------- Exit with a compose window open
[ -f "$BIN/mapi_capture/Mapi32.dll" ] || fail "Mapi32.dll missing: build the target mapi_capture"
cp "$BIN/mapi_capture/Mapi32.dll" "$WORK/Mapi32.dll"
export QUORVEL_MAPI_CAPTURE="$(winepath -w "$WORK/capture.txt")"
export QUORVEL_MAPI_HOLD_EVENT="Quorvel ending scenario $$"  # never set: the compose window stays
TEMP_DIR="$(winepath -u "$(wine cmd /c echo %TEMP% | tr -d '\r')")"
rm -rf "$TEMP_DIR"/Quorvel\ mail\ *
WINEDLLOVERRIDES="mscoree,mshtml=;mapi32=n,b" start_app
drv wait "$MAIN" 20000 >/dev/null || fail "main window did not appear"
open_picture "$WORK/card.png"
drv click "$MAIN" 1008 || fail "Send by mail is not clickable"
drv wait "Send by mail " 10000 >/dev/null || fail "no Send by mail dialog"
drv settext "Send by mail " 1046 "hand.held@example.org"
drv click "Send by mail " 1
wait_for 'grep -q "call=MAPISendMail" "$WORK/capture.txt"' "the mail never reached the mail library"
left="$(ls -d "$TEMP_DIR"/Quorvel\ mail\ * 2>/dev/null | head -n 1)"
[ -n "$left" ] || fail "no copy for the held mail in $TEMP_DIR"
drv command "$MAIN" 32773
expect_exit 0 5
[ -d "$left" ] || fail "the held mail's copy went before its client was done"
unset QUORVEL_MAPI_HOLD_EVENT
start_app
drv wait "$MAIN" 20000 >/dev/null || fail "main window did not appear after the mail"
wait_for '[ ! -d "$left" ]' "the next start left $left behind"
drv close "$MAIN"
expect_exit 0
echo "ending: ok"
