# shellcheck shell=bash disable=SC2154
# The benchmark's disks, sourced by bench/run.sh (bash). Each disk is made
# once from its description and kept in $work until the description changes:
#
#   $work/NAME.disk       the description (tree_description.awk's output)
#   $work/NAME.img        the whole disk, sparse, and NAME.img.manifest
#   $work/NAME.part       its NTFS partition alone, sparse (for ntfsls, which
#                         takes no offset)
#   $work/NAME.info       "offset-sectors mft-bytes record-bytes cluster-bytes"
#   $work/NAME.floor.sh   dd of the MFT's runs, up to its data size
#   $work/NAME.devices/   the drive map skerry reads (d: is partition 1)
#
# Needs $root (the source tree), $work and $builder (skerry_disk_builder).

# ensure_disk NAME [awk -v arguments...]
ensure_disk() {
  local name=$1
  shift
  local lock
  mkdir -p "$work"
  # Two runs sharing the disks must not make or carve the same one at once.
  exec {lock}>"$work/$name.lock"
  flock "$lock"
  ensure_disk_locked "$name" "$@"
  local status=$?
  exec {lock}>&-
  return $status
}

ensure_disk_locked() {
  local name=$1
  shift
  local description=$work/$name.disk image=$work/$name.img part=$work/$name.part
  awk "$@" -f "$root/bench/tree_description.awk" >"$description.new"
  if [ ! -f "$image" ] || ! cmp -s "$description.new" "$description"; then
    rm -f "$description" "$image" "$image.manifest" "$part" "$work/$name.info"
    echo "bench: building $image (minutes)" >&2
    "$builder" "$description.new" "$image" >"$work/$name.build.log" 2>&1 || {
      echo "bench: the disk builder failed, see $work/$name.build.log" >&2
      return 1
    }
    # Only a finished image is named by its description, so an interrupted
    # build is made again next time.
    mv "$description.new" "$description"
  else
    rm -f "$description.new"
  fi

  local start sectors
  read -r start sectors < <(sed -n 's/^partition 1 .*start=\([0-9]*\) sectors=\([0-9]*\).*/\1 \2/p' \
    "$image.manifest")
  if [ ! -f "$part" ] || [ "$image" -nt "$part" ]; then
    echo "bench: carving partition 1 of $image into $part" >&2
    dd if="$image" of="$part.new" bs=1M iflag=skip_bytes,count_bytes conv=sparse status=none \
      skip=$((start * 512)) count=$((sectors * 512))
    # A hole at the end is skipped, not written: give the file its length.
    truncate -s $((sectors * 512)) "$part.new"
    # dd skips only whole blocks of zeros: free the smaller runs too.
    fallocate --dig-holes "$part.new" 2>/dev/null || true
    mv "$part.new" "$part"
  fi

  if [ ! -f "$work/$name.info" ] || [ "$image" -nt "$work/$name.info" ]; then
    local mft_bytes record_bytes cluster
    mft_bytes=$(istat -o "$start" "$image" 0 | grep '^Type: \$DATA' | grep 'Name: N/A' |
      sed 's/.* size: \([0-9]*\).*/\1/' | head -n 1)
    record_bytes=$(fsstat -o "$start" "$image" | sed -n 's/^Size of MFT Entries: \([0-9]*\).*/\1/p')
    cluster=$(fsstat -o "$start" "$image" | sed -n 's/^Cluster Size: \([0-9]*\).*/\1/p')
    # The floor: the MFT's bytes read from the image in its runs (from its
    # unnamed $DATA), up to its data size, into a reused buffer, with no
    # decoding and no output.
    istat -r -o "$start" "$image" 0 |
      awk '/^Type: \$DATA/ { data = ($0 ~ /Name: N\/A/); next }
           /^Type: / { data = 0 }
           data && /Starting address:/ { gsub(",", ""); print $3, $5 }' |
      awk -v image="$image" -v left="$mft_bytes" -v base=$((start * 512)) -v cluster="$cluster" '
        left > 0 { bytes = $2 * cluster; if (bytes > left) bytes = left
                   printf "dd if='\''%s'\'' of=/dev/null bs=1M iflag=skip_bytes,count_bytes status=none skip=%.0f count=%.0f\n",
                          image, base + $1 * cluster, bytes
                   left -= bytes }' >"$work/$name.floor.sh"
    echo "$start $mft_bytes $record_bytes $cluster" >"$work/$name.info"
  fi

  rm -rf "$work/$name.devices"
  mkdir -p "$work/$name.devices"
  ln -s "$image" "$work/$name.devices/physicaldrive1"
  ln -s physicaldrive1/partition1 "$work/$name.devices/d::"
}
