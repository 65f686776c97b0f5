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
  // Writes `head`, the text whose UTF-8 is `utf8`, then `tail`, as one text
  // (WideStreamBuffer::PutUtf16AroundUtf8).
  void Write(std::wostream& out, std::u16string_view head, std::string_view utf8,
             std::initializer_list<std::u16string_view> tail);
  // Whether `out` takes UTF-8 text as it is: its buffer encodes to UTF-8.
  static bool TakesUtf8(const std::wostream& out);

 private:
  // Finds the stream's own buffer, when it is one of the system's.
  WideStreamBuffer* Direct(std::wostream& out);

  const std::wstreambuf* buffer_ = nullptr;  // the buffer direct_ was found for
  WideStreamBuffer* direct_ = nullptr;
  std::wstring wide_;  // the converted text for any other stream, reused
};

}  // namespace skerry
