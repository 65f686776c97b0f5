#include "platform/utf16_writer.h"

#include "platform/text.h"

namespace skerry {

void Utf16Writer::Write(std::wostream& out, std::initializer_list<std::u16string_view> pieces) {
  if (out.rdbuf() != buffer_) {
    buffer_ = out.rdbuf();
    direct_ = dynamic_cast<WideStreamBuffer*>(out.rdbuf());
  }
  if (direct_ != nullptr) {
    if (!direct_->PutUtf16(pieces)) out.setstate(std::ios_base::badbit);
    return;
  }
  wide_.clear();
  for (const std::u16string_view piece : pieces) AppendWide(wide_, piece);
  out.write(wide_.data(), static_cast<std::streamsize>(wide_.size()));
}

}  // namespace skerry
