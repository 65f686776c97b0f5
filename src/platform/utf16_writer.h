#pragma once
// Writes UTF-16 text, a listing's lines, to a wide stream. The system's own
// stream buffers take it as it is (WideStreamBuffer::PutUtf16), so a file or
// a pipe gets each line encoded once, from UTF-16 to UTF-8; any other stream
// gets it converted to wide characters (AppendWide) through its write.

#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/wide_stream_buffer.h"

namespace skerry {

class Utf16Writer {
 public:
  // Sets the stream's badbit when the device failed.
  void Write(std::wostream& out, std::u16string_view text) { Write(out, {text}); }
  // Writes the pieces as one text.
  void Write(std::wostream& out, std::initializer_list<std::u16string_view> pieces);

 private:
  const std::wstreambuf* buffer_ = nullptr;  // the buffer direct_ was found for
  WideStreamBuffer* direct_ = nullptr;
  std::wstring wide_;  // the converted text for any other stream, reused
};

}  // namespace skerry
