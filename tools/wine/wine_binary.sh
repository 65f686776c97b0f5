# Sourced: where Wine's 64-bit loader and server are. Debian's wine64 package
# puts them in /usr/lib/wine without a link on PATH unless the wine package
# is installed too; $SKERRY_WINE overrides both.

wine_binary() {
  local candidate
  for candidate in "${SKERRY_WINE:-}" "$(command -v wine64 || true)" /usr/lib/wine/wine64; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
      echo "$candidate"
      return 0
    fi
  done
  echo "no wine64 found (apt-get install wine64, or set SKERRY_WINE)" >&2
  return 1
}

wineserver_binary() {
  local wine candidate
  wine=$(wine_binary) || return 1
  for candidate in "$(dirname "$wine")/wineserver" "$(command -v wineserver || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
      echo "$candidate"
      return 0
    fi
  done
  echo "no wineserver found beside $wine" >&2
  return 1
}
