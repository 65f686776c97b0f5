#include "disk_image.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "fat32_boot_sector.h"
#include "image_file.h"
#include "ntfs_populator.h"
#include "partition_layout.h"
#include "run_command.h"

namespace skerry::disk_builder {
namespace {

// Removes a temporary file on every way out.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) { std::remove(path_.c_str()); }
  ~TemporaryFile() { std::remove(path_.c_str()); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void FormatNtfs(const std::string& path, const PlacedPartition& placed) {
  {
    ImageFile blank(path, placed.sectorCount * kSectorSize);
    blank.Close();
  }
  const Partition& partition = *placed.partition;
  // -T fixes the times and, with them, the serial number and GUIDs that mkntfs
  // derives from them, so that the same description gives the same bytes.
  std::vector<std::string> argv = {"mkntfs",
                                   "-F",
                                   "-q",
                                   "-Q",
                                   "-T",
                                   "-s",
                                   "512",
                                   "-c",
                                   std::to_string(partition.clusterSize),
                                   "-p",
                                   std::to_string(placed.startSector),
                                   "-H",
                                   "255",
                                   "-S",
                                   "63"};
  if (!partition.label.empty()) {
    argv.push_back("-L");
    argv.push_back(partition.label);
  }
  argv.push_back(path);
  const CommandResult result = RunCommand(argv);
  if (result.status != 0) {
    throw std::runtime_error("line " + std::to_string(partition.line) + ": mkntfs failed:\n" +
                             result.output);
  }
}

void WriteManifestPartition(std::ofstream& manifest, size_t number, const PlacedPartition& placed,
                            const std::vector<CreatedName>& names) {
  const Partition& partition = *placed.partition;
  const char* contents = partition.contents == Contents::kNtfs    ? "ntfs"
                         : partition.contents == Contents::kFat32 ? "fat32"
                         : partition.contents == Contents::kImage ? "image"
                                                                  : "none";
  const char* role = partition.role == PartitionRole::kExtended  ? "extended"
                     : partition.role == PartitionRole::kLogical ? "logical"
                                                                 : "primary";
  manifest << "partition " << number << ' ' << role << " start=" << placed.startSector
           << " sectors=" << placed.sectorCount << " contents=" << contents << '\n';
  for (const CreatedName& name : names) {
    const char* kind = name.state == CreatedName::State::kDeleted ? "deleted"
                       : name.directory                           ? "dir"
                                                                  : "file";
    manifest << kind << ' ' << name.record << ' ' << name.path;
    if (!name.dosName.empty()) manifest << " dos=" << name.dosName;
    manifest << '\n';
  }
}

}  // namespace

void BuildDiskImage(const DiskDescription& disk, const std::string& outputPath) {
  const DiskLayout layout = PlanLayout(disk);
  const std::string temporary = outputPath + ".part-" + std::to_string(::getpid());
  TemporaryFile imageGuard(temporary);
  TemporaryFile manifestGuard(temporary + ".manifest");
  std::ofstream manifest(manifestGuard.path());
  manifest << "# partitions and names as built; records are MFT record numbers\n";
  ImageFile image(temporary, disk.sizeBytes);

  for (size_t i = 0; i < layout.placed.size(); ++i) {
    const PlacedPartition& placed = layout.placed[i];
    const Partition& partition = *placed.partition;
    const uint64_t offset = placed.startSector * kSectorSize;
    std::vector<CreatedName> names;
    switch (partition.contents) {
      case Contents::kNone:
        break;
      case Contents::kFat32:
        image.WriteAt(offset, Fat32BootSector(placed.startSector, placed.sectorCount));
        break;
      case Contents::kImage:
        image.CopyFrom(partition.imagePath, offset, placed.sectorCount * kSectorSize);
        break;
      case Contents::kNtfs: {
        TemporaryFile volume(temporary + ".volume");
        FormatNtfs(volume.path(), placed);
        names = PopulateNtfs(volume.path(), disk, partition);
        image.CopyFrom(volume.path(), offset, placed.sectorCount * kSectorSize);
        break;
      }
    }
    WriteManifestPartition(manifest, i + 1, placed, names);
  }
  for (const SectorWrite& write : PartitionTableSectors(disk, layout)) {
    image.WriteAt(write.sector * kSectorSize, write.bytes);
  }
  image.Close();
  manifest.close();
  if (!manifest) throw std::runtime_error("cannot write " + manifestGuard.path());
  if (std::rename(manifestGuard.path().c_str(), (outputPath + ".manifest").c_str()) != 0 ||
      std::rename(temporary.c_str(), outputPath.c_str()) != 0) {
    throw std::runtime_error("cannot rename the image to " + outputPath);
  }
}

}  // namespace skerry::disk_builder
