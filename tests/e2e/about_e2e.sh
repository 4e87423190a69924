#!/usr/bin/env bash
# The About box: its HTML label holds the product line, and a click on the
# maker's link hands the address to the browser (a stand-in on PATH records
# it). Leaves a screenshot of the box.
source "$(dirname "$0")/lib.sh"

# Wine passes web addresses to the desktop's opener.
mkdir -p "$WORK/fakebin"
cat >"$WORK/fakebin/xdg-open" <<SH
#!/bin/sh
echo "\$@" >>"$WORK/browser.txt"
SH
chmod +x "$WORK/fakebin/xdg-open"
export PATH="$WORK/fakebin:$PATH"

start_app
drv wait "$MAIN" 20000 >/dev/null || fail "main window did not appear"
drv command "$MAIN" 32772
ABOUT="About Quorvel Photo Manager"
drv wait "$ABOUT" 10000 >/dev/null || fail "no About box"
text="$(drv text "$ABOUT" 1042)"
case "$text" in
  "Quorvel Photos Desktop, Version 2.41, Quorvel <br>"*"<a href="*) ;;
  *) fail "About text: $text" ;;
esac
screenshot about-box

# The link is the second line of the label.
drv glide "$ABOUT" 1042 30 22
drv mouseclick "$ABOUT" 1042 30 22
wait_eq 'cat "$WORK/browser.txt"' "https://www.quorvel.example/" "address given to the browser"

drv click "$ABOUT" 1 || fail "no OK button"
drv gone "$ABOUT" 5000 || fail "About box stayed open"
expect_eq "$(drv status "$MAIN")" "Disconnected" "status after About"
drv command "$MAIN" 32773
expect_exit 0
echo "PASS [$SCENARIO]"
