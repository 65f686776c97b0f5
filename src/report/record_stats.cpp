#include "report/record_stats.h"

#include <iomanip>
#include <limits>

#include "platform/bytes.h"

namespace skerry {
namespace {

constexpr uint32_t kAttributeClassBits = 0x7;  // read-only, hidden, system
constexpr uint8_t kNameTypeBits = 0x3;
constexpr uint64_t kSizeBits = 0xFFFFFFFFFFFF;
constexpr int kFieldWidth = 15;

// A few million records of up to 2^48 bytes each can pass the range of the
// sum: a hostile MFT then shows the largest size rather than a wrapped one.
void AddSize(int64_t& sum, uint64_t size) {
  const auto addend = static_cast<int64_t>(size & kSizeBits);
  if (sum > std::numeric_limits<int64_t>::max() - addend) {
    sum = std::numeric_limits<int64_t>::max();
  } else {
    sum += addend;
  }
}

template <typename T>
void Field(std::wostream& output, const wchar_t* label, T value) {
  output << label << std::setw(kFieldWidth) << value;
}

}  // namespace

void RecordStats::Count(const FileNameBlock& fileName) {
  const ByteView value(fileName.data(), fileName.size());
  const uint32_t flags = value.le32(kFnFlags);
  ++attributeClassCount[flags & kAttributeClassBits];
  ++nameTypeCount[value.u8(kFnNameType) & kNameTypeBits];
  if ((flags & kFileNameDirectoryFlag) != 0) {
    ++directoryCount;
    return;
  }
  ++fileCount;
  AddSize(realSize, value.le64(kFnDataSize));
  AddSize(allocatedSize, value.le64(kFnAllocatedSize));
}

void RecordStats::Print(std::wostream& output) const {
  output << std::dec << std::setfill(L' ');
  output << L"  --ATTRIBUTES (count)--";
  Field(output, L"\n              Normal:", attributeClassCount[0]);
  Field(output, L"\n         ReadOnly(R):", attributeClassCount[1]);
  Field(output, L"\n           Hidden(H):", attributeClassCount[2]);
  Field(output, L"\n                 R&H:", attributeClassCount[3]);
  Field(output, L"\n           System(S):", attributeClassCount[4]);
  Field(output, L"\n                 S&R:", attributeClassCount[5]);
  Field(output, L"\n                 S&H:", attributeClassCount[6]);
  Field(output, L"\n               S&R&H:", attributeClassCount[7]);
  output << L"\n";
  output << L"\n  --NAME TYPES (count)--";
  Field(output, L"\n               POSIX:", nameTypeCount[0]);
  Field(output, L"\n             Unicode:", nameTypeCount[1]);
  Field(output, L"\n                 DOS:", nameTypeCount[2]);
  Field(output, L"\n         Unicode&DOS:", nameTypeCount[3]);
  output << L"\n";
  output << L"\n  --TYPE (count)--";
  Field(output, L"\n                File:", fileCount);
  Field(output, L"\n           Directory:", directoryCount);
  output << L"\n";
  output << L"\n  --SIZE--";
  Field(output, L"\n                Real:", realSize);
  Field(output, L"\n           Allocated:", allocatedSize);
  output << L"\n";
  output.flush();
}

}  // namespace skerry
