#include "platform/utf16_writer.h"

#include "platform/text.h"
#include "platform/utf8_stream_buffer.h"

namespace skerry {

WideStreamBuffer* Utf16Writer::Direct(std::wostream& out) {
  if (out.rdbuf() != buffer_) {
    buffer_ = out.rdbuf();
    direct_ = dynamic_cast<WideStreamBuffer*>(out.rdbuf());
  }
  return direct_;
}

void Utf16Writer::Write(std::wostream& out, std::initializer_list<std::u16string_view> pieces) {
  if (WideStreamBuffer* direct = Direct(out)) {
    if (!direct->PutUtf16(pieces)) out.setstate(std::ios_base::badbit);
    return;
  }
  wide_.clear();
  for (const std::u16string_view piece : pieces) AppendWide(wide_, piece);
  out.write(wide_.data(), static_cast<std::streamsize>(wide_.size()));
}

void Utf16Writer::Write(std::wostream& out, std::u16string_view head, std::string_view utf8,
                        std::initializer_list<std::u16string_view> tail) {
  if (WideStreamBuffer* direct = Direct(out)) {
    if (!direct->PutUtf16AroundUtf8(head, utf8, tail)) out.setstate(std::ios_base::badbit);
    return;
  }
  wide_.clear();
  AppendWide(wide_, head);
  AppendWide(wide_, Utf8ToUtf16(utf8));
  for (const std::u16string_view piece : tail) AppendWide(wide_, piece);
  out.write(wide_.data(), static_cast<std::streamsize>(wide_.size()));
}

bool Utf16Writer::TakesUtf8(const std::wostream& out) {
  return dynamic_cast<const Utf8StreamBuffer*>(out.rdbuf()) != nullptr;
}

}  // namespace skerry
