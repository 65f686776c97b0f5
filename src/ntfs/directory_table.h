#pragma once
// What path resolution needs of every directory record of the MFT, gathered
// while the records stream by: its name, its parent reference, its sequence
// number and whether it is in use. A record that is not here (a file, a free
// or damaged record, one past the MFT) is no directory a path may pass
// through. Directories are kept in record order, so a lookup is a binary
// search and memory grows with the number of directories alone. The table
// and its names grow in fixed chunks, never copied as they grow.

#include <cstdint>
#include <string_view>
#include <vector>

#include "ntfs/attribute_reader.h"
#include "ntfs/mft_record.h"
#include "platform/byte_buffer.h"
#include "platform/chunked_array.h"

namespace skerry {

// The root directory: the one record that is its own parent.
inline constexpr uint64_t kRootRecord = 5;

struct DirectoryRecord {
  uint64_t number = 0;
  uint64_t parentReference = 0;
  uint64_t nameStart = 0;  // in the table's name arena
  uint8_t nameLength = 0;
  bool inUse = false;
  // An intact directory record with a name; the root (record 5) only as its
  // own parent.
  bool usable = false;
  uint16_t sequenceNumber = 0;
  // Named from an extension record by Finish: until then the name, the
  // parent and `usable` mean nothing. Never changed once the record is noted.
  bool namePending = false;
};

class DirectoryTable {
 public:
  // Takes record `number`, parsed without error: a directory record (header
  // flag 0x0002, in use or not) is kept; an extension record that holds a
  // $FILE_NAME is kept for the directory whose $ATTRIBUTE_LIST may name it.
  // `reader` reads a $ATTRIBUTE_LIST that is not resident.
  void Note(uint64_t number, const MFTRecord& record, AttributeReader& reader);
  // Names the directories whose $FILE_NAME lives in an extension record;
  // once the whole MFT has been noted.
  void Finish();

  // The number of directory records held.
  size_t size() const { return directories_.size(); }
  // The directory record `number`; null when it is none.
  const DirectoryRecord* Find(uint64_t number) const;
  // The same among the first `count` directory records held, for a thread
  // that reads the table while the MFT still loads: those records were
  // published to it, and Finish changes no field but the naming ones of a
  // record whose name is pending.
  const DirectoryRecord* FindAmongFirst(size_t count, uint64_t number) const;
  std::u16string_view Name(const DirectoryRecord& directory) const {
    return names_.View(directory.nameStart, directory.nameLength);
  }

 private:
  struct ExtensionName {
    uint64_t number = 0;
    uint64_t owner = 0;  // the base record's number
    uint64_t parentReference = 0;
    uint64_t nameStart = 0;
    uint8_t nameLength = 0;
  };
  struct Pending {
    size_t directory = 0;  // index into directories_
    uint64_t extension = 0;
  };

  uint64_t AppendName(const FileNameBlock& fileName, uint8_t& length);
  static bool Usable(uint64_t number, uint64_t parentReference);

  ChunkedArray<DirectoryRecord> directories_;
  std::vector<ExtensionName> extensions_;
  std::vector<Pending> pending_;
  ChunkedText<char16_t> names_{kFnMaxNameLength};
  ByteBuffer list_;  // an attribute list being read
};

}  // namespace skerry
