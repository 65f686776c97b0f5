// skerry_disk_builder: writes a whole-disk image from a disk description.
//   skerry_disk_builder DESCRIPTION.disk IMAGE
// See tools/disk_builder/README.md for the description format.

#include <exception>
#include <iostream>

#include "description.h"
#include "disk_image.h"
#include "ntfs_library.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: skerry_disk_builder DESCRIPTION.disk IMAGE\n";
    return 2;
  }
  ntfs_log_set_handler(ntfs_log_handler_stderr);
  ntfs_log_set_levels(NTFS_LOG_LEVEL_ERROR | NTFS_LOG_LEVEL_CRITICAL | NTFS_LOG_LEVEL_PERROR);
  try {
    const auto disk = skerry::disk_builder::LoadDescription(argv[1]);
    skerry::disk_builder::BuildDiskImage(disk, argv[2]);
  } catch (const std::exception& error) {
    std::cerr << argv[1] << ": " << error.what() << '\n';
    return 1;
  }
  return 0;
}
