#include "scan/wide_text.h"

namespace skerry {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

void AppendWide(std::wstring& out, std::u16string_view text) {
  if constexpr (sizeof(wchar_t) == 2) {
    out.append(text.begin(), text.end());
  } else {
    for (size_t i = 0; i < text.size(); ++i) {
      const char16_t unit = text[i];
      if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
        const char32_t joined =
            0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00);
        out.push_back(static_cast<wchar_t>(joined));
        ++i;
      } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
        out.push_back(kReplacement);
      } else {
        out.push_back(static_cast<wchar_t>(unit));
      }
    }
  }
}

}  // namespace skerry
