# Sourced by the scripts that start Wine: one prefix inside the build tree, no debug output, and no
# offers to download Mono or Gecko.
export WINEPREFIX="${WINEPREFIX:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/win64/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

ensure_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Initialising the Wine prefix $WINEPREFIX (once)..."
    mkdir -p "$WINEPREFIX"
    "$wine" wineboot --init >/dev/null 2>&1 </dev/null
    "$wineserver" -w
  fi
}

# Z:\ is Wine's view of /.
windows_path() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }
