#!/usr/bin/env bash
# Send by mail through the real program, with a capturing Simple MAPI library
# of the tests' own beside it: first use of the dialog, the empty To field,
# the mail handed over (recipient, attachment, flags, subject), the address
# kept in email.dat, the attached picture against the crop of the placed
# picture, Cancel, the address offered after a restart, a failing
# MAPISendMail, a library without MAPISendMail, no Simple MAPI at all, and a
# picture that cannot be prepared.
source "$(dirname "$0")/lib.sh"

DLG="Send by mail "
ADDRESS="hand.held@example.org"
FAILED_TEXT=$'Some errors occurred while sending mail.\nPlease check address and mail settings! \n'
# Wine reads the load order when a process starts: the library beside the
# program is used instead of Wine's own only with mapi32 set to native first.
WITH_CAPTURE="mscoree,mshtml=;mapi32=n,b"
NO_MAPI="mscoree,mshtml=;mapi32="
EXIT_COMMAND=32773

for dll in "$BIN/mapi_capture/Mapi32.dll" "$BIN/mapi_capture/nosend/Mapi32.dll"; do
  [ -f "$dll" ] || fail "$dll missing: build the targets mapi_capture and mapi_capture_nosend"
done
CAPTURE="$WORK/capture.txt"
export QUORVEL_MAPI_CAPTURE="$(winepath -w "$CAPTURE")"
cp "$BIN/mapi_capture/Mapi32.dll" "$WORK/Mapi32.dll"

# The card is larger than the 240 x 160 screen both ways, so the screen shows
# a cut of it; a TIFF with LZW compression, as a camera or scanner leaves it.
make_card "$WORK/card.png" 400 300
/usr/bin/convert "$WORK/card.png" -type TrueColor -compress LZW "$WORK/holiday.tif"
[ "$(/usr/bin/identify -format '%m %w %h %C' "$WORK/holiday.tif")" = "TIFF 400 300 LZW" ] || fail "holiday.tif not made"

capture() { tr -d '\r' <"$CAPTURE" 2>/dev/null || true; }
# The value of the last line KEY=... in the capture file.
captured() { capture | grep "^$1=" | tail -n 1 | cut -d= -f2-; }
count_of() { capture | grep -c "^$1\$" || true; }
# Waits until the capture file holds at least N lines that are exactly LINE.
wait_captured() {
  local line="$1" n="$2" waited=0
  until [ "$(count_of "$line")" -ge "$n" ]; do
    sleep 0.2; waited=$((waited + 1))
    [ "$waited" -lt 75 ] || fail "no '$line' (#$n) in the capture: $(capture)"
  done
}
start_and_open() {
  start_app
  drv wait "$MAIN" 20000 >/dev/null || fail "main window did not appear"
  expect_eq "$(drv enabled "$MAIN" 1008)" "0" "Send by mail without a picture"
  open_picture "$WORK/holiday.tif"
  expect_eq "$(drv title "$MAIN")" "$MAIN - holiday.tif" "title after Open"
  expect_eq "$(drv enabled "$MAIN" 1008)" "1" "Send by mail with a picture"
}
open_mail_dialog() {
  drv click "$MAIN" 1008 || fail "Send by mail is not clickable"
  drv wait "$DLG" 10000 >/dev/null || fail "no Send by mail dialog"
  wait_for '[ "$(drv focus "$DLG")" != 0 ]' "no focus in the Send by mail dialog"
}
# The warning of a failed hand-off: no caption is given, so the system's
# default one ("Error") shows. The text is compared byte for byte, with its
# trailing blank and line break (the driver adds one line break).
expect_mail_failed() {
  local got="$WORK/msgbox.txt"
  drv msgbox "Error" 15000 >"$got" || fail "no warning after a failed mail ($1)"
  printf '%s\n' "$FAILED_TEXT" | cmp -s - "$got" || fail "warning text ($1): $(od -c "$got" | head)"
}
quit_app() {
  drv command "$MAIN" "$EXIT_COMMAND"
  expect_exit 0
}

# ------------------------------------------------------------- first use
WINEDLLOVERRIDES="$WITH_CAPTURE" start_and_open
# Show the picture's right edge and its top on the screen, so the crop is not
# the centred one.
drv sendscroll "$MAIN" 138 h 7
drv sendscroll "$MAIN" 138 v 6
wait_eq 'offset_of 139 140' "-160 0 400 300" "picture placed at the right edge and top"
placed="$(offset_of 139 140)"

open_mail_dialog
expect_eq "$(drv title "$DLG")" "$DLG" "dialog title"
expect_eq "$(drv text "$DLG" 1046)" "" "To at first use"
expect_eq "$(drv text "$DLG" 1048)" "Quorvel Photos" "subject at first use"
expect_eq "$(drv enabled "$MAIN" 0)" "0" "main window disabled under the dialog"
screenshot send-mail-dialog

# Send with an empty To: the message, owned by the dialog, which stays open.
drv click "$DLG" 1
expect_eq "$(drv msgbox "$MAIN" 10000)" "Please type mail address of your handheld!" "empty To"
# The dialog is enabled again once the message has returned to it; it has
# then handled the click to its end.
wait_eq 'drv enabled "$DLG" 0' "1" "dialog enabled after an empty To"
drv wait "$DLG" 2000 >/dev/null || fail "dialog closed after an empty To"
expect_eq "$(drv text "$DLG" 1048)" "Quorvel Photos" "subject after an empty To"
[ ! -e "$WORK/email.dat" ] || fail "email.dat written for an empty To"
[ ! -e "$CAPTURE" ] || fail "a mail went out for an empty To: $(capture)"

drv settext "$DLG" 1046 "$ADDRESS"
drv click "$DLG" 1
drv gone "$DLG" 5000 || fail "dialog stayed open after Send"
wait_captured "call=MAPILogoff" 1

# What the mail client was given.
expect_eq "$(count_of "call=MAPILogon") $(count_of "call=MAPISendMail")" "1 1" "one logon, one send"
expect_eq "$(captured logon.flags)" "3" "logon flags"
expect_eq "$(captured logon.profile) $(captured logon.password)" "(null) (null)" "logon without profile"
expect_eq "$(captured send.flags)" "8" "MAPISendMail flags (compose window)"
expect_eq "$(captured send.session)" "$(captured logoff.session)" "one session from send to logoff"
expect_eq "$(captured message.subject)" "Quorvel Photos" "subject"
expect_eq "$(captured message.note)" "" "empty body"
expect_eq "$(captured message.recipients)" "1" "recipient count"
expect_eq "$(captured recipient.0.class)" "1" "recipient class (To)"
expect_eq "$(captured recipient.0.name)" "$ADDRESS" "recipient name"
expect_eq "$(captured recipient.0.address)" "SMTP:$ADDRESS" "recipient address"
expect_eq "$(captured message.files)" "1" "attachment count"
expect_eq "$(captured file.0.position)" "4294967295" "attachment position (-1)"
expect_eq "$(captured file.0.flags)" "0" "attachment flags"
expect_eq "$(captured file.0.name)" "(null)" "attachment file name"
# The mail attaches its own copy of the prepared picture, under its name.
JPG="$WORK/Sent Pictures/holiday.jpg"
got_path="$(captured file.0.path)"
case "$got_path" in *'\holiday.jpg') ;; *) fail "attachment not named holiday.jpg: $got_path" ;; esac
[ -f "$JPG" ] || fail "no prepared picture at $JPG"
expect_eq "$(captured file.0.size)" "$(stat -c %s "$JPG")" "attachment size as seen by the mail client"
expect_eq "$(captured file.0.head)" "$(head -c 32 "$JPG" | od -An -tx1 | tr -d ' \n')" "attachment bytes as seen by the mail client"
expect_eq "$(captured send.result)" "0" "send result"
expect_eq "$(od -An -c "$WORK/email.dat" | tr -d ' \n')" "$(printf '%s' "$ADDRESS" | od -An -c | tr -d ' \n')" "email.dat holds the bare address after Send"

# The attachment is the screen's cut of the placed picture: 240 x 160 JPEG,
# equal to the card's crop within the loss of 16 bits and JPEG; the centred
# crop (what an unpanned preview would show) must be clearly farther off.
expect_eq "$(/usr/bin/identify -format '%m %w %h' "$JPG")" "JPEG 240 160" "prepared picture"
read -r px py _ _ <<<"$placed"
# compare exits 1 when the pictures differ at all; only its number counts.
rmse() { { /usr/bin/compare -metric RMSE "$1" "$2" null: 2>&1 || true; } | sed -n 's/.*(\([0-9.e-]*\)).*/\1/p'; }
/usr/bin/convert "$WORK/card.png" -crop "240x160+$((-px))+$((-py))" +repage "$WORK/crop.png"
/usr/bin/convert "$WORK/card.png" -crop "240x160+80+70" +repage "$WORK/centred.png"
/usr/bin/convert "$JPG" "$WORK/attached.png"
near="$(rmse "$WORK/attached.png" "$WORK/crop.png")"
far="$(rmse "$WORK/attached.png" "$WORK/centred.png")"
awk -v n="$near" -v f="$far" 'BEGIN { exit !(n != "" && n < 0.08 && f > 3 * n) }' \
  || fail "attachment is not the placed crop (RMSE $near, centred $far)"

# Cancel after editing the To field: nothing stored, nothing sent.
open_mail_dialog
expect_eq "$(drv text "$DLG" 1046)" "$ADDRESS" "address offered again"
drv settext "$DLG" 1046 "other@example.org"
drv click "$DLG" 2
drv gone "$DLG" 5000 || fail "dialog stayed open after Cancel"
wait_eq 'drv enabled "$MAIN" 0' "1" "main window enabled after Cancel"
expect_eq "$(cat "$WORK/email.dat")" "$ADDRESS" "email.dat after Cancel"
expect_eq "$(count_of "call=MAPISendMail")" "1" "no mail after Cancel"
quit_app

# ------------------- restart: the address is offered; MAPISendMail fails
WINEDLLOVERRIDES="$WITH_CAPTURE" QUORVEL_MAPI_SEND_RESULT=2 start_and_open
open_mail_dialog
expect_eq "$(drv text "$DLG" 1046)" "$ADDRESS" "address offered after a restart"
expect_eq "$(drv text "$DLG" 1048)" "Quorvel Photos" "subject after a restart"
drv click "$DLG" 1
drv gone "$DLG" 5000 || fail "dialog stayed open after Send"
wait_captured "call=MAPISendMail" 2
# The main window answers while the warning is up (it runs on the mail thread).
drv wait "Error" 15000 >/dev/null || fail "no warning after a failed mail"
expect_eq "$(drv status "$MAIN")" "Disconnected" "status while the warning is up"
expect_mail_failed "MAPISendMail result 2"
expect_eq "$(captured send.result)" "2" "failing send result"
wait_captured "call=MAPILogoff" 2
expect_eq "$(drv status "$MAIN")" "Disconnected" "status after the warning"

# A library without MAPISendMail: logon and logoff, no send, the warning.
# Each mail loads the library afresh, so it is swapped between mails.
cp "$BIN/mapi_capture/nosend/Mapi32.dll" "$WORK/Mapi32.dll"
open_mail_dialog
drv click "$DLG" 1
drv gone "$DLG" 5000 || fail "dialog stayed open after Send"
expect_mail_failed "no MAPISendMail"
wait_captured "call=MAPILogoff" 3
expect_eq "$(count_of "call=MAPILogon") $(count_of "call=MAPISendMail")" "3 2" "no send without the entry"
expect_eq "$(drv enabled "$MAIN" 1008)" "1" "Send by mail after the warning"
quit_app

# ------------------------------------------------ no Simple MAPI at all
cp "$BIN/mapi_capture/Mapi32.dll" "$WORK/Mapi32.dll"
before="$(capture | wc -l)"
WINEDLLOVERRIDES="$NO_MAPI" start_and_open
open_mail_dialog
drv click "$DLG" 1
drv gone "$DLG" 5000 || fail "dialog stayed open after Send"
expect_mail_failed "no Simple MAPI"
expect_eq "$(capture | wc -l)" "$before" "no library call without Simple MAPI"
expect_eq "$(drv status "$MAIN")" "Disconnected" "status without Simple MAPI"
expect_eq "$(cat "$WORK/email.dat")" "$ADDRESS" "address kept without Simple MAPI"

# A picture that cannot be prepared ("Sent Pictures" has become a file): the
# transfer's message for an unreadable prepared picture.
rm -rf "$WORK/Sent Pictures" && : >"$WORK/Sent Pictures"
open_mail_dialog
drv click "$DLG" 1
drv gone "$DLG" 5000 || fail "dialog stayed open after Send"
expect_eq "$(drv peekbox "$MAIN" 15000)" $'The prepared picture could not be read.\nIt has not been sent' "unpreparable picture"
screenshot mail-picture-unreadable
drv msgbox "$MAIN" 2000 >/dev/null
rm -f "$WORK/Sent Pictures"
quit_app
echo "mail: ok"
