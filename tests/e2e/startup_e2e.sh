#!/usr/bin/env bash
# The program starts, shows its main window titled "Quorvel Photo Manager",
# ignores Enter and Escape, refuses a second instance, and ends with exit code
# 0 through its close box and through Exit.
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

# Exit from the menu ends the run the same way.
start_app
drv wait "Quorvel Photo Manager" 20000 >/dev/null || fail "main window did not appear"
drv command "Quorvel Photo Manager" 32773
expect_exit 0
echo "startup: ok"
