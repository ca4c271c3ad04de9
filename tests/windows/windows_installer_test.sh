#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows installer in a fresh Wine prefix, as a user would take it: a
# silent install for the user, the game started from where it went, a silent
# uninstall that leaves neither files nor the entry in the list of apps.
#   tests/harness/with-xvfb.sh tests/windows/windows_installer_test.sh SETUP.EXE TARVO.EXE WORKDIR
set -euo pipefail
setup=$(realpath "$1") built=$(realpath "$2") work=$(realpath -m "$3")
here=$(dirname "$(realpath "$0")")
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$work" "$work.home"
mkdir -p "$(dirname "$work")"
in_wine() { "$here/../harness/wine.sh" "$work" "$@"; }
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\TARVO'

[ -n "${DISPLAY:-}" ] || fail "no X display for the game (run it through tests/harness/with-xvfb.sh)"
trap 'in_wine wineserver -k 2>/dev/null || true' EXIT

in_wine wine "$setup" /S || fail "the silent install ended with $?"
users=$work/drive_c/users/$(id -un)
dir=$users/AppData/Local/Programs/TARVO
shortcut="$users/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/TARVO.lnk"
for f in tarvo.exe README.txt LICENSE.txt uninstall.exe; do [ -f "$dir/$f" ] || fail "no $f in $dir"; done
cmp -s "$dir/tarvo.exe" "$built" || fail "the installed tarvo.exe is not the one built"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
entry=$(in_wine wine reg query "$key" | tr -d '\r')
echo "$entry"
for want in 'DisplayName REG_SZ TARVO' 'DisplayVersion REG_SZ 1.60' 'Publisher REG_SZ The TARVO developers' \
    'DisplayIcon REG_SZ C:\users\'"$(id -un)"'\AppData\Local\Programs\TARVO\tarvo.exe,0' 'NoModify REG_DWORD 0x1' \
    'NoRepair REG_DWORD 0x1'; do
    echo "$entry" | tr -s ' \t' '  ' | grep -qF " $want" || fail "the uninstall entry has no '$want'"
done
size=$(echo "$entry" | sed -n 's/.*EstimatedSize *REG_DWORD *0x\([0-9a-f]*\).*/\1/p')
[ -n "$size" ] && [ $((16#$size)) -ge 500 ] && [ $((16#$size)) -le 2048 ] || fail "EstimatedSize is '$size' (KiB)"

# The game from where it was installed: its window comes up.
in_wine wine "C:\\users\\$(id -un)\\AppData\\Local\\Programs\\TARVO\\tarvo.exe" >/dev/null 2>&1 &
for _ in $(seq 300); do xdotool search --name '^TARVO$' >/dev/null 2>&1 && break; sleep 0.1; done
xdotool search --name '^TARVO$' >/dev/null || fail "the installed game shows no window"
echo "the installed game is up"
in_wine wineserver -k

# The uninstaller runs from a copy of itself and returns at once: wait for it.
in_wine wine "$dir/uninstall.exe" /S || fail "the silent uninstall ended with $?"
for _ in $(seq 300); do [ ! -e "$dir" ] && break; sleep 0.1; done
in_wine wineserver -w
[ ! -e "$dir" ] || fail "left behind: $(find "$dir")"
[ ! -e "$shortcut" ] || fail "the shortcut is left"
if in_wine wine reg query "$key" >/dev/null 2>&1; then fail "the uninstall entry is left"; fi
echo "installed, played and removed"
