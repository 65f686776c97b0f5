#include "ntfs/file_system_name.h"

#include <string_view>

namespace skerry {
namespace {

bool TextAt(ByteView bytes, size_t offset, std::string_view text) {
  if (!bytes.Contains(offset, text.size())) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (bytes.u8(offset + i) != static_cast<uint8_t>(text[i])) return false;
  }
  return true;
}

constexpr size_t kExtSuperblock = 1024;
constexpr size_t kExtMagic = kExtSuperblock + 56;
constexpr size_t kExtCompatible = kExtSuperblock + 92;
constexpr size_t kExtIncompatible = kExtSuperblock + 96;
constexpr uint32_t kExtHasJournal = 0x0004;
constexpr uint32_t kExtExtents = 0x0040;
constexpr uint32_t kExt64Bit = 0x0080;

}  // namespace

std::string NameFileSystem(ByteView start) {
  if (TextAt(start, 3, "NTFS    ")) return "NTFS";
  if (TextAt(start, 3, "EXFAT   ")) return "exFAT";
  const bool bootSignature = TextAt(start, 510, "\x55\xAA");
  if (bootSignature && TextAt(start, 82, "FAT32   ")) return "FAT32";
  if (bootSignature && TextAt(start, 54, "FAT12   ")) return "FAT12";
  if (bootSignature && TextAt(start, 54, "FAT16   ")) return "FAT16";
  if (start.Contains(kExtIncompatible, 4) && start.le16(kExtMagic) == 0xEF53) {
    const uint32_t incompatible = start.le32(kExtIncompatible);
    if ((incompatible & (kExtExtents | kExt64Bit)) != 0) return "ext4";
    return (start.le32(kExtCompatible) & kExtHasJournal) != 0 ? "ext3" : "ext2";
  }
  if (TextAt(start, 4086, "SWAPSPACE2")) return "Linux swap";
  return {};
}

}  // namespace skerry
