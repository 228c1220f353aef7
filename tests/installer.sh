#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh copy of the ready prefix $WINEPREFIX, with
# statusd.exe serving a pipe of this run's own: a silent install puts the staged files, the
# uninstaller, the Start-menu shortcut, the Run entry and the uninstall entry in place, and the
# installed sentak.exe reads the pipe; a silent uninstall closes it (exit status 0) and leaves
# nothing of ours. Then, with the start at login left off: an install over a Sentak that hangs
# fails and changes nothing; one over a running Sentak closes it (not one of another folder),
# replaces the files and keeps the Run entry off. An upgrade removes the file that the earlier
# installation had and it has not. A Sentak on another desktop, out of the installer's sight as
# another user's session is, holds sentak.exe: the upgrade exits 2 with every file unchanged, and
# the uninstaller leaves that file to the next restart and exits 3010. A record naming a file
# outside the folder ("..") is not followed, by the uninstaller nor by an upgrade: that file
# stays. The installation folder, one that every user could write before, is protected (Wine
# keeps no ACL: its call, traced, succeeds, and Wine's mapping takes others' write away); one that
# cannot be, is a link, holds a file Setup did not write, or lies below a link or below a folder
# every user may change, is refused, with nothing changed; who else may change a folder is also
# decided right on descriptors of the shapes Windows gives. A link in the folder (a Unix
# directory symlink, which Wine reports as a reparse point) leads neither the deletions of an
# upgrade and of the uninstaller nor an upgrade's writes elsewhere: the files it leads to stay.
# Usage: installer.sh BUILD_DIR (holding the setup, bin/ and the staged installation/stage).
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/lib.sh"
setup=$(echo "$build"/sentak-*-windows-x86_64-setup.exe)
# Quiet, no Mono or Gecko, and no desktop files from the shortcut in the home folder.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cp -a "$WINEPREFIX" "$work/prefix" && export WINEPREFIX=$work/prefix
at_exit() { wineserver -k 2>/dev/null || true; }
wineserver -p # one Wine server throughout: a new one would start the Run entry's Sentak
dir="$WINEPREFIX/drive_c/Program Files/Sentak"
folder='C:\Program Files\Sentak'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sentak'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
# Added to the record: C:\precious.txt, which no removal may touch.
outside() { printf '..\\..\\precious.txt\r\n' >>"$dir/installed-files.txt"; }
value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_\w* *//p"; }
# Every file and folder of drive C: but the temporary ones, and the machine's registry.
snapshot() {
    (cd "$WINEPREFIX/drive_c" && find . -path '*/Temp' -prune -o -print | sort) >"$work/$1"
    wine reg export 'HKLM\Software' "$work/$1.reg" /y >/dev/null
}
installed_as_staged() {
    diff -r -x uninstall.exe -x installed-files.txt "$build/installer/stage" "$dir" &&
        [ -f "$dir/uninstall.exe" ] || fail "Program Files\\Sentak does not hold the staged files"
    diff <(cd "$build/installer/stage" && find . -type f | cut -c3- | tr / '\\' | sort) \
        <(tr -d '\r' <"$dir/installed-files.txt" | grep -v '^uninstall.exe$' | sort) ||
        fail "installed-files.txt does not list the installed files"
}
start_sentak() { # each with a log of its own, where no earlier Sentak's "Done." counts
    log=$(mktemp -p "$work")
    wine "$folder\sentak.exe" >"$log" 2>&1 & sentak=$!
    wait_for 60 grep -q '^Done\.' "$log" || fail "the installed Sentak read no pipe"
}
# ended_cleanly CLOSER: Sentak ends, with status 0 (a Sentak woken from a hang takes a tick to
# see the request).
ended_cleanly() {
    wait_for 30 eval "! kill -0 $sentak" || fail "$1 did not close the running Sentak"
    wait "$sentak" || fail "Sentak, closed by $1, ended with status $?"
}
# What links planted in the installation folder lead to: files no deletion or write may touch.
precious_kept() { [ "$(cat "$work"/outside/{brand.json,main.mo})" = $'precious\nprecious' ]; }
link_resources() {
    rm -rf "$work/Resources" && mv "$dir/Resources" "$work/" &&
        ln -s "$work/outside" "$dir/Resources"
}
uninstall() { # the uninstaller runs from a copy of itself and returns at once
    wine "$dir/uninstall.exe" /S
    wait_for 60 test ! -e "$dir" || fail "the uninstaller left Program Files\\Sentak"
    snapshot after
    diff "$work/before" "$work/after" && cmp -s "$work/before.reg" "$work/after.reg" ||
        fail "the uninstaller left files or registry entries behind"
}

headless_start
export QUENTHAL_PIPE="\\\\.\\pipe\\Quenthal-installer-$$"
wine "$build/bin/statusd.exe" >"$work/statusd.log" 2>&1 & pids+=($!)
wait_for 40 grep -q "serving" "$work/statusd.log" || fail "statusd.exe does not serve"
echo precious >"$WINEPREFIX/drive_c/precious.txt"
mkdir "$work/outside" && echo precious | tee "$work/outside/"{brand.json,main.mo} >/dev/null
snapshot before

mkdir -m 777 "$dir" # as C:\ lets every user change a folder made in it
wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d advapi32.SetNamedSecurityInfoW /f \
    >/dev/null # traced alone
WINEDEBUG=+relay wine "$setup" /S 2>"$work/relay.log" || fail "the silent install failed"
grep -A1 -F 'SetNamedSecurityInfoW(' "$work/relay.log" | tr -d '\\' | grep -A1 -F \
    "L\"C:Program FilesSentak\",00000001,80000005," | grep -q 'retval=00000000 ' ||
    fail "the installation folder was not given its owner and protected permissions"
(($(stat -c 0%a "$dir") & 2)) && fail "every user may still write the installation folder"
installed_as_staged
[ -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Sentak.lnk" ] ||
    fail "no Start-menu shortcut"
[ "$(value "$run_key" Sentak)" = "\"$folder\sentak.exe\"" ] || fail "no Run entry, quoted"
version=${setup##*/sentak-}
for entry in DisplayName=Sentak DisplayVersion=${version%%-*} "Publisher=The Sentak developers" \
    "DisplayIcon=$folder\sentak.exe,0" "UninstallString=\"$folder\uninstall.exe\""; do
    [ "$(value "$uninstall_key" "${entry%%=*}")" = "${entry#*=}" ] || fail "no uninstall $entry"
done
(($(value "$uninstall_key" EstimatedSize) > 0)) || fail "the uninstall entry gives no size"
[ "$(value 'HKLM\Software\Sentak' ServiceName)" = Quenthal ] || fail "no service for the helper"
start_sentak
outside
uninstall
ended_cleanly "the uninstaller"
echo "install: the folder protected; files, shortcut, Run, uninstall entry, the helper's service;" \
    "Sentak reads the pipe; uninstall closes it and follows no record outside the folder"

# A folder whose permissions cannot be set: Wine maps them to mode bits, which an append-only
# folder keeps (chattr needs root on ext2/3/4).
shared=$WINEPREFIX/drive_c/Shared
if mkdir "$shared" && chattr +a "$shared" 2>/dev/null; then
    status=0 && wine "$setup" /S '/D=C:\Shared' || status=$?
    chattr -a "$shared"
    ((status == 2)) && [ -z "$(ls -A "$shared")" ] ||
        fail "a folder whose permissions cannot be set was installed into"
    echo "refused: a folder whose permissions cannot be set"
else
    echo "not tried here: a folder whose permissions cannot be set (no chattr +a)"
fi
# Refused with nothing written: a folder that is a link (before what it leads to changes), one
# holding a file Setup did not write, one below a link, and one below a folder every user may
# change (Wine gives others' write bits as Everyone's right to delete).
c=$WINEPREFIX/drive_c
mkdir -m 777 "$work/empty" "$c/Full" "$c/Open" && echo mine >"$c/Full/mine.dll"
mkdir -m 755 "$work/below" && ln -s "$work/empty" "$c/Linked" && ln -s "$work/below" "$c/Via"
state() { find "$work/empty" "$work/below" "$c/Full" "$c/Open" -printf '%p %m %s %T@\n'; }
before=$(state)
for chosen in Linked Full 'Via\Sentak' 'Open\Sentak'; do
    status=0 && wine "$setup" /S "/D=C:\\$chosen" || status=$?
    ((status == 2)) && [ "$(state)" = "$before" ] || fail "C:\\$chosen was not refused unchanged"
done
makensis -V1 "-DOUTFILE=$work/permissions.exe" "$(dirname "$0")/folder_permissions.nsi" &&
    wine "$work/permissions.exe" && [ ! -s "$work/failures.txt" ] ||
    fail "who may change a folder, decided wrong: $(cat "$work/failures.txt")"
echo "refused: a link, another's file, a link or a folder others may change above; descriptors"

wine "$setup" /S /NOAUTOSTART || fail "the install with /NOAUTOSTART failed"
start_sentak
echo "changed" >"$dir/Resources/brand.json"
kill -STOP "$sentak"
wine "$setup" /S && fail "an install over a Sentak that hangs succeeded"
kill -CONT "$sentak" # it finds the installer's WM_CLOSE and ends
[ "$(cat "$dir/Resources/brand.json")" = changed ] || fail "the failed install changed files"
ended_cleanly "the failed install"
# Beside a Sentak of another folder, whose window has the same title: not ours to close (on a
# pipe of its own, or the installed one would find it running and end).
QUENTHAL_PIPE=$QUENTHAL_PIPE-2 wine "$build/bin/sentak.exe" >"$work/foreign.log" 2>&1 & foreign=$!
wait_for 60 grep -q '^Connecting' "$work/foreign.log" || fail "the other Sentak does not run"
start_sentak
wine "$setup" /S || fail "the install over a running Sentak failed"
ended_cleanly "the upgrade"
kill -0 "$foreign" || fail "the upgrade closed the Sentak of another folder"
kill "$foreign"
installed_as_staged
[ -z "$(value "$run_key" Sentak)" ] || fail "the upgrade turned the start at login on"
echo "upgrade: a hung Sentak fails it unchanged; a running one is closed and replaced; no Run entry"

cp -a "$build/installer/stage" "$work/stage"
for lang in nl it; do
    mkdir "$work/stage/languages/$lang" && echo stale >"$work/stage/languages/$lang/main.mo"
done
cmake -DSTAGE="$work/stage" -DOUTFILE="$work/more-setup.exe" \
    -P "$build/installer/make-installer.cmake" >/dev/null || fail "no installer of more files"
wine "$work/more-setup.exe" /S && [ -f "$dir/languages/nl/main.mo" ] ||
    fail "the installer of more files failed"
rm -r "$dir/languages/it" && ln -s "$work/outside" "$dir/languages/it"
wine "$setup" /S || fail "the upgrade from more files failed"
[ ! -e "$dir/languages/nl" ] || fail "the upgrade left the file it no longer has"
precious_kept || fail "the upgrade deleted through a link in its folder"
rm "$dir/languages/it"
installed_as_staged
link_resources
status=0 && wine "$setup" /S || status=$?
((status == 2)) && precious_kept || fail "the upgrade through a link ended with $status"
rm "$dir/Resources" && mv "$work/Resources" "$dir/"
outside
wine "$setup" /S || fail "the upgrade over a record naming a file outside failed"
[ -f "$WINEPREFIX/drive_c/precious.txt" ] || fail "the upgrade deleted a file outside its folder"
installed_as_staged

log=$(mktemp -p "$work")
wine explorer /desktop=other "$folder\sentak.exe" >"$log" 2>&1 & pids+=($!)
wait_for 60 grep -q '^Done\.' "$log" || fail "the other desktop's Sentak read no pipe"
cp -a "$dir" "$work/held"
status=0 && wine "$setup" /S || status=$?
((status == 2)) || fail "the upgrade over a held sentak.exe ended with $status, not 2"
diff -r "$work/held" "$dir" || fail "the upgrade over a held sentak.exe changed files"
# A copy run in place returns its exit status (its low byte, as Unix keeps it); NSIS takes the
# folder without quotes, so without spaces.
link_resources
cp "$dir/uninstall.exe" "$work/" && status=0 &&
    wine "$work/uninstall.exe" /S "_?=$(winepath -s "$folder" | tr -d '\r')" || status=$?
((status == 3010 % 256)) || fail "the uninstaller ended with $status, not 3010, for a held file"
[ -z "$(value "$uninstall_key" DisplayName)" ] || fail "the uninstaller kept its entry"
[ "$(ls "$dir" | xargs)" = "Resources sentak.exe" ] && precious_kept ||
    fail "the uninstaller left $(ls "$dir" | xargs) behind, or deleted through a link"
wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
    /v PendingFileRenameOperations | grep -qi 'Sentak\\sentak.exe' ||
    fail "sentak.exe is not removed at the next restart"
echo "exact: the upgrade removes a dropped file, and none outside its folder or through a link;" \
    "a link in the way: upgrade exits 2; a held sentak.exe: upgrade exits 2 unchanged," \
    "uninstall exits 3010 and leaves it to the restart; no deletion through a link"
