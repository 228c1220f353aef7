#!/usr/bin/env bash
# The real program starts into the tray of a real tray host and shows no window, whatever its
# command line says; two starts give two independent tray icons.
set -euo pipefail
bin=$1
source "$(dirname "$0")/lib.sh"

headless_start
export QUENTHAL_PIPE=$work/Quenthal # nothing serves there
"$bin/sentak" --help --version -x bogus >"$work/one.log" 2>&1 &
pids+=($!)
"$bin/sentak" >"$work/two.log" 2>&1 &
pids+=($!)

# Each docks one icon of tray size in the tray host; nothing else of theirs is on screen.
for pid in "${pids[@]}"; do
    wait_for 15 xdotool search --onlyvisible --pid "$pid" ||
        fail "sentak $pid shows no tray icon"
done
wait_for 10 grep -q "Failed to connect to pipe." "$work/one.log" || fail "the first start does not poll"
for pid in "${pids[@]}"; do
    kill -0 "$pid" || fail "sentak $pid has ended"
    windows=$(xdotool search --onlyvisible --pid "$pid")
    [ "$(wc -l <<<"$windows")" -eq 1 ] || fail "sentak $pid shows more than its tray icon"
    eval "$(xdotool getwindowgeometry --shell "$windows")"
    ((WIDTH <= 48 && HEIGHT <= 48 && Y < 48)) ||
        fail "sentak $pid shows a ${WIDTH}x${HEIGHT} window at $X,$Y, not a tray icon"
done
if grep -qi "usage" "$work/one.log"; then fail "the command line was parsed"; fi
echo "startup: 2 tray icons, no window, arguments ignored"
