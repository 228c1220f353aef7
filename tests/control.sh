#!/usr/bin/env bash
# Start, stop and restart from the tray's menu, whole program: Sentak in Xfce's panel beside
# systemd's own manager on a private system bus, whose unit (named with a leading digit, which
# systemd's object paths escape) runs statusd on the status socket.
# Clicks come through the dbusmenu's Event, as a host sends them. Stop shows the stopped display
# at once and notifies nothing; Start and Restart bring the running display back; a masked unit
# and one whose start fails end in the command's error box; another client's job ending does not
# end ours; a command after the bus and the manager came back reaches the manager; the service
# then killed is notified exactly once, saying why and quoting its run's last words from the
# system's journal, with a button to start it, though a shutdown was announced before the bus
# went (its cancel read from the login manager's properties). Then, with Restart=always, two
# crashes the manager repairs make one restart notice naming the signal, the second replacing the
# first with the count; and a stop after the login manager (a stand-in) announced a shutdown, then
# a sleep, is no news. Every notice has at least normal urgency.
# Usage: control.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/lib.sh"
logs=(sentak.err systemd/manager.log notify.log)

headless_start 1024x768 xfce4-panel
watch_notifications
# The ids the daemon gives them, to see which one a later notice replaces.
dbus-monitor --session "type='method_return',sender='org.freedesktop.Notifications'" \
    >"$work/returns.log" 2>&1 &
pids+=($!)
export QUENTHAL_PIPE=$work/Quenthal
# A name that begins with a digit, which systemd escapes in its unit's object path, where it
# signals the changes the restart checks need. Sentak reads it from the brand beside a copy.
unit=3quenthal.service
mkdir "$work/bin" && cp -R "$build/bin/sentak" "$build/bin/Resources" "$work/bin/"
printf '{ "productname": "Vantora 3", "servicename": "%s" }\n' $unit \
    >"$work/bin/Resources/brand.json"
# Touching $work/slow makes its start take a while, $work/fails makes it fail.
systemd_unit $unit <<UNIT
[Service]
ExecStartPre=/bin/sh -c 'test ! -e $work/fails && (test ! -e $work/slow || sleep 4)'
ExecStart=$build/bin/statusd --path $QUENTHAL_PIPE
UNIT
systemd_unit other.service <<<$'[Service]\nType=oneshot\nExecStart=/bin/true'
systemd_start
systemd_ctl start $unit
# Sentak reads the system's journal in a mount namespace of its own, where the journal is a folder
# of the test's (no journald runs here), nothing of the machine's changed.
journal=$work/journal
mkdir -p "$journal"
log_dir=/run/log
[ -d $log_dir ] || log_dir=/run # hidden in the namespace only; the test's sockets are elsewhere
namespace=(-m)
((EUID == 0)) || namespace=(-rm)
unshare "${namespace[@]}" sh -c 'mount -t tmpfs tmpfs "$1" && mkdir -p "/run/log/journal/$2" &&
    mount --bind "$3" "/run/log/journal/$2" && exec "$4"' sh $log_dir "$(cat /etc/machine-id)" \
    "$journal" "$work/bin/sentak" >"$work/sentak.log" 2>"$work/sentak.err" &
sentak=$!
pids+=($sentak)
wait_for 15 item $sentak || fail "sentak did not register with the panel's watcher"
name=$(item $sentak)
# choose ID: the menu opened with Shift held, then ID clicked.
choose() {
    xdotool keydown shift
    menu AboutToShow 0 >/dev/null
    xdotool keyup shift
    menu Event "$1" clicked '<0>' 0 >/dev/null
}
# shows TOOLTIP SECONDS: the tray shows that display within the time.
shows() { wait_for "$2" tooltip_is "Vantora 3 Service $1" || fail "not '$1' but $(property ToolTip)"; }
notified() { grep -c member=Notify "$work/notify.log" || true; }
notified_once() { [ "$(notified)" = 1 ]; }
state_is() { [ "$(systemd_ctl is-active $unit)" = "$1" ]; }
# No command is under way: the menu's Restart is enabled again (Start and Stop follow what the
# manager says of the service).
idle() { menu GetProperty 6004 enabled | grep -q true; }
# box CAPTION: the command's error box shows; it is closed with its OK.
box() {
    wait_for 15 xdotool search --name "$1" || fail "no box '$1'"
    xdotool search --name "$1" windowfocus --sync %@ key Return
    wait_for 10 sh -c "! xdotool search --name '$1'" || fail "the box '$1' stayed"
}
shows running 10

# Within two ticks, however long the ten of an unasked-for stop would take.
choose 6003
shows "not running anymore" 5
state_is inactive || fail "no stop through the manager"
choose 6002
shows running 5

# Ours ends with its own job: another client's, ending first, is none of ours.
choose 6003
wait_for 10 idle || fail "the Stop never ended"
touch "$work/slow"
choose 6002
wait_for 10 state_is activating || fail "the slow Start never began"
systemd_ctl start other.service
wait_for 15 idle || fail "our Start never ended"
state_is active || fail "another job ended our Start"
rm "$work/slow"
shows running 5

# The manager refusing, and a job that fails.
choose 6003
wait_for 10 idle || fail "the Stop never ended"
systemd_ctl -q mask $unit
choose 6002
box "Failed to start the service"
systemd_ctl -q unmask $unit
touch "$work/fails"
choose 6002
box "Failed to start the service"
rm "$work/fails"

# The bus and the manager gone and back at the same address between two commands. A shutdown
# announced before is cancelled while the bus is away: the login manager, back with it, says so
# when asked.
"$build/tests/login_standin" PrepareForShutdown true
systemd_stop
systemd_start
"$build/tests/login_standin" serve false false &
standin=$!
pids+=("$standin")
choose 6004
wait_for 10 state_is active || fail "the Restart after the bus came back did not reach the manager"
shows running 10
[ "$(notified)" = 0 ] || fail "the stop asked for was notified"

# The run's last words in the system's journal, as journald keeps a unit's error line: its file
# written by systemd's journal-remote, with the run's id as the manager reports it.
run=$(systemd_ctl show --property=InvocationID --value $unit)
words="fatal: the recordings <disk> is full"
printf '__REALTIME_TIMESTAMP=1\n_SYSTEMD_UNIT=%s\n_SYSTEMD_INVOCATION_ID=%s\nPRIORITY=3\nMESSAGE=%s\n\n' \
    $unit "$run" "$words" | /lib/systemd/systemd-journal-remote --output="$journal/system@$run.journal" -
systemd_ctl kill --signal=KILL $unit # nobody asked for this one
wait_for 30 notified_once || fail "the unasked-for stop was not notified"
kill "$standin" 2>/dev/null || true # gone already or not: the cancel it served was read
wait "$standin" 2>/dev/null || true
shows "not running anymore" 1
# It says why, as the manager does, with one button: the notice's message and its actions (a key
# and a label), the tooltip's body and the menu.
notice=$(notice_call "$work/notify.log" 1 | sed '/^   int32/q')
why="The service was killed by the signal SIGKILL."
grep -qF "$why" <<<"$notice" || fail "the notice does not say why: $notice"
grep -qF "\"fatal: the recordings &lt;disk&gt; is full\"" <<<"$notice" ||
    fail "the notice does not quote the service's last words: $notice"
layout_has "\"$words\"" || fail "the menu does not quote the service's last words: $(layout)"
[ "$(sed -n '/^   array \[/,/^   \]/{p;/^   \]/q}' <<<"$notice" | grep -c '^ *string ')" = 2 ] ||
    fail "not one button: $notice"
property ToolTip | grep -qF "$why" || fail "the tooltip does not say why: $(property ToolTip)"
layout_has "$why" || fail "the menu does not say why: $(layout)"
sleep 4
notified_once || fail "the stop was notified more than once"

# restarts: each restart notice's call, one a line, with the id it replaces at the end.
restarts() {
    awk '/member=Notify/ {call = $0; n = 0} {n++} n == 3 {id = $2}
        /"Service restarted"/ {print call, id}' "$work/notify.log"
}
restarts_are() { [ "$(restarts | wc -l)" = "$1" ]; }
# The last restart notice replaces the first, by the id the daemon answered the first with.
replaces_first() {
    local serial id
    serial=$(restarts | head -n1 | grep -o ' serial=[0-9]*' | cut -d= -f2)
    id=$(grep -A1 "reply_serial=$serial\$" "$work/returns.log" | awk '/uint32/ {print $2}')
    [ -n "$id" ] && [ "$(restarts | tail -n1 | awk '{print $NF}')" = "$id" ]
}
# The monitors write a long call (its image) in pieces: what follows its title may come later.
logged() { wait_for 5 grep -qF "$1" "$work/notify.log"; }
# A crash that the manager repairs, twice: one notice, replaced by the second with its count.
units=$sd/home/.local/share/systemd/user
mkdir -p "$units/$unit.d"
printf '[Service]\nRestart=always\n' >"$units/$unit.d/restart.conf"
systemd_ctl daemon-reload
systemd_ctl start $unit
shows running 10
systemd_ctl kill --signal=SEGV $unit
wait_for 10 restarts_are 1 || fail "no restart notice"
logged "killed by the signal SIGSEGV." || fail "the restart notice says not why"
wait_for 10 state_is active || fail "the manager did not restart it"
systemd_ctl kill --signal=SEGV $unit
wait_for 10 restarts_are 2 || fail "the second restart was not notified"
logged "restarted 2 times" || fail "the second notice does not count 2"
wait_for 5 replaces_first || fail "the second notice does not replace the first: $(restarts)"
rm -r "$units/$unit.d"
systemd_ctl daemon-reload

# stopped_unnoticed ANNOUNCEMENT: announced, the service killed stays unnotified beyond ten polls.
stopped_unnoticed() {
    local before
    before=$(notified)
    "$build/tests/login_standin" $1 true
    systemd_ctl kill --signal=KILL $unit
    sleep 24
    [ "$(notified)" = "$before" ] ||
        fail "a stop after $1 was notified: $(notice_text "$work/notify.log" "$(notified)")"
}
stopped_unnoticed PrepareForShutdown
"$build/tests/login_standin" PrepareForShutdown false # cancelled: the usual rule again
systemd_ctl start $unit
shows running 10
stopped_unnoticed PrepareForSleep
# Every notice at normal urgency at least, running again and restarted too: GNOME's banners.
urgent=$(grep -A1 '"urgency"' "$work/notify.log" | grep -c 'byte [12]$')
[ "$urgent" = "$(notified)" ] || fail "low urgency: $urgent of $(notified) notices"

echo "control: stop shown at once without a notification, start and restart running again," \
    "refusals boxed, our job waited for, commands after the bus came back, a killed service" \
    "notified once with its signal and one button, repaired crashes one restart notice replaced" \
    "with its count, no notice across a shutdown or a sleep"
