#!/usr/bin/env bash
# The .deb as a user gets it, beside the stand-in service, with a real tray host (trayer) and
# notification daemon (dunst). The package depends on the toolkit and has valid desktop entries;
# unpacked and started from a German user's home (LANG alone) through a link of another name, the
# program finds its brand and catalogue in its share folder, ignores its command line, docks one
# tray icon without a window, reports a stop once with the brand's name as written, and Exit from
# the Shift menu ends it with status 0, taking the icon out of the tray.
# Usage: e2e.sh BUILD_DIR CPACK
set -euo pipefail
build=$1
source "$(dirname "$0")/lib.sh"
logs=(sentak.log notify.log)
failed() { grep -c "^Failed" "$work/sentak.log" || true; }
failed_at_least() { (($(failed) >= $1)); }

"$2" -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack made no package"; }
deb=$(ls "$work"/package/sentak_*.deb)
dpkg-deb -f "$deb" Depends | grep -q libwxgtk3.2 || fail "no dependency on the toolkit"
dpkg-deb -x "$deb" "$work/root"
for entry in usr/share/applications/sentak.desktop etc/xdg/autostart/sentak.desktop; do
    desktop-file-validate "$work/root/$entry" || fail "$entry is not a valid desktop entry"
done
printf '{ "productname": "R&D <test>\t100%%s" }\n' >"$work/root/usr/share/sentak/Resources/brand.json"
mkdir "$work/home"
ln -s "$work/root/usr/bin/sentak" "$work/home/tray-companion"

headless_start
watch_notifications
export QUENTHAL_PIPE=$work/Quenthal
(cd "$work/home" && exec env -u LANGUAGE -u LC_ALL -u LC_MESSAGES HOME="$work/home" \
    LANG=de_DE.UTF-8 ./tray-companion --help -x >"$work/sentak.log" 2>&1) &
sentak=$!
pids+=($sentak)
wait_for 15 xdotool search --onlyvisible --pid $sentak || fail "sentak shows no tray icon"
icon=$(xdotool search --onlyvisible --pid $sentak)
eval "$(xdotool getwindowgeometry --shell "$icon")"
((WIDTH <= 48 && HEIGHT <= 48 && Y < 48)) || fail "sentak shows ${WIDTH}x${HEIGHT} at $X,$Y: $icon"
wait_for 10 failed_at_least 1 || fail "no poll"

"$build/bin/statusd" 2>"$work/statusd.log" &
pids+=($!)
wait_for 10 grep -q "^Done\.$" "$work/sentak.log" || fail "the service's record was not read"
kill "${pids[-1]}"
wait_for 25 grep -q "member=Notify" "$work/notify.log" || fail "no notification within 25 s"
wait_for 10 failed_at_least $(($(failed) + 2)) || fail "polling stopped"
[ "$(grep -c member=Notify "$work/notify.log")" = 1 ] || fail "more than one notification"
[ "$(notification_text)" = "Dienst läuft nicht
Der Dienst R&amp;D &lt;test&gt; 100%s läuft nicht mehr." ] || fail "notified $(notification_text)"
dunstctl close-all # out of the way of the tray

xdotool keydown shift mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
wait_for 10 test "$(xdotool search --onlyvisible --pid $sentak | wc -l)" -ge 2 || fail "no menu"
xdotool keyup shift key b # "Anwendung im Infobereich &beenden"
wait_for 15 sh -c "! kill -0 $sentak" || fail "sentak still runs after Exit"
status=0
wait $sentak || status=$?
((status == 0)) || fail "sentak ended with status $status"
if xdotool getwindowgeometry "$icon" >/dev/null 2>&1; then fail "the icon stayed in the tray"; fi
echo "e2e: $(basename "$deb") installed: one tray icon, one German notification, Exit with 0"
