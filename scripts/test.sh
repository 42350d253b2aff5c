#!/usr/bin/env bash
# Installs what is missing, builds both presets (win64 tested, win32 shipped) and runs every test under
# Wine and Xvfb. No Wine process is left running afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
source scripts/wine-env.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64
cmake --preset win32 >/dev/null
cmake --build --preset win32

trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset win64 -j "$(nproc)"
