#!/usr/bin/env bash
# The toolbar's textured buttons on the screen: each names itself by its tip
# words, the enabled and disabled icons swap with the connection state,
# hovering lights a button and leaving removes the light without another
# mouse move over it. Screenshots of the toolbar in each state go to
# build/screens/toolbar-*.png.
source "$(dirname "$0")/lib.sh"

use_handheld "screen_reply=height=160 width=240"
start_app
drv wait "$MAIN" 20000 >/dev/null || fail "main window did not appear"
drv park 1270 1010

# The toolbar strip of the main window, cut from a full screenshot.
toolbar_shot() {
  local l t r b
  read -r l t r b <<<"$(rect_of 1002)"
  read -r _ _ r _ <<<"$(rect_of 1008)"
  screenshot "$1"
  local zl zt zr zb
  read -r zl zt _ _ <<<"$(rect_of 1031)"
  read -r _ _ zr zb <<<"$(rect_of 1030)"
  /usr/bin/convert "$SCREENS/$1.png" -crop "$((zr - zl + 8))x$((zb - zt + 8))+$((zl - 4))+$((zt - 4))" +repage \
    -scale 300% "$SCREENS/$1-zoom.png" || fail "could not cut $1-zoom"
  /usr/bin/convert "$SCREENS/$1.png" -crop "$((r - l + 8))x$((b - t + 8))+$((l - 4))+$((t - 4))" +repage \
    -scale 300% "$SCREENS/$1.png" || fail "could not cut $1"
}
# The hash of the pixels inside a button's focus frame (its icon), and the
# mean brightness of the whole button.
look_of() { drv sample "$MAIN" "$1" 9 | cut -d' ' -f2; }
light_of() { drv sample "$MAIN" "$1" | cut -d' ' -f1; }

# Painted: the enabled Connect and the disabled Disconnect look apart.
wait_for '[ "$(look_of 1002)" != "$(look_of 1003)" ]' "the toolbar was not painted"
names=""
for id in 1004 1008 1006 1005 1031 1030 1002 1003; do names+="$(drv text "$MAIN" "$id");"; done
expect_eq "$names" "Open picture;Send by Mail;Send picture to device;Image size;Zoom In (+);Zoom Out (-);Connect to device;Disconnect from device;" "button names"

connect0="$(look_of 1002)" disconnect0="$(look_of 1003)"
toolbar_shot toolbar-disconnected

drv click "$MAIN" 1002
wait_status "Connected"
wait_for '[ "$(look_of 1002)" != "$connect0" ]' "Connect kept its enabled icon after connecting"
wait_for '[ "$(look_of 1003)" != "$disconnect0" ]' "Disconnect kept its disabled icon after connecting"
toolbar_shot toolbar-connected

# Hover over Disconnect: it lights up; leaving takes the light away.
resting="$(light_of 1003)"
drv hover "$MAIN" 1003
wait_for '[ "$(light_of 1003)" -gt "$((resting + 3))" ]' "hovering did not light the button (resting $resting)"
toolbar_shot toolbar-hover
drv park 1270 1010
wait_eq 'light_of 1003' "$resting" "the light after the mouse left"

drv click "$MAIN" 1003
wait_status "Disconnected"
wait_eq 'look_of 1002' "$connect0" "Connect's enabled icon back after disconnecting"
wait_eq 'look_of 1003' "$disconnect0" "Disconnect's disabled icon back after disconnecting"

drv close "$MAIN"
expect_exit 0
