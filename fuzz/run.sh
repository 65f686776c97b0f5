#!/usr/bin/env bash
# Builds the libFuzzer programs with clang and fuzzes each target (one per
# core at a time), starting from a copy of its committed corpus:
#   fuzz/run.sh [SECONDS_PER_TARGET] [TARGET...]
# Does nothing (status 0) where clang's libFuzzer is not available. Crashes,
# hangs and out-of-memory inputs are left in $SKERRY_FUZZ_WORK/artifacts/.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  targets=(partition_table gpt boot_sector run_list mft_record volume)
fi
build=${SKERRY_FUZZ_BUILD:-$root/build-fuzz-lf}
work=${SKERRY_FUZZ_WORK:-$build/fuzz-work}

probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
  >"$probe/probe.cpp"
if ! command -v clang++ >/dev/null ||
  ! clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" 2>/dev/null; then
  echo "fuzz: clang's libFuzzer is not available; nothing fuzzed"
  exit 0
fi

# The libraries get coverage instrumentation; only the fuzz programs link libFuzzer.
# A helper that clang 14 finds unused is not the fuzzer's business.
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
flags+=" -Wno-error=unneeded-internal-declaration"
CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSKERRY_TESTS=OFF -DSKERRY_TOOLS=OFF -DSKERRY_FUZZ=ON "-DCMAKE_CXX_FLAGS=$flags" >/dev/null
mkdir -p "$work"
ninja -C "$build" -j"${SKERRY_JOBS:-2}" "${targets[@]/#/skerry_fuzz_}" >"$work/build.log" 2>&1 ||
  { tail -n 40 "$work/build.log"; exit 1; }

# One target: fuzz from a copy of its committed corpus; a finding leaves
# TARGET.failed beside its log.
fuzz_one() {
  target=$1
  corpus="$work/corpus/$target"
  artifacts="$work/artifacts/$target"
  mkdir -p "$corpus" "$artifacts"
  rm -f "$work/$target.failed"
  cp -n "$root/fuzz/corpus/$target/"* "$corpus/" 2>/dev/null || true
  max_len=4096
  [ "$target" = volume ] && max_len=262144
  [ "$target" = gpt ] || [ "$target" = partition_table ] && max_len=20000
  ASAN_OPTIONS=detect_leaks=1 "$build/fuzz/skerry_fuzz_$target" "$corpus" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
    -artifact_prefix="$artifacts/" -print_final_stats=1 >"$work/$target.log" 2>&1 ||
    touch "$work/$target.failed"
}

# As many targets at once as there are cores (SKERRY_FUZZ_JOBS to choose).
jobs=${SKERRY_FUZZ_JOBS:-$(nproc 2>/dev/null || echo 1)}
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  echo "== fuzz $target for ${seconds}s"
  fuzz_one "$target" &
  running=$((running + 1))
done
wait || true

status=0
for target in "${targets[@]}"; do
  echo "== $target"
  if [ -e "$work/$target.failed" ]; then
    status=1
    tail -n 40 "$work/$target.log"
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^#[0-9]+ *DONE' "$work/$target.log" || true
done
exit "$status"
