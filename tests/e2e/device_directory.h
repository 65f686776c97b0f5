#pragma once
// A throwaway device directory that maps disk images to Windows device names
// for skerry on Linux: physicaldriveN is a disk, x:: the volume of drive X.

#include <string>

#include "process_runner.h"

namespace skerry::e2e {

class DeviceDirectory {
 public:
  DeviceDirectory();  // a fresh directory in the build tree
  ~DeviceDirectory();
  DeviceDirectory(const DeviceDirectory&) = delete;
  DeviceDirectory& operator=(const DeviceDirectory&) = delete;

  const std::string& path() const { return path_; }

  // physicaldrive<number> -> image
  void AddDisk(int number, const std::string& image);
  // <letter>:: -> physicaldrive<disk>/partition<partition>, the form that names
  // a partition of a disk image (the link need not resolve).
  void MapDrive(char letter, int disk, int partition);

  // Runs skerry with this directory as its device directory.
  ProcessResult RunSkerry(const std::vector<std::string>& arguments) const;

 private:
  std::string path_;
};

}  // namespace skerry::e2e
