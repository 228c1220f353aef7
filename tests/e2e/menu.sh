#!/usr/bin/env bash
# The tray menu of the real program beside the stand-in service, opened with a right click on its
# icon in a real tray host: the ordinary menu, then with Shift held the extended one, whose
# "E&xit tray application" ends the program with status 0 and takes the icon out of the tray.
# Screenshots go to $SENTAK_E2E_OUT when it is set, else to a temporary folder kept on failure.
set -euo pipefail
bin=$1
source "$(dirname "$0")/lib.sh"
out=${SENTAK_E2E_OUT:-$work/screenshots}
mkdir -p "$out"
[ -n "${SENTAK_E2E_OUT:-}" ] || e2e_keep=1

# menu_geometry PID ICON: the shell geometry of the popup menu PID shows beside its tray icon.
menu_geometry() {
    local window
    for window in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        [ "$window" = "$2" ] && continue
        local WIDTH HEIGHT X Y WINDOW SCREEN
        eval "$(xdotool getwindowgeometry --shell "$window")"
        if ((X >= 0 && Y >= 0 && HEIGHT > 100)); then
            echo "MENU_X=$X MENU_Y=$Y MENU_W=$WIDTH MENU_H=$HEIGHT"
            return 0
        fi
    done
    return 1
}

menu_closed() { ! menu_geometry "$sentak" "$icon"; }
sentak_ended() { ! kill -0 "$sentak"; }

# shoot NAME: the whole screen, and the menu alone, into $out.
shoot() {
    headless_screenshot "$out/$1.png"
    convert "$out/$1.png" -crop "${MENU_W}x${MENU_H}+${MENU_X}+${MENU_Y}" +repage "$out/$1-menu.png"
}

headless_start
export QUENTHAL_PIPE=$work/Quenthal
"$bin/statusd" --version-text "7.2.0-e2e" --http 8080 --https 8443 --rtsp 554 --remote 7070 \
    --last-update 1700000000 >"$work/statusd.log" 2>&1 &
pids+=($!)
wait_for 10 test -S "$QUENTHAL_PIPE" || fail "statusd does not serve"

"$bin/sentak" >"$work/sentak.log" 2>&1 &
sentak=$!
pids+=("$sentak")
wait_for 15 xdotool search --onlyvisible --pid "$sentak" || fail "sentak shows no tray icon"
icon=$(xdotool search --onlyvisible --pid "$sentak")
eval "$(xdotool getwindowgeometry --shell "$icon")"
click_x=$((X + WIDTH / 2))
click_y=$((Y + HEIGHT / 2))

# The ordinary menu, read fresh from the service at the click.
xdotool mousemove "$click_x" "$click_y" click 3
wait_for 10 menu_geometry "$sentak" "$icon" || fail "a right click shows no menu"
sleep 0.3 # let the menu finish drawing
eval "$(menu_geometry "$sentak" "$icon")"
ordinary_height=$MENU_H
shoot ordinary-menu
xdotool key Escape
wait_for 10 menu_closed || fail "the menu stays open after Escape"
kill -0 "$sentak" || fail "sentak ended when its menu closed"

# The extended menu: Shift held while the menu opens.
xdotool keydown shift
xdotool mousemove "$click_x" "$click_y" click 3
wait_for 10 menu_geometry "$sentak" "$icon" || fail "a right click with Shift shows no menu"
xdotool keyup shift
sleep 0.3
eval "$(menu_geometry "$sentak" "$icon")"
((MENU_H > ordinary_height)) ||
    fail "the menu with Shift ($MENU_H px) is not longer than without ($ordinary_height px)"
shoot extended-menu

# "E&xit tray application" by its mnemonic.
xdotool key x
wait_for 15 sentak_ended || fail "sentak still runs after Exit"
status=0
wait "$sentak" || status=$?
((status == 0)) || fail "sentak ended with status $status"
if xdotool getwindowgeometry "$icon" >/dev/null 2>&1; then fail "the icon stayed in the tray"; fi
xdotool search --classname trayer >/dev/null || fail "the tray host went away with sentak"

passed=1
echo "menu: ordinary ${ordinary_height} px and extended ${MENU_H} px menus in $out; Exit ended sentak with 0"
