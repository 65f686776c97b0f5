// `skerry d:` on the builder's disks: the filters narrow the listing as the
// usage text's examples say, directory records read from memory or from the
// disk give the same listing, and a damaged record hides nothing else.

#include <gtest/gtest.h>

#include <chrono>
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
using Paths = std::set<std::string>;

// ERROR_FILE_CORRUPT (1392) as a Linux exit status, which keeps the low 8 bits.
constexpr int kFileCorruptStatus = 1392 & 0xFF;

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string DirectoryOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }

// The paths that skerry prints for the builder's files: one per record, the
// last name the record was given.
std::map<uint64_t, std::string> PrintedNames(const ManifestPartition& partition) {
  std::map<uint64_t, std::string> names;
  for (const ManifestName& name : partition.names) {
    if (name.kind != "deleted") names[name.record] = name.path;
  }
  return names;
}

class SampleDiskListing : public testing::Test {
 protected:
  static void SetUpTestSuite() { disk_ = new TestDisk(BuildTestDisk("sample")); }
  static void TearDownTestSuite() {
    delete disk_;
    disk_ = nullptr;
  }

  // Runs skerry on the sample disk as drive D: and returns the paths of the
  // builder's files it printed (without the drive, the header and the
  // volume's own files).
  Paths Run(const std::vector<std::string>& arguments, const std::string& image = "") {
    DeviceDirectory devices;
    devices.AddDisk(1, image.empty() ? disk_->image : image);
    devices.MapDrive('d', 1, 1);
    last_ = devices.RunSkerry(arguments);
    Paths paths;
    for (const std::string& line : SplitLines(last_.out)) {
      // The path follows the columns, if any.
      const size_t at = line.find("D:\\");
      if (at == std::string::npos || (at > 0 && line[at - 1] != ' ')) continue;
      const std::string path = line.substr(at + 2);
      if (path.find("\\$") == std::string::npos && path != "\\.") paths.insert(path);
    }
    return paths;
  }
  Paths Expected(bool (*keep)(const std::string& path)) const {
    Paths paths;
    for (const auto& [record, path] : PrintedNames(disk_->NtfsPartition(1))) {
      if (keep(path)) paths.insert(path);
    }
    return paths;
  }

  static TestDisk* disk_;
  ProcessResult last_;
};

TestDisk* SampleDiskListing::disk_ = nullptr;

TEST_F(SampleDiskListing, NamePatternsAndTheirInversion) {
  const Paths everything = Expected([](const std::string&) { return true; });
  EXPECT_EQ(Run({"d:"}), everything);
  EXPECT_EQ(last_.status, 0) << last_.err;

  const Paths text = Expected([](const std::string& p) { return EndsWith(Lower(p), ".txt"); });
  EXPECT_EQ(Run({"-f", "*.txt", "d:"}), text);
  EXPECT_EQ(last_.status, 0) << last_.err;

  Paths notText;
  for (const std::string& path : everything) {
    if (text.count(path) == 0) notText.insert(path);
  }
  EXPECT_EQ(Run({"-!f", "*.txt", "d:"}), notText);

  // After a directory, the name part restricts the name; "*.*" takes every one.
  EXPECT_EQ(Run({"-f", "\\*\\arch*\\*.txt", "d:"}), Paths{"\\docs\\archive\\old-report.txt"});
  EXPECT_EQ(Run({"-f", "\\*\\arch*\\*.*", "d:"}),
            (Paths{"\\docs\\archive\\old-report.txt", "\\docs\\archive\\letter.doc",
                   "\\docs\\archive\\backup.zip"}));
  // Inverted, each part on its own: neither in \docs nor named *.txt.
  EXPECT_EQ(Run({"-!f", "\\docs\\*.txt", "d:"}),
            Expected([](const std::string& p) {
              return DirectoryOf(p) != "\\docs" && !EndsWith(Lower(p), ".txt");
            }));
  EXPECT_EQ(Run({"-f", "\\*\\arch*\\l*", "d:"}), Paths{"\\docs\\archive\\letter.doc"});
  EXPECT_EQ(Run({"-f", "m*", "d:"}),
            (Paths{"\\docs\\Meeting Minutes.txt", "\\photos\\2022\\mountains.jpg",
                   "\\src\\main.cpp", "\\src\\main.h", "\\src\\Makefile"}));
}

TEST_F(SampleDiskListing, DriveArgumentWithAPathPart) {
  EXPECT_EQ(Run({"d:\\docs\\r*"}), (Paths{"\\docs\\readme.txt", "\\docs\\report-2021.txt"}));
  EXPECT_EQ(last_.status, 0) << last_.err;
  // The directory is matched whole, so its subdirectories' files stay out.
  EXPECT_EQ(Run({"d:\\docs\\*.txt"}), Expected([](const std::string& p) {
              return DirectoryOf(p) == "\\docs" && EndsWith(Lower(p), ".txt");
            }));
  EXPECT_EQ(Run({"d:\\photos\\*"}), (Paths{"\\photos\\2022", "\\photos\\2023"}));
  // Patterns of -f and of the drive argument both apply.
  EXPECT_EQ(Run({"-f", "*.jpg", "d:\\photos\\2023\\*"}), Paths{"\\photos\\2023\\party.jpg"});
}

// -A takes letters only after "=": a drive argument or an option after it is
// read on its own (else d: would be consumed and c: scanned).
TEST_F(SampleDiskListing, AttributeOptionLeavesWhatFollowsItToBeRead) {
  const Paths everything = Run({"d:"});
  EXPECT_EQ(Run({"-ITSA", "d:"}), everything);
  EXPECT_EQ(last_.status, 0) << last_.err;
  EXPECT_EQ(Run({"-A", "=h", "d:"}),
            (Paths{"\\system\\config.sys", "\\system\\boot.ini", "\\system\\hidden.dat",
                   "\\.hidden-start"}));
  EXPECT_EQ(last_.status, 0) << last_.err;
  const auto hiddenLine = [this] {
    for (const std::string& line : SplitLines(last_.out)) {
      if (line.ends_with(" D:\\system\\hidden.dat")) return line;
    }
    return std::string();
  };
  EXPECT_EQ(Run({"-A", "-S", "d:"}), everything);
  EXPECT_EQ(last_.status, 0) << last_.err;
  const std::string withSize = hiddenLine();
  Run({"-A", "d:"});
  // -S was read as an option: its column (5000 bytes) came on.
  EXPECT_GT(withSize.size(), hiddenLine().size() + 4) << withSize;
}

// Sizes and times as the disk's description gives them.
TEST_F(SampleDiskListing, SizeAgeAndStreamCountFilters) {
  const Paths larger = {"\\docs\\notes.txt", "\\src\\util.cpp", "\\system\\hidden.dat",
                        "\\pagefile.bin", "\\docs\\archive\\backup.zip"};
  const Paths smaller = {"\\docs\\budget.csv", "\\docs\\todo.txt", "\\src\\main.h", "\\hello.txt",
                         "\\system\\boot.ini"};
  const Paths overThousand = Run({"-s", "1000", "d:"});
  const Paths underThousand = Run({"-s", "-1000", "d:"});
  for (const std::string& path : larger) {
    EXPECT_TRUE(overThousand.count(path)) << path;
    EXPECT_FALSE(underThousand.count(path)) << path;
  }
  for (const std::string& path : smaller) {
    EXPECT_FALSE(overThousand.count(path)) << path;
    EXPECT_TRUE(underThousand.count(path)) << path;
  }

  // -t N: modified more than N days ago; -t -N: less than N days ago. N is
  // the age of 2022-06-01, between the disk's old and new files.
  const auto cut = std::chrono::sys_days(std::chrono::year(2022) / 6 / 1);
  const double days =
      std::chrono::duration<double, std::ratio<86400>>(std::chrono::system_clock::now() - cut)
          .count();
  const std::string age = std::to_string(days);
  const Paths older = Run({"-t", age, "d:"});
  const Paths newer = Run({"-t", "-" + age, "d:"});
  const Paths old = {"\\docs\\report-2021.txt", "\\docs\\archive\\letter.doc",
                     "\\system\\config.sys", "\\docs\\archive"};
  const Paths recent = {"\\docs\\readme.txt", "\\hello.txt", "\\docs\\todo.txt",
                        "\\src\\build.log"};
  for (const std::string& path : old) {
    EXPECT_TRUE(older.count(path)) << path;
    EXPECT_FALSE(newer.count(path)) << path;
  }
  for (const std::string& path : recent) {
    EXPECT_FALSE(older.count(path)) << path;
    EXPECT_TRUE(newer.count(path)) << path;
  }

  EXPECT_EQ(Run({"-d", "1", "d:"}), (Paths{"\\photos\\2023\\party.jpg", "\\src\\main.cpp"}));
  EXPECT_EQ(last_.status, 0) << last_.err;
}

// A record damaged in the middle of the MFT: the others are all listed, and
// the run ends with the error line and ERROR_FILE_CORRUPT.
TEST_F(SampleDiskListing, DamagedRecordLeavesEveryOtherFileListed) {
  const ManifestPartition& partition = disk_->NtfsPartition(1);
  uint64_t damaged = 0;
  std::string damagedPath;
  for (const ManifestName& name : partition.names) {
    if (name.path == "\\photos\\2023\\party.jpg") {
      damaged = name.record;
      damagedPath = name.path;
    }
  }
  ASSERT_NE(damaged, 0u);
  const std::vector<ClusterRun> runs = MftDataRuns(disk_->image, partition.startSector);
  ASSERT_FALSE(runs.empty());
  constexpr uint64_t kClusterSize = 4096;
  constexpr uint64_t kRecordSize = 1024;
  ASSERT_LT(damaged * kRecordSize, runs[0].length * kClusterSize);

  const fs::path copy = fs::path(kWorkDirectory) / "damaged-sample.img";
  fs::copy_file(disk_->image, copy, fs::copy_options::overwrite_existing);
  {
    std::fstream image(copy, std::ios::in | std::ios::out | std::ios::binary);
    image.seekp(static_cast<std::streamoff>(partition.startSector * 512 +
                                            runs[0].start * kClusterSize + damaged * kRecordSize));
    const std::string garbage(kRecordSize, '\xEE');
    image.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
  }

  Paths expected = Run({"d:"});
  expected.erase(damagedPath);
  EXPECT_EQ(Run({"d:"}, copy.string()), expected);
  EXPECT_EQ(last_.status, kFileCorruptStatus);
  EXPECT_EQ(last_.err.rfind("Error ", 0), 0u) << last_.err;
  fs::remove(copy);
}

// With a name filter the MFT is loaded filtered and directory records are
// read from the disk; without one they come from memory. "-f *" keeps every
// record, so both listings are the same.
TEST(ListingDirectorySources, FilteredAndUnfilteredLoadsListTheSame) {
  for (const char* name : {"edge-names", "fragmented-mft", "sample"}) {
    SCOPED_TRACE(name);
    const TestDisk disk = BuildTestDisk(name);
    DeviceDirectory devices;
    devices.AddDisk(1, disk.image);
    devices.MapDrive('d', 1, 1);
    const ProcessResult plain = devices.RunSkerry({"d:"});
    const ProcessResult filtered = devices.RunSkerry({"-f", "*", "d:"});
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(filtered.status, 0) << filtered.err;
    EXPECT_GT(SplitLines(plain.out).size(), 50u);
    EXPECT_TRUE(plain.out == filtered.out);
  }
}

}  // namespace
}  // namespace skerry::e2e
