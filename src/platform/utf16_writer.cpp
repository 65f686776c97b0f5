#include "platform/utf16_writer.h"

#include "platform/text.h"

namespace skerry {

void Utf16Writer::Write(std::wostream& out, std::u16string_view text) {
  if (out.rdbuf() != buffer_) {
    buffer_ = out.rdbuf();
    direct_ = dynamic_cast<WideStreamBuffer*>(out.rdbuf());
  }
  if (direct_ != nullptr) {
    if (!direct_->PutUtf16(text)) out.setstate(std::ios_base::badbit);
    return;
  }
  wide_.clear();
  AppendWide(wide_, text);
  out.write(wide_.data(), static_cast<std::streamsize>(wide_.size()));
}

}  // namespace skerry
