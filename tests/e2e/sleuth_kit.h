#pragma once
// The Sleuth Kit as the independent oracle: what fls, istat and mmls report
// about an image, parsed into plain values.

#include <cstdint>
#include <string>
#include <vector>

namespace skerry::e2e {

// One line of `fls -r -p`: "r/r 64-128-2:<TAB>docs/a.txt", with "*" before the
// address for a deleted name.
struct FlsEntry {
  char nameType = '-';  // r, d, V (virtual), ...
  bool deleted = false;
  uint64_t inode = 0;
  std::string path;  // as fls prints it, '/' between names, streams as "name:stream"
};

// False for a line that is not an entry.
bool ParseFlsLine(const std::string& line, FlsEntry& entry);
std::vector<FlsEntry> RunFls(const std::string& image, uint64_t offsetSectors);

// A $FILE_NAME attribute as istat shows it.
struct FileNameOfRecord {
  std::string name;
  uint64_t parent = 0;
};
std::vector<FileNameOfRecord> ParseIstatFileNames(const std::string& istatOutput);
std::vector<FileNameOfRecord> RecordFileNames(const std::string& image, uint64_t offsetSectors,
                                              uint64_t record);

struct ClusterRun {
  uint64_t start = 0;
  uint64_t length = 0;
};
// The allocated runs of the unnamed $DATA attribute of MFT record 0 (`istat -r`).
std::vector<ClusterRun> MftDataRuns(const std::string& image, uint64_t offsetSectors);

// A partition row of mmls (not the table or unallocated rows).
struct MmlsPartition {
  uint64_t start = 0;
  uint64_t length = 0;
  std::string description;
};
std::vector<MmlsPartition> RunMmls(const std::string& image);

}  // namespace skerry::e2e
