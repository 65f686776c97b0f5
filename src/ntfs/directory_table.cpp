#include "ntfs/directory_table.h"

#include "ntfs/attribute_list.h"
#include "ntfs/file_reference.h"
#include "platform/bytes.h"

namespace skerry {
namespace {

// The first `size` of `records` are in rising record numbers.
template <typename Records>
const auto* FindByNumber(const Records& records, size_t size, uint64_t number) {
  size_t first = 0;
  size_t count = size;
  while (count > 0) {
    const size_t half = count / 2;
    if (records[first + half].number < number) {
      first += half + 1;
      count -= half + 1;
    } else {
      count = half;
    }
  }
  return first < size && records[first].number == number ? &records[first] : nullptr;
}

uint64_t ParentOf(const FileNameBlock& fileName) {
  return ByteView(fileName.data(), fileName.size()).le64(kFnParent);
}

}  // namespace

bool DirectoryTable::Usable(uint64_t number, uint64_t parentReference) {
  return number != kRootRecord || FileReference{parentReference}.RecordNumber() == kRootRecord;
}

uint64_t DirectoryTable::AppendName(const FileNameBlock& fileName, uint8_t& length) {
  char16_t name[kFnMaxNameLength];
  length = NameLength(fileName);
  for (size_t i = 0; i < length; ++i) name[i] = NameUnit(fileName, i);
  return names_.Append(std::u16string_view(name, length));
}

void DirectoryTable::Note(uint64_t number, const MFTRecord& record, AttributeReader& reader) {
  if (record.neverUsed) return;
  const uint64_t owner = FileReference{BaseRecordReference(record.Bytes())}.RecordNumber();
  if (owner != 0 && record.fileNameCount > 0) {
    ExtensionName extension;
    extension.number = number;
    extension.owner = owner;
    extension.parentReference = ParentOf(record.fileName);
    extension.nameStart = AppendName(record.fileName, extension.nameLength);
    extensions_.push_back(extension);
  }
  // A file is never a parent, whatever it holds.
  if (!record.directoryRecord) return;
  DirectoryRecord directory;
  directory.number = number;
  directory.inUse = record.inUse;
  directory.sequenceNumber = record.sequenceNumber;
  if (record.fileNameCount > 0) {
    directory.parentReference = ParentOf(record.fileName);
    directory.nameStart = AppendName(record.fileName, directory.nameLength);
    directory.usable = Usable(number, directory.parentReference);
  } else if (uint64_t extension = 0; FindNameExtension(record, number, reader, list_, extension)) {
    pending_.push_back(Pending{directories_.size(), extension});
    directory.namePending = true;
  }
  directories_.push_back(directory);
}

void DirectoryTable::Finish() {
  for (const Pending& pending : pending_) {
    DirectoryRecord& directory = directories_[pending.directory];
    const ExtensionName* extension =
        FindByNumber(extensions_, extensions_.size(), pending.extension);
    // A name taken from a record that does not belong to this one would be
    // another file's.
    if (extension == nullptr || extension->owner != directory.number) continue;
    directory.parentReference = extension->parentReference;
    directory.nameStart = extension->nameStart;
    directory.nameLength = extension->nameLength;
    directory.usable = Usable(directory.number, directory.parentReference);
  }
  pending_.clear();
  extensions_.clear();
  extensions_.shrink_to_fit();
}

const DirectoryRecord* DirectoryTable::Find(uint64_t number) const {
  return FindByNumber(directories_, directories_.size(), number);
}

const DirectoryRecord* DirectoryTable::FindAmongFirst(size_t count, uint64_t number) const {
  return FindByNumber(directories_, count, number);
}

}  // namespace skerry
