// `skerry -Q d:` reports every record of the volume, in the report's layout,
// with the figures that The Sleuth Kit finds for the same volume.

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <stdexcept>

#include "device_directory.h"
#include "e2e_environment.h"
#include "sleuth_kit.h"
#include "test_disks.h"

namespace skerry::e2e {
namespace {

struct RecordBlock {
  std::array<uint64_t, 8> attributeClasses{};
  std::array<uint64_t, 4> nameTypes{};
  uint64_t files = 0;
  uint64_t directories = 0;
  uint64_t realSize = 0;
  uint64_t allocatedSize = 0;
};

struct QueryReport {
  std::vector<std::string> listing;  // header and lines of the system-file listing
  uint64_t active = 0;
  uint64_t free = 0;
  uint64_t total = 0;
  uint64_t fragments = 0;
  std::vector<uint64_t> attributeCounts;  // types 0x10 to 0xE0
  RecordBlock activeRecords;
  RecordBlock freeRecords;
};

// Reads one report line by line and refuses any departure from its layout.
class ReportReader {
 public:
  explicit ReportReader(const std::string& text) : lines_(SplitLines(text)) {}

  void Expect(const std::string& line) {
    if (Next() != line) Fail("expected \"" + line + "\"");
  }
  // A label right-aligned in `labelWidth` characters, then a number
  // right-aligned in 15.
  uint64_t Field(const std::string& label, size_t labelWidth) {
    const std::string line = Next();
    const std::string expectedLabel = std::string(labelWidth - label.size(), ' ') + label;
    if (line.compare(0, labelWidth, expectedLabel) != 0) Fail("expected the label " + label);
    const std::string value = line.substr(labelWidth);
    const size_t digits = value.find_first_not_of(' ');
    if (digits == std::string::npos || value.size() < 15 || (value.size() > 15 && digits != 0) ||
        value.find_first_not_of("0123456789", digits) != std::string::npos) {
      Fail("a number right-aligned in 15 characters");
    }
    return std::stoull(value.substr(digits));
  }
  std::vector<std::string> LinesUntil(const std::string& blank, const std::string& heading) {
    std::vector<std::string> lines;
    while (!(Peek(0) == blank && Peek(1) == heading)) {
      if (position_ >= lines_.size()) Fail("the heading " + heading);
      lines.push_back(Next());
    }
    return lines;
  }
  void ExpectEnd() {
    if (position_ != lines_.size()) Fail("the end of the report");
  }

 private:
  std::string Peek(size_t ahead) const {
    return position_ + ahead < lines_.size() ? lines_[position_ + ahead] : std::string();
  }
  std::string Next() {
    if (position_ >= lines_.size()) Fail("more lines");
    return lines_[position_++];
  }
  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error("report line " + std::to_string(position_) + ": " + what +
                             ", found \"" + Peek(0) + "\"");
  }

  std::vector<std::string> lines_;
  size_t position_ = 0;
};

RecordBlock ReadBlock(ReportReader& reader) {
  RecordBlock block;
  reader.Expect("  --ATTRIBUTES (count)--");
  size_t i = 0;
  for (const char* label :
       {"Normal:", "ReadOnly(R):", "Hidden(H):", "R&H:", "System(S):", "S&R:", "S&H:", "S&R&H:"}) {
    block.attributeClasses[i++] = reader.Field(label, 21);
  }
  reader.Expect("");
  reader.Expect("  --NAME TYPES (count)--");
  i = 0;
  for (const char* label : {"POSIX:", "Unicode:", "DOS:", "Unicode&DOS:"}) {
    block.nameTypes[i++] = reader.Field(label, 21);
  }
  reader.Expect("");
  reader.Expect("  --TYPE (count)--");
  block.files = reader.Field("File:", 21);
  block.directories = reader.Field("Directory:", 21);
  reader.Expect("");
  reader.Expect("  --SIZE--");
  block.realSize = reader.Field("Real:", 21);
  block.allocatedSize = reader.Field("Allocated:", 21);
  return block;
}

// Takes one complete report of drive `drive` from the front of `reader`.
QueryReport ReadReport(ReportReader& reader, const std::string& drive) {
  QueryReport report;
  reader.Expect("");
  reader.Expect("MFT Information for volume " + drive);
  reader.Expect("");
  reader.Expect("");
  reader.Expect("====System/Hidden Files====");
  report.listing = reader.LinesUntil("", "====Record Summary (Count)====");
  reader.Expect("");
  reader.Expect("====Record Summary (Count)====");
  report.active = reader.Field("Active:", 21);
  report.free = reader.Field("Free:", 21);
  report.total = reader.Field("Total:", 21);
  report.fragments = reader.Field("Fragments:", 21);
  reader.Expect("");
  reader.Expect("====MFT Information (Record Count)====");
  for (const char* label :
       {"Standard Information", "Attribute List", "File Name", "Volume Version",
        "Security Descriptor", "Volume Name", "Volume Information", "Data", "Index Root",
        "Index Allocation", "Bitmap", "Symbolic Link", "Extended Attribute", "EA"}) {
    report.attributeCounts.push_back(reader.Field(label, 21));
  }
  reader.Expect("");
  reader.Expect("====Active Records====");
  report.activeRecords = ReadBlock(reader);
  reader.Expect("");
  reader.Expect("====Free(deleted) Records====");
  report.freeRecords = ReadBlock(reader);
  return report;
}

QueryReport ParseReport(const std::string& text, const std::string& drive) {
  ReportReader reader(text);
  QueryReport report = ReadReport(reader, drive);
  reader.ExpectEnd();
  return report;
}

uint64_t Sum(const auto& counters) {
  return std::accumulate(counters.begin(), counters.end(), 0ull);
}

void ExpectBlockAddsUp(const RecordBlock& block, uint64_t records) {
  EXPECT_EQ(Sum(block.attributeClasses), records);
  EXPECT_EQ(Sum(block.nameTypes), records);
  EXPECT_EQ(block.files + block.directories, records);
}

std::string RunChecked(const std::vector<std::string>& argv) {
  const ProcessResult result = RunProcess(argv);
  if (result.status != 0) throw std::runtime_error(argv[0] + " failed: " + result.err);
  return result.out;
}

struct RecordAllocation {
  uint64_t allocated = 0;
  uint64_t unallocated = 0;
};

// ils's view of the MFT entries. The Sleuth Kit numbers one virtual directory
// of its own right after the last record, at the end of fsstat's range.
RecordAllocation SleuthKitAllocation(const std::string& image, uint64_t startSector) {
  const std::string offset = std::to_string(startSector);
  uint64_t virtualEntries = 0;
  for (const std::string& line : SplitLines(RunChecked({"fsstat", "-o", offset, image}))) {
    if (line.rfind("Range: 0 - ", 0) == 0) virtualEntries = std::stoull(line.substr(11));
  }
  if (virtualEntries == 0) throw std::runtime_error("fsstat shows no range of entries");
  RecordAllocation allocation;
  for (const std::string& line : SplitLines(RunChecked({"ils", "-e", "-o", offset, image}))) {
    // st_ino|st_alloc|...
    const size_t bar = line.find('|');
    if (bar == std::string::npos || bar == 0 || line.size() < bar + 2 ||
        line.find_first_not_of("0123456789") != bar) {
      continue;
    }
    if (std::stoull(line.substr(0, bar)) >= virtualEntries) continue;
    if (line[bar + 1] == 'a') ++allocation.allocated;
    if (line[bar + 1] == 'f') ++allocation.unallocated;
  }
  return allocation;
}

struct Volume {
  std::string image;
  int partition = 1;  // skerry's numbering
  uint64_t startSector = 0;
};

ProcessResult RunQuery(const Volume& volume, std::vector<std::string> options = {}) {
  DeviceDirectory devices;
  devices.AddDisk(1, volume.image);
  devices.MapDrive('d', 1, volume.partition);
  options.push_back("-Q");
  options.push_back("d:");
  return devices.RunSkerry(options);
}

struct VolumeCase {
  const char* name;
  std::function<Volume()> find;  // an empty image: not available here
};

Volume BuilderVolume(const char* disk, int partition, int ntfsIndex) {
  const TestDisk built = BuildTestDisk(disk);
  return {built.image, partition, built.NtfsPartition(ntfsIndex).startSector};
}

Volume SampleVolume(const char* sample, int partition, uint64_t startSector) {
  return {ForensicsSample(sample), partition, startSector};
}

class QueryReportOf : public testing::TestWithParam<VolumeCase> {};

TEST_P(QueryReportOf, CountsEveryRecordAsTheSleuthKitDoes) {
  const Volume volume = GetParam().find();
  if (volume.image.empty()) GTEST_SKIP() << "the sample's package is not installed";
  const ProcessResult result = RunQuery(volume);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const QueryReport report = ParseReport(result.out, "D:");

  // Every volume lists at least the MFT itself among its system files.
  ASSERT_GE(report.listing.size(), 2u);
  EXPECT_EQ(report.listing[0].substr(report.listing[0].size() - 4), "Path");
  EXPECT_NE(std::find_if(report.listing.begin(), report.listing.end(),
                         [](const std::string& line) { return line.ends_with(" D:\\$MFT"); }),
            report.listing.end());

  const RecordAllocation allocation = SleuthKitAllocation(volume.image, volume.startSector);
  EXPECT_EQ(report.active, allocation.allocated);
  EXPECT_EQ(report.free, allocation.unallocated);
  EXPECT_EQ(report.total, report.active + report.free);
  EXPECT_EQ(report.fragments, MftDataRuns(volume.image, volume.startSector).size());
  {
    SCOPED_TRACE("active records");
    ExpectBlockAddsUp(report.activeRecords, report.active);
  }
  {
    SCOPED_TRACE("free records");
    ExpectBlockAddsUp(report.freeRecords, report.free);
  }
  // Every record has $STANDARD_INFORMATION and the MFT has $DATA.
  EXPECT_GT(report.attributeCounts[0], 0u);
  EXPECT_GT(report.attributeCounts[7], 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Volumes, QueryReportOf,
    testing::Values(
        VolumeCase{"SampleDisk", [] { return BuilderVolume("sample", 1, 1); }},
        VolumeCase{"EverydayDisk", [] { return BuilderVolume("everyday", 1, 1); }},
        VolumeCase{"FragmentedMft", [] { return BuilderVolume("fragmented-mft", 1, 1); }},
        VolumeCase{"LogicalPartition", [] { return BuilderVolume("mbr-extended", 4, 3); }},
        VolumeCase{"DebianNtfsSample", [] { return SampleVolume("fs.ntfs", 1, 2048); }},
        VolumeCase{"DebianMultipleSample", [] { return SampleVolume("fs.multiple", 4, 391168); }}),
    [](const auto& testParam) { return std::string(testParam.param.name); });

TEST(QueryReport, RecordFiltersChangeNothingAndADirectoryPatternOnlyTheListing) {
  const Volume volume = BuilderVolume("sample", 1, 1);
  const ProcessResult plain = RunQuery(volume);
  ASSERT_EQ(plain.status, 0) << plain.err;
  for (const std::vector<std::string>& options : {std::vector<std::string>{"-s", "1000"},
                                                  {"-t", "-7"},
                                                  {"-d", "1"},
                                                  {"-f", "*.nothing"},
                                                  {"-s", "0", "-d", "0", "-f", "x*"},
                                                  {"-I", "-T", "-S", "-A", "-D"}}) {
    SCOPED_TRACE(options[0] + " " + options[1]);
    const ProcessResult filtered = RunQuery(volume, options);
    EXPECT_EQ(filtered.status, 0) << filtered.err;
    EXPECT_EQ(filtered.out, plain.out);
  }

  const ProcessResult narrowed = RunQuery(volume, {"-f", "\\$Extend\\*"});
  ASSERT_EQ(narrowed.status, 0) << narrowed.err;
  const QueryReport all = ParseReport(plain.out, "D:");
  const QueryReport some = ParseReport(narrowed.out, "D:");
  EXPECT_LT(some.listing.size(), all.listing.size());
  EXPECT_GT(some.listing.size(), 1u);
  for (size_t i = 1; i < some.listing.size(); ++i) {
    EXPECT_NE(some.listing[i].find(" D:\\$Extend\\"), std::string::npos) << some.listing[i];
  }
  // Everything after the listing is the same.
  EXPECT_EQ(narrowed.out.substr(narrowed.out.find("\n====Record Summary")),
            plain.out.substr(plain.out.find("\n====Record Summary")));
}

TEST(QueryReport, TwoDrivesGiveTwoCompleteReportsEachCountedFromZero) {
  const Volume first = BuilderVolume("sample", 1, 1);
  const Volume second = BuilderVolume("fragmented-mft", 1, 1);
  DeviceDirectory devices;
  devices.AddDisk(1, first.image);
  devices.AddDisk(2, second.image);
  devices.MapDrive('d', 1, first.partition);
  devices.MapDrive('e', 2, second.partition);
  const ProcessResult both = devices.RunSkerry({"-Q", "d:", "e:"});
  ASSERT_EQ(both.status, 0) << both.err;

  ReportReader reader(both.out);
  const QueryReport d = ReadReport(reader, "D:");
  const QueryReport e = ReadReport(reader, "E:");
  reader.ExpectEnd();
  EXPECT_EQ(d.total, ParseReport(RunQuery(first).out, "D:").total);
  EXPECT_EQ(e.total, ParseReport(RunQuery(second).out, "D:").total);
}

// Writes `description` into the work directory and builds it afresh.
std::string BuildDescribedDisk(const std::string& name, const std::string& description) {
  const std::filesystem::path directory = std::filesystem::path(kWorkDirectory) / "query";
  std::filesystem::create_directories(directory);
  const std::string descriptionPath = (directory / (name + ".disk")).string();
  std::ofstream(descriptionPath) << description;
  const std::string image = (directory / (name + ".img")).string();
  RunDiskBuilder(descriptionPath, image);
  return image;
}

constexpr char kSmallVolume[] =
    "disk size=8MiB time=2023-06-01T12:00:00\n"
    "partition type=0x07 start=1MiB size=6MiB fs=ntfs cluster=4096 label=Q\n"
    "dir \\d\n"
    "file \\d\\plain.txt size=10\n";

// Two volumes that differ in a few files of chosen attributes and names: the
// report of the second moves the lines of those files and no other.
TEST(QueryReport, AttributeClassesAndNameTypesFollowTheFilesAdded) {
  const std::string base = BuildDescribedDisk("base", kSmallVolume);
  const std::string more =
      BuildDescribedDisk("more", std::string(kSmallVolume) +
                                     "file \\d\\ro.txt size=10 attr=r\n"
                                     "file \\d\\hid.txt size=10 attr=h\n"
                                     "dir \\d\\hidden-dir attr=h\n"
                                     "file \\d\\sys.txt size=10 attr=s\n"
                                     "file \\d\\hs.txt size=10 attr=hs\n"
                                     "file \\d\\all.txt size=10 attr=rhsa\n"
                                     "file \\d\\archived.txt size=10 attr=a\n"
                                     "file \"\\d\\Long File Name.txt\" size=10 dos=LONGFI~1.TXT\n"
                                     "file \"\\d\\a b\" size=10 dos=AB~1\n"
                                     "file \\d\\SHORT.TXT size=10 dos=SHORT.TXT\n");
  const std::vector<ManifestPartition> manifest = LoadManifest(more + ".manifest");
  const uint64_t start = manifest.at(0).startSector;
  const QueryReport before = ParseReport(RunQuery({base, 1, start}).out, "D:");
  const QueryReport after = ParseReport(RunQuery({more, 1, start}).out, "D:");

  const RecordBlock& b = before.activeRecords;
  const RecordBlock& a = after.activeRecords;
  EXPECT_EQ(after.active - before.active, 10u);
  EXPECT_EQ(a.attributeClasses[0] - b.attributeClasses[0], 4u);  // archived and the DOS-named
  EXPECT_EQ(a.attributeClasses[1] - b.attributeClasses[1], 1u);  // R
  EXPECT_EQ(a.attributeClasses[2] - b.attributeClasses[2], 2u);  // H, a file and a directory
  EXPECT_EQ(a.attributeClasses[3], b.attributeClasses[3]);       // R&H
  EXPECT_EQ(a.attributeClasses[4] - b.attributeClasses[4], 1u);  // S
  EXPECT_EQ(a.attributeClasses[5], b.attributeClasses[5]);       // S&R
  EXPECT_EQ(a.attributeClasses[6] - b.attributeClasses[6], 1u);  // S&H
  EXPECT_EQ(a.attributeClasses[7] - b.attributeClasses[7], 1u);  // S&R&H
  EXPECT_EQ(a.directories - b.directories, 1u);
  EXPECT_EQ(a.files - b.files, 9u);

  // A long name with a DOS name has two $FILE_NAME attributes, a Win32 and a
  // DOS one, and the record counts under the Win32 one, whichever it holds
  // last; a name that is its own DOS name is one Win32&DOS attribute.
  uint64_t dosLast = 0;
  uint64_t win32Last = 0;
  for (const ManifestName& name : manifest.at(0).names) {
    if (name.dosName.empty() || name.path == "\\d\\SHORT.TXT") continue;
    const std::vector<FileNameOfRecord> names = RecordFileNames(more, start, name.record);
    ASSERT_EQ(names.size(), 2u) << name.path;
    ++(names.back().name == name.dosName ? dosLast : win32Last);
  }
  EXPECT_EQ(dosLast + win32Last, 2u);
  // "a b" sorts its shorter Win32 name first, so its DOS name comes last.
  EXPECT_GE(dosLast, 1u) << "no record holds its DOS name last";
  EXPECT_EQ(a.nameTypes[2], b.nameTypes[2]);
  EXPECT_EQ(a.nameTypes[3] - b.nameTypes[3], 1u);
  EXPECT_EQ(Sum(a.nameTypes) - Sum(b.nameTypes), 10u);
}

TEST(QueryReport, AVolumeThatCannotBeMountedGetsTheTitleAndTheErrorLine) {
  const std::string image = BuildDescribedDisk(
      "not-ntfs", "disk size=8MiB\npartition type=0x07 start=1MiB size=4MiB fs=none\n");
  const ProcessResult result = RunQuery({image, 1, 2048});
  EXPECT_EQ(result.status, 15);  // the drive cannot be found: no NTFS boot sector
  EXPECT_EQ(result.out, "\nMFT Information for volume D:\n\n\n====System/Hidden Files====\n");
  EXPECT_TRUE(result.err.starts_with("Error ")) << result.err;
}

}  // namespace
}  // namespace skerry::e2e
