#!/usr/bin/env bash
# The real program in the trays of Linux desktops. In Xfce's panel, which hosts both kinds of
# icon, it shows one StatusNotifierItem (tooltip, pixmaps, a menu built when it opens, Exit from
# it), with its trace kept out of a journal. With no tray it says so once; in trayer it docks its
# XEmbed icon; a panel started later takes the icon over with no duplicate left.
set -euo pipefail
bin=$1
source "$(dirname "$0")/lib.sh"
logs=(one.err two.err two.log)

watcher() {
    gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher "$1"
}
# item PID: the bus name of the item PID registered with the watcher.
item() { watcher RegisteredStatusNotifierItems | grep -o "org.kde.StatusNotifierItem-$1-[0-9]*"; }
on_item() { gdbus call --session --dest "$name" --object-path "$@"; }
property() { on_item /StatusNotifierItem --method org.freedesktop.DBus.Properties.Get \
    org.kde.StatusNotifierItem "$1"; }
menu() { on_item /MenuBar --method "com.canonical.dbusmenu.$1" "${@:2}"; }
tooltip_is() { property ToolTip | grep -qF "'$1'"; }
docked() { xdotool search --onlyvisible --pid "$1"; }
ended() { ! kill -0 "$1"; }

headless_start 1024x768 xfce4-panel
export QUENTHAL_PIPE=$work/Quenthal
"$bin/statusd" --version-text "7.2.0-sni" --http 8080 --rtsp 554 >"$work/statusd.log" 2>&1 &
pids+=($!)
wait_for 10 test -S "$QUENTHAL_PIPE" || fail "statusd does not serve"

# Its standard output is the journal, as when started at login.
: >"$work/one.log"
JOURNAL_STREAM=$(stat -c %d:%i "$work/one.log") "$bin/sentak" >"$work/one.log" 2>"$work/one.err" &
one=$!
pids+=("$one")
wait_for 15 item "$one" || fail "sentak did not register with the panel's watcher"
name=$(item "$one")
wait_for 10 tooltip_is "Vantora 3 Service running" || fail "tooltip: $(property ToolTip)"
if docked "$one"; then fail "an XEmbed icon beside the StatusNotifierItem"; fi
sizes=$(property IconPixmap | grep -o '([0-9]*, [0-9]*, ' | tr -dc '0-9 \n' | xargs)
[ "$sizes" = "16 16 22 22 24 24 32 32 48 48 64 64" ] || fail "pixmap sizes: $sizes"
if grep -q "Connecting to pipe" "$work/one.log"; then fail "trace lines went to the journal"; fi

# The menu is built when it opens, with what the service serves then.
[ "$(menu AboutToShow 0)" = "(true,)" ] || fail "AboutToShow does not rebuild the menu"
dump=$(/usr/libexec/dbusmenu-dumper --dbus-name="$name" --dbus-object=/MenuBar)
for label in "'Vantora 3'" "'Version: 7.2.0-sni'" "'HTTP port: 8080'" "'HTTPS port: ???'" \
    "'Open web _settings'"; do
    grep -qF "\"label\": $label" <<<"$dump" || fail "no $label in the menu: $dump"
done
if grep -q '"id": 6000' <<<"$dump"; then fail "Exit without Shift"; fi
# Shift held as it opens: Exit is there, and chosen over the bus ends the program well.
xdotool keydown shift
menu AboutToShowGroup '[0]' >/dev/null
xdotool keyup shift
grep -qF "'E_xit tray application'" <(/usr/libexec/dbusmenu-dumper --dbus-name="$name" \
    --dbus-object=/MenuBar) || fail "no Exit in the menu opened with Shift"
menu Event 6000 clicked '<0>' 0 >/dev/null
wait_for 15 ended "$one" || fail "sentak still runs after Exit"
status=0
wait "$one" || status=$?
((status == 0)) || fail "sentak ended with status $status"
if watcher RegisteredStatusNotifierItems | grep -q "$name"; then fail "the item stayed"; fi

# No tray at all: said once. Then trayer, then a panel that takes the icon over.
kill "$HEADLESS_TRAY_PID"
wait_for 10 sh -c "! gdbus call --session --dest org.kde.StatusNotifierWatcher \
    --object-path /StatusNotifierWatcher --method org.freedesktop.DBus.Peer.Ping 2>/dev/null" ||
    fail "the panel's watcher does not go away"
"$bin/sentak" >"$work/two.log" 2>"$work/two.err" &
two=$!
pids+=("$two")
wait_for 10 grep -q "no system tray" "$work/two.err" || fail "no word about the missing tray"
headless_tray trayer
wait_for 15 docked "$two" || fail "no XEmbed icon in trayer"
if item "$two"; then fail "a StatusNotifierItem with no watcher"; fi
headless_tray xfce4-panel
wait_for 15 item "$two" || fail "the panel started later did not get the item"
wait_for 10 sh -c "! xdotool search --onlyvisible --pid $two" || fail "the XEmbed icon stayed"
[ "$(grep -c "no system tray" "$work/two.err")" = 1 ] || fail "the missing tray was told twice"
wait_for 10 grep -q "Connecting to pipe" "$work/two.log" || fail "no trace lines outside the journal"
echo "sni: one StatusNotifierItem in xfce4-panel, Exit over the bus, XEmbed in trayer, taken over"
