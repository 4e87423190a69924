#!/usr/bin/env bash
# The program starts, shows its main window titled "Quorvel Photo Manager",
# ignores Enter and Escape, refuses a second instance, starts beside another
# program's windows whose titles hold that name (and a second start with a
# picture still hands it over then), and ends with exit code 0 through its
# close box and through Exit.
source "$(dirname "$0")/lib.sh"

start_app
title="$(drv wait "Quorvel Photo Manager" 20000)" || fail "main window did not appear"
expect_eq "$title" "Quorvel Photo Manager" "title"
expect_eq "$(drv status "Quorvel Photo Manager")" "Disconnected" "status text"
screenshot main-empty

# Enter and Escape end nothing.
drv key "Quorvel Photo Manager" return
drv key "Quorvel Photo Manager" escape
drv wait "Quorvel Photo Manager" 2000 >/dev/null || fail "Enter or Escape closed the window"

# A second instance is refused with its message and ends.
( cd "$WORK" && exec wine "$WORK/QuorvelPhotoManager.exe" ) &
second=$!
msg="$(drv msgbox "Quorvel Photo Manager" 20000)" || fail "no refusal message"
expect_eq "$msg" "Another instance of Quorvel Photo Manager is running!" "refusal text"
wait "$second" || true

drv close "Quorvel Photo Manager"
expect_exit 0

# Windows of another program whose titles hold the name (an Explorer window
# on the program's folder, an editor on a file named after it) stop nothing.
make_card "$WORK/beside.png" 64 48
for held in "Quorvel Photo Manager" "Quorvel Photo Manager notes.txt - Editor"; do
  drv hold "$held" 60000 &
  holder=$!
  drv wait "$held" 20000 >/dev/null || fail "the window '$held' did not appear"
  start_app
  # Our main window is the one with the status bar.
  wait_eq 'drv status "$MAIN"' "Disconnected" "the program started beside '$held'"
  if drv msgbox "Quorvel Photo Manager" 500 >/dev/null 2>&1; then fail "a refusal beside '$held'"; fi
  # A second start with a picture finds our window, not the other one.
  ( cd "$WORK" && exec wine "$WORK/QuorvelPhotoManager.exe" "$(winepath -w "$WORK/beside.png")" ) &
  second=$!
  drv wait "$MAIN - beside.png" 20000 >/dev/null || fail "the picture was not handed over beside '$held'"
  wait "$second" || fail "the second start beside '$held' ended with $?"
  drv close "$MAIN - beside.png"
  expect_exit 0
  drv close "$held"
  wait "$holder" || fail "the window '$held' could not be held"
done

# Exit from the menu ends the run the same way.
start_app
drv wait "Quorvel Photo Manager" 20000 >/dev/null || fail "main window did not appear"
drv command "Quorvel Photo Manager" 32773
expect_exit 0
echo "startup: ok"
