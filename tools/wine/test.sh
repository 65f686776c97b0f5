#!/usr/bin/env bash
# Tests the Windows build under Wine, in one throwaway prefix booted once:
#   1. the unit-test programs of the mingw-w64 cross build (ctest -L windows;
#      that build is configured with -DCMAKE_CROSSCOMPILING_EMULATOR pointing
#      at tools/wine/run.sh, which runs each program under wine64);
#   2. the end-to-end tests of skerry.exe (ctest -L wine in the Linux build:
#      skerry_wine_tests runs skerry.exe under Wine and the Linux skerry side
#      by side and compares what they print).
# Usage: tools/wine/test.sh [LINUX_BUILD [WINDOWS_BUILD]]   (default build/, build-mingw/)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
linux_build=$(cd "${1:-$root/build}" && pwd)
windows_build=$(cd "${2:-$root/build-mingw}" && pwd)
jobs=${SKERRY_JOBS:-2}
source "$here/wine_binary.sh"
wine=$(wine_binary)
wineserver=$(wineserver_binary)
if [ ! -f "$windows_build/skerry.exe" ]; then
  echo "wine: no $windows_build/skerry.exe to test" >&2
  exit 1
fi

# The prefix, and TMPDIR for this run: the wineserver keeps its socket in a
# directory of its own there and leaves it behind, so it goes with the rest.
work=$(mktemp -d "${TMPDIR:-/tmp}/skerry-wine.XXXXXX")
mkdir "$work/prefix" "$work/tmp"
export WINEPREFIX=$work/prefix TMPDIR=$work/tmp WINEDEBUG=-all
finish() {
  "$wineserver" -k >/dev/null 2>&1 || true
  "$wineserver" -w >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap finish EXIT

echo "== Wine: booting a throwaway prefix"
# One server for the whole run, so that no test pays for starting one.
"$wineserver" -p
# Mono, Gecko and menu entries are not needed here, and asking for them stalls.
if ! WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" "$wine" wineboot -i \
  >"$linux_build/wine-boot.log" 2>&1; then
  cat "$linux_build/wine-boot.log"
  exit 1
fi

# Runs ctest on one label; the whole output goes to a log, the summary (and
# on failure what failed) to the console. An empty selection or a skipped test
# is a failure: here it means a build or an environment without what the
# tests need, which would otherwise pass unseen.
run_label() {
  local dir=$1 label=$2 title=$3 status=0
  ctest --test-dir "$dir" -L "$label" -j"$jobs" --output-on-failure --no-tests=error \
    >"$dir/ctest-$label.log" 2>&1 || status=$?
  if [ "$status" -eq 0 ] && grep -q '(Skipped)$' "$dir/ctest-$label.log"; then
    echo "wine: tests were skipped:" >&2
    status=1
  fi
  if [ "$status" -ne 0 ]; then
    grep -v -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' "$dir/ctest-$label.log" | tail -n 200
  fi
  echo "== $title"
  grep -E 'tests passed|tests failed|Total Test time' "$dir/ctest-$label.log" || true
  return "$status"
}

run_label "$windows_build" windows "Windows unit tests under Wine"
SKERRY_WINE_EXE="$windows_build/skerry.exe" run_label "$linux_build" wine "skerry.exe under Wine"
