#!/usr/bin/env bash
# End to end under Wine: dorv-script.exe, the Windows build's script runner,
# against the simulated logger of a Linux build on a pseudo-terminal. The
# pseudo-terminal becomes COM<n> in the Wine prefix (a link in its
# dosdevices) and the registry gets the keys a plugged-in logger has, so that
# the port search, the port and the single-instance guard are the Win32 code.
# usage: tests/windows/e2e.sh LINUX_BIN_DIR WINDOWS_BIN_DIR
set -uo pipefail
linux=$(cd "$1" && pwd)
win=$(cd "$2" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
for p in "$linux/dorv-logger-sim" "$linux/dorv-script" "$win/dorv-script.exe" \
  "$win/win32_port_tests.exe"; do
  [ -x "$p" ] || {
    echo "e2e: missing $p" >&2
    exit 1
  }
done
export WINEPREFIX=${WINEPREFIX:-$(dirname "$win")/wine}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wine() { "$root/scripts/wine-run" "$@"; }

work=$(mktemp -d "${TMPDIR:-/tmp}/dorv-wine-e2e.XXXXXX")
chmod 700 "$work"
# Every process started here, by PID (one a line; subshells add theirs).
pids=$work/pids
touch "$pids"
cleanup() {
  local p
  while read -r p; do kill "$p" 2>/dev/null; done <"$pids"
  wait 2>/dev/null
  unplug 7
  unplug 8
  wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The prefix exists, and one Wine server serves the whole run (the registry
# keys written below live in its volatile hardware branch).
wine reg query 'HKLM\HARDWARE' >/dev/null 2>&1
wineserver -p >/dev/null 2>&1

logger_key='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\FTDIBUS\VID_0403+PID_6001+DORV0001A'
serialcomm='HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM'

# Applies a .reg text with one Wine process.
regedit() {
  local f
  f=$(mktemp "$work/reg.XXXXXX")
  printf 'REGEDIT4\n\n%s\n' "$1" >"$f"
  wine regedit /S "Z:$f" >/dev/null 2>&1
  rm -f "$f"
}

# COM<n> leads to the device, and the registry names it as the FTDI driver
# names a plugged-in logger: a "VCP" device of the serial-port map and the
# logger's device key with its port name.
plug() {
  ln -sfn "$2" "$WINEPREFIX/dosdevices/com$1"
  regedit "[$serialcomm]
\"\\\\Device\\\\VCP_COM$1\"=\"COM$1\"

[$logger_key\\0000\\Device Parameters]
\"PortName\"=\"COM$1\""
}

unplug() {
  rm -f "$WINEPREFIX/dosdevices/com$1"
  regedit "[$serialcomm]
\"\\\\Device\\\\VCP_COM$1\"=-

[-$logger_key]"
}

# Waits up to $2 seconds for the command $1 to hold.
wait_for() {
  local deadline=$((SECONDS + $2))
  until eval "$1"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}

# Starts a simulated logger for COM$2 in the runtime directory $1 (more
# arguments for it follow) and plugs it into Wine unless $PLUG is 0.
start_logger() {
  local dir=$1 com=$2
  shift 2
  local out="$dir/logger-COM$com.out"
  DORV_RUNTIME_DIR=$dir "$linux/dorv-logger-sim" --com "$com" --transcript "$dir/transcript-COM$com" \
    "$@" >"$out" 2>"$dir/logger-COM$com.err" &
  echo $! >>"$pids"
  wait_for "[ -s '$out' ] && grep -q '^COM$com ' '$out'" 10 || {
    echo "logger COM$com did not start: $(cat "$dir/logger-COM$com.err")"
    return 1
  }
  [ "${PLUG:-1}" = 0 ] || plug "$com" "$(sed -n "s/^COM$com //p" "$out" | head -n 1)"
}

# Once the logger of COM$2 has left (its registration is gone), takes it out
# of Wine, waits a few of the utility's ticks and plugs a new one in on COM$3.
replug_after_unplug() {
  local dir=$1 gone=$2 com=$3
  (
    wait_for "[ ! -e '$dir/ports/COM$gone' ]" 60
    unplug "$gone"
    sleep 2.5
    start_logger "$dir" "$com"
  ) &
  echo $! >>"$pids"
}

# Runs the script $2 (text) with dorv-script.exe; output in $1/out, $1/err.
run_script() {
  (cd "$1" && wine "$win/dorv-script.exe" - <<<"$2" >"$1/out" 2>"$1/err")
}

messages() { sed -n 's/^message: //p' "$1/out"; }

failures=0
fail() {
  echo "FAIL $name: $*"
  for f in out err; do
    [ -s "$dir/$f" ] && sed "s/^/  $f: /" "$dir/$f" | head -n 40
  done
  for f in "$dir"/transcript-COM*; do
    [ -s "$f" ] && echo "  ${f##*/}: $(tr '\n' ' ' <"$f" | cut -c1-300)"
  done
  failures=$((failures + 1))
}

new_case() {
  name=$1
  dir="$work/$name"
  mkdir -m 700 "$dir"
  unplug 7
  unplug 8
}

connected='until Form1.LoggerReady == 1 10000
until Form1.Timer1.Interval == 1000 10000
'
settled="${connected}wait 500
"

# ---- the cases ----

connect() {
  new_case connect
  start_logger "$dir" 7 || return
  run_script "$dir" "${connected}expect Form1.Caption == D-ORV KRB Updater 1.00
expect Form1.Edit3.Text == COM7
expect Form1.Edit5.Text == DORV
expect Form1.Button4.Caption == 接続
expect Form1.Label15.Caption == 2015
wait 1500
expect Form1.SerialPort1Open == 0" || {
    fail "exit code $?"
    return
  }
  # One extra "m" at the first answer, then "p" at each of two prompts.
  local t
  t=$(tr '\n' ' ' <"$dir/transcript-COM7")
  [ "$t" = "m m p p " ] || fail "transcript: $t"
}

download_csv() {
  new_case download_csv
  local args=(--records 1500 --seed 42)
  start_logger "$dir" 7 "${args[@]}" || return
  local script="${connected}click Form1.Button30
until Form1.Downloading == 0 30000
answer %s
click Form1.Button6
messages"
  # shellcheck disable=SC2059
  run_script "$dir" "$(printf "$script" "Z:$dir/windows.csv")" || {
    fail "exit code $?"
    return
  }
  [ ! -s "$dir/out" ] || {
    fail "messages shown"
    return
  }
  # The same records through the Linux build.
  mkdir -m 700 "$dir/linux"
  PLUG=0 start_logger "$dir/linux" 7 "${args[@]}" || return
  # shellcheck disable=SC2059
  DORV_RUNTIME_DIR=$dir/linux "$linux/dorv-script" - <<<"$(printf "$script" "$dir/linux.csv")" \
    >"$dir/linux/out" 2>&1 || {
    fail "the Linux run failed: $(cat "$dir/linux/out")"
    return
  }
  cmp "$dir/windows.csv" "$dir/linux.csv" || {
    fail "the saved files differ"
    return
  }
  [ "$(wc -l <"$dir/windows.csv")" = 1502 ] || fail "$(wc -l <"$dir/windows.csv") lines saved"
}

settings() {
  new_case settings
  start_logger "$dir" 7 || return
  run_script "$dir" "${settled}choose Form1.ComboBox2 30min
until Form1.SerialPort1Open == 0 7500
until Form1.Timer1.Interval == 1000 1000
expect Form1.IntervalIndex == 8
expect Form1.ComboBox2.Text == 30min
messages" || {
    fail "exit code $?"
    return
  }
  grep -qx 'j^' "$dir/transcript-COM7" || fail "no j^ sent: $(tr '\n' ' ' <"$dir/transcript-COM7")"
}

# A fault of the logger in one phase (as the fault table of the Linux tests):
# the utility says what failed and a new exchange works afterwards.
# fault NAME FAULT AFTER_CONNECT UNPLUGS PHASE MESSAGE...
fault() {
  new_case "$1"
  local f=$2 after=$3 unplugs=$4 phase=$5
  shift 5
  start_logger "$dir" 7 --records 100 --fault "$f" || return
  ((unplugs)) && replug_after_unplug "$dir" 7 8
  local script=""
  ((after)) && script=$settled
  script+=$phase
  ((unplugs)) && script+="until Form1.Edit3.Text == COM8 20000
"
  script+="${settled}choose Form1.ComboBox2 5min
until Form1.SerialPort1Open == 0 7500
until Form1.Timer1.Interval == 1000 1000
messages"
  run_script "$dir" "$script" || {
    fail "exit code $?"
    return
  }
  local shown=()
  mapfile -t shown < <(messages "$dir")
  [ "${#shown[@]}" = $# ] || {
    fail "${#shown[@]} messages, $# expected"
    return
  }
  local i=0 m
  for m in "$@"; do
    [[ "${shown[i]}" == "$m"* ]] || fail "message $i: ${shown[i]}"
    i=$((i + 1))
  done
  local com=7
  ((unplugs)) && com=8
  sed -n '/^jE$/,$p' "$dir/transcript-COM$com" | grep -qx p ||
    fail "no new exchange on COM$com: $(tr '\n' ' ' <"$dir/transcript-COM$com")"
}

connecting='until Form1.LoggerAwake == 1 10000
until Form1.SerialPort1Open == 0 7500
until Form1.Timer1.Interval == 1000 1000
'
settings_phase='choose Form1.ComboBox2 30min
until Form1.SerialPort1Open == 0 7500
until Form1.Timer1.Interval == 1000 1000
'
download_phase='click Form1.Button30
until Form1.Downloading == 0 7500
until Form1.SerialPort1Open == 0 1000
'
no_answer='ロガーから応答がありません'

# The communications device itself on the logger's port.
comm_device() {
  new_case comm_device
  start_logger "$dir" 7 || return
  (cd "$dir" && DORV_TEST_PORT='\\.\COM7' wine "$win/win32_port_tests.exe" --gtest_brief=1 \
    >"$dir/out" 2>"$dir/err") || fail "exit code $?"
}

# A second copy is refused by the named mutex while the first runs.
single_instance() {
  new_case single_instance
  (cd "$dir" && wine "$win/dorv-script.exe" - <<<"print Form1.Caption
wait 8000" >"$dir/first.out" 2>&1) &
  local first=$!
  echo "$first" >>"$pids"
  wait_for "grep -qs '^Form1.Caption=' '$dir/first.out'" 30 || {
    fail "the first copy did not start"
    return
  }
  local start=$SECONDS code=0
  run_script "$dir" "print Form1.Caption" || code=$?
  [ "$code" = 1 ] || fail "the second copy ended with $code"
  [ ! -s "$dir/out" ] || fail "the second copy ran its script"
  grep -q 'another copy' "$dir/err" || fail "the second copy did not say why"
  ((SECONDS - start < 8)) || fail "the second copy waited for the first"
  wait "$first" || fail "the first copy failed"
}

run() {
  local start=$SECONDS before=$failures
  "$@"
  ((failures == before)) && echo "ok $name ($((SECONDS - start)) s)"
}

run comm_device
run connect
run download_csv
run settings
run fault WakeUpWithoutPrompt no-prompt=m 0 0 "$connecting" "$no_answer"
run fault StatusWithoutPrompt no-prompt=p 0 0 "$connecting" "$no_answer" "$no_answer"
run fault DownloadWithoutPrompt no-prompt=D 1 0 "${download_phase}expect Form1.RecordCount == 100
" "データ取得が途中で途切れました (100件)"
run fault UnplugWhileConnecting unplug-after=100 0 1 "$connecting" "$no_answer"
run fault UnplugInSettings unplug-after=547 1 1 "$settings_phase" "$no_answer"
run single_instance
((failures == 0)) || {
  echo "e2e under Wine: $failures failed"
  exit 1
}
echo "e2e under Wine: all passed"
