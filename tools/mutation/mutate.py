#!/usr/bin/env python3
"""Mutation test: damages copies of builder disks and checks what skerry says.

For each disk description it builds the sound image, learns its layout and
skerry's listing of every NTFS volume on it, then many times: damages one
scratch copy in place (bytes flipped, fields and ranges overwritten, the file
truncated) in a region found from the disk's own structures, runs skerry on
every volume under a time and memory limit, checks the result, and restores
the copy. See README.md for the invariant and how to run it for hours.
"""

import argparse
import collections
import fcntl
import os
import random
import re
import resource
import shutil
import signal
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ntfs_layout as nl  # noqa: E402

LISTING_OPTIONS = ["-#IST"]
PATH_START = re.compile(r"([A-Z]):\\")

# --- running skerry -----------------------------------------------------------


class Run:
    def __init__(self, status, out, err, outcome, seconds):
        self.status, self.out, self.err = status, out, err
        self.outcome = outcome  # "exit", "crash", "hang" or "memory"
        self.seconds = seconds


def run_skerry(skerry, devices, letters, timeout, memory_mb):
    """Runs skerry on the drives; its peak resident size decides a memory
    failure (an error 8 alone is skerry's answer to an absurd size on the
    disk). The address space is capped at four times the limit, so that a
    runaway cannot take the machine with it."""
    def limit():
        cap = 4 * memory_mb << 20
        resource.setrlimit(resource.RLIMIT_AS, (cap, cap))
        resource.setrlimit(resource.RLIMIT_CORE, (0, 0))

    env = dict(os.environ, SKERRY_DOSDEVICES=devices, TZ="UTC", LANG="C.UTF-8", LC_ALL="C.UTF-8")
    started = time.monotonic()
    process = subprocess.Popen([skerry] + LISTING_OPTIONS + [f"{x}:" for x in letters],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env,
                               preexec_fn=limit, start_new_session=True)
    out, err, ended = [], [], []
    readers = [threading.Thread(target=lambda: out.append(process.stdout.read())),
               threading.Thread(target=lambda: err.append(process.stderr.read()))]
    waiter = threading.Thread(target=lambda: ended.append(os.wait4(process.pid, 0)))
    for thread in readers + [waiter]:
        thread.start()
    waiter.join(timeout)
    hung = waiter.is_alive()
    if hung:
        os.killpg(process.pid, signal.SIGKILL)
        waiter.join()
    for thread in readers:
        thread.join()
    process.stdout.close()
    process.stderr.close()
    _, wait_status, usage = ended[0]
    process.returncode = os.waitstatus_to_exitcode(wait_status)  # reaped above
    seconds = time.monotonic() - started
    out = out[0].decode("utf-8", "surrogateescape")
    err = err[0].decode("utf-8", "surrogateescape")
    if hung:
        return Run(None, out, err, "hang", seconds)
    if usage.ru_maxrss > memory_mb << 10:
        return Run(process.returncode, out, err, "memory", seconds)
    if process.returncode < 0:
        return Run(process.returncode, out, err, "crash", seconds)
    return Run(process.returncode, out, err, "exit", seconds)


def parse_line(line):
    """(drive letter, parent record, components after the drive) of a listing
    line, or None for a line that is not a file's."""
    match = PATH_START.search(line)
    if not match:
        return None
    head = line[:match.start()].split()
    parent = int(head[0]) if head and head[0].isdigit() else None
    return match.group(1), parent, line[match.end():].split("\\")


# --- the disk under test ------------------------------------------------------


class Disk:
    def __init__(self, args, description):
        self.name = os.path.splitext(os.path.basename(description))[0]
        work = os.path.join(args.work, self.name)
        os.makedirs(work, exist_ok=True)
        # Two runs on one scratch copy would see each other's damage.
        self.lock = open(os.path.join(work, "lock"), "w")
        try:
            fcntl.flock(self.lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except OSError:
            sys.exit(f"{work} is in use by another run: give this one its own --work")
        self.args = args
        self.pristine = os.path.join(work, "sound.img")
        self.scratch = os.path.join(work, "scratch.img")
        self.devices = os.path.join(work, "devices")
        self._build(description)
        shutil.copyfile(self.pristine, self.scratch)
        self.size = os.path.getsize(self.pristine)
        with open(self.pristine, "rb") as image:
            self.layout = nl.read_disk_layout(image, self.size)
            self.volumes = []
            for partition in self.layout.partitions:
                try:
                    self.volumes.append(nl.Volume(image, partition.start))
                except (ValueError, IndexError):
                    pass
        self.image = open(self.scratch, "r+b")
        self.pristine_image = open(self.pristine, "rb")
        self._find_drives()
        self.sound = self.run()
        if self.sound.outcome != "exit" or self.sound.status != 0:
            sys.exit(f"{self.name}: skerry fails on the sound disk:\n{self.sound.err}")
        self.sound_lines = collections.Counter(self.sound.out.splitlines())
        self._map_lines()
        self._check_sound_paths()
        self.regions = self._regions()

    def _build(self, description):
        manifest = self.pristine + ".manifest"
        inputs = [description, self.args.builder]
        if os.path.exists(manifest) and all(
                os.path.getmtime(self.pristine) >= os.path.getmtime(x) for x in inputs):
            return
        result = subprocess.run([self.args.builder, description, self.pristine],
                                capture_output=True, text=True)
        if result.returncode != 0:
            sys.exit(f"the disk builder failed on {description}:\n{result.stderr}")

    def _link(self, letter, partition):
        path = os.path.join(self.devices, f"{letter.lower()}::")
        if os.path.lexists(path):
            os.unlink(path)
        os.symlink(f"physicaldrive1/partition{partition}", path)

    def _find_drives(self):
        """Which partition numbers skerry lists a volume for, and which volume
        each is: a number is matched to the volume whose boot sector, once
        damaged, makes it fail. This holds whatever numbering skerry uses."""
        shutil.rmtree(self.devices, ignore_errors=True)
        os.makedirs(self.devices)
        os.symlink(os.path.abspath(self.scratch), os.path.join(self.devices, "physicaldrive1"))
        numbers = []
        for number in range(1, len(self.layout.partitions) + 3):
            self._link("D", number)
            run = run_skerry(self.args.skerry, self.devices, ["D"], self.args.timeout,
                             self.args.memory_mb)
            if run.outcome == "exit" and run.status == 0 and PATH_START.search(run.out):
                numbers.append(number)
        self.letters = [chr(ord("D") + i) for i in range(len(numbers))]
        for letter, number in zip(self.letters, numbers):
            self._link(letter, number)
        self.volume_of = {}
        for index, volume in enumerate(self.volumes):
            restore = self.write(volume.boot_offset + 3, b"\0" * 8)
            run = self.run()
            self.restore(restore)
            for letter in self.letters:
                if f"{letter}:\\" not in run.out:
                    self.volume_of[letter] = index
        if not self.letters or sorted(self.volume_of) != self.letters:
            sys.exit(f"{self.name}: cannot match drives {self.letters} to volumes")

    def _map_lines(self):
        """For each line of the sound listing, the records it depends on: its
        own (by parent and name), its extensions and every ancestor directory
        of every name it has."""
        self.line_records = {}
        self.unmapped = 0
        self.name_indexes = {index: self._name_index(self.volumes[index])
                             for index in set(self.volume_of.values())}
        for line in self.sound_lines:
            parsed = parse_line(line)
            if parsed is None:
                continue
            letter, parent, parts = parsed
            volume = self.volumes[self.volume_of[letter]]
            names, parents = self.name_indexes[self.volume_of[letter]]
            number = names.get((parent, parts[-1]))
            if number is None:
                self.unmapped += 1
                continue
            self.line_records[line] = (letter, self._depends(parents, number))

    def _check_sound_paths(self):
        """The path check must pass every line of the sound listing, or its
        verdicts on damaged copies mean nothing."""
        records = {index: DamagedRecords(self.volumes[index], self.image)
                   for index in set(self.volume_of.values())}
        for line in self.sound_lines:
            parsed = parse_line(line)
            if parsed is None:
                continue
            letter, parent, parts = parsed
            fault = path_fault(records[self.volume_of[letter]], parent, parts, set(), None)
            if fault:
                sys.exit(f"{self.name}: the path check rejects the sound line {line!r}: {fault}")

    @staticmethod
    def _name_index(volume):
        names, parents = {}, collections.defaultdict(set)
        for record in volume.records:
            if record.sound and record.flags & nl.FLAG_IN_USE:
                owner = record.base or record.number
                for parent, _, name, _ in record.names:
                    names.setdefault((parent, name), owner)
                    parents[owner].add(parent)
        return names, parents

    @staticmethod
    def _depends(parents, number):
        seen, todo = set(), [number]
        while todo:
            current = todo.pop()
            if current not in seen:
                seen.add(current)
                todo.extend(parents.get(current, ()))
        return seen

    # Writes `data` at `offset` of the scratch copy; returns what restores it.
    def write(self, offset, data):
        data = bytes(data)[:max(0, self.size - offset)]
        self.image.seek(offset)
        old = self.image.read(len(data))
        self.image.seek(offset)
        self.image.write(data)
        self.image.flush()
        return ("bytes", offset, old)

    def truncate(self, offset):
        self.image.truncate(offset)
        self.image.flush()
        return ("tail", offset, None)

    def restore(self, undo):
        kind, offset, old = undo
        if kind == "bytes":
            self.image.seek(offset)
            self.image.write(old)
        else:
            self.pristine_image.seek(offset)
            self.image.seek(offset)
            while True:
                chunk = self.pristine_image.read(1 << 22)
                if not chunk:
                    break
                self.image.write(chunk)
        self.image.flush()

    def scratch_is_sound(self):
        self.image.flush()
        with open(self.scratch, "rb") as a, open(self.pristine, "rb") as b:
            while True:
                x, y = a.read(1 << 22), b.read(1 << 22)
                if x != y:
                    return False
                if not x:
                    return True

    def run(self):
        return run_skerry(self.args.skerry, self.devices, self.letters, self.args.timeout,
                          self.args.memory_mb)

    # --- regions -----------------------------------------------------------------

    def _regions(self):
        regions = collections.defaultdict(list)
        for kind, offset, length in self.layout.table_regions:
            regions["table"].append((kind, None, offset, length, None))
        for index, volume in enumerate(self.volumes):
            if index not in self.volume_of.values():
                continue
            regions["boot"].append(("boot", index, volume.boot_offset, 512, None))
            regions["boot-backup"].append(("boot-backup", index, volume.backup_boot_offset, 512,
                                           None))
            for record in volume.records:
                where = volume.record_offsets[record.number]
                if record.number == 0:
                    kind = "record0"
                elif not record.sound or not record.flags & nl.FLAG_IN_USE:
                    kind = "free-record"
                elif record.flags & nl.FLAG_DIRECTORY:
                    kind = "dir-record"
                else:
                    kind = "file-record"
                regions[kind].append((kind, index, where, volume.record_bytes, record))
                for offset, length in record.index_extents:
                    regions["index"].append(("index", index, offset, length, None))
                for offset, length in record.attribute_list:
                    regions["attr-list"].append(("attr-list", index, offset, length, None))
        return regions

    def affected(self, start, end):
        """Per volume index, the records whose bytes lie in [start, end), and
        those and the records whose attributes (index, list) lie there."""
        in_record = collections.defaultdict(set)
        touched = collections.defaultdict(set)
        for index, volume in enumerate(self.volumes):
            for record in volume.records:
                where = volume.record_offsets[record.number]
                own = where < end and start < where + volume.record_bytes
                if own or any(offset < end and start < offset + length
                              for offset, length in record.owned_extents):
                    touched[index].add(record.number)
                    if record.base:
                        touched[index].add(record.base)
                if own:
                    in_record[index].add(record.number)
        return in_record, touched


# --- mutations -----------------------------------------------------------------

WEIGHTS = {"table": 12, "boot": 6, "boot-backup": 2, "record0": 8, "dir-record": 18,
           "file-record": 18, "free-record": 5, "index": 10, "attr-list": 6, "truncate": 4}

BOOT_FIELDS = [(3, 8), (11, 2), (13, 1), (14, 2), (21, 1), (40, 8), (48, 8), (56, 8), (64, 1),
               (68, 1), (72, 8), (510, 2)]
PARTITION_ENTRY_FIELDS = [(0, 1), (4, 1), (8, 4), (12, 4)]
GPT_HEADER_FIELDS = [(8, 4), (12, 4), (16, 4), (24, 8), (32, 8), (40, 8), (48, 8), (72, 8),
                     (80, 4), (84, 4), (88, 4)]
GPT_ENTRY_FIELDS = [(0, 16), (32, 8), (40, 8), (48, 8)]
RECORD_HEADER_FIELDS = [(4, 2), (6, 2), (16, 2), (20, 2), (22, 2), (24, 4), (28, 4), (32, 8),
                        (40, 2)]


def interesting(rng, current, width):
    bits = 8 * width
    mask = (1 << bits) - 1
    choices = [0, 1, current + 1, current - 1, current ^ (1 << rng.randrange(bits)),
               rng.getrandbits(bits), mask, 1 << (bits - 1), current * 2, current // 2,
               rng.randrange(64), current + rng.randrange(-1024, 1025)]
    return rng.choice(choices) & mask


class Mutation:
    def __init__(self, kind, region, offset, length, how):
        self.kind, self.region, self.how = kind, region, how
        self.offset, self.length = offset, length

    def __str__(self):
        return f"{self.region}/{self.kind} {self.how} at {self.offset:#x}+{self.length}"


def field_write(disk, rng, offset, width):
    disk.image.seek(offset)
    current = int.from_bytes(disk.image.read(width), "little")
    value = interesting(rng, current, width)
    return value.to_bytes(width, "little"), f"{current:#x}->{value:#x}"


def choose_mutation(disk, rng):
    classes = [c for c in WEIGHTS if (c == "truncate" or disk.regions.get(c)) and
               (not disk.args.only or c in disk.args.only)]
    region_class = rng.choices(classes, [WEIGHTS[c] for c in classes])[0]
    if region_class == "truncate":
        return truncation(disk, rng)
    kind, volume, start, length, record = rng.choice(disk.regions[region_class])
    roll = rng.random()
    if record is not None and roll < 0.5:
        return record_mutation(disk, rng, kind, volume, start, record)
    if roll < 0.75:
        fields = {"boot": BOOT_FIELDS, "boot-backup": BOOT_FIELDS, "gpt-header": GPT_HEADER_FIELDS,
                  "gpt-backup": GPT_HEADER_FIELDS}.get(kind)
        if kind in ("mbr", "ebr"):
            entry = 16 * rng.randrange(4 if kind == "mbr" else 2)
            fields = [(entry + o, w) for o, w in PARTITION_ENTRY_FIELDS]
        if kind == "gpt-entries":
            entry = 128 * rng.randrange(max(1, length // 128))
            fields = [(entry + o, w) for o, w in GPT_ENTRY_FIELDS]
        if kind == "gpt-backup" and length > 92:
            fields = None
        if fields:
            offset, width = rng.choice(fields)
            data, how = field_write(disk, rng, start + offset, width)
            return Mutation("field", kind, start + offset, width, how), data
    return byte_mutation(disk, rng, kind, start, length)


def byte_mutation(disk, rng, kind, start, length):
    roll = rng.random()
    if roll < 0.4:
        offset = start + rng.randrange(length)
        disk.image.seek(offset)
        data = bytearray(disk.image.read(1))
        old = data[0]
        for _ in range(rng.randint(1, 3)):
            data[0] ^= 1 << rng.randrange(8)
        return Mutation("flip", kind, offset, 1, f"{old:#04x}->{data[0]:#04x}"), data
    count = min(length, rng.choice([1, 2, 4, 8, rng.randint(1, 64), rng.randint(1, 512)]))
    offset = start + rng.randrange(length - count + 1)
    fill = rng.choice(["random", "zero", "ones"])
    data = {"random": bytes(rng.getrandbits(8) for _ in range(count)), "zero": bytes(count),
            "ones": b"\xff" * count}[fill]
    return Mutation("overwrite", kind, offset, count, fill), data


def record_mutation(disk, rng, kind, volume_index, start, record):
    """Damage aimed at what a record parser decides on: its header fields,
    attribute lengths and offsets, file-name parents and lengths, run lists."""
    volume = disk.volumes[volume_index]
    roll = rng.random()
    names = [a for a in record.attributes if a[0] == nl.ATTR_FILE_NAME]
    if roll < 0.25 and names:
        _, offset, _, value = rng.choice(names)
        target = rng.choice(volume.records)
        sequence = rng.choice([target.sequence, 0, rng.getrandbits(16)])
        reference = target.number | sequence << 48
        where = start + offset + value
        return (Mutation("parent", kind, where, 8, f"-> {target.number}/{sequence}"),
                reference.to_bytes(8, "little"))
    if roll < 0.35 and names:
        _, offset, _, value = rng.choice(names)
        where = start + offset + value + 64
        data, how = field_write(disk, rng, where, 1)
        return Mutation("name-length", kind, where, 1, how), data
    if roll < 0.6 and record.attributes:
        _, offset, length, inner = rng.choice(record.attributes)
        field = rng.choice([(4, 4), (8, 1), (9, 1), (10, 2), (16, 4), (20, 2), (32, 2),
                            (40, 8), (48, 8)])
        if field[0] + field[1] <= length:
            data, how = field_write(disk, rng, start + offset + field[0], field[1])
            return Mutation("attribute", kind, start + offset + field[0], field[1],
                            f"+{field[0]} {how}"), data
    if roll < 0.75:
        non_resident = [a for a in record.attributes if a[3] and a[2] > a[3] and
                        disk_byte(disk, start + a[1] + 8)]
        if non_resident:
            _, offset, length, runs = rng.choice(non_resident)
            return byte_mutation(disk, rng, kind, start + offset + runs, length - runs)
    offset, width = rng.choice(RECORD_HEADER_FIELDS)
    data, how = field_write(disk, rng, start + offset, width)
    return Mutation("header", kind, start + offset, width, how), data


def disk_byte(disk, offset):
    disk.image.seek(offset)
    return disk.image.read(1)[0]


def truncation(disk, rng):
    choices = []
    for index in disk.volume_of.values():
        volume = disk.volumes[index]
        choices += [(o, l) for o, l in volume.mft_extents]
        choices.append((volume.offset, volume.sectors * 512 + 512))
    for entries in disk.regions.get("index", []):
        choices.append((entries[2], entries[3]))
    choices.append((0, disk.size))
    start, length = rng.choice(choices)
    point = min(disk.size - 1, start + rng.randrange(max(1, length)))
    if rng.random() < 0.5:
        point -= point % 512
    return Mutation("truncate", "truncate", point, disk.size - point, ""), None


# --- judging a run -------------------------------------------------------------


class Verdict:
    def __init__(self):
        self.lost = []      # sound lines that changed although nothing they depend on did
        self.ignored = []   # in-use records the damage broke, while skerry said all was well
        self.other_volume = []  # drives that list another drive's volume
        self.invented = []  # lines whose path runs through what is not an in-use directory


def judge(disk, mutation, run, orphan_marker):
    verdict = Verdict()
    end = disk.size if mutation.kind == "truncate" else mutation.offset + mutation.length
    in_record, touched = disk.affected(mutation.offset, end)
    for index, numbers in touched.items():
        if 0 in numbers:
            # A smaller data size of $MFT that is still whole records is not
            # detectable: the records past it are no longer part of the MFT.
            volume = disk.volumes[index]
            numbers.update(range(mft_records_claimed(volume, disk.image), len(volume.records)))
    touched_by_letter = {x: touched.get(disk.volume_of[x], set()) for x in disk.letters}

    def allowed(line):
        if line not in disk.line_records:
            # Header lines and lines not matched to a record: allowed to change
            # only when the damage hit a record (unmatched lines are few and reported).
            parsed = parse_line(line)
            return parsed is not None and bool(touched_by_letter.get(parsed[0]))
        letter, depends = disk.line_records[line]
        return bool(depends & touched_by_letter[letter])

    printed = collections.Counter(run.out.splitlines())
    verdict.other_volume = other_volumes(disk, printed)
    if run.status == 0:
        verdict.ignored = damaged_records(disk, in_record)
        verdict.lost = [line for line, count in disk.sound_lines.items()
                        if printed[line] < count and not allowed(line)]
    damaged = {}
    names = {}
    for line in printed:
        if line in disk.sound_lines and not allowed(line):
            continue
        parsed = parse_line(line)
        if parsed is None:
            continue
        letter, parent, parts = parsed
        if any(f"{letter}: " in x for x in verdict.other_volume):
            continue
        if letter not in disk.volume_of:
            verdict.invented.append(f"{line.strip()} [no such drive]")
            continue
        index = disk.volume_of[letter]
        if index not in damaged:
            damaged[index] = records = DamagedRecords(disk.volumes[index], disk.image)
            names[index] = collections.defaultdict(set)
            for number in touched.get(index, ()):
                for p, s, name, _ in records.in_use_names(number):
                    names[index][(p, name)].add(s)
        records = damaged[index]
        # The record printed is either the sound disk's record of that name
        # or one the damage touched: their references give the sequence
        # number expected of the parent.
        sequences = set(names[index].get((parent, parts[-1]), ()))
        sound = disk.name_indexes[index][0].get((parent, parts[-1]))
        if sound is not None:
            sequences |= {s for p, s, name, _ in records.in_use_names(sound)
                          if p == parent and name == parts[-1]}
        fault = path_fault(records, parent, parts, sequences, orphan_marker)
        if fault:
            verdict.invented.append(f"{line.strip()} [{fault}]")
    return verdict


def other_volumes(disk, printed):
    """Drives that list, whole, the sound listing of another drive's volume
    rather than their own."""
    def lines_of(lines, letter):
        return {line.replace(f"{letter}:\\", "?:\\", 1) for line in lines
                if (parse_line(line) or ("",))[0] == letter}

    sound = {x: lines_of(disk.sound_lines, x) for x in disk.letters}
    found = []
    for letter in disk.letters:
        shown = lines_of(printed, letter)
        if sound[letter] <= shown:
            continue
        for other in disk.letters:
            if other != letter and sound[other] <= shown:
                found.append(f"drive {letter}: lists the volume of {other}:")
    return found


def damaged_records(disk, in_record):
    """The records, in use on the sound disk, that still carry a record
    signature but now fail the checks a record must pass: a whole update
    sequence, attributes that lie inside the record, names that are not empty."""
    found = []
    letters = {index: letter for letter, index in disk.volume_of.items()}
    for index, numbers in in_record.items():
        if index not in letters:
            continue
        volume = disk.volumes[index]
        records = DamagedRecords(volume, disk.image)
        for number in sorted(numbers):
            sound = volume.records[number]
            if not (sound.sound and sound.flags & nl.FLAG_IN_USE):
                continue
            raw = nl.read_at(disk.image, volume.record_offsets[number], 4)
            if raw == b"BAAD":
                found.append(f"record {number} of {letters[index]}: is marked BAAD")
            elif raw == b"FILE" and not records[number].sound:
                found.append(f"record {number} of {letters[index]}: {records[number].fault}")
    return found


def mft_records_claimed(volume, image):
    """How many records the damaged copy's record 0 says the MFT holds."""
    raw = nl.read_at(image, volume.record_offsets[0], volume.record_bytes)
    data, _ = nl.apply_fixups(raw)
    record = nl.parse_record(0, raw, 0, volume.cluster_bytes, volume.offset)
    for kind, offset, length, _ in record.attributes:
        if data and kind == nl.ATTR_DATA and offset + 56 <= len(data) and data[offset + 8]:
            return min(len(volume.records), nl.le(data, offset + 48, 8) // volume.record_bytes)
    return len(volume.records)


class DamagedRecords:
    """The damaged copy's records, read where the sound disk has them, as
    they are asked for."""

    def __init__(self, volume, image):
        self.volume, self.image, self.cache = volume, image, {}

    def __len__(self):
        return len(self.volume.record_offsets)

    def __getitem__(self, number):
        if number not in self.cache:
            where = self.volume.record_offsets[number]
            raw = nl.read_at(self.image, where, self.volume.record_bytes)
            self.cache[number] = nl.parse_record(number, raw, where, self.volume.cluster_bytes,
                                                 self.volume.offset)
        return self.cache[number]

    def in_use_names(self, number):
        record = self[number]
        return record.names if record.sound and record.flags & nl.FLAG_IN_USE else []


def path_fault(records, parent, parts, sequences, orphan_marker):
    """Why the printed path is not real, or None when every directory on it
    is an in-use directory record whose name and parent are the ones printed,
    up to the root."""
    if parent is None:
        return "no parent number"
    remaining = parts[:-1]
    current = parent
    for _ in range(len(parts) + 1):
        if orphan_marker and remaining == [orphan_marker]:
            return None
        if current >= len(records):
            return f"record {current} lies past the MFT"
        record = records[current]
        if not record.sound:
            return f"through damaged record {current} ({record.fault})"
        if not record.flags & nl.FLAG_IN_USE:
            return f"through free record {current}"
        if not record.flags & nl.FLAG_DIRECTORY:
            return f"through file record {current}"
        if sequences and not (0 in sequences or record.sequence in sequences):
            return f"through record {current} of another sequence number"
        if current == nl.ROOT_RECORD:
            if not remaining or remaining == [""]:
                return None
            return "above the root"
        if not remaining:
            return f"record {current} shown as the root"
        name = remaining.pop()
        links = [(p, s) for p, s, n, _ in record.names if n == name]
        if not links:
            return f"record {current} has no name {name!r}"
        current = links[0][0]
        sequences = {s for p, s in links if p == current}
    return "loop"


# --- the run ----------------------------------------------------------------------


class Tally:
    def __init__(self):
        self.counts = collections.Counter()
        self.by_region = collections.Counter()  # (failure, region)
        self.region_runs = collections.Counter()
        self.by_reason = collections.Counter()  # (failure, reason without its numbers)
        self.region_changed = collections.Counter()
        self.failures = []
        self.seconds = 0.0


def reason_class(detail):
    """A failure's reason with its numbers and names left out, to count alike ones."""
    if detail.startswith("lost: "):
        return "lines lost"
    if detail.startswith("drive "):
        return "a drive lists another drive's volume"
    reason = detail[detail.rfind("[") + 1:].rstrip("]") if detail.endswith("]") else detail
    if reason.startswith("record "):
        reason = reason.split(": ", 1)[-1]
    reason = re.sub(r"'.*'", "NAME", reason)
    return re.sub(r"0x[0-9a-f]+|\b\d+\b", "N", reason)


def mutate_disk(disk, args, tally, first, count, deadline):
    for index in range(first, first + count):
        if deadline and time.monotonic() > deadline:
            break
        rng = random.Random(f"{args.seed}/{disk.name}/{index}")
        mutation, data = choose_mutation(disk, rng)
        undo = disk.truncate(mutation.offset) if data is None else \
            disk.write(mutation.offset, data)
        run = disk.run()
        tally.seconds += run.seconds
        tally.counts["mutations"] += 1
        changed = run.outcome != "exit" or run.status != 0 or run.out != disk.sound.out
        tally.counts["changed"] += changed
        tally.region_runs[mutation.region] += 1
        tally.region_changed[mutation.region] += changed
        failure = None
        if run.outcome != "exit":
            failure = run.outcome
        else:
            verdict = judge(disk, mutation, run, args.orphan_marker)
            if verdict.other_volume:
                failure = "silent" if run.status == 0 else "invented"
                detail = verdict.other_volume
            elif verdict.lost:
                failure = "silent"
                detail = [f"lost: {x.strip()}" for x in verdict.lost]
            elif verdict.ignored:
                failure = "silent"
                detail = verdict.ignored
            elif verdict.invented:
                failure = "invented"
                detail = verdict.invented
        if failure:
            tally.counts[failure] += 1
            tally.by_region[(failure, mutation.region)] += 1
            line = (f"{failure.upper()} disk={disk.name} seed={args.seed} index={index} "
                    f"status={run.status} {mutation}")
            if failure in ("silent", "invented"):
                line += f" | {len(detail)}: {detail[0].strip()}"
                tally.by_reason[(failure, reason_class(detail[0]))] += 1
            tally.failures.append(line)
            print(line, flush=True)
            if args.verbose:
                print(run.err.strip(), run.out, sep="\n")
        elif args.verbose:
            print(f"ok disk={disk.name} index={index} status={run.status} changed={changed} "
                  f"{mutation}")
        if args.keep_damage:
            print(f"left damaged: {disk.scratch} (drives in {disk.devices})")
            return
        disk.restore(undo)
        if tally.counts["mutations"] % 1000 == 0:
            print("progress: " + ", ".join(f"{k} {v}" for k, v in sorted(tally.counts.items())),
                  flush=True)
        if tally.counts["mutations"] % 1000 == 0 and not disk.scratch_is_sound():
            sys.exit(f"{disk.name}: the scratch copy was not restored after index {index}")
    if not disk.scratch_is_sound():
        sys.exit(f"{disk.name}: the scratch copy was not restored by index {first + count - 1}")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--skerry", required=True, help="the skerry program to test")
    parser.add_argument("--builder", required=True, help="skerry_disk_builder")
    parser.add_argument("--work", required=True, help="directory for images (two per disk)")
    parser.add_argument("--disk", action="append", default=[],
                        help="a description (tools/disks/NAME.disk or NAME); repeatable")
    parser.add_argument("--count", type=int, default=200, help="mutations per disk")
    parser.add_argument("--first", type=int, default=0, help="index of the first mutation")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--hours", type=float, default=0,
                        help="run until this much time has passed (cycles through the disks)")
    parser.add_argument("--timeout", type=float, default=10, help="seconds per run of skerry")
    parser.add_argument("--memory-mb", type=int, default=64,
                        help="peak resident size allowed to skerry (MiB)")
    parser.add_argument("--tolerate", type=int, default=0,
                        help="silent successes and invented paths allowed before failing")
    parser.add_argument("--orphan-marker", default="$OrphanFiles",
                        help="path component that stands for an unknown part of a path")
    parser.add_argument("--only", type=lambda text: text.split(","), default=[],
                        help="damage only these region classes: " + ",".join(WEIGHTS))
    parser.add_argument("--verbose", action="store_true", help="print every run")
    parser.add_argument("--keep-damage", action="store_true",
                        help="stop after the first mutation and leave the scratch copy damaged "
                             "(the next run restores it)")
    args = parser.parse_args()
    disks_dir = os.path.join(here, "..", "disks")
    names = args.disk or ["mbr-extended", "gpt", "fragmented-mft"]
    descriptions = [d if d.endswith(".disk") else os.path.join(disks_dir, d + ".disk")
                    for d in names]

    tally = Tally()
    started = time.monotonic()
    disks = [Disk(args, d) for d in descriptions]
    for disk in disks:
        print(f"{disk.name}: drives {' '.join(disk.letters)}, {sum(disk.sound_lines.values())} "
              f"lines ({disk.unmapped} not matched to a record), regions "
              + ", ".join(f"{k} {len(v)}" for k, v in sorted(disk.regions.items())), flush=True)
    per_disk = collections.defaultdict(Tally)
    deadline = started + args.hours * 3600 if args.hours else 0
    first = args.first
    while True:
        for disk in disks:
            before = collections.Counter(tally.counts)
            mutate_disk(disk, args, tally, first, args.count, deadline)
            per_disk[disk.name].counts.update(tally.counts - before)
        first += args.count
        if not deadline or time.monotonic() > deadline:
            break
    for disk in disks:
        disk.image.close()

    print("\ndisk             mutations  changed   silent invented  crashes    hangs   memory")
    for name, sub in list(per_disk.items()) + [("all", tally)]:
        c = sub.counts
        print(f"{name:<16}{c['mutations']:>10}{c['changed']:>9}{c['silent']:>9}{c['invented']:>9}"
              f"{c['crash']:>9}{c['hang']:>9}{c['memory']:>9}")
    print("by region, runs/changed/failed: " + ", ".join(
        f"{r} {n}/{tally.region_changed[r]}/"
        f"{sum(c for (_, x), c in tally.by_region.items() if x == r)}"
        for r, n in sorted(tally.region_runs.items())))
    if tally.by_region:
        print("failures by region: " + ", ".join(
            f"{f} {r} {n}" for (f, r), n in sorted(tally.by_region.items())))
    mean = tally.seconds / max(1, tally.counts["mutations"])
    print(f"seed {args.seed}; {time.monotonic() - started:.1f} s in all, "
          f"skerry {1000 * mean:.1f} ms a run on average")
    if tally.by_reason:
        print("failures by reason:")
        for (failure, reason), n in sorted(tally.by_reason.items()):
            print(f"  {failure:<9}{n:>7}  {reason}")
    if tally.failures:
        print("replay one: mutate.py ... --disk NAME --seed SEED --first INDEX --count 1 --verbose")
    fatal = tally.counts["crash"] + tally.counts["hang"] + tally.counts["memory"]
    quiet = tally.counts["silent"] + tally.counts["invented"]
    return 1 if fatal or quiet > args.tolerate else 0


if __name__ == "__main__":
    sys.exit(main())
