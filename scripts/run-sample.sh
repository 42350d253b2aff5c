#!/usr/bin/env bash
# Builds Brimlark Backup, makes a sample source tree and backs it up unattended (/Quiet) under Wine with
# the built-in sample settings file (Common mode, update method, skip hidden and system files). A second
# run shows the update method leaving an unchanged backup alone.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
source scripts/wine-env.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target Brimlark

run="$PWD/sample-run"
rm -rf "$run"
mkdir -p "$run"
cp build/win64/bin/Brimlark.exe samples/sample.brlk "$run/"

# A few hundred files in nested folders, one hidden (a dot-file is hidden under Wine) and one system file
# (Wine keeps DOS attributes in the user.DOSATTRIB extended attribute).
for a in 1 2 3 4 5; do
  for b in 1 2 3 4 5 6; do
    folder="$run/Source/Projects/part$a/chapter$b"
    mkdir -p "$folder"
    for c in 1 2 3 4 5 6 7 8 9 10; do
      head -c $(( (a * 997 + b * 131 + c * 71) % 6000 + 1 )) /dev/urandom > "$folder/file$c.dat"
    done
  done
done
echo "private notes" > "$run/Source/.hidden-notes.txt"
echo "system data" > "$run/Source/boot.sys"
/usr/bin/python3 -c 'import os, sys; os.setxattr(sys.argv[1], "user.DOSATTRIB", b"0x4")' "$run/Source/boot.sys"

export BRIMLARK_SAMPLE
BRIMLARK_SAMPLE=$(windows_path "$run")
ensure_wine_prefix
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT

summary() {
  local files bytes
  files=$(find "$1" -type f 2>/dev/null | wc -l)
  bytes=$(find "$1" -type f -printf '%s\n' 2>/dev/null | awk '{ s += $1 } END { print s + 0 }')
  echo "$files files, $bytes bytes"
}

backup_run() {
  local started ended code
  started=$(date +%s.%N)
  set +e
  "$wine" "$run/Brimlark.exe" /Quiet "$(windows_path "$run/sample.brlk")" </dev/null
  code=$?
  set -e
  ended=$(date +%s.%N)
  awk -v s="$started" -v e="$ended" -v c="$code" 'BEGIN { printf "  exit code %d after %.2f s\n", c, e - s }'
  return "$code"
}

echo "Source:  $(summary "$run/Source") (one hidden and one system file among them)"
echo "Run 1: Brimlark.exe /Quiet $(windows_path "$run/sample.brlk")"
code=0
backup_run || code=$?
echo "Backup:  $(summary "$run/Backup") (hidden and system files skipped by the sample's options)"

touch "$run/.before-second-run"
sleep 1
echo "Run 2: the same again; the update method finds nothing to copy"
backup_run || code=$?
echo "Files the second run wrote: $(find "$run/Backup" -type f -cnewer "$run/.before-second-run" | wc -l)"

if [ -f "$run/Brimlark_ErrorLog.txt" ]; then
  echo "Error log:"
  iconv -f UTF-16 -t UTF-8 "$run/Brimlark_ErrorLog.txt" | sed 's/^/  /'
else
  echo "Error log: none (nothing failed)"
fi
exit "$code"
