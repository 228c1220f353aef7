# What every whole-program test starts with: the headless desktop's helpers, a work folder, the
# processes to end on exit and fail(). Source it after the script's own arguments are read.
#   pids         processes to end on exit; service_pid, when set, is ended first
#   e2e_logs     logs in the work folder whose last lines fail() shows
#   e2e_keep     set: the work folder is kept, and named, unless passed is set at the end
#   e2e_at_exit  a function, when defined, run on exit before the desktop goes
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/headless.sh"
work=$(mktemp -d)
pids=()
service_pid=
e2e_logs=()
e2e_keep=
passed=
cleanup() {
    [ -z "$service_pid" ] || kill "$service_pid" 2>/dev/null || true
    kill "${pids[@]}" 2>/dev/null || true
    if declare -F e2e_at_exit >/dev/null; then e2e_at_exit; fi
    headless_stop
    if [ -z "$e2e_keep" ] || [ "$passed" ]; then rm -rf "$work"; fi
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    local log
    for log in "${e2e_logs[@]}"; do
        if [ -f "$work/$log" ]; then
            echo "--- $log:" >&2
            tail -n 20 "$work/$log" >&2
        fi
    done
    [ -z "$e2e_keep" ] || echo "screenshots and logs: $work" >&2
    exit 1
}

# watch_notifications: every Notify call on the session bus, as the daemon receives it, into
# $work/notify.log. Call after headless_start.
watch_notifications() {
    dbus-monitor --session \
        "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
        >"$work/notify.log" 2>&1 &
    pids+=($!)
}

# notification_strings: the string arguments of the calls watched, one a line; the 3rd and 4th
# of the first call are its summary and body (after app name and icon).
notification_strings() {
    grep -A12 "member=Notify" "$work/notify.log" | sed -n 's/^ *string "\(.*\)"$/\1/p'
}
