#!/usr/bin/env bash
# A service seen running stops: the real program tells the desktop's notification daemon once and
# shows the warning; when the service comes back, the tray shows the service's own icon again.
set -euo pipefail
bin=$1
source "$(dirname "$0")/lib.sh"
e2e_logs=(sentak.log notify.log)

start_service() {
    "$bin/statusd" 2>>"$work/statusd.log" &
    service_pid=$!
    wait_for 10 test -S "$QUENTHAL_PIPE" || fail "statusd does not serve"
}
stop_service() {
    kill -TERM "$service_pid"
    wait "$service_pid" || true
    service_pid=
}
count() { grep -c -- "$1" "$work/sentak.log" || true; }
# at_least N LINE: sentak has written LINE at least N times.
at_least() { (($(count "$2") >= $1)); }

# The tray icon as it is on screen now.
shoot() {
    eval "$(xdotool getwindowgeometry --shell "$icon")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$work/$1.png"
}
differ() { ! compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>/dev/null; }
same() { ! differ "$@"; }
# shoot_until NAME SECONDS CONDITION...: shoots NAME until CONDITION holds for it.
shoot_until() {
    local name=$1 seconds=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until shoot "$name" && "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}

headless_start
export QUENTHAL_PIPE=$work/Quenthal

watch_notifications

# Before any service: the unknown display.
"$bin/sentak" >"$work/sentak.log" 2>&1 &
sentak_pid=$!
pids+=("$sentak_pid")
wait_for 15 xdotool search --onlyvisible --pid "$sentak_pid" || fail "no tray icon"
icon=$(xdotool search --onlyvisible --pid "$sentak_pid" | head -n1)
wait_for 10 grep -q "Failed to connect to pipe." "$work/sentak.log" || fail "no poll"
shoot unknown

# The service answers: its own icon.
start_service
wait_for 10 grep -q "^Done\.$" "$work/sentak.log" || fail "the service's record was not read"
shoot_until running 5 differ running unknown || fail "the running display did not show"

# The service stops: one notification within 25 s, and the warning in the tray.
stop_service
wait_for 25 grep -q "member=Notify" "$work/notify.log" || fail "no notification within 25 s"
shoot_until stopped 5 differ stopped running || fail "the stopped display did not show"
differ stopped unknown || fail "the stopped display looks like the unknown one"

# Later failed polls say nothing more.
failed=$(count "Failed to connect to pipe.")
wait_for 10 at_least $((failed + 2)) "Failed to connect to pipe." ||
    fail "polling stopped after the notification"
[ "$(grep -c "member=Notify" "$work/notify.log")" -eq 1 ] || fail "more than one notification"

mapfile -t strings < <(notification_strings)
[ "${strings[2]:-}" = "Service not running" ] || fail "summary is '${strings[2]:-}'"
[ "${strings[3]:-}" = "The Vantora 3 Service is not running anymore." ] ||
    fail "body is '${strings[3]:-}'"

# The service comes back: its own icon again.
done_before=$(count "^Done\.$")
start_service
wait_for 10 at_least $((done_before + 1)) "^Done\.$" ||
    fail "the returned service's record was not read"
shoot_until again 5 same again running || fail "the running display did not return"
kill -0 "$sentak_pid" || fail "sentak has ended"
echo "stop_notification: one notification at the stop, running display before and after"
