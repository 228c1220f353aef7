#!/usr/bin/env bash
# Start, stop and restart from the tray's menu, whole program: Sentak in Xfce's panel beside the
# stand-in of systemd's manager on a private system bus, which serves the status socket while its
# unit runs. Clicks come through the dbusmenu's Event, as a host sends them. Stop shows the
# stopped display at once and notifies nothing; Start and Restart bring the running display
# back; the service then killed is notified exactly once.
# Usage: control.sh BUILD_DIR
set -euo pipefail
build=$1
source "$(dirname "$0")/lib.sh"
logs=(sentak.err manager.err notify.log)

headless_start 1024x768 xfce4-panel
watch_notifications
export QUENTHAL_PIPE=$work/Quenthal
headless_system_bus "$build/bin/systemd-standin" --running 2>"$work/manager.err"
"$build/bin/sentak" >"$work/sentak.log" 2>"$work/sentak.err" &
sentak=$!
pids+=($sentak)
wait_for 15 item $sentak || fail "sentak did not register with the panel's watcher"
name=$(item $sentak)
# choose ID: the menu opened with Shift held, then ID clicked.
choose() {
    xdotool keydown shift
    menu AboutToShow 0 >/dev/null
    xdotool keyup shift
    menu Event "$1" clicked '<0>' 0 >/dev/null
}
# shows TOOLTIP SECONDS: the tray shows that display within the time.
shows() { wait_for "$2" tooltip_is "Vantora 3 Service $1" || fail "not '$1' but $(property ToolTip)"; }
notified() { grep -c member=Notify "$work/notify.log" || true; }
notified_once() { [ "$(notified)" = 1 ]; }
shows running 10

# Within two ticks, however long the ten of an unasked-for stop would take.
choose 6003
shows "not running anymore" 5
grep -q "StopUnit quenthal.service: done" "$work/manager.err" || fail "no stop through the manager"
choose 6002
shows running 5
choose 6004
wait_for 5 grep -q "RestartUnit quenthal.service: done" "$work/manager.err" || fail "no restart"
shows running 5
[ "$(notified)" = 0 ] || fail "the stop asked for was notified"

kill "$HEADLESS_MANAGER_PID" # the service killed: nobody asked for this one
wait_for 30 notified_once || fail "the unasked-for stop was not notified"
shows "not running anymore" 1
sleep 4
notified_once || fail "the stop was notified more than once"
echo "control: stop shown at once without a notification, start and restart running again," \
    "a killed service notified once"
