#pragma once
// Directory enumeration with FindFirstFileW/FindNextFileW's semantics: a search
// name is a directory path followed by \*, the entries come in the system's
// order ("." and ".." first where the system has them), a failed open tells its
// code, and the end of the entries or any later failure simply ends the search.
// On Linux the Windows path d:\docs\* names <device directory>/d:/docs, and a
// symbolic link is a reparse point with the symbolic link's tag.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/errors.h"

namespace skerry {

inline constexpr uint32_t kFileAttributeReadOnly = 0x1;
inline constexpr uint32_t kFileAttributeDirectory = 0x10;
inline constexpr uint32_t kFileAttributeNormal = 0x80;
inline constexpr uint32_t kFileAttributeReparsePoint = 0x400;

// Reparse tags of the links that the walk does not follow: a junction (also a
// volume mounted in a folder) and a symbolic link. Both are name surrogates:
// they stand for another entry of the namespace, which the tag's bit 29 says.
inline constexpr uint32_t kReparseTagMountPoint = 0xA0000003;
inline constexpr uint32_t kReparseTagSymlink = 0xA000000C;
inline constexpr uint32_t kReparseTagNameSurrogate = 0x20000000;

// One entry as WIN32_FIND_DATAW gives it. `name` keeps its capacity from entry
// to entry, so a search reuses one FindData without allocating per entry.
struct FindData {
  uint32_t attributes = 0;
  uint64_t lastWriteTime = 0;  // FILETIME, UTC
  uint64_t size = 0;           // nFileSizeHigh:nFileSizeLow
  std::u16string name;
  uint32_t reparseTag = 0;  // dwReserved0: the tag of a reparse point, else 0
};

// An entry that stands for another one: a junction or a symbolic link. A
// reparse point whose tag the system did not tell counts as one.
inline bool IsNameSurrogate(const FindData& data) {
  return (data.attributes & kFileAttributeReparsePoint) != 0 &&
         (data.reparseTag == 0 || (data.reparseTag & kReparseTagNameSurrogate) != 0);
}

// Which directory a path leads to, whatever link or junction led there:
// device and inode on Linux, volume serial number and file index on Windows.
struct DirectoryIdentity {
  uint64_t volume = 0;
  uint64_t file = 0;
  friend bool operator==(const DirectoryIdentity&, const DirectoryIdentity&) = default;
};

// An open search (a find handle); destroying it is FindClose.
class DirectoryEnumeration {
 public:
  virtual ~DirectoryEnumeration() = default;
  // FindNextFileW: false at the end of the entries or on any failure.
  virtual bool Next(FindData& data) = 0;
  // The identity of the directory being enumerated; false when the system
  // cannot tell it.
  virtual bool Identify(DirectoryIdentity& identity) = 0;
};

class DirectorySearch {
 public:
  virtual ~DirectorySearch() = default;
  // FindFirstFileW on `searchName` (a directory path, a backslash and *).
  // On success `first` holds the first entry; null on failure, with `error` set
  // (kErrorFileNotFound when the directory exists but holds no entry at all).
  virtual std::unique_ptr<DirectoryEnumeration> FindFirst(std::u16string_view searchName,
                                                          FindData& first, ErrorCode& error) = 0;
  // The number of data streams of the file at `filePath`, as the MFT counts
  // its $DATA attributes.
  virtual uint32_t CountDataStreams(std::u16string_view filePath) = 0;
};

// The system's enumeration.
DirectorySearch& SystemDirectorySearch();

}  // namespace skerry
