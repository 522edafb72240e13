#!/usr/bin/env bash
# The Windows window under Wine in a virtual X server, against the simulated
# logger of a Linux build, driven as a user drives it: dorv-window-script.exe
# (dorv-updater.exe with the script runner) finds the logger on COM7, shows
# the main window with its Japanese captions drawn in a Japanese font, takes
# a click and keys into an edit field from the X server, downloads, saves the
# CSV through the system's save dialog (twice: the second time over the
# first, after the dialog's question), opens the graph, marks a range (the
# statistics window), opens the all-axis statistics, prints the graph to a
# PDF file (no printer is installed in the prefix), meets a message box (the
# firmware update refused) and cancels the burst's input dialog, then writes
# a picture of every window.
# usage: tests/windows/window.sh LINUX_BIN_DIR WINDOWS_BIN_DIR
set -uo pipefail
linux=$(cd "$1" && pwd)
win=$(cd "$2" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
for p in "$linux/dorv-logger-sim" "$win/dorv-window-script.exe"; do
  [ -x "$p" ] || {
    echo "window: missing $p" >&2
    exit 1
  }
done
for p in Xvfb xdotool; do
  command -v $p >/dev/null || {
    echo "window: $p is missing (Debian packages xvfb, xdotool)" >&2
    exit 1
  }
done
export WINEPREFIX=${WINEPREFIX:-$(dirname "$win")/wine}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$root/scripts/wine-fonts" || exit 1

work=$(mktemp -d "${TMPDIR:-/tmp}/dorv-wine-window.XXXXXX")
chmod 700 "$work"
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  "$root/scripts/wine-plug" --unplug 7
  wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL window: $*"
  for f in out err; do
    [ -s "$work/$f" ] && sed "s/^/  $f: /" "$work/$f" | head -n 40
  done
  exit 1
}

# A private X server; it writes its display number once it is ready. The
# Wine server starts again with it, so that its windows go there.
wineserver -k 2>/dev/null
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(head -n 1 "$work/display")

DORV_RUNTIME_DIR=$work "$linux/dorv-logger-sim" --com 7 --records 1000 --seed 7 \
  --transcript "$work/transcript" >"$work/logger.out" 2>"$work/logger.err" &
pids+=($!)
for _ in $(seq 100); do
  grep -qs '^COM7 ' "$work/logger.out" && break
  sleep 0.1
done
device=$(sed -n 's/^COM7 //p' "$work/logger.out" | head -n 1)
[ -n "$device" ] || fail "the simulated logger did not start: $(cat "$work/logger.err")"
"$root/scripts/wine-plug" 7 "$device"

cat >"$work/script" <<SCRIPT
until Form1.LoggerReady == 1 10000
until Form1.Timer1.Interval == 1000 10000
expect Form1.Edit3.Text == COM7
expect Form1.Button39.Caption == 更新
until Form1.SerialPort1Open == 0 5000
print Form1.Edit1.Text
wait 3000
expect Form1.Edit1.Text == 12a3
until Form1.SerialPort1Open == 0 5000
click Form1.Button30
until Form1.Downloading == 0 30000
until Form1.SerialPort1Open == 0 5000
expect Form1.RecordCount == 1000
answer Z:$work/saved.csv
click Form1.Button6
answer Z:$work/saved.csv
click Form1.Button6
click Form1.Button12
until Form2.Visible == true 5000
choose Form2.ComboBox1 10秒
mouse Form2 520 250
until Form4.Visible == true 5000
click Form2.Button5
until Form7.Visible == true 5000
answer Z:$work/graph.pdf
click Form2.Button2
expect Form2.Button2.Visible == true
until Form1.SerialPort1Open == 0 5000
click Form1.Button39
answer cancel
click Form1.Button40
until Form1.SerialPort1Open == 0 5000
messages
SCRIPT
start=$SECONDS
(cd "$work" && timeout 150 wine "$win/dorv-window-script.exe" --check-render --hidden \
  --shots "Z:$work/shots" "Z:$work/script" >"$work/out" 2>"$work/err") &
runner=$!
# A user's click into the hazard value's field (Edit1, where the design puts
# it: the window has no frame without a window manager) and keys typed over
# its text, once the script has printed the field (no exchange runs then,
# which would write the logger's value into it) and waits.
for _ in $(seq 300); do
  grep -qs '^Form1.Edit1.Text=' "$work/out" && break
  kill -0 "$runner" 2>/dev/null || break
  sleep 0.1
done
grep -qs '^Form1.Edit1.Text=' "$work/out" || fail "the script did not reach the typing"
window=$(xdotool search --name '^D-ORV KRB Updater 1.00$' 2>/dev/null | head -n 1)
[ -n "$window" ] || fail "no window shows the logger connected"
xdotool mousemove --window "$window" 740 332 click 1 sleep 0.3 key ctrl+a type --delay 40 12a3
wait "$runner"
code=$?
[ $code = 0 ] || fail "exit code $code"
grep -q '^render: [1-9][0-9]* captions checked, 0 wrong' "$work/out" || fail "captions not drawn"
# One message box: the firmware update refused for a port the program cannot
# tell from a real logger's (no runtime directory on Windows). The burst's
# input dialog was cancelled.
[ "$(grep -c '^message: ' "$work/out")" = 1 ] || fail "not one message box"
grep -q '^message: .*書き換えを中止しました' "$work/out" || fail "not the firmware's message"
grep -qx 'e' "$work/transcript" && fail "the firmware update was sent"
[ "$(wc -l <"$work/saved.csv")" = 1002 ] || fail "$(wc -l <"$work/saved.csv") lines saved"
head -n 1 "$work/saved.csv" | grep -q '^Start Year=' || fail "saved file: $(head -n 1 "$work/saved.csv")"
[ "$(head -c 5 "$work/graph.pdf")" = "%PDF-" ] || fail "no PDF printed"
grep -aq '/Subtype */Image' "$work/graph.pdf" || fail "the printed page holds no image of the graph"
for w in Form1 Form2 Form4 Form7 Form3-hidden Form5-hidden Form6-hidden; do
  [ "$(head -c 4 "$work/shots/$w.png" | tail -c 3)" = PNG ] || fail "no picture of $w"
done
echo "window under Wine: all passed ($((SECONDS - start)) s)"
