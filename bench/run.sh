#!/usr/bin/env bash
# Builds Brimlark Backup and times it against its peers on the same data in one run (see bench.py).
# Usage: bench/run.sh [rounds] [more bench.py options]   (default and least 5 rounds)
#   e.g. bench/run.sh 5 --sections abc --baseline-exe /path/to/earlier/Brimlark.exe
#   sections p and w open windows: run those under xvfb-run -a -s "-screen 0 1024x768x24"
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
source scripts/wine-env.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target Brimlark make_stored_form mainwnd_tests >/dev/null
ensure_wine_prefix
"$wineserver" -p >/dev/null 2>&1 </dev/null || true  # already running is fine
"$wine" cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
/usr/bin/python3 bench/bench.py --exe build/win64/bin/Brimlark.exe --work "${BRIMLARK_BENCH_DIR:-$PWD/build/bench}" \
  --rounds "${1:-5}" "${@:2}" --stored-form-tool build/win64/bin/make_stored_form.exe \
  --ftp-server-script "$PWD/scripts/ftp-test-server.sh" --mainwnd-tests build/win64/bin/mainwnd_tests.exe
