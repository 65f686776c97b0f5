#include "platform/utf8_stream_buffer.h"

#include "platform/text.h"
#include "platform/utf16.h"

namespace skerry {
namespace {

constexpr char32_t kReplacement = kReplacementCharacter;

}  // namespace

void Utf8Encoder::Encode(std::wstring_view text, std::string& out) {
  // Most text is ASCII: one byte per character, written without the general encoder.
  out.reserve(out.size() + text.size());
  for (wchar_t wc : text) {
    // wchar_t may be signed; only its bit pattern as an unsigned unit matters.
    char32_t c = sizeof(wchar_t) == 2 ? static_cast<char16_t>(wc) : static_cast<char32_t>(wc);
    if (c < 0x80 && pendingHigh_ == 0) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    if constexpr (sizeof(wchar_t) == 2) {
      if (pendingHigh_ != 0) {
        char32_t high = pendingHigh_;
        pendingHigh_ = 0;
        if (IsLowSurrogate(c)) {
          AppendUtf8(out, JoinSurrogates(high, c));
          continue;
        }
        AppendUtf8(out, kReplacement);
      }
      if (IsHighSurrogate(c)) {
        pendingHigh_ = c;
        continue;
      }
    }
    AppendUtf8(out, c);
  }
}

void Utf8Encoder::Finish(std::string& out) {
  if (pendingHigh_ != 0) AppendUtf8(out, kReplacement);
  pendingHigh_ = 0;
}

bool Utf8StreamBuffer::Emit(std::wstring_view text, bool final) {
  bytes_.clear();
  encoder_.Encode(text, bytes_);
  if (final) encoder_.Finish(bytes_);
  return bytes_.empty() || WriteBytes(bytes_);
}

}  // namespace skerry
