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
#include "ntfs/mft_record.h"
#include "ntfs/attribute_list.h"

namespace {

class CountingObserver : public skerry::StreamFilter {
 public:
  bool OnNamedStream(std::u16string_view, std::u16string_view, uint16_t) override {
    ++calls;
    return true;
  }
  int calls = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace skerry;
  uint32_t recordSize = 4096;
  while (recordSize > 256 && recordSize > size) recordSize /= 2;
  if (size < recordSize) return 0;

  fuzz::FuzzDisk disk(ByteView(data, size), size, false);
  std::vector<uint8_t> buffer(data, data + recordSize);
  MFTRecord record;
  record.SetGeometry(0, recordSize, 512);
  record.handle = &disk;
  std::wostringstream diagnostics;
  record.SetDiagnosticStream(&diagnostics);
  CountingObserver observer;
  constexpr uint64_t kMaxData = 1024 * 1024;
  record.TryParse(buffer.data(), buffer.size(), true, kMaxData, &observer);
  fuzz::Require(record.data.size() <= kMaxData + size, "attribute data within its cap");

  const ByteView view(buffer.data(), buffer.size());
  ByteBuffer list;
  uint64_t extension = 0;
  if (FindNameExtension(record, 0, list, extension)) {
    fuzz::Require(list.size() <= kMaxAttributeListSize, "attribute list within its cap");
  }
  BaseRecordReference(view);
  return 0;
}
