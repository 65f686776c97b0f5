"""Where things lie on a whole-disk image: partition tables, NTFS boot
sectors, MFT records and the clusters of their attributes.

A small, forgiving reader for the mutation test. It reads the sound image once
to learn where to aim and what each record owns, and reads the damaged image's
records (at the sound image's places) to judge the paths Skerry prints. It
never trusts a length from the disk: every read is bounded, and a record that
does not parse is reported as damaged rather than raising.
"""

import struct

SECTOR = 512
EXTENDED_TYPES = (0x05, 0x0F, 0x85)
ROOT_RECORD = 5

ATTR_ATTRIBUTE_LIST = 0x20
ATTR_FILE_NAME = 0x30
ATTR_DATA = 0x80
ATTR_INDEX_ALLOCATION = 0xA0
ATTR_END = 0xFFFFFFFF

FLAG_IN_USE = 0x0001
FLAG_DIRECTORY = 0x0002

# File-name namespaces: 2 is the DOS name of a pair, which Skerry never prints.
NAMESPACE_DOS = 2


def le(data, offset, width):
    if offset < 0 or offset + width > len(data):
        raise ValueError("read past the end")
    return int.from_bytes(data[offset:offset + width], "little")


def read_at(image, offset, count):
    image.seek(offset)
    data = image.read(count)
    return data + bytes(count - len(data))


# --- partition tables -------------------------------------------------------

class Partition:
    def __init__(self, kind, start, sectors, type_code):
        self.kind = kind  # "primary", "logical" or "gpt"
        self.start = start
        self.sectors = sectors
        self.type_code = type_code


class DiskLayout:
    """The partition table's sectors (regions to damage) and its partitions."""

    def __init__(self):
        self.table_regions = []  # (class, offset, length)
        self.partitions = []


def read_disk_layout(image, disk_bytes):
    layout = DiskLayout()
    mbr = read_at(image, 0, SECTOR)
    layout.table_regions.append(("mbr", 446, 66))
    entries = [struct.unpack_from("<B3xBxxxII", mbr, 446 + 16 * i) for i in range(4)]
    if any(entry[1] == 0xEE for entry in entries):
        read_gpt(image, disk_bytes, layout)
        return layout
    for _, type_code, start, count in entries:
        if type_code == 0:
            continue
        if type_code in EXTENDED_TYPES:
            read_extended_chain(image, start, layout)
        else:
            layout.partitions.append(Partition("primary", start, count, type_code))
    return layout


def read_extended_chain(image, extended_start, layout):
    ebr = extended_start
    seen = set()
    while ebr not in seen and len(seen) < 128:
        seen.add(ebr)
        sector = read_at(image, ebr * SECTOR, SECTOR)
        if sector[510:512] != b"\x55\xaa":
            return
        layout.table_regions.append(("ebr", ebr * SECTOR + 446, 66))
        _, type_code, start, count = struct.unpack_from("<B3xBxxxII", sector, 446)
        if type_code != 0 and count != 0:
            layout.partitions.append(Partition("logical", ebr + start, count, type_code))
        _, next_type, next_start, _ = struct.unpack_from("<B3xBxxxII", sector, 462)
        if next_type == 0 or next_start == 0:
            return
        ebr = extended_start + next_start


def read_gpt(image, disk_bytes, layout):
    header = read_at(image, SECTOR, SECTOR)
    if header[0:8] != b"EFI PART":
        return
    backup_lba, = struct.unpack_from("<Q", header, 32)
    entries_lba, count, size = struct.unpack_from("<QII", header, 72)
    count = min(count, 1024)
    size = min(max(size, 128), 4096)
    layout.table_regions.append(("gpt-header", SECTOR, 92))
    entries = read_at(image, entries_lba * SECTOR, count * size)
    used = 0
    for i in range(count):
        entry = entries[i * size:(i + 1) * size]
        if entry[0:16] == bytes(16):
            continue
        used = i + 1
        first, last = struct.unpack_from("<QQ", entry, 32)
        layout.partitions.append(Partition("gpt", first, last - first + 1, entry[0:16]))
    layout.table_regions.append(("gpt-entries", entries_lba * SECTOR, max(used, 1) * size))
    if 0 < backup_lba * SECTOR < disk_bytes:
        backup = read_at(image, backup_lba * SECTOR, SECTOR)
        if backup[0:8] == b"EFI PART":
            layout.table_regions.append(("gpt-backup", backup_lba * SECTOR, 92))
            backup_entries, = struct.unpack_from("<Q", backup, 72)
            layout.table_regions.append(
                ("gpt-backup", backup_entries * SECTOR, max(used, 1) * size))


# --- NTFS -------------------------------------------------------------------

def decode_runs(record, offset, end, cluster_bytes, volume_offset):
    """The run list at `offset` as (disk offset, length in bytes) extents;
    sparse runs are left out. Stops quietly at the first bad run."""
    extents = []
    lcn = 0
    while offset < end:
        header = record[offset]
        if header == 0:
            break
        length_width, offset_width = header & 0x0F, header >> 4
        if length_width == 0 or length_width > 8 or offset_width > 8 or \
                offset + 1 + length_width + offset_width > end:
            break
        count = le(record, offset + 1, length_width)
        if offset_width:
            delta = le(record, offset + 1 + length_width, offset_width)
            if delta >> (8 * offset_width - 1):
                delta -= 1 << (8 * offset_width)
            lcn += delta
            if lcn < 0:
                break
            extents.append((volume_offset + lcn * cluster_bytes, count * cluster_bytes))
        offset += 1 + length_width + offset_width
    return extents


def apply_fixups(raw):
    """The record with its update sequence applied, and whether every
    protected pair matched; None when the array itself is out of bounds."""
    try:
        usa_offset, usa_count = le(raw, 4, 2), le(raw, 6, 2)
        if usa_count == 0 or (usa_count - 1) * SECTOR > len(raw) or \
                usa_offset + 2 * usa_count > len(raw):
            return None, False
        record = bytearray(raw)
        usn = raw[usa_offset:usa_offset + 2]
        intact = True
        for i in range(1, usa_count):
            end = i * SECTOR
            if raw[end - 2:end] != usn:
                intact = False
            record[end - 2:end] = raw[usa_offset + 2 * i:usa_offset + 2 * i + 2]
        return bytes(record), intact
    except ValueError:
        return None, False


class Record:
    """What the test needs of one MFT record."""

    def __init__(self, number):
        self.number = number
        self.sound = False      # signature, fix-ups and attribute chain all hold
        self.fault = "no record signature"  # why not, when not
        self.flags = 0
        self.sequence = 0
        self.base = 0           # base record of an extension record, else 0
        self.names = []         # (parent record, parent sequence, name, namespace)
        self.attributes = []    # (type, offset in record, length, value offset or run-list offset)
        self.owned_extents = []  # disk extents of its non-resident attributes but file data
        self.attribute_list = []  # disk extents of its attribute list (resident or not)
        self.index_extents = []  # disk extents of its directory index

    @property
    def in_use_directory(self):
        return self.sound and self.flags & FLAG_IN_USE and self.flags & FLAG_DIRECTORY


def parse_record(number, raw, disk_offset, cluster_bytes, volume_offset):
    record = Record(number)
    if raw[0:4] != b"FILE":
        return record
    data, intact = apply_fixups(raw)
    record.fault = "update sequence array out of bounds"
    if data is None:
        return record
    try:
        record.sequence = le(data, 16, 2)
        record.flags = le(data, 22, 2)
        used = le(data, 24, 4)
        record.base = le(data, 32, 8) & 0xFFFFFFFFFFFF
        offset = le(data, 20, 2)
        record.fault = "first attribute or used size out of bounds"
        if used > len(data) or offset < 24 or offset >= used:
            return record
        while True:
            kind = le(data, offset, 4)
            if kind == ATTR_END:
                break
            length = le(data, offset + 4, 4)
            record.fault = f"attribute {kind:#x} at {offset:#x}: length {length:#x}"
            if length < 24 or offset + length > used:
                return record
            attribute = data[offset:offset + length]
            non_resident = attribute[8]
            name_length = attribute[9]
            inner = le(attribute, 32, 2) if non_resident else le(attribute, 20, 2)
            record.attributes.append((kind, offset, length, inner))
            if non_resident:
                runs = decode_runs(attribute, le(attribute, 32, 2), length,
                                   cluster_bytes, volume_offset)
                if kind != ATTR_DATA or name_length:
                    record.owned_extents.extend(runs)
                if kind == ATTR_ATTRIBUTE_LIST:
                    record.attribute_list.extend(runs)
                if kind == ATTR_INDEX_ALLOCATION:
                    record.index_extents.extend(runs)
            else:
                value_length, value_offset = le(attribute, 16, 4), le(attribute, 20, 2)
                record.fault = f"attribute {kind:#x} at {offset:#x}: value past its end"
                if value_offset + value_length > length:
                    return record
                value = attribute[value_offset:value_offset + value_length]
                if kind == ATTR_ATTRIBUTE_LIST:
                    record.attribute_list.append((disk_offset + offset, length))
                if kind == ATTR_FILE_NAME:
                    reference = le(value, 0, 8)
                    characters = value[64]
                    record.fault = f"file name at {offset:#x}: {characters} characters"
                    if characters == 0 or 66 + 2 * characters > len(value):
                        return record
                    # skerry prints an unpaired surrogate as U+FFFD, as "replace" decodes it.
                    name = value[66:66 + 2 * characters].decode("utf-16-le", "replace")
                    record.names.append((reference & 0xFFFFFFFFFFFF, reference >> 48,
                                         name, value[65]))
            offset += length
        record.fault = None if intact else \
            "torn: a sector's last bytes differ from the update sequence number"
        record.sound = intact
    except (ValueError, IndexError):
        record.fault += " (read past the record)"
    return record


class Volume:
    """An NTFS volume of the disk: its geometry, where each record lies and,
    read from an image, its records."""

    def __init__(self, image, partition_start):
        self.offset = partition_start * SECTOR
        boot = read_at(image, self.offset, SECTOR)
        if boot[3:11] != b"NTFS    ":
            raise ValueError("not NTFS")
        sector_bytes = le(boot, 11, 2)
        self.cluster_bytes = sector_bytes * boot[13]
        self.sectors = le(boot, 40, 8)
        mft_cluster = le(boot, 48, 8)
        per_record = struct.unpack_from("<b", boot, 64)[0]
        self.record_bytes = (1 << -per_record) if per_record < 0 else \
            per_record * self.cluster_bytes
        self.boot_offset = self.offset
        self.backup_boot_offset = self.offset + (self.sectors) * sector_bytes
        first = read_at(image, self.offset + mft_cluster * self.cluster_bytes, self.record_bytes)
        self.record_offsets = []
        data, _ = apply_fixups(first)
        self.mft_extents = self._mft_extents(data)
        for disk_offset, length in self.mft_extents:
            for i in range(length // self.record_bytes):
                self.record_offsets.append(disk_offset + i * self.record_bytes)
        self.record_offsets = self.record_offsets[:self.mft_records]
        self.records = self.read_records(image)

    def _mft_extents(self, record):
        offset = le(record, 20, 2)
        while le(record, offset, 4) != ATTR_END:
            length = le(record, offset + 4, 4)
            if le(record, offset, 4) == ATTR_DATA and record[offset + 8] and not record[offset + 9]:
                self.mft_records = le(record, offset + 48, 8) // self.record_bytes
                attribute = record[offset:offset + length]
                return decode_runs(attribute, le(attribute, 32, 2), length,
                                   self.cluster_bytes, self.offset)
            offset += length
        raise ValueError("record 0 has no data")

    def read_records(self, image):
        return [parse_record(n, read_at(image, where, self.record_bytes), where,
                             self.cluster_bytes, self.offset)
                for n, where in enumerate(self.record_offsets)]
