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
sleep 0.5

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

names=""
for id in 1004 1008 1006 1005 1031 1030 1002 1003; do names+="$(drv text "$MAIN" "$id");"; done
expect_eq "$names" "Open picture;Send by Mail;Send picture to device;Image size;Zoom In (+);Zoom Out (-);Connect to device;Disconnect from device;" "button names"

connect0="$(look_of 1002)" disconnect0="$(look_of 1003)"
toolbar_shot toolbar-disconnected

drv click "$MAIN" 1002
wait_status "Connected"
sleep 0.5
[ "$(look_of 1002)" != "$connect0" ] || fail "Connect kept its enabled icon after connecting"
[ "$(look_of 1003)" != "$disconnect0" ] || fail "Disconnect kept its disabled icon after connecting"
toolbar_shot toolbar-connected

# Hover over Disconnect: it lights up; leaving takes the light away.
resting="$(light_of 1003)"
drv hover "$MAIN" 1003
sleep 0.4
lit="$(light_of 1003)"
[ "$lit" -gt "$((resting + 3))" ] || fail "hovering did not light the button ($resting -> $lit)"
toolbar_shot toolbar-hover
drv park 1270 1010
gone=0
for _ in 1 2 3 4 5 6 7 8; do
  sleep 0.1
  if [ "$(light_of 1003)" = "$resting" ]; then gone=1; break; fi
done
[ "$gone" = 1 ] || fail "the light stayed after the mouse left ($(light_of 1003), resting $resting)"

drv click "$MAIN" 1003
wait_status "Disconnected"
sleep 0.5
expect_eq "$(look_of 1002)" "$connect0" "Connect's enabled icon back after disconnecting"
expect_eq "$(look_of 1003)" "$disconnect0" "Disconnect's disabled icon back after disconnecting"

drv close "$MAIN"
expect_exit 0
