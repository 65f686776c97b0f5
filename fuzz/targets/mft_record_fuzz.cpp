// One FILE record: fix-ups, the attribute walk, the values copied out, the
// contents of its attributes (read from a disk made of the input itself) and
// the attribute-list lookup of the directory table.
//
// Input: the record. Its size is the largest power of two from 256 to 4096
// that the input holds.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <vector>

#include "fuzz_disk.h"
#include "ntfs/attribute_list.h"
#include "ntfs/attribute_reader.h"
#include "ntfs/mft_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace skerry;
  uint32_t recordSize = 4096;
  while (recordSize > 256 && recordSize > size) recordSize /= 2;
  if (size < recordSize) return 0;

  fuzz::FuzzDisk disk(ByteView(data, size), size, false);
  std::vector<uint8_t> buffer(data, data + recordSize);
  MFTRecord record;
  record.SetGeometry(recordSize, 512);
  const ErrorCode parsed = record.TryParse(ByteView(buffer.data(), buffer.size()));
  std::wostringstream diagnostics;
  WriteParserDiagnostic(&diagnostics, record);
  // The contents of each attribute that holds data, read from the disk
  // made of the input, as the MFT's own record is read.
  AttributeReader reader(&disk, 0, 512);
  constexpr uint64_t kMaxData = 1024 * 1024;
  if (parsed == kErrorSuccess && !record.neverUsed) {
    const ByteView fixed = record.Bytes();
    for (uint32_t at = 0; FindNextAttribute(fixed, kAttributeData, at);) {
      ByteBuffer contents;
      try {
        reader.Read(fixed, at, contents, kMaxData);
      } catch (const BlockException&) {
      }
      fuzz::Require(contents.size() <= kMaxData + 1, "attribute data within its cap");
    }
  }

  const ByteView view(buffer.data(), buffer.size());
  ByteBuffer list;
  uint64_t extension = 0;
  if (parsed == kErrorSuccess && FindNameExtension(record, 0, reader, list, extension)) {
    fuzz::Require(list.size() <= kMaxAttributeListSize, "attribute list within its cap");
  }
  BaseRecordReference(view);
  return 0;
}
