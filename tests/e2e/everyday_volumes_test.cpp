// Right answers on volumes as everyday use leaves them (tools/disks/everyday.disk):
// the size of a file with named streams, the name of a record whose DOS alias
// is its last $FILE_NAME, MFT slots that were never written, a record NTFS
// marked torn, and an MFT whose data ends before the last run record 0 lists.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
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

constexpr int kFileCorruptStatus = 1392 & 0xFF;
constexpr uint64_t kSector = 512;
constexpr uint64_t kRecordSize = 1024;
constexpr uint64_t kClusterSize = 4096;

// The number after `label` in the first line holding it after `section` of a -Q report.
uint64_t ReportField(const std::string& report, const std::string& section,
                     const std::string& label) {
  const size_t from = report.find(section);
  const size_t at = from == std::string::npos ? from : report.find(label, from);
  if (at == std::string::npos) {
    ADD_FAILURE() << "no " << section << " / " << label << " in\n" << report;
    return 0;
  }
  return std::stoull(report.substr(report.find_first_not_of(' ', at + label.size())));
}

struct Allocation {
  uint64_t active = 0;
  uint64_t free = 0;
  uint64_t records = 0;  // fsstat's range of entries, for The Sleuth Kit
};

Allocation ReportedAllocation(const std::string& report) {
  return {ReportField(report, "====Record Summary", "Active:"),
          ReportField(report, "====Record Summary", "Free:")};
}

// ils's allocated and unallocated entries, less the virtual entries The
// Sleuth Kit numbers after the last record (from fsstat's range on). ils
// leaves out the records that are all zeros, which fsstat's range counts.
Allocation SleuthKitAllocation(const std::string& image, uint64_t startSector) {
  const std::string offset = std::to_string(startSector);
  uint64_t virtualEntries = 0;
  for (const std::string& line : SplitLines(RunProcess({"fsstat", "-o", offset, image}).out)) {
    if (line.rfind("Range: 0 - ", 0) == 0) virtualEntries = std::stoull(line.substr(11));
  }
  EXPECT_GT(virtualEntries, 0u) << "fsstat shows no range of entries";
  Allocation allocation;
  allocation.records = virtualEntries;
  for (const std::string& line : SplitLines(RunProcess({"ils", "-e", "-o", offset, image}).out)) {
    const size_t bar = line.find('|');
    if (bar == std::string::npos || bar == 0 || line.size() < bar + 2 ||
        line.find_first_not_of("0123456789") != bar || std::stoull(line) >= virtualEntries) {
      continue;
    }
    if (line[bar + 1] == 'a') ++allocation.active;
    if (line[bar + 1] == 'f') ++allocation.free;
  }
  return allocation;
}

class EverydayVolume : public testing::Test {
 protected:
  static const TestDisk& Disk() {
    static const TestDisk disk = BuildTestDisk("everyday");
    return disk;
  }
  static const ManifestPartition& Partition() { return Disk().NtfsPartition(1); }
  static uint64_t RecordOf(const std::string& path) {
    for (const ManifestName& name : Partition().names) {
      if (name.path == path) return name.record;
    }
    ADD_FAILURE() << "no " << path;
    return 0;
  }
  // Byte offset of MFT record `record` of `disk`, which must lie in the MFT's first run.
  static uint64_t RecordOffset(const TestDisk& disk, uint64_t record) {
    const ManifestPartition& partition = disk.NtfsPartition(1);
    const std::vector<ClusterRun> runs = MftDataRuns(disk.image, partition.startSector);
    EXPECT_FALSE(runs.empty());
    if (runs.empty()) return 0;
    EXPECT_LT(record * kRecordSize, runs[0].length * kClusterSize);
    return partition.startSector * kSector + runs[0].start * kClusterSize + record * kRecordSize;
  }

  // A copy of `disk`'s image to change, removed at the end of the test.
  std::string Copy(const TestDisk& disk) {
    const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
    const fs::path copy = fs::path(kWorkDirectory) /
                          ("everyday-" + test + "-" + std::to_string(copies_.size()) + ".img");
    fs::copy_file(disk.image, copy, fs::copy_options::overwrite_existing);
    copies_.push_back(copy);
    return copy.string();
  }
  ~EverydayVolume() override {
    for (const fs::path& copy : copies_) fs::remove(copy);
  }

  static ProcessResult Run(const std::string& image, std::vector<std::string> arguments) {
    DeviceDirectory devices;
    devices.AddDisk(1, image);
    devices.MapDrive('d', 1, 1);
    arguments.push_back("d:");
    return devices.RunSkerry(arguments);
  }
  // The listing's lines without its header.
  static Lines Listed(const ProcessResult& result) {
    Lines lines;
    for (const std::string& line : SplitLines(result.out)) {
      if (line.find("D:\\") != std::string::npos) lines.insert(line);
    }
    return lines;
  }
  static Lines List(const std::string& image, std::vector<std::string> arguments = {}) {
    const ProcessResult result = Run(image, arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    return Listed(result);
  }

  std::vector<fs::path> copies_;
};

// The sizes that `-S` prints, by path.
std::map<std::string, uint64_t> SizesOf(const ProcessResult& result) {
  std::map<std::string, uint64_t> sizes;
  for (const std::string& line : SplitLines(result.out)) {
    const size_t path = line.find("D:\\");
    if (path != std::string::npos) sizes[line.substr(path)] = std::stoull(line);
  }
  return sizes;
}

// A download carries a small Zone.Identifier stream; another file holds a
// stream far larger than its data. Each file's size is its own data's, for
// -S, -s and -Q's sums, and both still count two streams.
TEST_F(EverydayVolume, SizeIsTheUnnamedStreamsWhateverTheNamedOnes) {
  const std::string& image = Disk().image;
  const ProcessResult sized = Run(image, {"-S", "-f", "\\downloads\\*"});
  ASSERT_EQ(sized.status, 0) << sized.err;
  EXPECT_EQ(SizesOf(sized), (std::map<std::string, uint64_t>{{"D:\\downloads\\photo.jpg", 97280},
                                                             {"D:\\downloads\\notes.txt", 23}}));

  EXPECT_EQ(List(image, {"-s", "50000", "-f", "\\downloads\\*"}),
            (Lines{"D:\\downloads\\photo.jpg"}));
  EXPECT_EQ(List(image, {"-s", "-1000", "-f", "\\downloads\\*"}),
            (Lines{"D:\\downloads\\notes.txt"}));
  EXPECT_EQ(List(image, {"-d", "1", "-f", "\\downloads\\*"}),
            (Lines{"D:\\downloads\\photo.jpg", "D:\\downloads\\notes.txt"}));

  // -Q sums the sizes that -S prints for every in-use file (directories,
  // which have no data stream, show 0 on this volume).
  const ProcessResult query = Run(image, {"-Q"});
  ASSERT_EQ(query.status, 0) << query.err;
  uint64_t listed = 0;
  for (const auto& [path, size] : SizesOf(Run(image, {"-S"}))) listed += size;
  EXPECT_EQ(ReportField(query.out, "====Active Records", "Real:"), listed);
}

// "a b.txt", "d e" and "f g.txt" sort before their aliases (AB~1.TXT, ...),
// so each record holds its alias last: the long names are listed, matched by
// -f, used in paths and counted by -Q.
TEST_F(EverydayVolume, LongNameWinsOverADosAliasRecordedLast) {
  const std::string& image = Disk().image;
  for (const std::string path : {"\\a b.txt", "\\d e", "\\d e\\f g.txt"}) {
    const std::vector<FileNameOfRecord> names =
        RecordFileNames(image, Partition().startSector, RecordOf(path));
    ASSERT_EQ(names.size(), 2u) << path;
    EXPECT_NE(names.back().name.find('~'), std::string::npos) << path << ": alias not last";
  }

  const Lines all = List(image);
  for (const char* line :
       {"D:\\a b.txt", "D:\\d e", "D:\\d e\\f g.txt", "D:\\d e\\Meeting Minutes.txt"}) {
    EXPECT_TRUE(all.count(line)) << line;
  }
  for (const std::string& line : all) EXPECT_EQ(line.find('~'), std::string::npos) << line;

  EXPECT_EQ(List(image, {"-f", "a b*"}), (Lines{"D:\\a b.txt"}));
  EXPECT_EQ(List(image, {"-f", "f g*"}), (Lines{"D:\\d e\\f g.txt"}));
  EXPECT_TRUE(List(image, {"-f", "AB~1*"}).empty());

  const ProcessResult query = Run(image, {"-Q"});
  ASSERT_EQ(query.status, 0) << query.err;
  EXPECT_EQ(ReportField(query.out, "====Active Records", "DOS:"), 0u);
}

// Slots of the MFT that were never written hold zeros: some free records
// and deleted files' records are zeroed here. They are free records,
// counted as ils counts them, and no damage. A record NTFS marked "BAAD" is
// damage: every file is still listed, and the runs end with 1392.
TEST_F(EverydayVolume, ZeroRecordsAreFreeAndABaadRecordIsDamage) {
  const Lines sound = List(Disk().image);
  const ProcessResult soundQuery = Run(Disk().image, {"-Q"});
  ASSERT_EQ(soundQuery.status, 0) << soundQuery.err;
  const Allocation soundCounts = ReportedAllocation(soundQuery.out);

  std::vector<uint64_t> deleted;
  for (const ManifestName& name : Partition().names) {
    if (name.kind == "deleted") deleted.push_back(name.record);
  }
  ASSERT_GE(deleted.size(), 4u);
  // Records 27 to 63 lie between the system files and the first user file;
  // the formatter wrote them as free records.
  const std::vector<uint64_t> neverUsed = {30, 40, 63};
  for (const uint64_t record : neverUsed) {
    const Bytes bytes = ReadBytes(Disk().image, RecordOffset(Disk(), record), kRecordSize);
    ASSERT_EQ(Le(bytes, 0, 4), 0x454C4946u) << record;  // "FILE"
    ASSERT_EQ(Le(bytes, 22, 2) & 1, 0u) << record << " is in use";
  }

  const std::string zeroed = Copy(Disk());
  for (const uint64_t record :
       {deleted[0], deleted[1], deleted[2], neverUsed[0], neverUsed[1], neverUsed[2]}) {
    WriteBytes(zeroed, RecordOffset(Disk(), record), Bytes(kRecordSize, 0));
  }
  EXPECT_EQ(List(zeroed), sound);
  EXPECT_EQ(List(zeroed, {"-f", "*"}), sound);
  const ProcessResult query = Run(zeroed, {"-Q"});
  EXPECT_EQ(query.status, 0) << query.err;
  const Allocation counts = ReportedAllocation(query.out);
  EXPECT_EQ(counts.active, soundCounts.active);
  EXPECT_EQ(counts.free, soundCounts.free);
  const Allocation sleuthKit = SleuthKitAllocation(zeroed, Partition().startSector);
  EXPECT_EQ(counts.active, sleuthKit.active);
  EXPECT_EQ(counts.free, sleuthKit.free + 6);  // ils does not show the six zeroed
  EXPECT_EQ(counts.active + counts.free, sleuthKit.records);

  const std::string baad = Copy(Disk());
  WriteBytes(baad, RecordOffset(Disk(), deleted[3]), {'B', 'A', 'A', 'D'});
  for (const std::vector<std::string>& options : {std::vector<std::string>{}, {"-f", "*"}}) {
    const ProcessResult listing = Run(baad, options);
    EXPECT_EQ(listing.status, kFileCorruptStatus) << listing.err;
    EXPECT_EQ(Listed(listing), sound);
  }
  const ProcessResult baadQuery = Run(baad, {"-Q"});
  EXPECT_EQ(baadQuery.status, kFileCorruptStatus) << baadQuery.err;
  const Allocation baadCounts = ReportedAllocation(baadQuery.out);
  EXPECT_EQ(baadCounts.active, soundCounts.active);
  EXPECT_EQ(baadCounts.free, soundCounts.free - 1);
}

// A directory whose $STANDARD_INFORMATION is too short is damaged: the
// parser's line about it goes to the error stream once, however many paths
// lead through it, whichever way the MFT is read.
TEST_F(EverydayVolume, DiagnosticLineGoesToTheErrorStreamOnce) {
  const std::string image = Copy(Disk());
  const uint64_t offset = RecordOffset(Disk(), RecordOf("\\d e"));
  Bytes record = ReadBytes(image, offset, kRecordSize);
  const size_t standardInfo = AttributeOffset(record, 0x10);
  ASSERT_NE(standardInfo, 0u);
  StoreLe(record, standardInfo + 16, 4, 40);
  WriteBytes(image, offset, record);

  const std::string line = "Error Attribute bufferSize=40 expect min size of 48\n";
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{}, {"-f", "*"}, {"-Q"}}) {
    const ProcessResult result = Run(image, options);
    EXPECT_EQ(result.status, kFileCorruptStatus) << result.err;
    EXPECT_EQ(result.out.find("Error Attribute"), std::string::npos);
    const size_t first = result.err.find(line);
    EXPECT_NE(first, std::string::npos) << result.err;
    EXPECT_EQ(result.err.find(line, first + 1), std::string::npos) << result.err;
  }
}

// Record 0's data size cut to its first run: the load stops there, but the
// report still counts every run that record 0 lists as a fragment.
TEST_F(EverydayVolume, FragmentsCountTheRunsBeyondTheMftsDataSize) {
  const TestDisk disk = BuildTestDisk("fragmented-mft");
  const std::vector<ClusterRun> runs = MftDataRuns(disk.image, disk.NtfsPartition(1).startSector);
  ASSERT_GE(runs.size(), 3u);
  const std::string image = Copy(disk);
  const uint64_t offset = RecordOffset(disk, 0);
  Bytes record = ReadBytes(image, offset, kRecordSize);
  const size_t data = AttributeOffset(record, 0x80);
  ASSERT_NE(data, 0u);
  const uint64_t firstRunBytes = runs[0].length * kClusterSize;
  StoreLe(record, data + 48, 8, firstRunBytes);  // data size
  StoreLe(record, data + 56, 8, firstRunBytes);  // initialised size
  WriteBytes(image, offset, record);

  const ProcessResult query = Run(image, {"-Q"});
  EXPECT_EQ(ReportField(query.out, "====Record Summary", "Fragments:"), runs.size()) << query.err;
  EXPECT_EQ(ReportField(query.out, "====Record Summary", "Total:"), firstRunBytes / kRecordSize);
}

}  // namespace
}  // namespace skerry::e2e
