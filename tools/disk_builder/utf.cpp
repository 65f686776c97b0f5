#include "utf.h"

#include "description.h"

namespace skerry::disk_builder {

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string result;
  size_t i = 0;
  auto bad = [&]() -> DescriptionError { return DescriptionError("not UTF-8: " + text); };
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    unsigned length = 0;
    char32_t code = 0;
    if (lead < 0x80) {
      length = 1;
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code = lead & 0x07;
    } else {
      throw bad();
    }
    if (i + length > text.size()) throw bad();
    for (unsigned k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) throw bad();
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      throw bad();
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      result.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      result.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      result.push_back(static_cast<char16_t>(code));
    }
    i += length;
  }
  return result;
}

}  // namespace skerry::disk_builder
