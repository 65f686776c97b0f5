#!/bin/sh
# Times skerry on a disk of 406,000 files in 40,000 directories beside The
# Sleuth Kit's `fls -r -p` on the same disk and beside the floor (the MFT's
# bytes from the image with dd), and prints a table of elapsed time (the
# median of ROUNDS runs, default 5), MFT records per second, peak memory
# (the largest of the runs) and the ratios to fls and to the floor.
#
#   bench/run.sh [BUILD_DIR]     (default: build)
#   ROUNDS=3 bench/run.sh        (fewer rounds)
#
# The disk (6 GiB, sparse: 1.3 GiB on disk) is made once by the test-disk
# builder, in about two minutes, and kept in BUILD_DIR/bench/ until its
# description changes.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
case $build in /*) ;; *) build=$root/$build ;; esac
work=$build/bench
rounds=${ROUNDS:-5}

for tool in /usr/bin/time fls istat fsstat dd; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "bench: $tool is missing (apt-get install time sleuthkit)" >&2
    exit 1
  fi
done

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
ninja -C "$build" skerry >/dev/null

mkdir -p "$work"
description=$work/tree.disk
image=$work/tree.img

# 406,000 files in 40,000 directories 1 to 8 levels deep (see
# tree_description.awk). The volume is large enough for the MFT to stay in its
# zone, so that record 0 lists all its runs.
write_description() {
  awk -v dirs=40000 -v files=406000 -f "$root/bench/tree_description.awk"
}
write_description >"$description.new"
if [ ! -f "$image" ] || ! cmp -s "$description.new" "$description"; then
  mv "$description.new" "$description"
  echo "bench: building $image (several minutes)" >&2
  ninja -C "$build" skerry_disk_builder >/dev/null
  "$build/tools/skerry_disk_builder" "$description" "$image"
else
  rm -f "$description.new"
fi

devices=$work/devices
rm -rf "$devices"
mkdir -p "$devices"
ln -s "$image" "$devices/physicaldrive1"
ln -s physicaldrive1/partition1 "$devices/d::"

offset=2048
mft_bytes=$(istat -o $offset "$image" 0 | grep '^Type: \$DATA' | grep 'Name: N/A' |
  sed 's/.* size: \([0-9]*\).*/\1/' | head -n 1)
records=$((mft_bytes / 1024))
files=$(grep -c "^file " "$description")
dirs=$(grep -c "^dir " "$description")
cluster=$(fsstat -o $offset "$image" | sed -n 's/^Cluster Size: \([0-9]*\).*/\1/p')
# The MFT's runs as "start length" in clusters, from its unnamed $DATA.
istat -r -o $offset "$image" 0 |
  awk '/^Type: \$DATA/ { data = ($0 ~ /Name: N\/A/); next }
       /^Type: / { data = 0 }
       data && /Starting address:/ { gsub(",", ""); print $3, $5 }' >"$work/mft-runs.txt"

# The floor: the MFT's bytes read from the image in its runs, up to its data
# size, into a reused buffer (dd), with no decoding and no output.
left=$mft_bytes
while read -r start length; do
  [ "$left" -gt 0 ] || break
  bytes=$((length * cluster))
  [ "$bytes" -le "$left" ] || bytes=$left
  echo "dd if='$image' of=/dev/null bs=1M iflag=skip_bytes,count_bytes status=none" \
    "skip=$((offset * 512 + start * cluster)) count=$bytes"
  left=$((left - bytes))
done <"$work/mft-runs.txt" >"$work/floor.sh"

# Runs one command under /usr/bin/time -v; prints "seconds peak-KiB".
measure_once() {
  out=$1
  shift
  /usr/bin/time -v -o "$work/time.txt" "$@" >"$out" 2>"$work/stderr.txt" || true
  awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0;
                 for (i = 1; i <= n; i++) s = s * 60 + p[i]; sec = s }
              /Maximum resident set size/ { kib = $2 }
              END { printf "%.3f %d\n", sec, kib }' "$work/time.txt"
}

# `rounds` runs of one command; prints "median-seconds largest-peak-KiB".
measure() {
  i=0
  while [ $i -lt "$rounds" ]; do
    measure_once "$@"
    i=$((i + 1))
  done | sort -n | awk '{ s[NR] = $1; if ($2 > kib) kib = $2 }
      END { m = (NR % 2) ? s[(NR + 1) / 2] : (s[NR / 2] + s[NR / 2 + 1]) / 2;
            printf "%.3f %d\n", m, kib }'
}

row() {
  awk -v label="$1" -v s="$2" -v kib="$3" -v lines="$4" -v r="$records" -v f="$fls_seconds" \
      -v floor="$floor_seconds" 'BEGIN {
        printf "| %-28s | %8.2f | %12.0f | %8.0f | %7.2f | %8.1f | %8d |\n",
               label, s, (s > 0 ? r / s : 0), kib / 1024, (f > 0 ? s / f : 0),
               (floor > 0 ? s / floor : 0), lines }'
}

fls_result=$(measure "$work/fls.txt" fls -r -p -o $offset "$image")
fls_seconds=${fls_result% *}
floor_result=$(measure /dev/null sh "$work/floor.sh")
floor_seconds=${floor_result% *}

run() {
  label=$1
  out=$2
  shift 2
  result=$(SKERRY_DOSDEVICES=$devices measure "$out" "$build/skerry" "$@")
  lines=$(wc -l <"$out" 2>/dev/null || echo 0)
  row "$label" "${result% *}" "${result#* }" "$lines"
}

echo "MFT records: $records; files: $files in $dirs directories; MFT bytes: $mft_bytes; rounds: $rounds"
echo
echo "| command                      | seconds  | records/s    | peak MiB | vs fls  | vs floor | lines    |"
echo "|------------------------------|----------|--------------|----------|---------|----------|----------|"
row "fls -r -p" "$fls_seconds" "${fls_result#* }" "$(wc -l <"$work/fls.txt")"
row "floor: dd of the MFT's runs" "$floor_seconds" "${floor_result#* }" 0
run "skerry d: > file" "$work/listing.txt" d:
run "skerry d: > /dev/null" /dev/null d:
run "skerry -f *.log d:" "$work/logs.txt" -f '*.log' d:
run "skerry -S -T -A d:" "$work/columns.txt" -S -T -A d:
run "skerry -Q d:" "$work/report.txt" -Q d:
# The body file (-m) beside fls's own: in these two rows "vs fls" is to `fls -r -m /`.
list_fls_seconds=$fls_seconds
flsm_result=$(measure "$work/fls-body.txt" fls -r -m / -o $offset "$image")
fls_seconds=${flsm_result% *}
row "fls -r -m /" "$fls_seconds" "${flsm_result#* }" "$(wc -l <"$work/fls-body.txt")"
run "skerry -m d: > file" "$work/body.txt" -m d:
fls_seconds=$list_fls_seconds
