#!/usr/bin/env bash
# The Windows packages: scripts/package-windows makes the zip and the NSIS
# installer from the cross build; the installer installs silently under Wine
# (program folder, Start-menu shortcuts, the entry among the installed
# programs), the installed window program answers --version, and the
# uninstaller takes everything away again. Wine runs with a virtual X server:
# an installer makes windows even when silent.
# usage: tests/windows/package.sh WINDOWS_BIN_DIR
set -uo pipefail
win=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$(dirname "$win")/wine}
export WINEDEBUG=-all
# No desktop entries of the shortcuts in this user's menus.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

work=$(mktemp -d "${TMPDIR:-/tmp}/dorv-wine-package.XXXXXX")
drive=$WINEPREFIX/drive_c
target="$drive/Program Files/DORV Updater"
xvfb=""
cleanup() {
  wineserver -k 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL package: $*"
  exit 1
}
wait_for() {
  local deadline=$((SECONDS + $2))
  until eval "$1"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# The prefix exists (made headless), then a private X server, which the Wine
# server started afresh takes.
"$root/scripts/wine-run" reg query 'HKLM\Software' >/dev/null 2>&1
wineserver -k 2>/dev/null
command -v Xvfb >/dev/null || fail "Xvfb is missing (Debian package xvfb)"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
wait_for "[ -s '$work/display' ]" 10 || fail "Xvfb did not start"
export DISPLAY=:$(head -n 1 "$work/display")

version=$(sed -n 's/^project(dorv_updater VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name=dorv-updater-$version-win64
"$root/scripts/package-windows" --no-build "$work" >"$work/log" 2>&1 || fail "$(cat "$work/log")"
unzip -Z1 "$work/$name.zip" >"$work/zip" || fail "the zip does not open"
for f in dorv-updater.exe dorv-script.exe user-guide.md; do
  grep -qx "$name/$f" "$work/zip" || fail "$f is not in the zip"
done
[ -s "$work/$name-setup.exe" ] || fail "no installer"

key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\DORV Updater'
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/DORV Updater"
[ ! -e "$target" ] || fail "already installed in $target"
# Into the default folder, as a user's installation goes.
wine "Z:$work/$name-setup.exe" /S >/dev/null 2>&1 || fail "the installer failed"
for f in dorv-updater.exe dorv-script.exe user-guide.md uninstall.exe; do
  [ -f "$target/$f" ] || fail "$f is not installed"
done
[ -f "$menu/DORV Updater.lnk" ] || fail "no Start-menu shortcut"
wine reg query "$key" /v UninstallString 2>/dev/null | grep -q 'Program Files\\DORV Updater\\uninstall.exe' ||
  fail "not listed among the installed programs"
v=$(wine 'C:\Program Files\DORV Updater\dorv-updater.exe' --version 2>/dev/null | tr -d '\r')
[ "$v" = "dorv-updater $version" ] || fail "the installed program says: $v"

# The uninstaller runs from a copy of itself and returns at once.
wine 'C:\Program Files\DORV Updater\uninstall.exe' /S >/dev/null 2>&1 || fail "the uninstaller failed"
wait_for "[ ! -e '$target' ]" 60 || fail "still installed: $(ls "$target")"
[ ! -e "$menu" ] || fail "the Start-menu folder stays"
wine reg query "$key" >/dev/null 2>&1 && fail "still listed among the installed programs"
echo "package under Wine: all passed"
