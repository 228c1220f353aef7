# Shell helpers shared by scripts/demo and the whole-program tests: a private desktop with a
# virtual display, a real tray host and a real notification daemon on a private session bus.
# Source this file; call headless_start, and headless_stop from an EXIT trap.

HEADLESS_PIDS=()

# wait_for SECONDS COMMAND...: polls COMMAND every 0.2 s until it succeeds or time runs out.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}

# headless_start [WIDTHxHEIGHT]: a private Xvfb display, a session bus, dunst and trayer.
# Exports DISPLAY and DBUS_SESSION_BUS_ADDRESS for everything started after it.
headless_start() {
    local size=${1:-1024x768}
    local displayfile
    displayfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$displayfile" 2>/dev/null &
    HEADLESS_PIDS+=($!)
    wait_for 10 test -s "$displayfile" || { echo "headless: Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(head -n1 "$displayfile")"
    rm -f "$displayfile"

    local bus
    bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) ||
        { echo "headless: no session bus" >&2; return 1; }
    export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$bus")
    HEADLESS_PIDS+=("$(sed -n 2p <<<"$bus")")

    dunst >/dev/null 2>&1 &
    HEADLESS_PIDS+=($!)
    wait_for 10 dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.GetNameOwner string:org.freedesktop.Notifications ||
        { echo "headless: dunst did not take the notification bus name" >&2; return 1; }

    trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
        --transparent false --tint 0x303030 >/dev/null 2>&1 &
    HEADLESS_PIDS+=($!)
    wait_for 10 xdotool search --classname trayer ||
        { echo "headless: trayer did not start" >&2; return 1; }
}

# headless_stop: ends everything headless_start started, newest first.
headless_stop() {
    local i
    for ((i = ${#HEADLESS_PIDS[@]} - 1; i >= 0; i--)); do
        kill "${HEADLESS_PIDS[i]}" 2>/dev/null || true
    done
    HEADLESS_PIDS=()
}

# headless_screenshot FILE: the whole screen as PNG.
headless_screenshot() {
    import -window root "$1"
}
