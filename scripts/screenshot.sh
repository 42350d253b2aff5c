#!/usr/bin/env bash
# Takes screenshots from a real Xvfb screen: a sample window of the window framework holding every control
# kind, each message-box kind and a message tip; and the progress window of a real Passive run of
# Brimlark.exe mid-run, paused (its Pause button clicked) and with the cancel question (its Cancel button
# clicked); and the main window of a real Brimlark.exe through a preview, the backup started from it, the
# guard's question and the summary. Writes PNGs to build/screenshots (or the folder given).
# Usage: scripts/screenshot.sh [output-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-build/screenshots}")"
scripts/install-deps.sh >/dev/null
source scripts/wine-env.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target ui_showcase ui_poke Brimlark >/dev/null
ensure_wine_prefix
mkdir -p "$out"
showcase="$PWD/build/win64/bin/ui_showcase.exe"
poke="$PWD/build/win64/bin/ui_poke.exe"

# One X server and one wineserver for all the pictures.
display=":$((90 + RANDOM % 9))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY="$display"
"$wineserver" -p >/dev/null 2>&1 </dev/null || true
trap '"$wineserver" -k >/dev/null 2>&1 || true; kill $xvfb 2>/dev/null || true' EXIT

shoot() {  # name, then the showcase's arguments
  local name=$1; shift
  local ready; ready=$(mktemp -u /tmp/brimlark-shot-XXXXXX)
  "$wine" "$showcase" "$@" "$(windows_path "$ready")" >/dev/null 2>&1 </dev/null &
  local pid=$!
  for _ in $(seq 1 200); do [ -e "$ready" ] && break; sleep 0.05; done
  [ -e "$ready" ] || { echo "the $name window did not come up" >&2; kill $pid 2>/dev/null || true; return 1; }
  sleep 0.5  # let the window finish painting after it said it was up
  import -display "$display" -window root "$out/$name.png"
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
  rm -f "$ready"
  echo "$out/$name.png"
}

shoot controls controls
shoot message-box-ok box 0
shoot message-box-yes-no box 1
shoot message-box-ok-cancel box 2
shoot message-box-yes-no-cancel box 3
shoot message-tip tip
shoot failure-report report
shoot deletions-question deletions
shoot strict-warning strict
shoot pair-editor editor
shoot ftp-location ftp
mkdir -p "$out/settings-files"
shoot settings-installation settings 0 "$(windows_path "$out/settings-files")"
shoot settings-auto-update settings 1 "$(windows_path "$out/settings-files")"
shoot settings-scheduled-backups settings 2 "$(windows_path "$out/settings-files")"
rm -rf "$out/settings-files"
mkdir -p "$out/schedule-files"
shoot schedule-editor schedule "$(windows_path "$out/schedule-files")"
shoot tray-menu traymenu "$(windows_path "$out/schedule-files")"
rm -rf "$out/schedule-files"
shoot auto-update update
mkdir -p "$out/main-window-files"
shoot main-window main "$(windows_path "$out/main-window-files")"
rm -rf "$out/main-window-files"

# A real run: one large file copied by a Passive run, photographed mid-run, paused and while asking.
run="$out/run"
rm -rf "$run"; mkdir -p "$run/source"
head -c $((1024 * 1024 * 1024)) /dev/zero >"$run/source/large.bin"
cp build/win64/bin/Brimlark.exe "$run/"
printf '\xff\xfe' >"$run/job.brlk"
printf '[Settings]\r\nversion=1\r\nFlag=0\r\nSkipAttributes=0\r\n[Folders]\r\n0=%s<|>%s\r\n' \
  "$(windows_path "$run/source")" "$(windows_path "$run/backup")" | iconv -f UTF-8 -t UTF-16LE >>"$run/job.brlk"
"$wine" "$(windows_path "$run/Brimlark.exe")" /Passive /NoUpdate "$(windows_path "$run/job.brlk")" >/dev/null 2>&1 </dev/null &
brimlark=$!
"$wine" "$poke" Brimlark_MsgBox "Brimlark Backup" >/dev/null 2>&1 </dev/null
sleep 1.2
import -display "$display" -window root "$out/progress-mid-run.png" && echo "$out/progress-mid-run.png"
"$wine" "$poke" Brimlark_MsgBox "Brimlark Backup" Pause >/dev/null 2>&1 </dev/null
sleep 0.7
import -display "$display" -window root "$out/progress-paused.png" && echo "$out/progress-paused.png"
"$wine" "$poke" Brimlark_MsgBox "Brimlark Backup" Cancel >/dev/null 2>&1 </dev/null
"$wine" "$poke" _WINDOW_MsgBoxClass - >/dev/null 2>&1 </dev/null
sleep 0.5
import -display "$display" -window root "$out/progress-cancel-question.png" && echo "$out/progress-cancel-question.png"
"$wine" "$poke" _WINDOW_MsgBoxClass - Yes >/dev/null 2>&1 </dev/null
wait $brimlark 2>/dev/null || true
rm -rf "$run"

# The main window of a real Brimlark.exe: Preview of a Strict job of a few hundred files whose backup holds
# more files the source lacks, its plan, Start backup from it with the figures mid-copy, the guard's
# question over the progress window, and the summary after No.
run="$out/main-run"
rm -rf "$run"; mkdir -p "$run/source/docs" "$run/backup/old"
head -c $((1536 * 1024 * 1024)) /dev/zero >"$run/source/large.bin"
for i in $(seq 1 200); do printf 'file %s\n' "$i" >"$run/source/docs/note$i.txt"; done
for i in $(seq 1 300); do printf 'old %s\n' "$i" >"$run/backup/old/gone$i.txt"; done
cp build/win64/bin/Brimlark.exe "$run/"
printf '[Settings]\r\nAutoUpdate=0\r\nSkipStrictWarning=1\r\n' >"$run/Brimlark.ini"
printf '\xff\xfe' >"$run/job.brlk"
printf '[Settings]\r\nversion=1\r\nFlag=1\r\nSkipAttributes=0\r\n[Folders]\r\n0=%s<|>%s\r\n' \
  "$(windows_path "$run/source")" "$(windows_path "$run/backup")" | iconv -f UTF-8 -t UTF-16LE >>"$run/job.brlk"
"$wine" "$(windows_path "$run/Brimlark.exe")" /NoUpdate "$(windows_path "$run/job.brlk")" >/dev/null 2>&1 </dev/null &
brimlark=$!
"$wine" "$poke" BRIMLARK_CLASS "Brimlark Backup" >/dev/null 2>&1 </dev/null
sleep 1
import -display "$display" -window root "$out/main-window-options.png" && echo "$out/main-window-options.png"
"$wine" "$poke" BRIMLARK_CLASS "Brimlark Backup" Preview >/dev/null 2>&1 </dev/null
"$wine" "$poke" Brimlark_MsgBox "Brimlark Backup preview" >/dev/null 2>&1 </dev/null
sleep 0.7
import -display "$display" -window root "$out/preview-window.png" && echo "$out/preview-window.png"
"$wine" "$poke" Brimlark_MsgBox "Brimlark Backup preview" "Start backup" >/dev/null 2>&1 </dev/null
"$wine" "$poke" Brimlark_MsgBox "Brimlark Backup" >/dev/null 2>&1 </dev/null
sleep 3.6
import -display "$display" -window root "$out/progress-figures.png" && echo "$out/progress-figures.png"
for _ in $(seq 1 12); do "$wine" "$poke" _WINDOW_MsgBoxClass - >/dev/null 2>&1 </dev/null && break; done
sleep 0.5
import -display "$display" -window root "$out/guard-question.png" && echo "$out/guard-question.png"
"$wine" "$poke" _WINDOW_MsgBoxClass - No >/dev/null 2>&1 </dev/null
sleep 1.5
"$wine" "$poke" _WINDOW_MsgBoxClass - >/dev/null 2>&1 </dev/null
sleep 0.5
import -display "$display" -window root "$out/run-summary.png" && echo "$out/run-summary.png"
"$wine" "$poke" _WINDOW_MsgBoxClass - OK >/dev/null 2>&1 </dev/null
sleep 0.5
kill $brimlark 2>/dev/null || true
wait $brimlark 2>/dev/null || true
rm -rf "$run"
