#!/usr/bin/env bash
# The Windows build as a user runs it, under Wine on a virtual display: sentak.exe beside
# statusd.exe polls the named pipe every 2 s, keeps running, shows its icon in Wine's tray and
# a balloon when the service stops; without Wine's desktop it docks in a real X tray host.
# Takes the folder that holds the .exe files; runs in a copy of the ready Wine prefix
# $WINEPREFIX, so that ending its Wine ends nothing else. Screenshots go to $SENTAK_E2E_OUT,
# or e2e/ beside that folder.
set -euo pipefail
bin=$(cd "$1" && pwd)
: "${WINEPREFIX:?set WINEPREFIX to a ready Wine prefix}"
export WINEDEBUG=-all
source "$(dirname "$0")/lib.sh"
out=${SENTAK_E2E_OUT:-$bin/../e2e}
mkdir -p "$out"
e2e_at_exit() { wineserver -k 2>/dev/null || true; } # this run's own prefix: its Wine only
cp -a "$WINEPREFIX" "$work/prefix"
export WINEPREFIX=$work/prefix
count_done() { grep -c '^Done\.' "$1" || true; }

# pixels FILE WxH+X+Y TEST: how many pixels of the region pass the ImageMagick -fx TEST.
pixels() {
    convert "$1" -crop "$2" +repage -fx "($3) ? 1 : 0" -format '%[fx:round(mean * w * h)]' info:
}

headless_start
# A pipe of this run's own, so that nothing else answers or collides.
export QUENTHAL_PIPE="\\\\.\\pipe\\Quenthal-smoke-$$"
wine "$bin/statusd.exe" >"$work/statusd.log" 2>&1 &
pids+=($!)
wait_for 40 grep -q "serving" "$work/statusd.log" || fail "statusd.exe does not serve"

# 1. Wine's own desktop, with its taskbar and notification area at the bottom right.
wine explorer /desktop=sentak-smoke,640x480 "$bin/sentak.exe" >"$work/desktop.log" 2>&1 &
pids+=($!)
wait_for 40 grep -q '^Done\.' "$work/desktop.log" || fail "sentak.exe never read the pipe"
first=$(count_done "$work/desktop.log")
sleep 10
second=$(count_done "$work/desktop.log")
# One refresh every 2 s: about five in 10 s, however slowly Wine runs.
((second - first >= 3 && second - first <= 7)) ||
    fail "$((second - first)) refreshes in 10 s, not one every 2 s"
grep -q "Failed to connect" "$work/desktop.log" && fail "a refresh failed with statusd.exe serving"
headless_screenshot "$out/windows-desktop-tray.png"
# The notification area, the right end of the taskbar strip (its last 19 rows, below Wine's
# blue desktop), holds the 16 px service icon: its blue face and its red dot, which neither the
# white taskbar nor the other displays' icons have.
tray=80x19+560+461
blue=$(pixels "$out/windows-desktop-tray.png" $tray 'b - r > 0.2 && b > 0.4')
red=$(pixels "$out/windows-desktop-tray.png" $tray 'r - b > 0.3 && r > 0.6')
((blue >= 40 && red >= 2)) ||
    fail "no service icon in Wine's notification area ($blue blue, $red red pixels)"
echo "desktop: $((second - first)) refreshes in 10 s, service icon in Wine's tray"

# The service stops: the tenth failed refresh in a row raises a balloon from the tray icon.
kill "${pids[0]}"
wait_for 40 sh -c '[ "$(grep -c "^Failed to connect" "$0")" -ge 10 ]' "$work/desktop.log" ||
    fail "no ten failed refreshes after statusd.exe stopped"
# Above the notification area, where only Wine's blue desktop was, a white balloon.
balloon_shown() {
    headless_screenshot "$out/windows-desktop-balloon.png"
    local white
    white=$(pixels "$out/windows-desktop-balloon.png" 300x80+340+380 'r > 0.9 && g > 0.9 && b > 0.9')
    ((white >= 2000))
}
wait_for 15 balloon_shown || fail "no balloon above the tray icon"
echo "desktop: a balloon after the tenth failed refresh"
kill "${pids[-1]}"
wineserver -k # sentak.exe of Wine's desktop too; statusd.exe is started again
wine "$bin/statusd.exe" >"$work/statusd.log" 2>&1 &
pids=($!)
wait_for 40 grep -q "serving" "$work/statusd.log" || fail "statusd.exe does not serve again"

# 2. Without Wine's desktop: the icon docks in the X tray host (trayer, top right).
wine "$bin/sentak.exe" >"$work/docked.log" 2>&1 &
pids+=($!)
docked() {
    local window
    for window in $(xdotool search --onlyvisible --classname explorer.exe); do
        eval "$(xdotool getwindowgeometry --shell "$window")"
        ((WIDTH <= 48 && HEIGHT <= 48 && Y < 48)) && return 0
    done
    return 1
}
wait_for 40 docked || fail "no tray icon docked in the tray host"
wait_for 40 grep -q '^Done\.' "$work/docked.log" || fail "the docked sentak.exe never read the pipe"
sleep 4
kill -0 "${pids[-1]}" || fail "sentak.exe has ended"
kill -0 "${pids[0]}" || fail "statusd.exe has ended"
headless_screenshot "$out/windows-docked-tray.png"
echo "docked: tray icon at ${X},${Y} (${WIDTH}x${HEIGHT}) in the tray host, still running"
