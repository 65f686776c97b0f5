#pragma once
// Names the file system that starts a partition or an image, for the message
// that says why a drive is not NTFS: its boot sector (NTFS, exFAT, FAT) or its
// superblock (ext2/3/4, at byte 1024) or its swap signature (at byte 4086).

#include <string>

#include "platform/bytes.h"

namespace skerry {

// The bytes read from the start: 4096 of them find everything named here.
inline constexpr uint32_t kFileSystemProbeBytes = 4096;

// "NTFS", "exFAT", "FAT12", "FAT16", "FAT32", "ext2", "ext3", "ext4", "Linux
// swap", or empty when nothing is recognised.
std::string NameFileSystem(ByteView start);

}  // namespace skerry
