#!/usr/bin/env bash
# Takes screenshots of the window framework from a real Xvfb screen: a sample window holding every control
# kind, each message-box kind and a message tip. Writes PNGs to build/screenshots (or the folder given).
# Usage: scripts/screenshot.sh [output-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-build/screenshots}")"
scripts/install-deps.sh >/dev/null
source scripts/wine-env.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target ui_showcase >/dev/null
ensure_wine_prefix
mkdir -p "$out"
showcase="$PWD/build/win64/bin/ui_showcase.exe"

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
