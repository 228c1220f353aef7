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

# headless_start [WIDTHxHEIGHT] [TRAY]: a private Xvfb display, a session bus, dunst and a tray
# host (headless_tray). Exports DISPLAY and DBUS_SESSION_BUS_ADDRESS for everything started after.
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

    headless_notifier dunst || return 1
    headless_tray "${2:-trayer}"
}

# headless_notifier DAEMON: the notification daemon, in place of the one that runs: dunst, or
# xfce4-notifyd, which draws a notification's buttons (dunst draws none).
headless_notifier() {
    local owner="dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.GetNameOwner string:org.freedesktop.Notifications"
    if [ -n "${HEADLESS_NOTIFIER_PID:-}" ]; then
        kill "$HEADLESS_NOTIFIER_PID"
        wait_for 10 eval "! $owner" || { echo "headless: the old daemon stays" >&2; return 1; }
    fi
    case $1 in
    dunst) dunst >/dev/null 2>&1 & ;;
    xfce4-notifyd)
        XDG_CONFIG_HOME=$(mktemp -d) /usr/lib/x86_64-linux-gnu/xfce4/notifyd/xfce4-notifyd \
            >/dev/null 2>&1 &
        ;;
    *) echo "headless: no notification daemon $1" >&2; return 1 ;;
    esac
    HEADLESS_NOTIFIER_PID=$!
    HEADLESS_PIDS+=($!)
    wait_for 10 $owner ||
        { echo "headless: $1 did not take the notification bus name" >&2; return 1; }
}

# headless_tray TRAY: starts a tray host along the top edge; HEADLESS_TRAY_PID is its process.
#   trayer       XEmbed icons only, at the right
#   xfce4-panel  Xfce's panel with only its notification area: StatusNotifierItems (it owns
#                org.kde.StatusNotifierWatcher) and XEmbed icons, at the left. Its settings live
#                in a private folder, so the user's own panel is left alone.
#   none         no tray at all
headless_tray() {
    case $1 in
    trayer)
        trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
            --transparent false --tint 0x303030 >/dev/null 2>&1 &
        HEADLESS_TRAY_PID=$!
        HEADLESS_PIDS+=($!)
        wait_for 10 xdotool search --classname trayer ||
            { echo "headless: trayer did not start" >&2; return 1; }
        ;;
    xfce4-panel)
        local config
        config=$(mktemp -d)
        mkdir -p "$config/xdg/xfce4/panel"
        cat >"$config/xdg/xfce4/panel/default.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="32"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
XML
        XDG_CONFIG_DIRS=$config/xdg XDG_CONFIG_HOME=$config/home XDG_CACHE_HOME=$config/cache \
            xfce4-panel --disable-wm-check >/dev/null 2>&1 &
        HEADLESS_TRAY_PID=$!
        HEADLESS_PIDS+=($!)
        wait_for 15 dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
            org.freedesktop.DBus.GetNameOwner string:org.kde.StatusNotifierWatcher ||
            { echo "headless: xfce4-panel did not take the watcher's bus name" >&2; return 1; }
        ;;
    none) HEADLESS_TRAY_PID= ;;
    *) echo "headless: no tray host $1" >&2; return 1 ;;
    esac
}

# headless_system_bus: a private bus in place of the system's, with systemd-standin BIN [OPTION...]
# owning systemd's name on it, so that service commands go there. Exports DBUS_SYSTEM_BUS_ADDRESS.
headless_system_bus() {
    local bus
    bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) ||
        { echo "headless: no private system bus" >&2; return 1; }
    export DBUS_SYSTEM_BUS_ADDRESS=$(sed -n 1p <<<"$bus")
    HEADLESS_PIDS+=("$(sed -n 2p <<<"$bus")")
    "$@" &
    HEADLESS_MANAGER_PID=$!
    HEADLESS_PIDS+=($!)
    wait_for 10 dbus-send --system --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.GetNameOwner string:org.freedesktop.systemd1 ||
        { echo "headless: the stand-in of systemd did not take its bus name" >&2; return 1; }
}

# The StatusNotifierItem side, on the session bus: the watcher, the item a process registered
# with it, and the properties of the item named $name (set name=$(item PID) first).
watcher() {
    gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher "$@"
}
# item PID: the bus name of the item PID registered with the watcher.
item() {
    watcher --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher \
        RegisteredStatusNotifierItems | grep -o "org.kde.StatusNotifierItem-$1-[0-9]*"
}
on_item() { gdbus call --session --dest "$name" --object-path "$@"; }
property() { on_item /StatusNotifierItem --method org.freedesktop.DBus.Properties.Get \
    org.kde.StatusNotifierItem "$1"; }

# The notifications a daemon was sent, as dbus-monitor logs their Notify calls to LOG.
# notice_call LOG N: the Nth call, whole.
notice_call() { awk -v n="$2" '/member=Notify/ {c++} c == n' "$1"; }
# notice_text LOG N: its title and message (a message of several lines spans as many).
notice_text() {
    notice_call "$1" "$2" | sed '/^   array \[/,$d' | tail -n +5 | sed 's/^   string "//; s/"$//'
}

# headless_stop: ends everything headless_start started, newest first.
headless_stop() {
    local i
    for ((i = ${#HEADLESS_PIDS[@]} - 1; i >= 0; i--)); do
        kill "${HEADLESS_PIDS[i]}" 2>/dev/null || true
    done
    HEADLESS_PIDS=()
    HEADLESS_NOTIFIER_PID=
}

# headless_screenshot FILE: the whole screen as PNG.
headless_screenshot() {
    import -window root "$1"
}
