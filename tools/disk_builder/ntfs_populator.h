#pragma once
// Fills a freshly formatted NTFS partition image with the files of its
// description, through libntfs-3g (no mount, no root).

#include <cstdint>
#include <string>
#include <vector>

#include "description.h"

namespace skerry::disk_builder {

// What was made, for the manifest: every name of every file and directory.
struct CreatedName {
  enum class State { kLive, kDeleted } state = State::kLive;
  bool directory = false;
  uint64_t record = 0;
  std::string path;  // UTF-8, Windows style from the root
  std::string dosName;
};

// Throws std::runtime_error naming the description line that failed.
std::vector<CreatedName> PopulateNtfs(const std::string& partitionImage,
                                      const DiskDescription& disk, const Partition& partition);

}  // namespace skerry::disk_builder
