#!/usr/bin/env bash
# The .deb as a user gets it, beside the stand-in service, in the trays of Linux desktops with a
# real notification daemon (dunst). The package depends on the toolkit and has valid desktop
# entries. Unpacked and started from a German user's home (LANG alone) through a link of another
# name, the program finds its brand and catalogue in its share folder and ignores its command
# line. In Xfce's panel, which hosts both kinds of icon, it shows one StatusNotifierItem (tooltip,
# pixmaps, words for screen readers, the theme's warning sign once stopped with its image in the
# package, a menu that follows the status between openings), keeps its trace out of the journal,
# reports a stop once with the brand's name as written, and Exit from the Shift menu ends it with
# status 0. With no
# tray it says so once, and in a notification 10 s after start; in trayer it docks its XEmbed
# icon with its menu; a panel started later takes the icon over with no duplicate left; a second
# start there ends with 0 and the first says that it runs. The package passes lintian and its
# AppStream metadata is valid.
# Usage: e2e.sh BUILD_DIR CPACK
set -euo pipefail
build=$1
source "$(dirname "$0")/lib.sh"
logs=(one.err two.err two.log notify.log)

"$2" -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack made no package"; }
deb=$(ls "$work"/package/sentak_*.deb)
dpkg-deb -f "$deb" Depends | grep -q libwxgtk3.2 || fail "no dependency on the toolkit"
dpkg-deb -x "$deb" "$work/root"
[ -f "$work/root/usr/share/doc/sentak/examples/50-sentak-quenthal.rules" ] ||
    fail "no example polkit rule in the package's documentation"
if dpkg-deb -c "$deb" | grep -q polkit-1; then fail "the package installs a polkit rule"; fi
for entry in usr/share/applications/sentak.desktop etc/xdg/autostart/sentak.desktop; do
    desktop-file-validate "$work/root/$entry" || fail "$entry is not a valid desktop entry"
done
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || fail "$(<"$work/lintian.log")"
appstreamcli validate-tree --no-net "$work/root" || fail "the AppStream metadata is not valid"
printf '{ "productname": "R&D <test>\t100%%s" }\n' >"$work/root/usr/share/sentak/Resources/brand.json"
mkdir "$work/home"
ln -s "$work/root/usr/bin/sentak" "$work/home/tray-companion"
# start NAME [VARIABLE=VALUE...]: the installed program as a German user's login starts it.
start() {
    (cd "$work/home" && exec env -u LANGUAGE -u LC_ALL -u LC_MESSAGES HOME="$work/home" \
        LANG=de_DE.UTF-8 "${@:2}" ./tray-companion --help -x >"$work/$1.log" 2>"$work/$1.err") &
    pids+=($!)
}
docked() { xdotool search --onlyvisible --pid "$1"; }

headless_start 1024x768 xfce4-panel
watch_notifications
export QUENTHAL_PIPE=$work/Quenthal
# A system bus where nothing answers: no service manager to say why the service stopped, so that
# the notification is the one without a reason on any machine.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/no-system-bus
"$build/bin/statusd" --version-text "7.2.0-e2e" --http 8080 >"$work/statusd.log" 2>&1 &
service=$!
pids+=($service)
wait_for 10 test -S "$QUENTHAL_PIPE" || fail "statusd does not serve"

: >"$work/one.log" # its standard output is the journal, as when started at login
start one JOURNAL_STREAM="$(stat -c %d:%i "$work/one.log")"
one=$!
wait_for 15 item $one || fail "sentak did not register with the panel's watcher"
name=$(item $one)
wait_for 10 tooltip_is "Dienst R&D <test> 100%s läuft" || fail "tooltip: $(property ToolTip)"
[ "$(property IconAccessibleDesc)" = "(<'Dienst R&D <test> 100%s läuft'>,)" ] || fail "no description"
if docked $one; then fail "an XEmbed icon beside the StatusNotifierItem"; fi
sizes=$(property IconPixmap | grep -o '([0-9]*, [0-9]*, ' | tr -dc '0-9 \n' | xargs)
[ "$sizes" = "16 16 22 22 24 24 32 32 48 48 64 64" ] || fail "pixmap sizes: $sizes"
[ ! -s "$work/one.log" ] || fail "trace lines went to the journal"
# Read as hosts that draw their copy first read it: no opening.
wait_for 6 layout_has "Version: 7.2.0-e2e" || fail "the layout misses the version: $(layout)"
layout_has "HTTP-Port: 8080" || fail "the layout misses the port: $(layout)"
[ "$(menu AboutToShow 0)" = "(false,)" ] || fail "an opening with nothing changed: $(layout)"
ids=$(layout | grep -o '<([0-9]*')
grep -qx '<(6111' <<<"$ids" || fail "no time the service runs since: $(layout)"
[ "$(menu GetLayout 0 0 '[]' | sed 's/uint32 [0-9]*/uint32 N/')" = "(uint32 N, (0, {'children-display': <'submenu'>}, @av []))" ] ||
    fail "the root at depth 0: $(menu GetLayout 0 0 '[]')"
menu AboutToShowGroup '[6000]' 2>/dev/null && fail "no error for ids that are all unknown"
menu Event 6000 clicked '<0>' 0 # not in the ordinary form: nothing happens
# What the item sends from here on: nothing while the status stays, then only what changed.
dbus-monitor --session "type='signal',sender='$name'" >"$work/signals.log" 2>&1 &
pids+=($!)
signals() { grep "^signal" "$work/signals.log" | grep -v "sender=org.freedesktop.DBus"; }
for label in "R&D <test> 100%s" "Version: 7.2.0-e2e" "HTTP-Port: 8080" "HTTPS-Port: ???"; do
    dump | grep -qF "\"label\": '$label'" || fail "no $label in the menu: $(dump)"
done
if dump | grep -q '"id": 6000'; then fail "Exit without Shift"; fi
sleep 5 # two ticks or more
[ -z "$(signals)" ] || fail "signals while nothing changed: $(signals)"

kill $service
down="Dienst R&D <test> 100%s läuft NICHT"
wait_for 6 layout_has "$down" || fail "the layout after the stop: $(layout)"
header=$(id_of "$down") || fail "no id for the top entry: $(layout)"
[ "$(layout | grep -o '<([0-9]*')" = "$(grep -vx '<(6111' <<<"$ids")" ] ||
    fail "other ids after the stop: $(layout)"
signals | grep -q member=ItemsPropertiesUpdated || fail "no properties updated: $(signals)"
wait_for 25 grep -q "member=Notify" "$work/notify.log" || fail "no notification within 25 s"
[ "$(notification_text)" = "Dienst läuft nicht
Der Dienst R&amp;D &lt;test&gt; 100%s läuft nicht mehr." ] || fail "notified $(notification_text)"
[ "$(property IconName)" = "(<'dialog-warning'>,)" ] || fail "theme icon when stopped: $(property IconName)"
[ "$(property IconThemePath)" = "(<'$work/root/usr/share/sentak/Resources/Icons/theme'>,)" ] ||
    fail "the images of the theme's names are not in the package: $(property IconThemePath)"
dunstctl close-all
xdotool keydown shift # held as the menu opens: Exit is there, and ends the program well
menu AboutToShowGroup '[0]' >/dev/null
xdotool keyup shift
wait_for 5 sh -c "$(declare -f dump); name=$name; dump | grep -q '\"id\": 6000'" || fail "no Exit"
[ "$(id_of "$down")" = "$header" ] || fail "the top entry's id changed with the form: $(layout)"
menu Event 6000 clicked '<0>' 0 >/dev/null
wait_for 15 sh -c "! kill -0 $one" || fail "sentak still runs after Exit"
status=0
wait $one || status=$?
((status == 0)) || fail "sentak ended with status $status"
[ "$(grep -c member=Notify "$work/notify.log")" = 1 ] || fail "more than one notification"
if item $one; then fail "the item stayed"; fi

kill "$HEADLESS_TRAY_PID"
wait_for 10 no_watcher || fail "the panel's watcher does not go away"
start two
two=$!
wait_for 10 grep -q "no system tray" "$work/two.err" || fail "no word about the missing tray"
wait_for 15 grep -q "Keine Systemleiste zeigt" "$work/notify.log" || fail "no notice of the missing tray"
headless_tray trayer
wait_for 15 docked $two || fail "no XEmbed icon in trayer"
if item $two 2>/dev/null; then fail "a StatusNotifierItem with no watcher"; fi
eval "$(xdotool getwindowgeometry --shell "$(docked $two)")"
((WIDTH <= 48 && HEIGHT <= 48 && Y < 48)) || fail "sentak shows ${WIDTH}x${HEIGHT} at $X,$Y"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
wait_for 10 test "$(docked $two | wc -l)" -ge 2 || fail "no menu from the XEmbed icon"
xdotool key Escape
headless_tray xfce4-panel
wait_for 15 item $two || fail "the panel started later did not get the item"
wait_for 10 sh -c "! xdotool search --onlyvisible --pid $two" || fail "the XEmbed icon stayed"
[ "$(grep -c "no system tray" "$work/two.err")" = 1 ] || fail "the missing tray was told twice"
grep -q "^Connecting to pipe" "$work/two.log" || fail "no trace lines outside the journal"
start again # in the same session, on the same pipe: tells the one that runs, and ends with 0
wait_for 15 sh -c "! kill -0 $!" && wait $! || fail "a second start runs, or ended with $?"
[ "$(watcher --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher \
    RegisteredStatusNotifierItems | grep -o StatusNotifierItem- | wc -l)" = 1 ] || fail "two items"
wait_for 10 grep -q "Sentak läuft bereits" "$work/notify.log" || fail "the first did not say it"
urgent=$(grep -A1 '"urgency"' "$work/notify.log" | grep -c 'byte [12]$') # GNOME's banner needs 1
[ "$urgent" = "$(grep -c member=Notify "$work/notify.log")" ] || fail "low urgency: $urgent urgent"
echo "e2e: $(basename "$deb") installed: one StatusNotifierItem, German texts, Exit with 0;" \
    "XEmbed in trayer, taken over by a later panel; a second start ends with 0"
