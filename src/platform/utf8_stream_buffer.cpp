#include "platform/utf8_stream_buffer.h"

#include <type_traits>

#include "platform/text.h"
#include "platform/utf16.h"

namespace skerry {
namespace {

constexpr char32_t kReplacement = kReplacementCharacter;

// Where the run of ASCII units that starts at `at` ends. Eight units are
// tested at once: a fixed-length loop the compiler makes one vector test,
// where a unit-by-unit scan was most of the encoder's time.
template <typename Unit>
size_t AsciiRunEnd(const Unit* units, size_t at, size_t count) {
  using Bits = std::make_unsigned_t<Unit>;
  constexpr size_t kBlock = 8;
  while (count - at >= kBlock) {
    Bits any = 0;
    for (size_t k = 0; k < kBlock; ++k) any |= static_cast<Bits>(units[at + k]);
    if (any >= 0x80) break;
    at += kBlock;
  }
  while (at < count && static_cast<Bits>(units[at]) < 0x80) ++at;
  return at;
}

}  // namespace

template <typename Unit>
void Utf8Encoder::EncodeUnits(const Unit* units, size_t count, std::string& out) {
  // UTF-16 joins its pairs; wchar_t is UTF-16 on Windows and a code point
  // elsewhere.
  constexpr bool kPairs = sizeof(Unit) == 2;
  size_t i = 0;
  while (i < count) {
    // Most text is ASCII: a run of it is copied a byte per unit, without the
    // general encoder.
    if (pendingHigh_ == 0) {
      const size_t end = AsciiRunEnd(units, i, count);
      if (end != i) {
        const size_t at = out.size();
        out.resize(at + (end - i));
        char* bytes = out.data() + at;
        for (; i < end; ++i) *bytes++ = static_cast<char>(units[i]);
        continue;
      }
    }
    // Only the bit pattern of a unit as an unsigned value matters.
    const char32_t c = static_cast<std::make_unsigned_t<Unit>>(units[i++]);
    if (pendingHigh_ != 0) {
      const char32_t high = pendingHigh_;
      pendingHigh_ = 0;
      if (kPairs && IsLowSurrogate(c)) {
        AppendUtf8(out, JoinSurrogates(high, c));
        continue;
      }
      AppendUtf8(out, kReplacement);
    }
    if (kPairs && IsHighSurrogate(c)) {
      pendingHigh_ = c;
      continue;
    }
    AppendUtf8(out, c);
  }
}

void Utf8Encoder::Encode(std::wstring_view text, std::string& out) {
  EncodeUnits(text.data(), text.size(), out);
}

void Utf8Encoder::Encode(std::u16string_view text, std::string& out) {
  EncodeUnits(text.data(), text.size(), out);
}

void Utf8Encoder::Finish(std::string& out) {
  if (pendingHigh_ != 0) AppendUtf8(out, kReplacement);
  pendingHigh_ = 0;
}

bool Utf8StreamBuffer::PutUtf16(std::u16string_view text) {
  // Wide text written before this goes first.
  encoder_.Encode(TakeBuffered(), bytes_);
  encoder_.Encode(text, bytes_);
  return bytes_.size() < capacity() || WriteHeld();
}

bool Utf8StreamBuffer::Emit(std::wstring_view text, bool final) {
  encoder_.Encode(text, bytes_);
  if (final) encoder_.Finish(bytes_);
  return WriteHeld();
}

bool Utf8StreamBuffer::WriteHeld() {
  if (bytes_.empty()) return true;
  const bool written = WriteBytes(bytes_);
  bytes_.clear();
  return written;
}

}  // namespace skerry
