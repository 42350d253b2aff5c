#!/usr/bin/env bash
# A source folder that cannot be listed must not pass in silence: the unattended run logs
# "Could not read folder: <path>", ends with exit code 1, still copies what it can read, and deletes nothing
# in the backup on the strength of the listing that failed.
#
# Wine as root ignores Unix permission bits, so every Wine process here runs without root's override
# capabilities (setpriv), in a prefix of its own: a wineserver started with the capabilities would keep them
# and open the folder anyway. Exit code 77 means the capabilities cannot be dropped here (a skip for CTest).
#
# Usage: unlistable-folder-test.sh <Brimlark.exe> <work folder>
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 <Brimlark.exe> <work folder>" >&2
  exit 2
fi
exe=$(realpath -e "$1") || { echo "no executable at $1" >&2; exit 2; }
work=$(realpath -m "$2")
# Never the prefix of the other tests: its persistent wineserver holds root's capabilities.
prefix=$(realpath -m "${BRIMLARK_NOCAPS_PREFIX:-$(dirname "$exe")/../wineprefix-nocaps}")
export WINEPREFIX="$prefix"
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh"
nocaps=(setpriv --bounding-set -dac_override,-dac_read_search --inh-caps -dac_override,-dac_read_search)
kWineDeadline=60

started=$(date +%s.%N)

# Unlistable folders left behind would make the work folder impossible to remove for anyone but root.
restore_permissions() {
  [ -d "$work" ] && find "$work" -type d -exec chmod 755 {} + 2>/dev/null
  return 0
}
cleanup() {
  "$wineserver" -k >/dev/null 2>&1
  restore_permissions
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

skip() {
  echo "SKIPPED: $*"
  exit 77
}

failures=0
check() {
  local what=$1
  shift
  if "$@"; then
    echo "  ok: $what"
  else
    echo "  FAILED: $what"
    failures=$((failures + 1))
  fi
}

# Runs a Wine command without the capabilities; a hung process is ended so the cleanup above still runs.
wine_nocaps() {
  timeout --kill-after=5 "$kWineDeadline" "${nocaps[@]}" "$wine" "$@" </dev/null
}

command -v setpriv >/dev/null || skip "setpriv (util-linux) is not installed"
"${nocaps[@]}" true 2>/dev/null || skip "setpriv cannot drop the capabilities here: $("${nocaps[@]}" true 2>&1)"

# --- the prefix ------------------------------------------------------------------------------------------
# A server of this prefix left running by anyone else may hold the capabilities: end it first.
"$wineserver" -k >/dev/null 2>&1
if [ ! -f "$prefix/.initialised" ]; then
  echo "Initialising the Wine prefix $prefix (once)..."
  mkdir -p "$prefix"
  timeout --kill-after=5 120 "$wine" wineboot --init >/dev/null 2>&1 </dev/null
  timeout 60 "$wineserver" -w >/dev/null 2>&1
  "$wineserver" -k >/dev/null 2>&1
  if [ ! -f "$prefix/system.reg" ]; then
    echo "FAILED: wineboot --init did not make the prefix $prefix"
    exit 1
  fi
  touch "$prefix/.initialised"
fi

restore_permissions
rm -rf "$work"
mkdir -p "$work"

# --- does dropping the capabilities work here? -------------------------------------------------------------
echo "Checking that Wine without the override capabilities is refused a folder with mode 000"
probe="$work/probe"
mkdir -p "$probe/open" "$probe/closed"
echo "open-marker" >"$probe/open/readable.txt"
echo "closed-marker" >"$probe/closed/hidden.txt"
chmod 000 "$probe/closed"
if "${nocaps[@]}" cat "$probe/closed/hidden.txt" >/dev/null 2>&1; then
  skip "without dac_override and dac_read_search this process still reads inside a folder with mode 000" \
    "(more capabilities than those two, or a file system that ignores permissions)"
fi
# Keeps the server alive between the Wine processes below; it is started without the capabilities too.
# The first Wine process of a server starts Wine's background services, which live as long as the server:
# started here with their output going nowhere, they cannot hold open the output of this script.
"${nocaps[@]}" "$wineserver" -p >/dev/null 2>&1 </dev/null
wine_nocaps cmd.exe /c exit >/dev/null 2>&1
wine_nocaps cmd.exe /c "type $(windows_path "$probe/open/readable.txt") & type $(windows_path "$probe/closed/hidden.txt")" \
  >"$probe/output.txt" 2>&1
probeOutput=$(cat "$probe/output.txt")
if [[ "$probeOutput" != *open-marker* ]]; then
  echo "FAILED: Wine without the capabilities cannot read an ordinary file; it printed:"
  echo "$probeOutput" | sed 's/^/  /'
  exit 1
fi
if [[ "$probeOutput" == *closed-marker* ]]; then
  skip "Wine without the capabilities still reads a file inside a folder with mode 000"
fi
echo "  ok: Wine reads $(windows_path "$probe/open/readable.txt") and is refused $(windows_path "$probe/closed/hidden.txt")"

# --- the cases -----------------------------------------------------------------------------------------
# job.brlk as the program writes it: UTF-16LE with its mark, CR LF.
write_job() {
  local file=$1 flag=$2 source=$3 backup=$4
  {
    printf '\xff\xfe'
    printf '[Settings]\r\nversion=1\r\nFlag=%s\r\nSkipAttributes=0\r\n[Folders]\r\n0=%s<|>%s\r\n' \
      "$flag" "$(windows_path "$source")" "$(windows_path "$backup")" | iconv -f UTF-8 -t UTF-16LE
  } >"$file"
}

# Lays out <case>/app (the executable and its files), <case>/source and <case>/backup.
prepare_case() {
  local dir=$1 flag=$2
  mkdir -p "$dir/app" "$dir/source/locked" "$dir/backup"
  cp "$exe" "$dir/app/Brimlark.exe"
  write_job "$dir/app/job.brlk" "$flag" "$dir/source" "$dir/backup"
  echo "readable content" >"$dir/source/ok.txt"
  echo "new secret content" >"$dir/source/locked/secret.txt"
}

# Runs the job unattended; sets exitCode and log (the error log as UTF-8 without CR).
run_case() {
  local dir=$1
  echo "  Brimlark.exe /Quiet /NoUpdate $(windows_path "$dir/app/job.brlk")  (without the capabilities)"
  wine_nocaps "$dir/app/Brimlark.exe" /Quiet /NoUpdate "$(windows_path "$dir/app/job.brlk")"
  exitCode=$?
  if [ "$exitCode" -eq 124 ] || [ "$exitCode" -eq 137 ]; then
    echo "  exit code: $exitCode (ended by the script: still running after $kWineDeadline s)"
  else
    echo "  exit code: $exitCode"
  fi
  log=""
  if [ -f "$dir/app/Brimlark_ErrorLog.txt" ]; then
    log=$(iconv -f UTF-16 -t UTF-8 "$dir/app/Brimlark_ErrorLog.txt" | tr -d '\r')
    echo "  error log:"
    echo "$log" | sed 's/^/    /'
  else
    echo "  error log: none"
  fi
}

# The message of some entry (the part after the "hh:mm:ss:mmm=" key) is exactly "Could not read folder: "
# and the folder's path, a trailing backslash allowed.
logs_unreadable_folder() {
  local expected="Could not read folder: $(windows_path "$1")"
  sed -n 's/^[0-9][^=]*=//p' <<<"$log" | grep -qxF -e "$expected" -e "$expected\\"
}
same_content() { [ -f "$1" ] && [ "$(cat "$1")" = "$2" ]; }
is_missing() { [ ! -e "$1" ]; }

echo "Common mode (Flag=0): the source's folder 'locked' has mode 000"
one="$work/common"
prepare_case "$one" 0
chmod 000 "$one/source/locked"
run_case "$one"
check "exit code 1 (a failure was counted)" test "$exitCode" -eq 1
check "ok.txt was copied" same_content "$one/backup/ok.txt" "readable content"
check "the error log says: Could not read folder: $(windows_path "$one/source/locked")" \
  logs_unreadable_folder "$one/source/locked"

echo "Strict mode (Flag=1): the backup already holds locked\\secret.txt and locked\\keep.txt; the source's 'locked' has mode 000"
two="$work/strict"
prepare_case "$two" 1
mkdir -p "$two/backup/locked"
echo "old secret content" >"$two/backup/locked/secret.txt"
echo "kept content" >"$two/backup/locked/keep.txt"
# Gone from a source folder that lists fine: this one the deletion pass must remove, which shows it ran.
echo "stale content" >"$two/backup/stale.txt"
chmod 000 "$two/source/locked"
run_case "$two"
check "exit code 1 (a failure was counted)" test "$exitCode" -eq 1
check "ok.txt was copied" same_content "$two/backup/ok.txt" "readable content"
check "the backup's locked\\secret.txt is still there, unchanged" same_content "$two/backup/locked/secret.txt" "old secret content"
check "the backup's locked\\keep.txt is still there, unchanged" same_content "$two/backup/locked/keep.txt" "kept content"
check "stale.txt, absent from a source folder that lists, was deleted (the deletion pass ran)" \
  is_missing "$two/backup/stale.txt"
check "the error log says: Could not read folder: $(windows_path "$two/source/locked")" \
  logs_unreadable_folder "$two/source/locked"

awk -v s="$started" -v e="$(date +%s.%N)" 'BEGIN { printf "Took %.1f s\n", e - s }'
if [ "$failures" -ne 0 ]; then
  echo "FAILED: $failures check(s)"
  exit 1
fi
echo "PASSED"
