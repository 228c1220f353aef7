#!/usr/bin/env bash
# The Windows .zip as a user runs it, under Wine on a virtual display: unpacked, it holds
# sentak.exe with Resources/ and every catalogue; beside statusd.exe it reads the named pipe
# every 2 s, shows the service icon in Wine's tray (a second start ends with 0), and a balloon
# when the service stops.
# Screenshots go to $SENTAK_E2E_OUT, or e2e/ in the build folder.
# Usage: windows.sh BUILD_DIR CPACK (with WINEPREFIX a ready Wine prefix)
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/lib.sh"
logs=(sentak.log)
out=${SENTAK_E2E_OUT:-$build/e2e}
mkdir -p "$out"
at_exit() { wineserver -k 2>/dev/null || true; } # this run's own prefix: its Wine only
cp -a "$WINEPREFIX" "$work/prefix"
export WINEPREFIX=$work/prefix WINEDEBUG=-all QUENTHAL_PIPE="\\\\.\\pipe\\Quenthal-e2e-$$"

"$2" -G ZIP --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || fail "no .zip"
zip=$(ls "$work"/sentak-*.zip)
folder=$(basename "$zip" .zip)
unzip -Z1 "$zip" | grep -v '/$' | sort >"$work/files"
diff <(printf "$folder/%s\n" sentak.exe sentak-control.exe LICENSE.txt Resources/brand.json \
    Resources/Icons/dvr.ico languages/{de,fr}/main.mo | sort) "$work/files" ||
    fail "$(basename "$zip") holds other files"
unzip -q "$zip" -d "$work"

# pixels FILE TEST: how many pixels of the notification area (bottom right) pass -fx TEST.
pixels() { convert "$1" -crop 80x19+560+461 +repage -fx "($2) ? 1 : 0" -format '%[fx:round(mean*w*h)]' info:; }
done_lines() { grep -c '^Done\.' "$work/sentak.log" || true; }
headless_start
wine "$build/bin/statusd.exe" >"$work/statusd.log" 2>&1 &
pids+=($!)
wait_for 40 grep -q serving "$work/statusd.log" || fail "statusd.exe does not serve"
wine explorer /desktop=sentak,640x480 "$work/$folder/sentak.exe" >"$work/sentak.log" 2>&1 &
wait_for 40 grep -q '^Done\.' "$work/sentak.log" || fail "sentak.exe never read the pipe"
first=$(done_lines)
sleep 10
refreshes=$(($(done_lines) - first))
((refreshes >= 3 && refreshes <= 7)) || fail "$refreshes refreshes in 10 s, not one every 2 s"
headless_screenshot "$out/windows-tray.png"
(($(pixels "$out/windows-tray.png" 'b - r > 0.2 && b > 0.4') >= 40)) || fail "no service icon in the tray"

timeout 30 wine "$work/$folder/sentak.exe" || fail "a second sentak.exe ended with status $?"
kill "${pids[0]}" # the service stops: after ten failed refreshes, a white balloon above the tray
balloon() {
    headless_screenshot "$out/windows-balloon.png"
    (($(convert "$out/windows-balloon.png" -crop 300x80+340+380 +repage \
        -fx 'r > 0.9 && g > 0.9 && b > 0.9 ? 1 : 0' -format '%[fx:round(mean*w*h)]' info:) >= 2000))
}
wait_for 40 balloon || fail "no balloon above the tray icon"
echo "windows: $(basename "$zip") runs: $refreshes refreshes in 10 s, icon in the tray, balloon at the stop"
