#!/usr/bin/env bash
# Builds Skerry and the sample disk (tools/disks/sample.disk) and runs skerry
# on it, mapped as drive D: on the command line. Extra arguments go to skerry
# before the drive: tools/demo.sh -S -f '*.txt'
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
sample="$build/sample"
"$root/tools/setup.sh"

mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKERRY_TOOLS=ON >"$build/demo.configure.log" 2>&1 ||
  { cat "$build/demo.configure.log"; exit 1; }
ninja -C "$build" -j"${SKERRY_JOBS:-2}" skerry skerry_disk_builder >"$build/demo.build.log" 2>&1 ||
  { tail -n 60 "$build/demo.build.log"; exit 1; }

mkdir -p "$sample"
if [ ! -f "$sample/sample.img" ] || [ "$root/tools/disks/sample.disk" -nt "$sample/sample.img" ] ||
  [ "$build/tools/skerry_disk_builder" -nt "$sample/sample.img" ]; then
  "$build/tools/skerry_disk_builder" "$root/tools/disks/sample.disk" "$sample/sample.img"
fi
# The disk's one NTFS volume is drive D:.
echo "$build/skerry $* d:=$sample/sample.img"
"$build/skerry" "$@" "d:=$sample/sample.img"
