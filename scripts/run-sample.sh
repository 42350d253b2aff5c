#!/usr/bin/env bash
# Builds Brimlark Backup and runs the built-in sample settings file unattended (/Quiet) under Wine, then
# shows what happened.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
source scripts/wine-env.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target Brimlark

run="$PWD/sample-run"
rm -rf "$run"
mkdir -p "$run/Source/Documents"
for i in 1 2 3; do echo "sample file $i" > "$run/Source/Documents/file$i.txt"; done
cp build/win64/bin/Brimlark.exe samples/sample.brlk "$run/"
export BRIMLARK_SAMPLE
BRIMLARK_SAMPLE=$(windows_path "$run")

ensure_wine_prefix
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
echo "Running: Brimlark.exe /Quiet $(windows_path "$run/sample.brlk")"
started=$(date +%s.%N)
set +e
"$wine" "$run/Brimlark.exe" /Quiet "$(windows_path "$run/sample.brlk")" </dev/null
code=$?
set -e
ended=$(date +%s.%N)
awk -v s="$started" -v e="$ended" -v c="$code" \
  'BEGIN { printf "Brimlark.exe started and ended after %.2f s with exit code %d.\n", e - s, c }'

echo "Files beside the executable:"
ls -l "$run" | sed 's/^/  /'
if [ -f "$run/Brimlark.ini" ]; then
  echo "Brimlark.ini (written by the program at exit):"
  iconv -f UTF-16 -t UTF-8 "$run/Brimlark.ini" | sed 's/^/  /'
fi
if [ -f "$run/Brimlark_ErrorLog.txt" ]; then
  echo "Error log:"
  iconv -f UTF-16 -t UTF-8 "$run/Brimlark_ErrorLog.txt" | sed 's/^/  /'
fi
exit "$code"
