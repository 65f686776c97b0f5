// `skerry d:` on copies of the builder's disks damaged on purpose: a damaged
// structure costs only what depends on it. Every file that the damage does
// not touch is listed as on the sound disk, what could not be read ends the
// run with an error status, and nothing crashes or hangs (nor does -Q).

#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "device_directory.h"
#include "e2e_environment.h"
#include "image_bytes.h"
#include "process_runner.h"
#include "sleuth_kit.h"
#include "test_disks.h"

namespace skerry::e2e {
namespace {

namespace fs = std::filesystem;
using Lines = std::set<std::string>;

// Linux keeps the low 8 bits of an exit status.
constexpr int Status(int windowsCode) { return windowsCode & 0xFF; }
constexpr int kFileCorrupt = 1392;
constexpr int kDiskCorrupt = 1393;
constexpr int kHandleEof = 38;
constexpr int kInvalidParameter = 87;
constexpr int kCrcError = 23;

constexpr uint64_t kSector = 512;
constexpr uint64_t kRecordSize = 1024;

// Offset of the parent reference in `record`'s first $FILE_NAME.
size_t ParentOffset(const Bytes& record) {
  const size_t fileName = AttributeOffset(record, 0x30);
  return fileName == 0 ? 0 : fileName + Le(record, fileName + 20, 2);
}

class DamagedDisk : public testing::Test {
 protected:
  // A copy of `disk`'s image to damage, removed at the end of the test.
  std::string Copy(const TestDisk& disk) {
    // Named after the test, so that tests running side by side never share a copy.
    const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
    const fs::path copy = fs::path(kWorkDirectory) /
                          ("damaged-" + test + "-" + std::to_string(copies_.size()) + ".img");
    fs::copy_file(disk.image, copy, fs::copy_options::overwrite_existing);
    copies_.push_back(copy);
    return copy.string();
  }
  ~DamagedDisk() override {
    for (const fs::path& copy : copies_) fs::remove(copy);
  }

  // Lists partition `partition` (Windows' numbering) of `image` as D: and
  // returns its lines without the header. -Q and a listing through a name
  // pattern (the MFT loaded through a filter) run on the same drive too.
  Lines List(const std::string& image, int partition = 1) {
    DeviceDirectory devices;
    devices.AddDisk(1, image);
    devices.MapDrive('d', 1, partition);
    last_ = devices.RunSkerry({"d:"});
    query_ = devices.RunSkerry({"-Q", "d:"});
    EXPECT_NE(query_.status, -1) << "-Q did not end normally: " << query_.err;
    filtered_ = devices.RunSkerry({"-f", "*", "d:"});
    EXPECT_NE(filtered_.status, -1) << "-f did not end normally: " << filtered_.err;
    Lines lines;
    for (const std::string& line : SplitLines(last_.out)) {
      if (line.rfind("D:", 0) == 0) lines.insert(line);
    }
    return lines;
  }
  // The listing, -Q and the filtered listing all end with `windowsCode`:
  // whichever way the MFT was loaded, what could not be read is reported.
  void ExpectErrorStatus(int windowsCode) {
    for (const ProcessResult* run : {&last_, &query_, &filtered_}) {
      EXPECT_EQ(run->status, Status(windowsCode)) << run->err;
      EXPECT_NE(run->err.find("Error "), std::string::npos) << run->err;
    }
  }

  // Byte offset of MFT record `record` on the disk, which must lie in the MFT's first run.
  static uint64_t RecordOffset(const TestDisk& disk, uint64_t record, uint64_t clusterSize = 4096) {
    const ManifestPartition& partition = disk.NtfsPartition(1);
    const std::vector<ClusterRun> runs = MftDataRuns(disk.image, partition.startSector);
    EXPECT_FALSE(runs.empty());
    if (runs.empty()) return 0;
    EXPECT_LT(record * kRecordSize, runs[0].length * clusterSize);
    return partition.startSector * kSector + runs[0].start * clusterSize + record * kRecordSize;
  }
  static uint64_t RecordOf(const TestDisk& disk, const std::string& path) {
    for (const ManifestName& name : disk.NtfsPartition(1).names) {
      if (name.path == path) return name.record;
    }
    ADD_FAILURE() << "no " << path;
    return 0;
  }

  static const TestDisk& Sample() {
    static const TestDisk disk = BuildTestDisk("sample");
    return disk;
  }

  ProcessResult last_, query_, filtered_;
  std::vector<fs::path> copies_;
};

bool Under(const std::string& line, const std::string& directory) {
  return line.rfind("D:" + directory + "\\", 0) == 0 || line == "D:" + directory;
}
bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Record 0 is the only way to the MFT (its mirror is not read): without its
// signature nothing can be listed, and the run says why.
TEST_F(DamagedDisk, RecordZeroWithoutSignatureIsAnError) {
  const std::string image = Copy(Sample());
  WriteBytes(image, RecordOffset(Sample(), 0), {'B', 'A', 'A', 'D'});
  EXPECT_TRUE(List(image).empty());
  ExpectErrorStatus(kInvalidParameter);
}

// Record 0 damaged so that the MFT cannot be read as it says: a $FILE_NAME
// that runs past the record, a run list that is empty or broken, a data size
// that ends inside a record or beyond the runs. The drive ends with 1393 and
// the "Error " line; whole records that could be read are still listed.
TEST_F(DamagedDisk, DamagedRecordZeroEndsTheDriveWithAnError) {
  const Lines sound = List(Sample().image);
  const uint64_t at = RecordOffset(Sample(), 0);
  const Bytes good = ReadBytes(Sample().image, at, kRecordSize);
  const size_t fileName = AttributeOffset(good, 0x30), data = AttributeOffset(good, 0x80);
  ASSERT_NE(fileName, 0u);
  ASSERT_NE(data, 0u);
  ASSERT_EQ(good.at(data + 8), 1);  // non-resident
  const size_t runList = data + Le(good, data + 32, 2);
  ASSERT_LT(runList + 8, 510u);
  struct Case {
    const char* what;
    size_t at, width;
    uint64_t value;
    bool listsWholeRecords;
  };
  const uint64_t allocated = Le(good, data + 40, 8), size = Le(good, data + 48, 8);
  const Case cases[] = {
      {"$FILE_NAME past the record", fileName + 4, 4, kRecordSize, false},
      {"empty run list", runList, 1, 0, false},
      {"run list with a 9-byte field", runList, 1, 0x19, false},
      {"size inside a record", data + 48, 8, size - kRecordSize / 2, true},
      {"size beyond the runs", data + 48, 8, allocated + 64 * kRecordSize, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string image = Copy(Sample());
    Bytes record = good;
    StoreLe(record, c.at, c.width, c.value);
    WriteBytes(image, at, record);
    const Lines damaged = List(image);
    ExpectErrorStatus(kDiskCorrupt);
    if (!c.listsWholeRecords) {
      EXPECT_TRUE(damaged.empty());
      continue;
    }
    EXPECT_GT(damaged.size(), sound.size() / 2);
    for (const std::string& line : damaged) EXPECT_TRUE(sound.count(line)) << line;
  }
}

// Records damaged each in its own way: an attribute or value that runs past
// the record, a first attribute past it, an empty name, a garbage base record
// reference, a torn write. Each record is passed over like any other damaged
// record: the rest is listed as before, and the run ends with 1392.
TEST_F(DamagedDisk, EveryDamagedRecordIsPassedOverAndReported) {
  const Lines sound = List(Sample().image);
  struct Case {
    const char* what;
    const char* path;
    std::function<void(Bytes&)> damage;
  };
  const Case cases[] = {
      {"$FILE_NAME value past the record", "\\src\\main.cpp",
       [](Bytes& r) { StoreLe(r, AttributeOffset(r, 0x30) + 16, 4, 0xEEEEEEEE); }},
      {"$FILE_NAME attribute past the record", "\\src\\util.cpp",
       [](Bytes& r) { StoreLe(r, AttributeOffset(r, 0x30) + 4, 4, kRecordSize); }},
      {"attributes overwritten", "\\src\\main.h",
       [](Bytes& r) { std::fill_n(r.begin() + Le(r, 20, 2), 400, 0xEE); }},
      {"first attribute past the record", "\\src\\Makefile",
       [](Bytes& r) { StoreLe(r, 20, 2, kRecordSize + 8); }},
      {"empty name", "\\docs\\notes.txt",
       [](Bytes& r) { r.at(AttributeOffset(r, 0x30) + Le(r, AttributeOffset(r, 0x30) + 20, 2) + 64) = 0; }},
      {"garbage base record reference", "\\docs\\todo.txt",
       [](Bytes& r) { StoreLe(r, 32, 8, 0xEEEEEEEEEEEEEEEE); }},
      {"torn write", "\\hello.txt",
       [](Bytes& r) { StoreLe(r, kRecordSize - 2, 2, Le(r, kRecordSize - 2, 2) + 1); }},
      // What a damaged MFT run reads: zeros where $MFT's bitmap holds a
      // record in use, or a record that names another number.
      {"zeros in place of a record in use", "\\docs\\readme.txt",
       [](Bytes& r) { std::fill(r.begin(), r.end(), 0); }},
      {"a record naming another number", "\\docs\\budget.csv",
       [](Bytes& r) { StoreLe(r, 0x2C, 4, Le(r, 0x2C, 4) + 16); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string image = Copy(Sample());
    const uint64_t at = RecordOffset(Sample(), RecordOf(Sample(), c.path));
    Bytes record = ReadBytes(image, at, kRecordSize);
    c.damage(record);
    WriteBytes(image, at, record);
    Lines expected = sound;
    ASSERT_EQ(expected.erase(std::string("D:") + c.path), 1u);
    EXPECT_EQ(List(image), expected);
    ExpectErrorStatus(kFileCorrupt);
  }
}

// A file is listed under its directory only when every reference up to the
// root leads to an in-use directory record of the referenced sequence number.
// Where a chain breaks, the unknown part of the path shows as \$OrphanFiles,
// the directories below the break are kept, and the run ends with 1392.
TEST_F(DamagedDisk, BrokenParentChainsListUnderTheOrphanMarker) {
  const Lines sound = List(Sample().image);
  const uint64_t docs = RecordOf(Sample(), "\\docs");
  struct Case {
    const char* what;
    const char* directory;  // the damaged directory record
    bool keepsItsLine;      // it is still listed, itself under the marker
    std::function<void(Bytes&)> damage;
  };
  const Case cases[] = {
      {"parent is a file", "\\docs", true,
       [](Bytes& r) { StoreLe(r, ParentOffset(r), 6, RecordOf(Sample(), "\\hello.txt")); }},
      {"parent of another sequence number", "\\docs", true,
       [](Bytes& r) { StoreLe(r, ParentOffset(r) + 6, 2, Le(r, ParentOffset(r) + 6, 2) + 1); }},
      {"its own parent", "\\docs", true,
       [docs](Bytes& r) { StoreLe(r, ParentOffset(r), 6, docs); }},
      {"directory not in use", "\\docs", false, [](Bytes& r) { r.at(22) &= ~1; }},
      {"directory torn", "\\docs", false,
       [](Bytes& r) { StoreLe(r, 510, 2, Le(r, 510, 2) ^ 0x0101); }},
      {"directory overwritten", "\\docs\\archive", false,
       [](Bytes& r) { std::fill(r.begin(), r.end(), 0xEE); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string image = Copy(Sample());
    const uint64_t at = RecordOffset(Sample(), RecordOf(Sample(), c.directory));
    Bytes record = ReadBytes(image, at, kRecordSize);
    ASSERT_LT(ParentOffset(record) + 8, 510u);
    c.damage(record);
    WriteBytes(image, at, record);

    const std::string directory = c.directory;
    // What takes the marker's place: the directory's parent, or the directory.
    const std::string unknown =
        c.keepsItsLine ? directory.substr(0, directory.rfind('\\')) : directory;
    Lines expected;
    for (const std::string& line : sound) {
      if (!Under(line, directory)) {
        expected.insert(line);
      } else if (c.keepsItsLine || line != "D:" + directory) {
        expected.insert("D:\\$OrphanFiles" + line.substr(2 + unknown.size()));
      }
    }
    EXPECT_EQ(List(image), expected);
    ExpectErrorStatus(kFileCorrupt);
  }
}

// \docs's parent set to \docs\archive: the two directories make a loop. The
// walk ends, every file outside the loop is listed as before, and every file
// inside it is listed by name under the orphan marker.
TEST_F(DamagedDisk, ParentChainThatLoops) {
  const Lines sound = List(Sample().image);
  const std::string image = Copy(Sample());
  const uint64_t docs = RecordOffset(Sample(), RecordOf(Sample(), "\\docs"));
  Bytes record = ReadBytes(image, docs, kRecordSize);
  const size_t parent = ParentOffset(record);
  ASSERT_LT(parent + 6, 510u);  // before the first pair that fix-ups restore
  StoreLe(record, parent, 6, RecordOf(Sample(), "\\docs\\archive"));
  WriteBytes(image, docs, record);

  const Lines damaged = List(image);
  ExpectErrorStatus(kFileCorrupt);
  size_t inside = 0;
  for (const std::string& line : sound) {
    if (Under(line, "\\docs")) {
      ++inside;
      const std::string name = line.substr(line.rfind('\\'));
      int found = 0;
      for (const std::string& other : damaged) {
        found += other.rfind("D:\\$OrphanFiles\\", 0) == 0 && EndsWith(other, name);
      }
      EXPECT_GE(found, 1) << name;
    } else {
      EXPECT_TRUE(damaged.count(line)) << line;
    }
  }
  EXPECT_EQ(damaged.size(), sound.size());
  EXPECT_GT(inside, 10u);
}

// The image ends in the middle of the MFT: every file whose record and
// directories lie before the cut is listed as before, and the run ends with
// the end-of-file code.
TEST_F(DamagedDisk, ImageCutShortInTheMiddleOfTheMft) {
  const Lines sound = List(Sample().image);
  std::map<std::string, uint64_t> records;
  uint64_t last = 0;
  for (const ManifestName& name : Sample().NtfsPartition(1).names) {
    records[name.path] = name.record;
    last = std::max(last, name.record);
  }
  const uint64_t cut = (64 + last) / 2;
  const std::string image = Copy(Sample());
  fs::resize_file(image, RecordOffset(Sample(), cut) + kRecordSize / 2);

  const Lines damaged = List(image);
  ExpectErrorStatus(kHandleEof);
  size_t kept = 0;
  for (const std::string& line : sound) {
    bool before = true;
    // The line's path and every directory above it (system files have record numbers below 64).
    for (std::string path = line.substr(2); !path.empty(); path.resize(path.rfind('\\'))) {
      const auto known = records.find(path);
      if (known != records.end() && known->second >= cut) before = false;
    }
    if (before) {
      ++kept;
      EXPECT_TRUE(damaged.count(line)) << line;
    }
  }
  EXPECT_LT(damaged.size(), sound.size());
  EXPECT_GT(kept, 30u);
}

// The last run of the $MFT's data pointed far past the end of the disk: the
// records of the runs before it are listed, with the end-of-file code.
TEST_F(DamagedDisk, MftRunPastTheEndOfTheDisk) {
  const TestDisk disk = BuildTestDisk("fragmented-mft");
  const Lines sound = List(disk.image);
  const ManifestPartition& partition = disk.NtfsPartition(1);
  const std::vector<ClusterRun> runs = MftDataRuns(disk.image, partition.startSector);
  ASSERT_GE(runs.size(), 2u);

  const std::string image = Copy(disk);
  const uint64_t recordZero = RecordOffset(disk, 0);
  Bytes record = ReadBytes(image, recordZero, kRecordSize);
  const size_t data = AttributeOffset(record, 0x80);
  ASSERT_NE(data, 0u);
  ASSERT_EQ(record.at(data + 8), 1);  // non-resident
  size_t run = data + Le(record, data + 32, 2);
  size_t lastOffsetField = 0, lastOffsetWidth = 0;
  while (record.at(run) != 0) {
    const size_t lengthWidth = record.at(run) & 15, offsetWidth = record.at(run) >> 4;
    lastOffsetField = run + 1 + lengthWidth;
    lastOffsetWidth = offsetWidth;
    run += 1 + lengthWidth + offsetWidth;
  }
  ASSERT_GE(lastOffsetWidth, 2u);
  ASSERT_LT(run, 510u);
  // The largest forward step the field holds: past the 64 MiB disk from any cluster in it.
  StoreLe(record, lastOffsetField, lastOffsetWidth, (uint64_t{1} << (8 * lastOffsetWidth - 1)) - 1);
  WriteBytes(image, recordZero, record);

  uint64_t firstRunsRecords = 0;
  for (size_t i = 0; i + 1 < runs.size(); ++i)
    firstRunsRecords += runs[i].length * 4096 / kRecordSize;
  std::map<std::string, uint64_t> records;
  for (const ManifestName& name : partition.names) records[name.path] = name.record;

  const Lines damaged = List(image);
  ExpectErrorStatus(kHandleEof);
  size_t kept = 0;
  for (const std::string& line : sound) {
    const auto known = records.find(line.substr(2));
    if (known != records.end() && known->second >= firstRunsRecords) continue;
    const std::string directory = line.substr(2, line.rfind('\\') - 2);
    const auto parent = records.find(directory);
    if (parent != records.end() && parent->second >= firstRunsRecords) continue;
    ++kept;
    EXPECT_TRUE(damaged.count(line)) << line;
  }
  EXPECT_GT(kept, 20u);
  EXPECT_LT(damaged.size(), sound.size());
}

// The extended chain's second record (the 0x83 partition's) made to link to
// itself: the chain ends at the repeat, the partitions before it list as
// before, and the logical partition behind it is an error, never another one.
TEST_F(DamagedDisk, ExtendedChainThatLoops) {
  const TestDisk disk = BuildTestDisk("mbr-extended");
  const Lines primary = List(disk.image, 1);
  const Lines firstLogical = List(disk.image, 2);
  ASSERT_FALSE(firstLogical.empty());

  const std::string image = Copy(disk);
  const Bytes mbr = ReadBytes(image, 0, kSector);
  uint64_t extended = 0;
  for (size_t slot = 0; slot < 4; ++slot) {
    const uint8_t type = mbr.at(446 + 16 * slot + 4);
    if (type == 0x05 || type == 0x0F) extended = Le(mbr, 446 + 16 * slot + 8, 4);
  }
  ASSERT_NE(extended, 0u);
  const Bytes first = ReadBytes(image, extended * kSector, kSector);
  const uint64_t second = extended + Le(first, 446 + 16 + 8, 4);
  Bytes looping = ReadBytes(image, second * kSector, kSector);
  StoreLe(looping, 446 + 16 + 8, 4, second - extended);
  WriteBytes(image, second * kSector, looping);

  EXPECT_EQ(List(image, 1), primary);
  EXPECT_EQ(last_.status, 0) << last_.err;
  EXPECT_EQ(List(image, 2), firstLogical);
  EXPECT_EQ(last_.status, 0) << last_.err;
  EXPECT_TRUE(List(image, 4).empty());
  ExpectErrorStatus(kDiskCorrupt);
  EXPECT_NE(last_.err.find("loops back"), std::string::npos) << last_.err;
}

// One byte of the GUID partition table's entry array changed: its CRC no
// longer holds, so the backup table at the disk's end is read, as every
// system does. With the backup's array damaged too the disk is refused. A
// byte changed outside what the CRCs cover changes nothing.
TEST_F(DamagedDisk, GuidPartitionTable) {
  const TestDisk disk = BuildTestDisk("gpt");
  const Lines sound = List(disk.image, 2);
  ASSERT_FALSE(sound.empty());

  const std::string reserved = Copy(disk);
  WriteBytes(reserved, kSector + 200, {0x5A});
  EXPECT_EQ(List(reserved, 2), sound);
  EXPECT_EQ(last_.status, 0) << last_.err;

  const std::string array = Copy(disk);
  const uint64_t arrayStart = Le(ReadBytes(array, kSector, 92), 72, 8);
  // The name of the last used entry (the third), far from anything that parses.
  WriteBytes(array, arrayStart * kSector + 2 * 128 + 60, {0x5A});
  EXPECT_EQ(List(array, 2), sound);
  EXPECT_EQ(last_.status, 0) << last_.err;

  const uint64_t lastSector = fs::file_size(array) / kSector - 1;
  const uint64_t backupArray = Le(ReadBytes(array, lastSector * kSector, 92), 72, 8);
  WriteBytes(array, backupArray * kSector + 2 * 128 + 60, {0x5A});
  EXPECT_TRUE(List(array, 2).empty());
  ExpectErrorStatus(kCrcError);
}

}  // namespace
}  // namespace skerry::e2e
