#include "platform/wide_stream_buffer.h"

#include "platform/text.h"

namespace skerry {

WideStreamBuffer::WideStreamBuffer(size_t capacity) : buffer_(capacity == 0 ? 1 : capacity) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

std::wstring_view WideStreamBuffer::TakeBuffered() {
  std::wstring_view pending(pbase(), static_cast<size_t>(pptr() - pbase()));
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return pending;
}

bool WideStreamBuffer::FlushBuffer(bool final) { return Emit(TakeBuffered(), final); }

void WideStreamBuffer::FinalFlush() { FlushBuffer(true); }

bool WideStreamBuffer::PutUtf16(std::initializer_list<std::u16string_view> pieces) {
  converted_.clear();
  for (const std::u16string_view piece : pieces) AppendWide(converted_, piece);
  const auto length = static_cast<std::streamsize>(converted_.size());
  return sputn(converted_.data(), length) == length;
}

bool WideStreamBuffer::PutUtf16AroundUtf8(std::u16string_view head, std::string_view utf8,
                                          std::initializer_list<std::u16string_view> tail) {
  converted_.clear();
  AppendWide(converted_, head);
  AppendWide(converted_, Utf8ToUtf16(utf8));
  for (const std::u16string_view piece : tail) AppendWide(converted_, piece);
  const auto length = static_cast<std::streamsize>(converted_.size());
  return sputn(converted_.data(), length) == length;
}

WideStreamBuffer::int_type WideStreamBuffer::overflow(int_type c) {
  if (!FlushBuffer(false)) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

int WideStreamBuffer::sync() { return FlushBuffer(false) ? 0 : -1; }

}  // namespace skerry
