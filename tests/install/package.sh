#!/usr/bin/env bash
# The .deb as a user gets it: built by cpack, with the toolkit's libraries among its
# dependencies and valid desktop entries, unpacked into a temporary root and started from the
# user's home folder with German as the user's language. The installed program finds its brand
# file, its icon and its German catalogue in its share folder: the service's icon in the tray, a
# German notification naming the brand's product when the service stops.
# Usage: package.sh BUILD_DIR CMAKE CPACK
set -euo pipefail
build=$1
cmake=$2
cpack=$3
source "$(dirname "$0")/../e2e/lib.sh"
e2e_logs=(sentak.log notify.log)

# The package, and the same tree from a plain install to /usr.
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack made no package"; }
deb=$(ls "$work"/package/sentak_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for library in libwxgtk3.2 libwxbase3.2 libstdc++6; do
    grep -q "$library" <<<"$depends" || fail "the package does not depend on $library: $depends"
done
root=$work/root
dpkg-deb -x "$deb" "$root"
DESTDIR=$work/destdir "$cmake" --install "$build" --prefix /usr >/dev/null
diff <(cd "$root" && find . | sort) <(cd "$work/destdir" && find . | sort) ||
    fail "cmake --install to /usr installs another tree than the package"
"$cmake" --install "$build" --prefix "$work/local" >/dev/null
[ -f "$work/local/etc/xdg/autostart/sentak.desktop" ] ||
    fail "an install to another prefix has no autostart entry below it"

# The desktop's view: a launcher and an autostart entry that run sentak with its icon.
for entry in usr/share/applications/sentak.desktop etc/xdg/autostart/sentak.desktop; do
    desktop-file-validate "$root/$entry" || fail "$entry is not a valid desktop entry"
    grep -qx "Exec=sentak" "$root/$entry" || fail "$entry does not run sentak"
    grep -qx "Icon=sentak" "$root/$entry" || fail "$entry does not show the sentak icon"
done
for size in 16 22 24 32 48 64 128 256; do
    [ "$(identify -format %wx%h "$root/usr/share/icons/hicolor/${size}x${size}/apps/sentak.png")" \
        = "${size}x${size}" ] || fail "no ${size} px icon"
done

# The brand's product name, to tell it from the built-in default.
printf '{\n    "productname": "Acme Recorder"\n}\n' >"$root/usr/share/sentak/Resources/brand.json"

headless_start
export QUENTHAL_PIPE=$work/Quenthal
watch_notifications
"$build/bin/statusd" 2>"$work/statusd.log" &
service_pid=$!
wait_for 10 test -S "$QUENTHAL_PIPE" || fail "statusd does not serve"

# A German user's login: the home folder as working directory, nothing of the build around,
# and the program started through a link of another name, as a launcher or an alias may.
mkdir -p "$work/home/bin"
ln -s "$root/usr/bin/sentak" "$work/home/bin/tray-companion"
(cd "$work/home" && HOME=$work/home LANGUAGE=de exec "$work/home/bin/tray-companion") \
    >"$work/sentak.log" 2>&1 &
sentak=$!
pids+=("$sentak")
wait_for 15 xdotool search --onlyvisible --pid "$sentak" || fail "the installed sentak shows no tray icon"
icon=$(xdotool search --onlyvisible --pid "$sentak" | head -n1)
wait_for 10 grep -q "^Done\.$" "$work/sentak.log" || fail "the installed sentak does not poll"

# The service's icon: the blue of its tile covers half of the tray icon (a few per cent of the
# question mark's).
service_blue() {
    local WIDTH HEIGHT X Y WINDOW SCREEN
    eval "$(xdotool getwindowgeometry --shell "$icon")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$work/icon.png"
    blue=$(convert "$work/icon.png" -fuzz 10% -fill magenta -opaque '#2467b3' \
        -fill black +opaque magenta -fill white -opaque magenta -format '%[fx:mean]' info:)
    awk -v share="$blue" 'BEGIN { exit !(share > 0.25) }'
}
wait_for 5 service_blue || fail "the tray shows no service icon (blue share $blue)"

kill -TERM "$service_pid"
wait "$service_pid" || true
service_pid=
wait_for 25 grep -q "member=Notify" "$work/notify.log" || fail "no notification within 25 s"
mapfile -t strings < <(notification_strings)
[ "${strings[2]:-}" = "Dienst läuft nicht" ] || fail "the notification's title is '${strings[2]:-}'"
[ "${strings[3]:-}" = "Der Dienst Acme Recorder läuft nicht mehr." ] ||
    fail "the notification says '${strings[3]:-}'"
echo "package: $(basename "$deb") depends on $depends;" \
    "installed, it found its brand, icon (blue share $blue) and German texts"
