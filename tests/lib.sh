# What every whole-program test starts with: the headless desktop's helpers (wait_for,
# headless_start, ...), a work folder, the processes to end on exit, and fail(), which shows the
# last lines of each log named in $logs. Source it after the script's own arguments are read.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib/headless.sh"
work=$(mktemp -d)
pids=()
logs=()
cleanup() {
    kill "${pids[@]}" 2>/dev/null || true
    if declare -F at_exit >/dev/null; then at_exit; fi
    headless_stop
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    for log in "${logs[@]}"; do echo "--- $log:" && tail -n 20 "$work/$log"; done >&2
    exit 1
}

# Every Notify call on the session bus, as the daemon receives it, into $work/notify.log.
watch_notifications() {
    dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
        >"$work/notify.log" 2>&1 &
    pids+=($!)
}
# The summary and body of the first notification watched, one a line.
notification_text() {
    grep -A12 "member=Notify" "$work/notify.log" | sed -n 's/^ *string "\(.*\)"$/\1/p' | sed -n 3,4p
}

# $name's menu (set name=$(item PID) first; watcher, item and property are headless.sh's).
no_watcher() { ! watcher --method org.freedesktop.DBus.Peer.Ping 2>/dev/null; }
menu() { on_item /MenuBar --method "com.canonical.dbusmenu.$1" "${@:2}"; }
layout() { menu GetLayout 0 'int32 -1' '[]'; }
layout_has() { layout | grep -qF "'$1'"; }
id_of() { layout | sed "s/<(/\n(/g" | grep -F "'$1'" | grep -o '^([0-9]*'; } # id_of LABEL
dump() { /usr/libexec/dbusmenu-dumper --dbus-name="$name" --dbus-object=/MenuBar; }
tooltip_is() { property ToolTip | grep -qF "'$1'"; }
