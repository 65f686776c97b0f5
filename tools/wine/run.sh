#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine, quietly, in the prefix that
# $WINEPREFIX names. It never falls back to ~/.wine: tests run only in a
# throwaway prefix (tools/wine/test.sh makes one).
#   WINEPREFIX=/tmp/prefix tools/wine/run.sh program.exe [arguments...]
set -euo pipefail
source "$(dirname "$0")/wine_binary.sh"
if [ -z "${WINEPREFIX:-}" ] || [ ! -d "$WINEPREFIX" ]; then
  echo "run.sh: WINEPREFIX must name a directory for a throwaway prefix (tools/wine/test.sh makes one)" >&2
  exit 125
fi
wine=$(wine_binary) || exit 125
export WINEDEBUG=-all
exec "$wine" "$@"
