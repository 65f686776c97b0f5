#pragma once
// The three views of a file that every filter receives: the first 48 bytes of
// its $STANDARD_INFORMATION value, its $FILE_NAME value as the record parser
// keeps it (with a NUL after the name), and the object that describes the file
// (an MFTRecord while the MFT loads, a FileEntry in the listing and the walk).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ntfs/file_name.h"
#include "ntfs/standard_information.h"
#include "platform/bytes.h"

namespace skerry {

using StandardInfoBlock = std::array<uint8_t, kStandardInfoSize>;
using FileNameBlock = std::array<uint8_t, kFileNameValueSize>;

inline uint64_t ModificationTime(const StandardInfoBlock& si) {
  return ByteView(si.data(), si.size()).le64(kSiModified);
}
inline int64_t DataSize(const FileNameBlock& fn) {
  return static_cast<int64_t>(ByteView(fn.data(), fn.size()).le64(kFnDataSize));
}
inline uint8_t NameLength(const FileNameBlock& fn) { return fn[kFnNameLength]; }

// The name as UTF-16 code units, read where it lies (unaligned-safe copy is the
// caller's choice; matching reads code units through NameUnit).
inline char16_t NameUnit(const FileNameBlock& fn, size_t index) {
  return static_cast<char16_t>(ByteView(fn.data(), fn.size()).le16(kFnName + 2 * index));
}

// What the filters ask of the object that describes a file.
class FileDescription {
 public:
  // Number of $DATA attributes of the record (data streams).
  virtual uint32_t DataStreamCount() const = 0;
  // The directory path of the file's parent: empty for the root, else
  // the separator followed by the names joined by it (\docs\2013).
  virtual std::u16string_view DirectoryPath() const = 0;
  // Whether the file's record is in use (a deleted file's record is not).
  // A file that the system's directory enumeration finds always is.
  virtual bool InUse() const { return true; }

 protected:
  ~FileDescription() = default;
};

}  // namespace skerry
