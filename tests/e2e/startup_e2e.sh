#!/usr/bin/env bash
# The program starts, shows its main window titled "Quorvel Photo Manager",
# ignores Enter and Escape, refuses a second instance (and a start beside any
# window whose title holds that name), and ends with exit code 0 through its
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

# Any top-level title that holds the name, case for case, blocks a start:
# a title the running program would have with a picture, and one with the
# name in the middle of other words. A title that differs in case does not.
for case in "Quorvel Photo Manager - beach.png:blocks" "Notes on Quorvel Photo Manager.txt - Editor:blocks" \
            "quorvel photo manager - beach.png:starts"; do
  held="${case%:*}"
  drv hold "$held" 60000 &
  holder=$!
  drv wait "$held" 20000 >/dev/null || fail "the window '$held' did not appear"
  start_app
  if [ "${case##*:}" = blocks ]; then
    msg="$(drv msgbox "Quorvel Photo Manager" 20000)" || fail "no refusal beside '$held'"
    expect_eq "$msg" "Another instance of Quorvel Photo Manager is running!" "refusal beside '$held'"
    expect_exit 0
  else
    drv wait "Quorvel Photo Manager" 20000 >/dev/null || fail "the program did not start beside '$held'"
    drv close "Quorvel Photo Manager"
    expect_exit 0
  fi
  drv close "$held"
  wait "$holder" || fail "the window '$held' could not be held"
done

# Exit from the menu ends the run the same way.
start_app
drv wait "Quorvel Photo Manager" 20000 >/dev/null || fail "main window did not appear"
drv command "Quorvel Photo Manager" 32773
expect_exit 0
echo "startup: ok"
