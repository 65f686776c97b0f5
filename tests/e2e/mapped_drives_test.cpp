// Drives mapped on the command line (d:=PATH, d:=PATH@P) and bare volume
// images, against the device directory's mapping of the same partition; and
// the line that follows the "Error " line for each way a mapping can fail.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "device_directory.h"
#include "e2e_environment.h"
#include "process_runner.h"
#include "test_disks.h"

namespace skerry::e2e {
namespace {

namespace fs = std::filesystem;

constexpr int kNotFound = 1168 & 0xFF;
constexpr int kInvalidParameter = 87;

ProcessResult RunSkerry(const std::vector<std::string>& arguments,
                        const std::string& deviceDirectory = "/nonexistent-skerry-devices") {
  // A drive that could block would hang the test: `timeout` ends it instead.
  std::vector<std::string> argv = {"timeout", "60", kSkerryBinary};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return RunProcess(argv, {{"SKERRY_DOSDEVICES", deviceDirectory}});
}

// The listing of partition `partition` through the device directory.
ProcessResult ThroughDeviceDirectory(const std::string& image, int partition,
                                     const std::vector<std::string>& options = {}) {
  DeviceDirectory devices;
  devices.AddDisk(1, image);
  devices.MapDrive('d', 1, partition);
  std::vector<std::string> arguments = options;
  arguments.push_back("d:");
  return devices.RunSkerry(arguments);
}

// The lines of the error stream with text (the system's message ends with its
// own line end, so the "Error " line is followed by an empty one).
std::vector<std::string> ErrorLines(const ProcessResult& result) {
  std::vector<std::string> lines;
  for (const std::string& line : SplitLines(result.err)) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// The line after the "Error " line: what was tried and what was found.
std::string DetailLine(const ProcessResult& result) {
  const std::vector<std::string> lines = ErrorLines(result);
  EXPECT_GE(lines.size(), 2u) << result.err;
  EXPECT_EQ(result.err.rfind("Error ", 0), 0u) << result.err;
  return lines.size() >= 2 ? lines[1] : "";
}

// Partitions of a disk copied into a file of their own.
std::string CutVolume(const std::string& image, uint64_t startSector, uint64_t sectorCount,
                      const std::string& name) {
  const std::string volume = (fs::path(kWorkDirectory) / name).string();
  std::ifstream in(image, std::ios::binary);
  std::ofstream out(volume, std::ios::binary | std::ios::trunc);
  in.seekg(static_cast<std::streamoff>(startSector * 512));
  std::vector<char> buffer(1 << 20);
  for (uint64_t left = sectorCount * 512; left > 0 && in;) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
    in.read(buffer.data(), static_cast<std::streamsize>(chunk));
    out.write(buffer.data(), in.gcount());
    left -= static_cast<uint64_t>(in.gcount());
  }
  return volume;
}

TEST(MappedDrives, ListTheSameLinesAsTheDeviceDirectory) {
  const TestDisk disk = BuildTestDisk("mbr-extended");
  for (int partition : {1, 2, 4}) {
    SCOPED_TRACE(partition);
    const ProcessResult mapped = RunSkerry({"-ISTD", "d:=" + disk.image + "@" + std::to_string(partition)});
    const ProcessResult listed = ThroughDeviceDirectory(disk.image, partition, {"-ISTD"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(mapped.status, 0) << mapped.err;
    EXPECT_EQ(mapped.out, listed.out);
  }
  // Mixed with a device-directory drive, and -Q through the mapping.
  DeviceDirectory devices;
  devices.AddDisk(1, disk.image);
  devices.MapDrive('e', 1, 2);
  const ProcessResult both = devices.RunSkerry({"-f", "*.txt", "d:=" + disk.image + "@1", "e:"});
  EXPECT_EQ(both.status, 0) << both.err;
  EXPECT_NE(both.out.find("D:\\primary.txt"), std::string::npos) << both.out;
  EXPECT_NE(both.out.find("E:\\first-logical.txt"), std::string::npos) << both.out;
  const ProcessResult query = RunSkerry({"-Q", "d:=" + disk.image + "@4"});
  EXPECT_EQ(query.status, 0) << query.err;
  EXPECT_EQ(query.out, ThroughDeviceDirectory(disk.image, 4, {"-Q"}).out);
}

// The boot sector decides, not the type byte: the first logical partition
// retyped 0x83 (Linux) still lists, under the same number.
TEST(MappedDrives, NtfsVolumeInAPartitionOfAnotherType) {
  const TestDisk disk = BuildTestDisk("mbr-extended");
  const std::string retyped = (fs::path(kWorkDirectory) / "retyped-logical.img").string();
  fs::copy_file(disk.image, retyped, fs::copy_options::overwrite_existing);
  const uint64_t extendedBase = disk.partitions.at(1).startSector;  // the first record's sector
  {
    std::fstream io(retyped, std::ios::in | std::ios::out | std::ios::binary);
    io.seekp(static_cast<std::streamoff>(extendedBase * 512 + 446 + 4));
    ASSERT_EQ(io.peek(), 0x07);
    io.put(static_cast<char>(0x83));
  }
  const ProcessResult sound = RunSkerry({"-S", "d:=" + disk.image + "@2"});
  const ProcessResult result = RunSkerry({"-S", "d:=" + retyped + "@2"});
  ASSERT_EQ(sound.status, 0) << sound.err;
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, sound.out);
  fs::remove(retyped);
}

// Without @P a disk with one NTFS volume gives that volume: fs.multiple's
// exFAT partition is typed 0x07 but its boot sector says exFAT.
TEST(MappedDrives, DebianSamplesWithoutPartitionNumber) {
  struct Sample {
    const char* name;
    int partition;
  };
  for (const Sample& sample : {Sample{"fs.ntfs", 1}, Sample{"fs.multiple", 4}}) {
    SCOPED_TRACE(sample.name);
    const std::string image = ForensicsSample(sample.name);
    if (image.empty()) continue;
    const ProcessResult mapped = RunSkerry({"-S", "d:=" + image});
    const ProcessResult listed = ThroughDeviceDirectory(image, sample.partition, {"-S"});
    EXPECT_EQ(mapped.status, listed.status) << mapped.err;
    EXPECT_EQ(mapped.out, listed.out);
  }
  const std::string multiple = ForensicsSample("fs.multiple");
  if (multiple.empty()) GTEST_SKIP() << "forensics-samples-multiple is not installed";
  const ProcessResult exfat = RunSkerry({"d:=" + multiple + "@3"});
  EXPECT_EQ(exfat.status, 15) << exfat.err;
  EXPECT_NE(DetailLine(exfat).find("(type 0x07) holds exFAT, not NTFS"), std::string::npos)
      << exfat.err;
}

TEST(MappedDrives, SeveralNtfsVolumesAreListedForTheUserToChoose) {
  const TestDisk disk = BuildTestDisk("mbr-extended");
  const ProcessResult result = RunSkerry({"d:=" + disk.image});
  EXPECT_EQ(result.status, kInvalidParameter) << result.err;
  EXPECT_NE(DetailLine(result).find("holds 3 NTFS volumes; choose one with d:=" + disk.image + "@P"),
            std::string::npos);
  for (const char* line : {"\n  @1  start sector 2048, 24 MiB, type 0x07, NTFS \"PRIMARY\"\n",
                           ", type 0x83, FAT32\n", "NTFS \"LOGICAL3\"\n"}) {
    EXPECT_NE(result.err.find(line), std::string::npos) << line << " in " << result.err;
  }
  EXPECT_EQ(result.out, "");
}

// A copy of the partition alone reads the same, mapped either way.
TEST(MappedDrives, BareVolumeImage) {
  const TestDisk disk = BuildTestDisk("sample");
  const ManifestPartition& partition = disk.NtfsPartition(1);
  const std::string volume =
      CutVolume(disk.image, partition.startSector, partition.sectorCount, "bare-volume.img");
  const ProcessResult listed = ThroughDeviceDirectory(disk.image, 1, {"-ST"});
  ASSERT_EQ(listed.status, 0) << listed.err;

  const ProcessResult mapped = RunSkerry({"-ST", "d:=" + volume});
  EXPECT_EQ(mapped.status, 0) << mapped.err;
  EXPECT_EQ(mapped.out, listed.out);

  DeviceDirectory devices;
  fs::create_symlink(volume, fs::path(devices.path()) / "d::");
  const ProcessResult linked = devices.RunSkerry({"-ST", "d:"});
  EXPECT_EQ(linked.status, 0) << linked.err;
  EXPECT_EQ(linked.out, listed.out);
  fs::remove(volume);
}

// Each way a mapping fails: the "Error " line, then one line that names the
// path tried and what was found there.
TEST(MappedDrives, FailuresSayWhatWasFound) {
  const TestDisk sample = BuildTestDisk("sample");
  const TestDisk extended = BuildTestDisk("mbr-extended");
  DeviceDirectory devices;
  const fs::path dir = devices.path();
  fs::create_symlink("/nonexistent-skerry-target/disk.img", dir / "e::");
  fs::create_symlink(sample.image, dir / "f::");
  ASSERT_EQ(::mkfifo((dir / "g::").c_str(), 0600), 0);
  fs::create_symlink("/dev/tty", dir / "h::");
  ASSERT_EQ(::mkfifo((dir / "physicaldrive3").c_str(), 0600), 0);
  fs::create_symlink("physicaldrive3/partition1", dir / "i::");
  const std::string unreadable = (fs::path(kWorkDirectory) / "unreadable.img").string();
  fs::copy_file(sample.image, unreadable, fs::copy_options::overwrite_existing);
  fs::permissions(unreadable, fs::perms::none);

  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    std::string deviceDirectory;
    int status;
    std::string detail;
  };
  const std::vector<Case> cases = {
      {"no device directory", {"d:"}, "/nonexistent-skerry-devices", 2,
       "no device directory /nonexistent-skerry-devices (looked in $SKERRY_DOSDEVICES)"},
      {"no entry for the letter", {"q:"}, devices.path(), 2, "no entry q:: in " + devices.path()},
      {"link that does not resolve", {"e:"}, devices.path(), 2,
       "links to /nonexistent-skerry-target/disk.img, which does not exist"},
      {"link straight to a disk image", {"f:"}, devices.path(), 50,
       "link f:: to physicaldriveN/partitionP, or use f:=" + sample.image + "@P"},
      {"FIFO as a volume", {"g:"}, devices.path(), 50, "is a FIFO, not a disk or a disk image"},
      {"terminal as a volume", {"h:"}, devices.path(), 50,
       "is a character device, not a disk or a disk image"},
      {"FIFO as a disk", {"i:"}, devices.path(), 50, "physicaldrive3 in " + devices.path() +
       " is a FIFO"},
      {"partition beyond the table", {"d:=" + sample.image + "@7"}, "", kNotFound,
       "partition 7 of " + sample.image + " does not exist: the disk has 1 partition"},
      {"partition that is not NTFS", {"d:=" + extended.image + "@3"}, "", 15,
       "partition 3 of " + extended.image + " (type 0x83) holds FAT32, not NTFS"},
      {"-z with a mapped drive", {"-z", "d:=" + sample.image}, "", kInvalidParameter,
       "-z walks directories through the system"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ProcessResult result = c.deviceDirectory.empty()
                                     ? RunSkerry(c.arguments)
                                     : RunSkerry(c.arguments, c.deviceDirectory);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_NE(DetailLine(result).find(c.detail), std::string::npos) << result.err;
    EXPECT_EQ(ErrorLines(result).size(), 2u) << result.err;
  }

  // Root reads whatever the permissions say.
  if (::geteuid() != 0) {
    const ProcessResult result = RunSkerry({"d:=" + unreadable});
    EXPECT_EQ(result.status, 5) << result.err;
    EXPECT_NE(DetailLine(result).find(unreadable + ": permission denied (raw disks need root or "
                                                   "membership of the disk group)"),
              std::string::npos);
  }
  fs::permissions(unreadable, fs::perms::owner_all);
  fs::remove(unreadable);
}

}  // namespace
}  // namespace skerry::e2e
