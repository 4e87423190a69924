#!/usr/bin/env bash
# Pictures named in characters the ANSI code page lacks: "写真.png" from the
# command line and "Фото.png" by drop. Each shows its real name in the
# title, is prepared to "Sent Pictures\写真.jpg" ("Фото.jpg"), sent to the
# simulated handheld (whose name field is ANSI: "_" for each character the
# code page cannot hold) and mailed through MAPISendMailW with the
# attachment under its own name. Then a picture in Sent Pictures opened by
# other forms of its path (another drive letter mapped onto the folder, a
# different case, "..") is sent and mailed, and is still there afterwards.
source "$(dirname "$0")/lib.sh"

win() { winepath -w "$1"; }
size() { echo "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)"; }
DLG="Send by mail "
SENT="$WORK/Sent Pictures"

[ -f "$BIN/mapi_capture/wide/Mapi32.dll" ] || fail "build the target mapi_capture_wide"
cp "$BIN/mapi_capture/wide/Mapi32.dll" "$WORK/Mapi32.dll"
CAPTURE="$WORK/capture.txt"
export QUORVEL_MAPI_CAPTURE="$(win "$CAPTURE")"
export WINEDLLOVERRIDES="mscoree,mshtml=;mapi32=n,b"
captured() { tr -d '\r' <"$CAPTURE" | grep "^$1=" | tail -n 1 | cut -d= -f2-; }
sends() { tr -d '\r' 2>/dev/null <"$CAPTURE" | grep -c '^call=MAPISendMailW$' || true; }

make_card "$WORK/写真.png" 400 300
make_card "$WORK/Фото.png" 360 280
use_handheld "screen_reply=height=240 width=320"

# Sends the open picture; $1 the prepared file's name, $2 the name the
# handheld is told.
send_and_check() {
  : >"$WORK/trace.txt"
  drv click "$MAIN" 1006 || fail "Send is not enabled ($1)"
  expect_eq "$(drv msgbox "$MAIN" 30000)" "Image has been sent successfully" "sent ($1)"
  [ -f "$SENT/$1" ] || fail "no \"$1\" in Sent Pictures: $(ls "$SENT")"
  grep -q "announce #[0-9]* name=\"$2\" " "$WORK/trace.txt" || fail "announcement ($1): $(grep announce "$WORK/trace.txt")"
  cmp "$SENT/$1" "$WORK/received/$2" || fail "the handheld received another picture than \"$1\""
}
# Mails the open picture; $1 the attachment's expected name.
mail_and_check() {
  local before
  before="$(sends)"
  drv click "$MAIN" 1008 || fail "Send by mail is not clickable ($1)"
  drv wait "$DLG" 10000 >/dev/null || fail "no Send by mail dialog ($1)"
  drv settext "$DLG" 1046 "hand.held@example.org"
  drv click "$DLG" 1
  drv gone "$DLG" 5000 || fail "the dialog stayed open ($1)"
  wait_for '[ "$(sends)" -gt "$before" ]' "no MAPISendMailW ($1)"
  expect_eq "$(captured file.0.name)" "$1" "attachment name"
  case "$(captured file.0.path)" in *"\\$1") ;; *) fail "attachment path: $(captured file.0.path)" ;; esac
  expect_eq "$(captured file.0.size)" "$(stat -c %s "$SENT/$1")" "attachment is the prepared picture ($1)"
}

start_app "$(win "$WORK/写真.png")" log
drv wait "$MAIN - " 20000 >/dev/null || fail "the picture on the command line did not open"
expect_eq "$(drv wtitle "$MAIN")" "$MAIN - 写真.png" "title of the command-line picture"
expect_eq "$(size)" "400 300" "size of the command-line picture"
drv click "$MAIN" 1002 || fail "Connect is not clickable"
wait_status "Connected"
send_and_check "写真.jpg" "__.jpg"
grep -aq "img name = __.jpg" "$WORK/log.txt" || fail "the log's name line"
mail_and_check "写真.jpg"

drv drop "$MAIN" 0 "$(win "$WORK/Фото.png")" || fail "drop failed"
wait_eq size "360 280" "size of the dropped picture"
expect_eq "$(drv wtitle "$MAIN")" "$MAIN - Фото.png" "title of the dropped picture"
send_and_check "Фото.jpg" "____.jpg"
mail_and_check "Фото.jpg"
screenshot wide-names

# The prepared 写真.jpg, opened again by other forms of its path: its own
# crop overwrites it, it is sent and mailed, and it stays.
ln -sfn "$SENT" "$WINEPREFIX/dosdevices/q:"
trap 'rm -f "$WINEPREFIX/dosdevices/q:"; cleanup_app' EXIT
for form in "Q:\\写真.jpg" "$(win "$SENT")\\..\\SENT PICTURES\\写真.jpg"; do
  drv drop "$MAIN" 0 "$form" || fail "drop of $form failed"
  wait_eq size "320 240" "size of $form"
  send_and_check "写真.jpg" "__.jpg"
  mail_and_check "写真.jpg"
  [ -f "$SENT/写真.jpg" ] || fail "the picture opened as $form is gone"
done

drv close "$MAIN"
expect_exit 0
echo "wide names: ok"
