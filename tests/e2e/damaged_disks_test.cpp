// `skerry d:` on copies of the builder's disks damaged on purpose: a damaged
// structure costs only what depends on it. Every file that the damage does
// not touch is listed as on the sound disk, what could not be read ends the
// run with an error status, and nothing crashes or hangs (nor does -Q).

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "device_directory.h"
#include "e2e_environment.h"
#include "process_runner.h"
#include "sleuth_kit.h"
#include "test_disks.h"

namespace skerry::e2e {
namespace {

namespace fs = std::filesystem;
using Lines = std::set<std::string>;
using Bytes = std::vector<uint8_t>;

// Linux keeps the low 8 bits of an exit status.
constexpr int Status(int windowsCode) { return windowsCode & 0xFF; }
constexpr int kFileCorrupt = 1392;
constexpr int kHandleEof = 38;
constexpr int kInvalidParameter = 87;
constexpr int kCrcError = 23;
constexpr int kDiskCorrupt = 1393;

constexpr uint64_t kSector = 512;
constexpr uint64_t kRecordSize = 1024;

Bytes ReadBytes(const std::string& image, uint64_t offset, size_t count) {
  std::ifstream in(image, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  Bytes bytes(count);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
  return bytes;
}

void WriteBytes(const std::string& image, uint64_t offset, const Bytes& bytes) {
  std::fstream io(image, std::ios::in | std::ios::out | std::ios::binary);
  io.seekp(static_cast<std::streamoff>(offset));
  io.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(io.good()) << image;
}

uint64_t Le(const Bytes& bytes, size_t offset, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= uint64_t{bytes.at(offset + i)} << (8 * i);
  return value;
}

void StoreLe(Bytes& bytes, size_t offset, size_t width, uint64_t value) {
  for (size_t i = 0; i < width; ++i) bytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

// Offset in `record` of its first attribute of `type` (fix-ups not applied:
// the tests touch only bytes that lie before the first protected pair).
size_t AttributeOffset(const Bytes& record, uint32_t type) {
  size_t offset = Le(record, 20, 2);
  while (offset + 8 <= record.size() && Le(record, offset, 4) != type) {
    const uint64_t length = Le(record, offset + 4, 4);
    if (length == 0 || Le(record, offset, 4) == 0xFFFFFFFF) return 0;
    offset += length;
  }
  return offset + 8 <= record.size() ? offset : 0;
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

// A directory record overwritten: the directory is gone from the listing,
// its files are still listed by name, and everything else is as before.
TEST_F(DamagedDisk, DirectoryRecordLosesOnlyItsOwnName) {
  const Lines sound = List(Sample().image);
  const std::string image = Copy(Sample());
  WriteBytes(image, RecordOffset(Sample(), RecordOf(Sample(), "\\docs\\archive")),
             Bytes(kRecordSize, 0xEE));
  const Lines damaged = List(image);
  ExpectErrorStatus(kFileCorrupt);
  for (const std::string& line : sound) {
    if (Under(line, "\\docs\\archive")) continue;
    EXPECT_TRUE(damaged.count(line)) << line;
  }
  for (const char* name : {"\\old-report.txt", "\\letter.doc", "\\backup.zip"}) {
    int found = 0;
    for (const std::string& line : damaged) found += EndsWith(line, name);
    EXPECT_EQ(found, 1) << name;
  }
}

// Records whose header is sound but whose attributes are not: a $FILE_NAME
// value that reaches past the record makes its record undecodable (an error
// status); attribute lengths that step out of the record end the walk as if
// the attributes had ended there, leaving that record without a name (not
// listed, no error). Either way the records around them are listed as before.
TEST_F(DamagedDisk, DamagedAttributesInTheMiddleOfTheMft) {
  const Lines sound = List(Sample().image);
  const std::string image = Copy(Sample());
  const std::string valueTooLong = "\\src\\main.cpp", garbage = "\\src\\main.h";

  const uint64_t first = RecordOffset(Sample(), RecordOf(Sample(), valueTooLong));
  Bytes record = ReadBytes(image, first, kRecordSize);
  const size_t fileName = AttributeOffset(record, 0x30);
  ASSERT_NE(fileName, 0u);
  StoreLe(record, fileName + 16, 4, 0xEEEEEEEE);
  WriteBytes(image, first, record);

  const uint64_t second = RecordOffset(Sample(), RecordOf(Sample(), garbage));
  WriteBytes(image, second + Le(ReadBytes(image, second, 32), 20, 2), Bytes(400, 0xEE));

  const Lines damaged = List(image);
  ExpectErrorStatus(kFileCorrupt);
  Lines expected;
  for (const std::string& line : sound) {
    const std::string path = line.substr(2);
    if (path != valueTooLong && path != garbage) expected.insert(line);
  }
  EXPECT_EQ(damaged, expected);
}

// \docs's parent set to \docs\archive: the two directories make a loop. The
// walk ends, every file outside the loop is listed as before, and every file
// inside it is still listed by name.
TEST_F(DamagedDisk, ParentChainThatLoops) {
  const Lines sound = List(Sample().image);
  const std::string image = Copy(Sample());
  const uint64_t docs = RecordOffset(Sample(), RecordOf(Sample(), "\\docs"));
  Bytes record = ReadBytes(image, docs, kRecordSize);
  const size_t fileName = AttributeOffset(record, 0x30);
  ASSERT_NE(fileName, 0u);
  const size_t parent = fileName + Le(record, fileName + 20, 2);
  ASSERT_LT(parent + 6, 510u);  // before the first pair that fix-ups restore
  StoreLe(record, parent, 6, RecordOf(Sample(), "\\docs\\archive"));
  WriteBytes(image, docs, record);

  const Lines damaged = List(image);
  EXPECT_NE(last_.status, -1) << last_.err;
  size_t inside = 0;
  for (const std::string& line : sound) {
    if (Under(line, "\\docs")) {
      ++inside;
      const std::string name = line.substr(line.rfind('\\'));
      int found = 0;
      for (const std::string& other : damaged) found += EndsWith(other, name);
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
