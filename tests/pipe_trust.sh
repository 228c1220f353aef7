#!/usr/bin/env bash
# Only the service's own process serves the status, under Wine in this run's own prefix: statusd.exe
# as a real service of Wine's service control manager on the default pipe name, and sentak.exe
# reads it and shows the service icon in the tray. The service stopped and statusd.exe started as
# a plain process on that name: sentak.exe reads none of its records, says why at every refresh,
# and shows the service stopped.
# Usage: pipe_trust.sh BUILD_DIR (with WINEPREFIX a ready Wine prefix)
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/lib.sh"
logs=(sentak.log statusd.log)
at_exit() { wineserver -k 2>/dev/null || true; }
cp -a "$WINEPREFIX" "$work/prefix"
export WINEPREFIX=$work/prefix WINEDEBUG=-all
unset QUENTHAL_PIPE
wineserver -p # a service may stop when the prefix's last ordinary process ends

state() { wine sc query Quenthal | tr -d '\r' | sed -n 's/^ *STATE *: *[0-9]* *\([A-Z_]*\).*/\1/p'; }
# Under Wine a start right after the service is made is sometimes lost: asked again until running.
started() { [ "$(state)" = RUNNING ] || { wine sc start Quenthal >/dev/null 2>&1; false; }; }
wine sc create Quenthal binPath= "$(winepath -w "$build/bin/statusd.exe") --service" >/dev/null ||
    fail "the service could not be made"
wait_for 60 started || fail "the service does not start"

# pixels TEST: how many pixels of the notification area (bottom right) pass -fx TEST.
pixels() {
    headless_screenshot "$work/tray.png"
    convert "$work/tray.png" -crop 80x19+560+461 +repage -fx "($1) ? 1 : 0" \
        -format '%[fx:round(mean*w*h)]' info:
}
service_icon() { (($(pixels 'b - r > 0.2 && b > 0.4') >= 40)); }
headless_start
wine explorer /desktop=sentak,640x480 "$build/bin/sentak.exe" >"$work/sentak.log" 2>&1 &
wait_for 60 grep -q '^Done\.' "$work/sentak.log" || fail "sentak.exe read nothing from the service"
wait_for 30 service_icon || fail "no service icon in the tray while the service runs"

wine sc stop Quenthal >/dev/null
wait_for 60 eval '[ "$(state)" = STOPPED ]' || fail "the service does not stop"
from=$(($(wc -l <"$work/sentak.log") + 1))
wine "$build/bin/statusd.exe" >"$work/statusd.log" 2>&1 & pids+=($!)
wait_for 40 grep -q serving "$work/statusd.log" || fail "statusd.exe does not serve the pipe"
refused() { (($(tail -n "+$from" "$work/sentak.log" | grep -c '^Pipe server is not the service\.') >= 3)); }
wait_for 60 refused || fail "sentak.exe did not refuse the plain process' pipe at every refresh"
wait_for 60 eval '! service_icon' || fail "the tray still shows the service running"
! tail -n "+$from" "$work/sentak.log" | grep -q '^Done\.' || fail "sentak.exe read the plain process"
echo "pipe trust: the service's pipe read; a plain process on its name refused at every refresh"
