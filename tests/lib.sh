# What every whole-program test starts with: the headless desktop's helpers (wait_for,
# headless_start, ...), a work folder, the processes to end on exit, and fail(), which shows the
# last lines of each log named in $logs. Source it after the script's own arguments are read.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib/headless.sh"
work=$(mktemp -d)
sd=$work/systemd # the test's own systemd, when it starts one
pids=()
logs=()
cleanup() {
    kill "${pids[@]}" 2>/dev/null || true
    if declare -F at_exit >/dev/null; then at_exit; fi
    systemd_stop
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
notification_text() { notice_text "$work/notify.log" 1; }

# $name's menu (set name=$(item PID) first; watcher, item and property are headless.sh's).
no_watcher() { ! watcher --method org.freedesktop.DBus.Peer.Ping 2>/dev/null; }
menu() { on_item /MenuBar --method "com.canonical.dbusmenu.$1" "${@:2}"; }
layout() { menu GetLayout 0 'int32 -1' '[]'; }
layout_has() { layout | grep -qF "'$1'"; }
id_of() { layout | sed "s/<(/\n(/g" | grep -F "'$1'" | grep -o '^([0-9]*'; } # id_of LABEL
dump() { /usr/libexec/dbusmenu-dumper --dbus-name="$name" --dbus-object=/MenuBar; }
tooltip_is() { property ToolTip | grep -qF "'$1'"; }

# The test's own systemd: the manager as a user instance, which speaks the system manager's D-Bus
# API, on a private bus that stands for the system bus (systemd_start exports
# DBUS_SYSTEM_BUS_ADDRESS).
# systemd_unit NAME: writes the unit NAME from standard input (systemd_ctl daemon-reload once it
# runs). None of the machine's user units comes with it, and the manager stops it on its way out.
systemd_unit() {
    mkdir -p "$sd/home/.local/share/systemd/user"
    { printf '[Unit]\nDefaultDependencies=no\nConflicts=shutdown.target\nBefore=shutdown.target\n'
        cat; } >"$sd/home/.local/share/systemd/user/$1"
}
systemd_ctl() { XDG_RUNTIME_DIR=$sd/run HOME=$sd/home systemctl --user "$@"; }
# systemd_start: the manager, and its bus at $XDG_RUNTIME_DIR/bus as a user session has it (the
# manager speaks on the bus only while its dbus units run); again at the same address after
# systemd_stop. Only the test's own target starts, no unit of the machine's.
systemd_start() {
    mkdir -p "$sd/run" && chmod 700 "$sd/run"
    printf '[Unit]\nWants=dbus.socket\n' | systemd_unit sentak-test.target
    printf '[Socket]\nListenStream=%%t/bus\n' | systemd_unit dbus.socket
    printf '[Service]\nExecStart=dbus-daemon --session --address=systemd: --nofork --nopidfile\n' |
        systemd_unit dbus.service
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$sd/run/bus
    # The manager refuses to start without /run/systemd/system: it exists in the manager's own
    # mount namespace only, since the machine's /run changes what package scripts do.
    local run="mount -t tmpfs tmpfs /run && mkdir -p /run/systemd/system" namespace=(-m)
    [ ! -d /run/systemd ] || run="cp -R /run/systemd/. $sd/rs 2>/dev/null; mkdir -p $sd/rs/system &&
        mount --bind $sd/rs /run/systemd"
    ((EUID == 0)) || namespace=(-rm)
    XDG_RUNTIME_DIR=$sd/run HOME=$sd/home DBUS_SESSION_BUS_ADDRESS=$DBUS_SYSTEM_BUS_ADDRESS \
        unshare "${namespace[@]}" sh -c "$run && exec /usr/lib/systemd/systemd --user \
            --unit=sentak-test.target" 2>>"$sd/manager.log" &
    SYSTEMD_PID=$!
    wait_for 30 dbus-send --system --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.GetNameOwner string:org.freedesktop.systemd1 ||
        { echo "systemd: the manager did not take its bus name" >&2; return 1; }
}
# systemd_stop: the manager and its units, the bus among them, all gone when it returns.
systemd_stop() {
    [ -n "${SYSTEMD_PID-}" ] || return 0
    kill "$SYSTEMD_PID" 2>/dev/null && wait "$SYSTEMD_PID" || true
    SYSTEMD_PID=
}
