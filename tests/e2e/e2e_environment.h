#pragma once
// Where the end-to-end tests find the programs under test and keep their files.

namespace skerry::e2e {

inline constexpr const char* kSkerryBinary = SKERRY_E2E_SKERRY;
inline constexpr const char* kDiskBuilder = SKERRY_E2E_BUILDER;
inline constexpr const char* kDisksDirectory = SKERRY_E2E_DISKS_DIR;
// Images, samples and device directories live here, inside the build tree.
inline constexpr const char* kWorkDirectory = SKERRY_E2E_WORK_DIR;

}  // namespace skerry::e2e
