#include "platform/utf8_stream_buffer.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/text.h"
#include "platform/utf16.h"

namespace skerry {
namespace {

constexpr char32_t kReplacement = kReplacementCharacter;
// The most bytes one unit becomes: 3 for a UTF-16 unit (a pair takes 4 for
// two), 4 for a code point; and what a pair's high half left waiting by the
// piece before may add.
constexpr size_t kMostBytesPerUnit = 4;
constexpr size_t kMostBytesPending = 4;

// Copies the run of ASCII units at the start of `units` to `out`, a byte per
// unit, and returns its length. Most text is ASCII; sixteen UTF-16 units, or
// eight, are tested and narrowed at once where the processor has the
// instructions.
template <typename Unit>
size_t CopyAsciiRun(const Unit* units, size_t count, char* out) {
  using Bits = std::make_unsigned_t<Unit>;
  size_t i = 0;
#if defined(__SSE2__)
  if constexpr (sizeof(Unit) == 2) {
    const __m128i nonAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
    for (; count - i >= 16; i += 16) {
      const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
      const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i + 8));
      const __m128i wide = _mm_and_si128(_mm_or_si128(low, high), nonAscii);
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(wide, _mm_setzero_si128())) != 0xFFFF) break;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
    }
    if (count - i >= 8) {
      const __m128i units8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
      const __m128i wide = _mm_and_si128(units8, nonAscii);
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(wide, _mm_setzero_si128())) == 0xFFFF) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(units8, units8));
        i += 8;
      }
    }
  }
#endif
  for (; i < count && static_cast<Bits>(units[i]) < 0x80; ++i) out[i] = static_cast<char>(units[i]);
  return i;
}

}  // namespace

char* ByteBlock::Room(size_t count) {
  if (capacity_ - size_ < count) {
    const size_t capacity = std::max(2 * capacity_, size_ + count);
    std::unique_ptr<char[]> grown(new char[capacity]);
    if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
    data_ = std::move(grown);
    capacity_ = capacity;
  }
  return data_.get() + size_;
}

template <typename Unit>
char* Utf8Encoder::EncodeUnits(const Unit* units, size_t count, char* bytes) {
  // UTF-16 joins its pairs; wchar_t is UTF-16 on Windows and a code point
  // elsewhere.
  constexpr bool kPairs = sizeof(Unit) == 2;
  size_t i = 0;
  while (i < count) {
    if (pendingHigh_ == 0) {
      const size_t run = CopyAsciiRun(units + i, count - i, bytes);
      bytes += run;
      i += run;
      if (i == count) break;
    }
    // Only the bit pattern of a unit as an unsigned value matters.
    const char32_t c = static_cast<std::make_unsigned_t<Unit>>(units[i++]);
    if (pendingHigh_ != 0) {
      const char32_t high = pendingHigh_;
      pendingHigh_ = 0;
      if (kPairs && IsLowSurrogate(c)) {
        bytes = PutUtf8(bytes, JoinSurrogates(high, c));
        continue;
      }
      bytes = PutUtf8(bytes, kReplacement);
    }
    if (kPairs && IsHighSurrogate(c)) {
      pendingHigh_ = c;
      continue;
    }
    bytes = PutUtf8(bytes, c);
  }
  return bytes;
}

void Utf8Encoder::Encode(std::wstring_view text, ByteBlock& out) {
  char* bytes = out.Room(kMostBytesPerUnit * text.size() + kMostBytesPending);
  out.KeepUpTo(EncodeUnits(text.data(), text.size(), bytes));
}

void Utf8Encoder::Encode(std::initializer_list<std::u16string_view> pieces, ByteBlock& out) {
  // Room for all the pieces is made once: a line is five pieces, two of
  // them a unit long.
  size_t units = 0;
  for (const std::u16string_view piece : pieces) units += piece.size();
  char* bytes = out.Room(kMostBytesPerUnit * units + kMostBytesPending);
  for (const std::u16string_view piece : pieces) {
    bytes = EncodeUnits(piece.data(), piece.size(), bytes);
  }
  out.KeepUpTo(bytes);
}

void Utf8Encoder::Encode(std::u16string_view head, std::string_view utf8,
                         std::initializer_list<std::u16string_view> tail, ByteBlock& out) {
  size_t units = head.size();
  for (const std::u16string_view piece : tail) units += piece.size();
  char* bytes = out.Room(kMostBytesPerUnit * units + kMostBytesPending + utf8.size());
  bytes = EncodeUnits(head.data(), head.size(), bytes);
  if (!utf8.empty()) {
    if (pendingHigh_ != 0) bytes = PutUtf8(bytes, kReplacement);
    pendingHigh_ = 0;
    bytes = std::copy(utf8.begin(), utf8.end(), bytes);
  }
  for (const std::u16string_view piece : tail) {
    bytes = EncodeUnits(piece.data(), piece.size(), bytes);
  }
  out.KeepUpTo(bytes);
}

void Utf8Encoder::Finish(ByteBlock& out) {
  if (pendingHigh_ != 0) out.KeepUpTo(PutUtf8(out.Room(kMostBytesPending), kReplacement));
  pendingHigh_ = 0;
}

bool Utf8StreamBuffer::PutUtf16(std::initializer_list<std::u16string_view> pieces) {
  // Wide text written before this goes first.
  encoder_.Encode(TakeBuffered(), bytes_);
  encoder_.Encode(pieces, bytes_);
  return bytes_.size() < capacity() || WriteHeld();
}

bool Utf8StreamBuffer::PutUtf16AroundUtf8(std::u16string_view head, std::string_view utf8,
                                          std::initializer_list<std::u16string_view> tail) {
  encoder_.Encode(TakeBuffered(), bytes_);
  encoder_.Encode(head, utf8, tail, bytes_);
  return bytes_.size() < capacity() || WriteHeld();
}

bool Utf8StreamBuffer::Emit(std::wstring_view text, bool final) {
  encoder_.Encode(text, bytes_);
  if (final) encoder_.Finish(bytes_);
  return WriteHeld();
}

bool Utf8StreamBuffer::WriteHeld() {
  if (bytes_.empty()) return true;
  const bool written = WriteBytes(bytes_.View());
  bytes_.clear();
  return written;
}

}  // namespace skerry
