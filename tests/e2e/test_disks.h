#pragma once
// Disk images for the end-to-end tests: built from tools/disks/*.disk by the
// test-disk builder, or unpacked from Debian's forensics samples; both kept in
// the build tree and made again only when their source is newer.

#include <cstdint>
#include <string>
#include <vector>

namespace skerry::e2e {

// What the builder made: its .manifest file beside the image.
struct ManifestName {
  std::string kind;  // "file", "dir" or "deleted"
  uint64_t record = 0;
  std::string path;  // Windows style from the root: \docs\a.txt
  std::string dosName;
};

struct ManifestPartition {
  int number = 0;    // position in the description, from 1, extended included
  std::string role;  // primary, extended, logical
  uint64_t startSector = 0;
  uint64_t sectorCount = 0;
  std::string contents;  // ntfs, fat32, image, none
  std::vector<ManifestName> names;
};

struct TestDisk {
  std::string image;
  std::vector<ManifestPartition> partitions;

  // The n-th partition with NTFS contents, from 1.
  const ManifestPartition& NtfsPartition(int n) const;
};

// Builds tools/disks/<name>.disk (or reuses an up-to-date image). Throws
// std::runtime_error with the builder's message when it fails.
TestDisk BuildTestDisk(const std::string& name);

// Builds any description file into `image`, always afresh.
void RunDiskBuilder(const std::string& description, const std::string& image);

std::vector<ManifestPartition> LoadManifest(const std::string& path);

// The unpacked image of /usr/share/forensics-samples/<name>.xz, or an empty
// string when the package that ships it is not installed.
std::string ForensicsSample(const std::string& name);

}  // namespace skerry::e2e
