#include "platform/wide_stream_buffer.h"

namespace skerry {

WideStreamBuffer::WideStreamBuffer(size_t capacity) : buffer_(capacity == 0 ? 1 : capacity) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

bool WideStreamBuffer::FlushBuffer(bool final) {
  std::wstring_view pending(pbase(), static_cast<size_t>(pptr() - pbase()));
  bool written = pending.empty() && !final ? true : Emit(pending, final);
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return written;
}

void WideStreamBuffer::FinalFlush() { FlushBuffer(true); }

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
