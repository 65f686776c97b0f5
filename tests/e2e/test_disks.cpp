#include "test_disks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "e2e_environment.h"
#include "process_runner.h"

namespace skerry::e2e {
namespace fs = std::filesystem;
namespace {

// Serialises the making of one file across test processes (ctest -j runs them
// side by side); released with the object.
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0) throw std::runtime_error("cannot lock " + path);
  }
  ~FileLock() { ::close(fd_); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;
};

bool UpToDate(const fs::path& target, const std::vector<fs::path>& sources) {
  std::error_code error;
  const auto built = fs::last_write_time(target, error);
  if (error) return false;
  for (const fs::path& source : sources) {
    const auto changed = fs::last_write_time(source, error);
    if (error || changed > built) return false;
  }
  return true;
}

fs::path WorkSubdirectory(const char* name) {
  const fs::path directory = fs::path(kWorkDirectory) / name;
  fs::create_directories(directory);
  return directory;
}

}  // namespace

const ManifestPartition& TestDisk::NtfsPartition(int n) const {
  for (const ManifestPartition& partition : partitions) {
    if (partition.contents == "ntfs" && --n == 0) return partition;
  }
  throw std::runtime_error(image + " has too few NTFS partitions");
}

void RunDiskBuilder(const std::string& description, const std::string& image) {
  // libntfs-3g is not built with the sanitizers; its own leaks are not ours to report.
  const ProcessResult result = RunProcess({kDiskBuilder, description, image},
                                          {{"ASAN_OPTIONS", "detect_leaks=0:abort_on_error=1"}});
  if (result.status != 0) {
    throw std::runtime_error("the disk builder failed on " + description + ":\n" + result.err +
                             result.out);
  }
}

TestDisk BuildTestDisk(const std::string& name) {
  const fs::path description = fs::path(kDisksDirectory) / (name + ".disk");
  const fs::path image = WorkSubdirectory("disks") / (name + ".img");
  const fs::path manifest = image.string() + ".manifest";
  {
    FileLock lock(image.string() + ".lock");
    if (!UpToDate(image, {description, kDiskBuilder}) || !fs::exists(manifest)) {
      RunDiskBuilder(description, image);
    }
  }
  return TestDisk{image, LoadManifest(manifest)};
}

std::vector<ManifestPartition> LoadManifest(const std::string& path) {
  std::ifstream file(path);
  if (!file) throw std::runtime_error("cannot read " + path);
  std::vector<ManifestPartition> partitions;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "partition") {
      ManifestPartition partition;
      std::string start, sectors, contents;
      words >> partition.number >> partition.role >> start >> sectors >> contents;
      partition.startSector = std::stoull(start.substr(start.find('=') + 1));
      partition.sectorCount = std::stoull(sectors.substr(sectors.find('=') + 1));
      partition.contents = contents.substr(contents.find('=') + 1);
      partitions.push_back(partition);
      continue;
    }
    if (partitions.empty()) throw std::runtime_error("bad manifest line: " + line);
    // kind, record, then the path up to an optional " dos=" (paths may hold blanks).
    ManifestName name;
    name.kind = kind;
    words >> name.record;
    std::string rest;
    std::getline(words, rest);
    rest.erase(0, 1);
    const size_t dos = rest.rfind(" dos=");
    if (dos != std::string::npos) {
      name.dosName = rest.substr(dos + 5);
      rest.erase(dos);
    }
    name.path = rest;
    partitions.back().names.push_back(name);
  }
  return partitions;
}

std::string ForensicsSample(const std::string& name) {
  const fs::path packed = fs::path("/usr/share/forensics-samples") / (name + ".xz");
  if (!fs::exists(packed)) return "";
  const fs::path unpacked = WorkSubdirectory("samples") / name;
  FileLock lock(unpacked.string() + ".lock");
  if (!UpToDate(unpacked, {packed})) {
    const std::string partial = unpacked.string() + ".partial";
    const ProcessResult result =
        RunProcess({"sh", "-c", "xz -dc \"$0\" > \"$1\"", packed.string(), partial});
    if (result.status != 0) throw std::runtime_error("cannot unpack " + packed.string());
    fs::rename(partial, unpacked);
  }
  return unpacked;
}

}  // namespace skerry::e2e
