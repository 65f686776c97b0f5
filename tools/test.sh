#!/usr/bin/env bash
# Builds and tests everything, failing on the first failure:
#   1. Release build and its tests (unit and end-to-end), then the mutation test;
#   2. AddressSanitizer + UndefinedBehaviorSanitizer build and its tests;
#   3. the static Windows skerry.exe, cross-compiled with mingw-w64;
#   4. the Windows unit tests and skerry.exe under Wine (tools/wine/).
# Build trees: build/ (shared with demo.sh), build-asan/, build-mingw/.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${SKERRY_JOBS:-2}
"$root/tools/setup.sh"

configure_and_build() {
  local dir=$1
  shift
  mkdir -p "$dir"
  cmake -S "$root" -B "$dir" -G Ninja "$@" >"$dir/configure.log" 2>&1 ||
    { cat "$dir/configure.log"; return 1; }
  ninja -C "$dir" -j"$jobs" >"$dir/build.log" 2>&1 || { tail -n 60 "$dir/build.log"; return 1; }
}

# Runs ctest in a build tree; the whole output goes to a log, the summary to the console.
run_tests() {
  local dir=$1 title=$2 status=0
  ctest --test-dir "$dir" -j"$jobs" --output-on-failure >"$dir/ctest.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    grep -v -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* (Passed|Skipped)' "$dir/ctest.log" | tail -n 200
  fi
  echo "== $title"
  grep -E 'tests passed|tests failed|Total Test time' "$dir/ctest.log" || true
  return "$status"
}

echo "== Release build"
configure_and_build "$root/build" -DCMAKE_BUILD_TYPE=Release -DSKERRY_TOOLS=ON -DSKERRY_TESTS=ON
run_tests "$root/build" "Release tests"

# --- Mutation test ------------------------------------------------------------
# Damaged copies of three builder disks against the Release skerry: no crash,
# hang or memory growth, and no success that hides a lost line or prints an
# invented path (tools/mutation/README.md). 20 to 60 seconds.
echo "== Mutation test: ${SKERRY_MUTATIONS:-100} damaged copies of each of three disks"
python3 "$root/tools/mutation/mutate.py" --skerry "$root/build/skerry" \
  --builder "$root/build/tools/skerry_disk_builder" --work "$root/build/mutation" \
  --count "${SKERRY_MUTATIONS:-100}" --seed "${SKERRY_MUTATION_SEED:-1}" \
  --tolerate "${SKERRY_MUTATION_TOLERATE:-0}" >"$root/build/mutation.log" 2>&1 ||
  { grep -E '^(SILENT|INVENTED|CRASH|HANG|MEMORY) ' "$root/build/mutation.log" | head -n 40
    sed -n '/^disk  *mutations/,$p' "$root/build/mutation.log"
    grep -q '^disk  *mutations' "$root/build/mutation.log" || tail -n 20 "$root/build/mutation.log"
    exit 1; }
sed -n '/^disk  *mutations/,$p' "$root/build/mutation.log"
# --- end of mutation test -------------------------------------------------------

echo "== Sanitizer build"
configure_and_build "$root/build-asan" -DSKERRY_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DSKERRY_TOOLS=ON -DSKERRY_TESTS=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  run_tests "$root/build-asan" "Sanitizer tests"

# A minute per target, one target per core: three minutes on two cores.
# Longer runs are fuzz/run.sh's job.
echo "== Fuzzing: a short run per target, where clang's libFuzzer is available"
SKERRY_FUZZ_BUILD="$root/build-fuzz-lf" "$root/fuzz/run.sh" "${SKERRY_FUZZ_SECONDS:-60}"

echo "== Windows cross build"
configure_and_build "$root/build-mingw" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DSKERRY_TESTS=OFF -DSKERRY_TOOLS=OFF
test -f "$root/build-mingw/skerry.exe"
echo "built $root/build-mingw/skerry.exe"

# --- Windows under Wine ------------------------------------------------------
# The same cross build again, now with its unit tests, which CTest runs under
# wine64 through tools/wine/run.sh. tools/wine/test.sh boots one throwaway
# prefix and runs them and the end-to-end tests of skerry.exe (skerry_wine_tests,
# built into build/ with the other tests, which skip them there).
echo "== Windows unit tests and skerry.exe under Wine"
"$root/tools/wine/setup.sh"
configure_and_build "$root/build-mingw" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DSKERRY_TESTS=ON -DSKERRY_TOOLS=OFF \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$root/tools/wine/run.sh"
SKERRY_JOBS=$jobs "$root/tools/wine/test.sh" "$root/build" "$root/build-mingw"
# --- end of Windows under Wine -----------------------------------------------

# --- Packages ----------------------------------------------------------------
# The Debian package from build/ and the Windows .zip from build-mingw/, made
# and checked by tools/packages.sh: the .deb's own skerry, unpacked with
# dpkg -x, lists the sample disk; its manual page renders without a groff
# warning; the .zip's skerry.exe needs no DLL beyond Windows' own.
echo "== Packages"
"$root/tools/packages.sh" "$root/build" "$root/build-mingw"
# --- end of Packages ---------------------------------------------------------

echo "== all builds and tests passed"
