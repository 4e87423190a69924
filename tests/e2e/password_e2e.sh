#!/usr/bin/env bash
# The handheld's password prompt with the simulated handheld: the ownerless
# Password dialog with the remaining attempts, a wrong password challenged
# again with one attempt fewer, the right one connecting with the SHA-1 of
# the typed text; Cancel locking the device buttons without a word; a
# challenge with a single attempt left refused without a dialog.
source "$(dirname "$0")/lib.sh"

STARTED=$SECONDS
PROMPT="Password"
#              connect disconnect open size send mail zoomin zoomout
LOCKED_OUT=00000011
sha1_of() { printf %s "$1" | sha1sum | cut -d' ' -f1; }
attempts_text() { echo "You have $1 attempts remaining to enter the correct password"; }

# Starts the program on a handheld with settings $@ and presses Connect.
start_and_connect() {
  use_handheld "password=secret" "$@"
  start_app log
  drv wait "$MAIN" 20000 >/dev/null || fail "main window did not appear"
  drv click "$MAIN" 1002 || fail "Connect is not clickable"
}

# The prompt: its title, no owner, the attempts, the focus in the edit. A
# challenge that follows a wrong password opens a new prompt at once, so the
# text is awaited.
expect_prompt() {
  expect_eq "$(drv wait "$PROMPT" 10000)" "$PROMPT" "prompt title ($1 attempts)"
  wait_eq 'drv text "$PROMPT" 1047' "$(attempts_text "$1")" "attempts text" 5
  expect_eq "$(drv owner "$PROMPT")" "(none)" "prompt owner"
  expect_eq "$(drv focus "$PROMPT")" "1046" "focus in the password edit"
}

# Types $1 into the prompt and presses OK.
answer_prompt() {
  drv settext "$PROMPT" 1046 "$1"
  drv click "$PROMPT" 1 || fail "OK is not clickable"
}


# --- 1. A wrong password, then the right one ---------------------------
start_and_connect "attempts=10"
expect_prompt 10
answer_prompt "Secret"
expect_prompt 9
drv settext "$PROMPT" 1046 "secret"
screenshot password-dialog
drv click "$PROMPT" 1 || fail "OK is not clickable"
drv gone "$PROMPT" 5000 || fail "the prompt stayed open"
wait_status "Connected"
expect_eq "$(enabled_set)" "01101011" "buttons after the password"
expect_eq "$(grep '^digest' "$WORK/trace.txt" | tr '\n' '|')" \
  "digest $(sha1_of Secret) wrong|digest $(sha1_of secret) accepted|" "digests received"
expect_eq "$(grep -c '^challenge attempts=' "$WORK/trace.txt")" "2" "challenges"
grep -q 'recv #1 greeting' "$WORK/trace.txt" || fail "no greeting after the password"
# Neither the password nor its digest reaches the log.
[ -s "$WORK/log.txt" ] || fail "no log written"
grep -a -q -F secret "$WORK/log.txt" && fail "the password is in the log"
od -An -tx1 -v "$WORK/log.txt" | tr -d ' \n' | grep -q "$(sha1_of secret)" && fail "the digest is in the log"
drv command "$MAIN" 32773
expect_exit 0

# --- 2. Cancel locks the device buttons, with no message ---------------
start_and_connect "attempts=10"
expect_prompt 10
drv settext "$PROMPT" 1046 "typed then cancelled"
drv click "$PROMPT" 2 || fail "Cancel is not clickable"
drv gone "$PROMPT" 5000 || fail "the prompt stayed open after Cancel"
wait_for 'grep -q "challenge refused" "$WORK/trace.txt"' "the challenge was not refused"
wait_eq enabled_set "$LOCKED_OUT" "buttons after Cancel"
expect_eq "$(drv status "$MAIN")" "Disconnected" "status after Cancel"
drv msgbox "" 1500 >/dev/null 2>&1 && fail "a message box after Cancel"
grep -q '^digest' "$WORK/trace.txt" && fail "a digest was handed over after Cancel"
grep -q '^open ok' "$WORK/trace.txt" && fail "the channel opened after Cancel"
# Locked for the rest of the run: clicks on the disabled buttons do nothing.
drv click "$MAIN" 1002 >/dev/null 2>&1 && fail "Connect is clickable after Cancel"
drv command "$MAIN" 1002
drv wait "$PROMPT" 1000 >/dev/null 2>&1 && fail "a prompt after the lock-out"
# The close box still ends the run. It is posted after the command, so the
# program has handled the command by the time it ends.
drv close "$MAIN"
expect_exit 0
expect_eq "$(grep -c '^challenge attempts=' "$WORK/trace.txt")" "1" "challenges after the lock-out"

# --- 3. One attempt left: no dialog, locked ---------------------------
start_and_connect "attempts=1"
wait_for 'grep -q "challenge refused" "$WORK/trace.txt"' "the last attempt was not refused"
wait_eq enabled_set "$LOCKED_OUT" "buttons with one attempt left"
drv wait "$PROMPT" 1000 >/dev/null 2>&1 && fail "a prompt with one attempt left"
expect_eq "$(drv status "$MAIN")" "Disconnected" "status with one attempt left"
expect_eq "$(enabled_set)" "$LOCKED_OUT" "buttons with one attempt left"
drv msgbox "" 1000 >/dev/null 2>&1 && fail "a message box with one attempt left"
expect_eq "$(grep -E '^challenge' "$WORK/trace.txt" | tr '\n' '|')" \
  "challenge attempts=1|challenge refused 0x80004005|" "single-attempt challenge"
drv command "$MAIN" 32773
expect_exit 0

# --- 4. Two attempts: an empty password (the digest of the empty message)
# is wrong and leaves one attempt, which is refused unasked -------------
start_and_connect "attempts=2"
expect_prompt 2
answer_prompt ""
wait_for 'grep -q "challenge refused" "$WORK/trace.txt"' "the last attempt was not refused"
wait_eq enabled_set "$LOCKED_OUT" "buttons after the last attempt was kept"
drv wait "$PROMPT" 1000 >/dev/null 2>&1 && fail "a prompt for the last attempt"
expect_eq "$(enabled_set)" "$LOCKED_OUT" "buttons after the last attempt was kept"
expect_eq "$(grep -E '^(challenge|digest)' "$WORK/trace.txt" | tr '\n' '|')" \
  "challenge attempts=2|digest da39a3ee5e6b4b0d3255bfef95601890afd80709 wrong|challenge attempts=1|challenge refused 0x80004005|" \
  "challenges with two attempts"
drv command "$MAIN" 32773
expect_exit 0
# --- 5. The prompt's close box refuses like Cancel ---------------------
start_and_connect "attempts=10"
expect_prompt 10
drv close "$PROMPT"
drv gone "$PROMPT" 5000 || fail "the prompt stayed open after its close box"
wait_for 'grep -q "challenge refused 0x80004005" "$WORK/trace.txt"' "the close box did not refuse"
wait_eq enabled_set "$LOCKED_OUT" "buttons after the prompt's close box"
drv command "$MAIN" 32773
expect_exit 0
echo "password: ok ($((SECONDS - STARTED)) s)"
