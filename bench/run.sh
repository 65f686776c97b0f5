#!/bin/bash
# Times skerry beside two peers, The Sleuth Kit's `fls -r -p` and ntfs-3g's
# `ntfsls -R -a`, and beside the floor (the MFT's bytes read with dd), on
# deterministic disks made by the test-disk builder, in four series:
#
#   warm    the 406,000-file disk, page cache warm: every command timed right
#           after an fls run (fls, command, fls, command...), ROUNDS pairs
#           (default 7); median, minimum and maximum of each command, ratios
#           of medians to fls, ntfsls and the floor, and peak memory beside
#           the MFT's size
#   cold    the same disk, the page cache dropped before every command (root
#           only): the listing, ntfsls, the floor, fls (fewer rounds)
#   scale   disks of 100,000 and 406,000 files (and 1,000,000 with
#           SCALE_MILLION=1) of the same shape: time and peak memory of the
#           listing, per MFT record, beside ntfsls and fls
#   single  200,000 files in one directory, where fls's cost grows faster
#           than the count: the listing, ntfsls, fls once (with a timeout)
#
#   bench/run.sh [BUILD_DIR | SKERRY_BINARY]      (default: build)
#   SERIES="warm cold" bench/run.sh               (some series only)
#   BENCH_DIR=/path/to/disks bench/run.sh other-build
#
# Given a build directory, skerry (Release) and, when a disk must be made, the
# test-disk builder are built there; given a binary, that binary is timed, and
# the builder is taken from BUILDER or build/tools/. The disks are kept in
# BENCH_DIR (default BUILD_DIR/bench, or build/bench beside a binary) until
# their description changes. Rounds: ROUNDS (warm, 7), COLD_ROUNDS (5),
# COLD_FLS_ROUNDS (3), SCALE_ROUNDS (5), SCALE_FLS_ROUNDS (1), SINGLE_ROUNDS
# (5), SINGLE_NTFSLS_ROUNDS (3); FLS_TIMEOUT bounds fls on the single
# directory (900 s); MAIN_FILES=100000 runs the warm and cold series on the
# 100,000-file disk (a quick check). Samples go to BENCH_DIR/samples-*.txt, one line per run.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:-$root/build}
case $target in /*) ;; *) target=$PWD/$target ;; esac
if [ -f "$target" ] && [ -x "$target" ]; then
  skerry=$target
  build=$root/build
else
  build=$target
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  ninja -C "$build" skerry >/dev/null
  skerry=$build/skerry
fi
work=${BENCH_DIR:-$build/bench}
builder=${BUILDER:-$build/tools/skerry_disk_builder}
series=${SERIES:-warm cold scale single}
rounds=${ROUNDS:-7}
cold_rounds=${COLD_ROUNDS:-5}
cold_fls_rounds=${COLD_FLS_ROUNDS:-3}
scale_rounds=${SCALE_ROUNDS:-5}
scale_fls_rounds=${SCALE_FLS_ROUNDS:-1}
single_rounds=${SINGLE_ROUNDS:-5}
single_ntfsls_rounds=${SINGLE_NTFSLS_ROUNDS:-3}
fls_timeout=${FLS_TIMEOUT:-900}
# The disk of the warm and cold series (another size for a quick check).
main_files=${MAIN_FILES:-406000}

for tool in /usr/bin/time fls istat fsstat ntfsls dd timeout; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "bench: $tool is missing (apt-get install time sleuthkit ntfs-3g)" >&2
    exit 1
  fi
done
mkdir -p "$work"
# shellcheck source=bench/disks.sh
. "$root/bench/disks.sh"

# Builds the test-disk builder only when a disk must be made.
need_builder() {
  if [ ! -x "$builder" ] && [ -f "$build/build.ninja" ]; then
    ninja -C "$build" skerry_disk_builder >/dev/null
  fi
}

# disk NAME [awk arguments]: makes the disk if needed and loads its figures
# into offset, mft_bytes, record_bytes, records, files, dirs, image, part,
# devices.
disk() {
  local name=$1
  need_builder
  ensure_disk "$@"
  read -r offset mft_bytes record_bytes cluster <"$work/$name.info"
  records=$((mft_bytes / record_bytes))
  files=$(grep -c '^file ' "$work/$name.disk" || true)
  dirs=$(grep -c '^dir ' "$work/$name.disk" || true)
  image=$work/$name.img
  part=$work/$name.part
  devices=$work/$name.devices
  floor=$work/$name.floor.sh
}

# disk_of FILES: the name of the tree-shaped disk of that many files.
disk_of() {
  if [ "$1" = 406000 ]; then echo tree; else echo "tree-$1"; fi
}
main_disk() { disk "$(disk_of "$main_files")" -v files="$main_files"; }

samples=$work/samples-$(date -u +%Y%m%dT%H%M%S).txt
: >"$samples"

# sample SERIES LABEL OUTPUT COMMAND...: runs the command once under
# /usr/bin/time, appends "SERIES<TAB>LABEL<TAB>milliseconds<TAB>peak-KiB<TAB>
# status<TAB>lines" to the samples. Wall time is taken around the run with
# nanosecond clocks (time's own is in hundredths).
sample() {
  local series=$1 label=$2 out=$3 start end status=0 kib lines=0
  shift 3
  # The output of the run before is removed untimed: truncating a listing
  # of 65 MB when the command opens it took 15 to 35 ms, which is no part of
  # the command. The clock is the shell's own, so that no process is started
  # inside the timed span but the command.
  [ "$out" = /dev/null ] || rm -f "$out"
  start=${EPOCHREALTIME/[.,]/}
  /usr/bin/time -f %M -o "$work/rss.txt" "$@" >"$out" 2>"$work/stderr.txt" || status=$?
  end=${EPOCHREALTIME/[.,]/}
  kib=$(tail -n 1 "$work/rss.txt")
  [ "$out" = /dev/null ] || lines=$(wc -l <"$out")
  printf '%s\t%s\t%d\t%s\t%d\t%d\n' "$series" "$label" $(((end - start) / 1000)) "$kib" \
    "$status" "$lines" >>"$samples"
  if [ "$status" -ne 0 ]; then
    echo "bench: $label exited with $status: $(head -c 300 "$work/stderr.txt")" >&2
  fi
}

run_skerry() {
  local series=$1 label=$2 out=$3
  shift 3
  SKERRY_DOSDEVICES=$devices sample "$series" "$label" "$out" "$skerry" "$@"
}

drop_caches() {
  sync
  echo 3 >/proc/sys/vm/drop_caches
}

# stats SERIES LABEL: "median min max peak-KiB count lines status" of the
# samples of one command (peak: the largest; status: the largest).
stats() {
  awk -F '\t' -v s="$1" -v l="$2" '$1 == s && $2 == l {
        n++; t[n] = $3 / 1000; if ($4 > kib) kib = $4; lines = $6; if ($5 > st) st = $5 }
      END {
        if (n == 0) { print "0 0 0 0 0 0 0"; exit }
        for (i = 2; i <= n; i++) for (j = i; j > 1 && t[j - 1] > t[j]; j--) {
          x = t[j]; t[j] = t[j - 1]; t[j - 1] = x }
        m = (n % 2) ? t[(n + 1) / 2] : (t[n / 2] + t[n / 2 + 1]) / 2
        printf "%.3f %.3f %.3f %d %d %d %d\n", m, t[1], t[n], kib, n, lines, st }' "$samples"
}

median_of() { local r; r=$(stats "$1" "$2"); echo "${r%% *}"; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.3f", a / b; else printf "-" }'; }

header() {
  echo "| command                  | median s | min s  | max s  | max/med | peak MiB | vs fls | vs ntfsls | vs floor | runs | lines  |"
  echo "|--------------------------|----------|--------|--------|---------|----------|--------|-----------|----------|------|--------|"
}

# row SERIES LABEL [FLS NTFSLS FLOOR]: one line of a table; the ratios are of
# medians.
row() {
  local m lo hi kib n lines st
  read -r m lo hi kib n lines st < <(stats "$1" "$2")
  awk -v label="$2" -v m="$m" -v lo="$lo" -v hi="$hi" -v kib="$kib" -v n="$n" -v lines="$lines" \
      -v f="${3:-0}" -v ls="${4:-0}" -v fl="${5:-0}" -v st="$st" '
    function r(b) { return b > 0 ? sprintf("%.3f", m / b) : "-" }
    BEGIN { printf "| %-24s | %8.3f | %6.3f | %6.3f | %7.2f | %8.1f | %6s | %9s | %8s | %4d | %6d |%s\n",
                   label, m, lo, hi, (m > 0 ? hi / m : 0), kib / 1024, r(f), r(ls), r(fl), n, lines,
                   (st ? " (exit " st ")" : "") }'
}

describe_disk() {
  echo "Disk $1: $files files in $dirs directories; MFT $mft_bytes bytes" \
    "($(awk -v b="$mft_bytes" 'BEGIN { printf "%.1f", b / 1048576 }') MiB)," \
    "$records records of $record_bytes bytes."
}

elapsed_since() { echo $(($(date +%s) - $1)); }

# The skerry commands of the warm series: label, output, arguments.
warm_commands=(
  "skerry d: > file|$work/listing.txt|d:"
  "skerry d: > /dev/null|/dev/null|d:"
  "skerry -f *.log d:|$work/logs.txt|-f *.log d:"
  "skerry -S -T -A d:|$work/columns.txt|-S -T -A d:"
  "skerry -Q d:|$work/report.txt|-Q d:"
  "skerry -m d:|$work/body.txt|-m d:"
)

warm_series() {
  local started r entry label out args
  started=$(date +%s)
  main_disk
  echo "## Warm series: each command right after an fls run, $rounds pairs"
  echo
  describe_disk "$(disk_of "$main_files")"
  # One run of each to fill the page cache with the image and the partition.
  sh "$floor" >/dev/null
  cat "$part" >/dev/null
  r=1
  while [ $r -le "$rounds" ]; do
    for entry in "${warm_commands[@]}" "ntfsls -R -a|$work/ntfsls.txt|"; do
      IFS='|' read -r label out args <<<"$entry"
      sample warm "fls -r -p" "$work/fls.txt" fls -r -p -o "$offset" "$image"
      if [ "$label" = "ntfsls -R -a" ]; then
        sample warm "$label" "$out" ntfsls -R -a "$part"
      else
        set -f
        # shellcheck disable=SC2086
        run_skerry warm "$label" "$out" $args
        set +f
      fi
    done
    sample warm "floor: dd of the MFT" /dev/null sh "$floor"
    r=$((r + 1))
  done
  local fls_m ntfsls_m floor_m
  fls_m=$(median_of warm "fls -r -p")
  ntfsls_m=$(median_of warm "ntfsls -R -a")
  floor_m=$(median_of warm "floor: dd of the MFT")
  echo
  header
  row warm "fls -r -p" "$fls_m" "$ntfsls_m" "$floor_m"
  row warm "ntfsls -R -a" "$fls_m" "$ntfsls_m" "$floor_m"
  row warm "floor: dd of the MFT" "$fls_m" "$ntfsls_m" "$floor_m"
  for entry in "${warm_commands[@]}"; do
    row warm "${entry%%|*}" "$fls_m" "$ntfsls_m" "$floor_m"
  done
  local m lo hi kib n lines st
  read -r m lo hi kib n lines st < <(stats warm "skerry d: > file")
  echo
  echo "Full listing to a file: maximum $(ratio "$hi" "$m") × median (target <= 1.5)."
  echo
  echo "Peak memory beside the MFT ($(awk -v b="$mft_bytes" 'BEGIN { printf "%.1f", b / 1048576 }') MiB):"
  echo
  echo "| command             | peak MiB | vs MFT | target                                   |"
  echo "|---------------------|----------|--------|------------------------------------------|"
  local listing_kib report_kib logs_kib logs_lines
  listing_kib=$(stats warm "skerry d: > file" | awk '{ print $4 }')
  report_kib=$(stats warm "skerry -Q d:" | awk '{ print $4 }')
  read -r logs_kib logs_lines < <(stats warm "skerry -f *.log d:" | awk '{ print $4, $6 }')
  awk -v l="$listing_kib" -v q="$report_kib" -v f="$logs_kib" -v kept="$logs_lines" \
      -v mft="$mft_bytes" -v rec="$record_bytes" 'BEGIN {
    mib = mft / 1048576
    printf "| skerry d:           | %8.1f | %6.3f | <= 0.2 × MFT = %.1f MiB%s |\n", l / 1024,
           l * 1024 / mft, 0.2 * mib, (l * 1024 <= 0.2 * mft ? " (met)" : " (not met)")
    printf "| skerry -Q d:        | %8.1f | %6.3f | <= 32 MiB%s |\n", q / 1024, q * 1024 / mft,
           (q <= 32 * 1024 ? " (met)" : " (not met)")
    bound = 32 + kept * rec / 1048576
    printf "| skerry -f *.log d:  | %8.1f | %6.3f | <= 32 MiB + %d kept records = %.1f MiB%s |\n",
           f / 1024, f * 1024 / mft, kept, bound, (f / 1024 <= bound ? " (met)" : " (not met)") }'
  echo
  echo "Warm series took $(elapsed_since "$started") s."
  echo
}

cold_series() {
  local started r
  started=$(date +%s)
  echo "## Cold series: page cache dropped before each command"
  echo
  if [ "$(id -u)" -ne 0 ] || ! [ -w /proc/sys/vm/drop_caches ]; then
    echo "Skipped: dropping the page cache needs root."
    echo
    return
  fi
  main_disk
  describe_disk "$(disk_of "$main_files")"
  r=1
  while [ $r -le "$cold_rounds" ]; do
    drop_caches
    run_skerry cold "skerry d: > file" "$work/listing.txt" d:
    drop_caches
    sample cold "ntfsls -R -a" "$work/ntfsls.txt" ntfsls -R -a "$part"
    drop_caches
    sample cold "floor: dd of the MFT" /dev/null sh "$floor"
    if [ $r -le "$cold_fls_rounds" ]; then
      drop_caches
      sample cold "fls -r -p" "$work/fls.txt" fls -r -p -o "$offset" "$image"
    fi
    r=$((r + 1))
  done
  local fls_m ntfsls_m floor_m listing_m
  fls_m=$(median_of cold "fls -r -p")
  ntfsls_m=$(median_of cold "ntfsls -R -a")
  floor_m=$(median_of cold "floor: dd of the MFT")
  listing_m=$(median_of cold "skerry d: > file")
  echo
  header
  row cold "fls -r -p" "$fls_m" "$ntfsls_m" "$floor_m"
  row cold "ntfsls -R -a" "$fls_m" "$ntfsls_m" "$floor_m"
  row cold "floor: dd of the MFT" "$fls_m" "$ntfsls_m" "$floor_m"
  row cold "skerry d: > file" "$fls_m" "$ntfsls_m" "$floor_m"
  echo
  echo "Full listing cold: $(ratio "$listing_m" "$floor_m") × the floor cold (target <= 1.3)."
  echo
  echo "Cold series took $(elapsed_since "$started") s."
  echo
}

scale_series() {
  local started sizes size name r
  started=$(date +%s)
  sizes="100000 406000"
  [ "${SCALE_MILLION:-0}" = 1 ] && sizes="$sizes 1000000"
  echo "## Scale series: the same shape at $sizes files"
  echo
  local table=$work/scale-table.txt
  : >"$table"
  for size in $sizes; do
    name=$(disk_of "$size")
    disk "$name" -v files="$size"
    describe_disk "$name"
    # The floor first, to bring the image into the page cache.
    sh "$floor" >/dev/null
    r=1
    while [ $r -le "$scale_rounds" ]; do
      if [ $r -le "$scale_fls_rounds" ]; then
        sample "scale-$size" "fls -r -p" "$work/fls.txt" fls -r -p -o "$offset" "$image"
      fi
      run_skerry "scale-$size" "skerry d: > file" "$work/listing.txt" d:
      sample "scale-$size" "ntfsls -R -a" "$work/ntfsls.txt" ntfsls -R -a "$part"
      sample "scale-$size" "floor: dd of the MFT" /dev/null sh "$floor"
      r=$((r + 1))
    done
    echo "$size $files $dirs $records $mft_bytes $(stats "scale-$size" "skerry d: > file")" \
      "$(median_of "scale-$size" "ntfsls -R -a") $(median_of "scale-$size" "fls -r -p")" \
      "$(median_of "scale-$size" "floor: dd of the MFT")" >>"$table"
  done
  echo
  echo "| files     | dirs   | records   | MFT MiB | skerry s (min–max)    | peak MiB | peak/MFT | µs/record | peak bytes/record | ntfsls s | fls s   | floor s | vs ntfsls | vs fls |"
  echo "|-----------|--------|-----------|---------|-----------------------|----------|----------|-----------|-------------------|----------|---------|---------|-----------|--------|"
  awk '{ size = $1; files = $2; dirs = $3; rec = $4; mft = $5; m = $6; lo = $7; hi = $8; kib = $9
         ls = $13; f = $14; fl = $15
         printf "| %9d | %6d | %9d | %7.1f | %6.3f (%.3f–%.3f) | %8.1f | %8.3f | %9.3f | %17.0f | %8.3f | %7.2f | %7.3f | %9.3f | %6.3f |\n",
                files, dirs, rec, mft / 1048576, m, lo, hi, kib / 1024, kib * 1024 / mft,
                m * 1e6 / rec, kib * 1024 / rec, ls, f, fl, (ls > 0 ? m / ls : 0), (f > 0 ? m / f : 0) }' \
    "$table"
  echo
  echo "Scale series took $(elapsed_since "$started") s."
  echo
}

single_series() {
  local started r
  started=$(date +%s)
  echo "## Single directory: 200,000 files in one directory"
  echo
  disk single-200000 -v files=200000 -v dirs=1
  describe_disk single-200000
  sh "$floor" >/dev/null
  r=1
  while [ $r -le "$single_rounds" ]; do
    run_skerry single "skerry d: > file" "$work/listing.txt" d:
    if [ $r -le "$single_ntfsls_rounds" ]; then
      sample single "ntfsls -R -a" "$work/ntfsls.txt" ntfsls -R -a "$part"
    fi
    sample single "floor: dd of the MFT" /dev/null sh "$floor"
    r=$((r + 1))
  done
  sample single "fls -r -p" "$work/fls.txt" timeout "$fls_timeout" fls -r -p -o "$offset" "$image"
  local fls_m ntfsls_m floor_m status
  fls_m=$(median_of single "fls -r -p")
  ntfsls_m=$(median_of single "ntfsls -R -a")
  floor_m=$(median_of single "floor: dd of the MFT")
  echo
  header
  row single "fls -r -p" "$fls_m" "$ntfsls_m" "$floor_m"
  row single "ntfsls -R -a" "$fls_m" "$ntfsls_m" "$floor_m"
  row single "floor: dd of the MFT" "$fls_m" "$ntfsls_m" "$floor_m"
  row single "skerry d: > file" "$fls_m" "$ntfsls_m" "$floor_m"
  status=$(stats single "fls -r -p" | awk '{ print $7 }')
  if [ "$status" = 124 ]; then
    echo
    echo "fls hit the ${fls_timeout} s timeout: its figure is a lower bound."
  fi
  echo
  echo "Single-directory series took $(elapsed_since "$started") s."
  echo
}

echo "# skerry benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
# The source the timed binary was built from: its build tree's, else this one.
source=$root
if [ -f "$(dirname "$skerry")/CMakeCache.txt" ]; then
  source=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$(dirname "$skerry")/CMakeCache.txt")
fi
commit=$(git -C "$source" rev-parse --short HEAD 2>/dev/null || echo '?')
if [ -n "$(git -C "$source" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  commit="$commit with uncommitted changes"
fi
damon=off
for state in /sys/kernel/mm/damon/admin/kdamonds/*/state; do
  [ "$(cat "$state" 2>/dev/null)" = on ] && damon=on
done
echo "skerry: $skerry (built from $source at $commit)." \
  "Machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)," \
  "Linux $(uname -r), transparent huge pages $(sed 's/.*\[\(.*\)\].*/\1/' \
  /sys/kernel/mm/transparent_hugepage/enabled 2>/dev/null || echo '?'), DAMON $damon," \
  "load $(cut -d' ' -f1-3 /proc/loadavg)."
echo
for s in $series; do
  case $s in
    warm) warm_series ;;
    cold) cold_series ;;
    scale) scale_series ;;
    single) single_series ;;
    *) echo "bench: unknown series $s (warm, cold, scale, single)" >&2; exit 2 ;;
  esac
done
echo "Samples: $samples"
