# Sourced by the scripts that start Wine: one prefix inside the build tree, no debug output, and no
# offers to download Mono or Gecko.
export WINEPREFIX="${WINEPREFIX:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/win64/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

# The windows ask for Arial (and a few other Windows fonts) by name. Wine has none of them: each is mapped
# to its metric-compatible Liberation font (Debian's fonts-liberation), so texts take the room they take
# on Windows. No window manager runs under Xvfb, so Wine is told not to hand windows to one: a window it
# hands over waits two seconds for an answer that never comes each time it is hidden.
# cmake/WineTestEnvironment.cmake.in does the same for the test prefix.
wine_font_replacements='REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Arial"="Liberation Sans"
"Times New Roman"="Liberation Serif"
"Courier New"="Liberation Mono"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"'

ensure_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Initialising the Wine prefix $WINEPREFIX (once)..."
    mkdir -p "$WINEPREFIX"
    "$wine" wineboot --init >/dev/null 2>&1 </dev/null
    "$wineserver" -w
  fi
  # Skipped once the prefix has written the mapping to disk; until then importing it again is harmless.
  if ! grep -qF '"Arial"="Liberation Sans"' "$WINEPREFIX/user.reg" 2>/dev/null ||
     ! grep -qF '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    local reg="$WINEPREFIX/prefix-settings.reg"
    printf '%s\n' "$wine_font_replacements" >"$reg"
    "$wine" regedit /S "$(windows_path "$reg")" >/dev/null 2>&1 </dev/null
  fi
}

# Z:\ is Wine's view of /.
windows_path() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }
