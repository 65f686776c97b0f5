#!/usr/bin/env bash
# Builds Skerry and the sample disk (tools/disks/sample.disk), maps the disk's
# first partition as drive D: and runs skerry on it. Extra arguments go to
# skerry before the drive: tools/demo.sh -S -f '*.txt'
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

mkdir -p "$sample/dosdevices"
if [ ! -f "$sample/sample.img" ] || [ "$root/tools/disks/sample.disk" -nt "$sample/sample.img" ] ||
  [ "$build/tools/skerry_disk_builder" -nt "$sample/sample.img" ]; then
  "$build/tools/skerry_disk_builder" "$root/tools/disks/sample.disk" "$sample/sample.img"
fi
# The device directory: disk 1 is the image, drive D: its first partition.
ln -sfn "$sample/sample.img" "$sample/dosdevices/physicaldrive1"
ln -sfn physicaldrive1/partition1 "$sample/dosdevices/d::"

echo "SKERRY_DOSDEVICES=$sample/dosdevices $build/skerry $* d:"
SKERRY_DOSDEVICES="$sample/dosdevices" "$build/skerry" "$@" d:
