#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets.

    make_seeds.py BUILDER OUT_DIR [DEBIAN_SAMPLES_DIR]

BUILDER is the test-disk builder; the seeds come from the volume it builds
from seed-volume.disk (kept only up to the end of its MFT), from the Debian
sample disks fs.ntfs.xz and fs.multiple.xz when they are present, and from
partition tables made here. Findings of the fuzzer are added to the corpora by
hand, under names that say what they guard.
"""

import lzma
import os
import struct
import subprocess
import sys
import tempfile
import zlib

SECTOR = 512


def write(out_dir, target, name, data):
    folder = os.path.join(out_dir, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def geometry(boot):
    bytes_per_sector = struct.unpack_from("<H", boot, 11)[0]
    cluster = bytes_per_sector * boot[13]
    raw = struct.unpack_from("<b", boot, 64)[0]
    record = raw * cluster if raw > 0 else 1 << -raw
    mft_lcn = struct.unpack_from("<Q", boot, 48)[0]
    return cluster, record, mft_lcn


def attributes(record):
    """(type, offset, non-resident) of each attribute of a FILE record."""
    offset = struct.unpack_from("<H", record, 20)[0]
    while offset + 16 <= len(record):
        kind, length = struct.unpack_from("<II", record, offset)
        if kind == 0xFFFFFFFF or length < 16 or offset + length > len(record):
            return
        yield kind, offset, record[offset + 8], length
        offset += length


def run_list(record, offset, length):
    start = offset + struct.unpack_from("<H", record, offset + 32)[0]
    end = start
    while end < offset + length and record[end] != 0:
        end += 1 + (record[end] & 15) + (record[end] >> 4)
    return record[start:min(end + 1, offset + length)]


def volume_seeds(out_dir, name, disk, partition_sector, record_numbers, cluster_byte):
    base = partition_sector * SECTOR
    boot = disk[base:base + SECTOR]
    write(out_dir, "boot_sector", name, boot)
    cluster, record_size, mft_lcn = geometry(boot)
    mft = base + mft_lcn * cluster
    run_lists = set()
    for number in record_numbers:
        record = disk[mft + number * record_size:mft + (number + 1) * record_size]
        if record[:4] != b"FILE":
            continue
        write(out_dir, "mft_record", "%s-record-%d" % (name, number), record)
        for _, offset, non_resident, length in attributes(record):
            if non_resident:
                run_lists.add(run_list(record, offset, length))
    for i, runs in enumerate(sorted(run_lists)):
        write(out_dir, "run_list", "%s-runs-%d" % (name, i), bytes([cluster_byte]) + runs)
    return mft, record_size


def mbr(entries):
    sector = bytearray(SECTOR)
    for slot, (kind, start, count) in enumerate(entries):
        struct.pack_into("<BBBBBBBBII", sector, 446 + 16 * slot, 0, 0, 0, 0, kind, 0, 0, 0,
                         start, count)
    sector[510:512] = b"\x55\xaa"
    return bytes(sector)


def gpt(partitions, entry_count=128):
    array = bytearray(entry_count * 128)
    for i, (first, last) in enumerate(partitions):
        struct.pack_into("<16s16sQQ", array, i * 128, b"\xa2\xa0\xd0\xeb\xe5\xb9\x33\x44\x87\xc0"
                         b"\x68\xb6\xb7\x26\x99\xc7", bytes(range(i, i + 16)), first, last)
    header = bytearray(SECTOR)
    struct.pack_into("<8sIIIIQQQQ16sQIII", header, 0, b"EFI PART", 0x10000, 92, 0, 0, 1, 2047,
                     34, 2014, bytes(16), 2, entry_count, 128, zlib.crc32(array))
    struct.pack_into("<I", header, 16, zlib.crc32(header[:92]))
    return mbr([(0xEE, 1, 2047)]) + bytes(header) + bytes(array)


def table_seeds(out_dir):
    # Partition-table inputs: kind mask, claimed size in sectors (5 bytes), sectors.
    def table_input(mask, sectors, disk):
        return bytes([mask]) + sectors.to_bytes(5, "little") + disk

    # An extended chain on a disk of 4 sectors repeated: the extended partition
    # at 4001 reads sector 1, whose next link (relative to 4001) leads to 2, then 3.
    chain = [mbr([(0x07, 63, 100), (0x05, 4001, 100000)]),
             mbr([(0x07, 63, 10), (0x05, 4, 50)]),
             mbr([(0x0C, 63, 10), (0x0F, 9, 50)]),
             mbr([(0x07, 63, 10)])]
    write(out_dir, "partition_table", "extended-chain", table_input(0, 200000, b"".join(chain)))
    write(out_dir, "partition_table", "extended-loop",
          table_input(8, 200000, chain[0] + mbr([(0x07, 63, 10), (0x05, 0, 50)])))
    table = gpt([(2048, 4095), (4096, 8191), (0, 0), (8192, 1 << 40)])
    write(out_dir, "partition_table", "guid-table", table_input(0, 2048, table))
    write(out_dir, "gpt", "guid-table", (2048).to_bytes(5, "little") + table)
    write(out_dir, "gpt", "four-entry-array",
          (64).to_bytes(5, "little") + gpt([(40, 63)], entry_count=4))
    return table_input


def main():
    builder, out_dir = sys.argv[1], sys.argv[2]
    samples = sys.argv[3] if len(sys.argv) > 3 else "/usr/share/forensics-samples"
    here = os.path.dirname(os.path.abspath(__file__))
    table_input = table_seeds(out_dir)

    with tempfile.TemporaryDirectory() as work:
        image = os.path.join(work, "seed.img")
        subprocess.run([builder, os.path.join(here, "seed-volume.disk"), image], check=True,
                       stdout=subprocess.DEVNULL)
        with open(image, "rb") as f:
            disk = f.read()
    write(out_dir, "partition_table", "builder-mbr", table_input(0, len(disk) // SECTOR,
                                                                 disk[:SECTOR]))
    mft, record_size = volume_seeds(out_dir, "builder", disk, 1,
                                    [0, 1, 3, 5, 6, 9, 11, 64, 65, 66, 67, 68, 69], 0)
    data_size = 0
    for kind, offset, non_resident, _ in attributes(disk[mft:mft + record_size]):
        if kind == 0x80 and non_resident:
            data_size = struct.unpack_from("<Q", disk, mft + offset + 48)[0]
    write(out_dir, "volume", "builder-volume", disk[:mft + data_size])

    for sample, partition in (("fs.ntfs.xz", 2048), ("fs.multiple.xz", 391168)):
        path = os.path.join(samples, sample)
        if not os.path.exists(path):
            continue
        with lzma.open(path) as f:
            disk = f.read()
        name = sample.split(".")[1]
        write(out_dir, "partition_table", name + "-mbr",
              table_input(0, len(disk) // SECTOR, disk[:SECTOR]))
        volume_seeds(out_dir, name, disk, partition, [0, 3, 5, 9, 11, 24, 64, 65, 66], 3)


if __name__ == "__main__":
    main()
