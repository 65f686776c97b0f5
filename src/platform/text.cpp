#include "platform/text.h"

#include <cstdint>

#include "platform/line_end.h"
#include "platform/utf16.h"

namespace skerry {
namespace {

constexpr char32_t kReplacement = kReplacementCharacter;

// Decodes one code point at i (advancing i); unpaired surrogates give U+FFFD.
char32_t NextCodePoint(std::u16string_view text, size_t& i) {
  char16_t c = text[i++];
  if (IsHighSurrogate(c)) {
    if (i < text.size() && IsLowSurrogate(text[i])) {
      char16_t low = text[i++];
      return JoinSurrogates(c, low);
    }
    return kReplacement;
  }
  if (IsLowSurrogate(c)) return kReplacement;
  return c;
}

}  // namespace


void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp >= kFirstSupplementary) {
    out.push_back(HighSurrogateOf(cp));
    out.push_back(LowSurrogateOf(cp));
  } else {
    out.push_back(char16_t(cp));
  }
}

size_t DecodeUtf8(std::string_view bytes, char32_t& codePoint) {
  if (bytes.empty()) return 0;
  const auto b = static_cast<unsigned char>(bytes[0]);
  size_t length = 0;
  char32_t minimum = 0;
  if (b < 0x80) {
    codePoint = b;
    return 1;
  } else if ((b & 0xE0) == 0xC0) {
    length = 2, codePoint = b & 0x1F, minimum = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    length = 3, codePoint = b & 0x0F, minimum = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    length = 4, codePoint = b & 0x07, minimum = kFirstSupplementary;
  } else {
    return 0;
  }
  if (length > bytes.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(bytes[k]);
    if ((next & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF || IsSurrogate(codePoint)) return 0;
  return length;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    char32_t cp = 0;
    const size_t length = DecodeUtf8(utf8, cp);
    if (length == 0) {
      out.push_back(char16_t(kReplacement));
      utf8.remove_prefix(1);  // resynchronise on the next byte
      continue;
    }
    AppendUtf16(out, cp);
    utf8.remove_prefix(length);
  }
  return out;
}

char* PutUtf8(char* out, char32_t cp) {
  if (cp > 0x10FFFF || IsSurrogate(cp)) cp = kReplacement;
  if (cp < 0x80) {
    *out++ = char(cp);
  } else if (cp < 0x800) {
    *out++ = char(0xC0 | (cp >> 6));
    *out++ = char(0x80 | (cp & 0x3F));
  } else if (cp < kFirstSupplementary) {
    *out++ = char(0xE0 | (cp >> 12));
    *out++ = char(0x80 | ((cp >> 6) & 0x3F));
    *out++ = char(0x80 | (cp & 0x3F));
  } else {
    *out++ = char(0xF0 | (cp >> 18));
    *out++ = char(0x80 | ((cp >> 12) & 0x3F));
    *out++ = char(0x80 | ((cp >> 6) & 0x3F));
    *out++ = char(0x80 | (cp & 0x3F));
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  char bytes[4];
  out.append(bytes, static_cast<size_t>(PutUtf8(bytes, cp) - bytes));
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  AppendUtf8(out, utf16);
  return out;
}

void AssignUtf8(std::string& out, std::u16string_view utf16) {
  out.clear();
  AppendUtf8(out, utf16);
}

void AppendUtf8(std::string& out, std::u16string_view utf16) {
  // Room for the most a unit can take; what was not written is cut off.
  const size_t held = out.size();
  out.resize(held + 3 * utf16.size());
  char* bytes = out.data() + held;
  size_t i = 0;
  while (i < utf16.size()) {
    if (utf16[i] < 0x80) {
      *bytes++ = static_cast<char>(utf16[i++]);
    } else {
      bytes = PutUtf8(bytes, NextCodePoint(utf16, i));
    }
  }
  out.resize(static_cast<size_t>(bytes - out.data()));
}

std::u16string Widen(std::string_view text) {
  std::u16string out(text.size(), u'\0');
  for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<unsigned char>(text[i]);
  return out;
}

namespace {

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

template <bool kMaskControls>
void AppendConverted(std::wstring& out, std::u16string_view text) {
  out.reserve(out.size() + text.size());
  size_t i = 0;
  while (i < text.size()) {
    char32_t c = text[i];
    if (sizeof(wchar_t) == 2 || !IsSurrogate(c)) {
      ++i;  // one unit, one character (on Windows pairs simply stay pairs)
    } else {
      c = NextCodePoint(text, i);
    }
    if (kMaskControls && IsControl(c)) c = U'?';
    out.push_back(static_cast<wchar_t>(c));
  }
}

}  // namespace

void AppendWide(std::wstring& out, std::u16string_view text) { AppendConverted<false>(out, text); }

void AppendWideForTerminal(std::wstring& out, std::u16string_view text) {
  AppendConverted<true>(out, text);
}

void AppendForTerminal(std::u16string& out, std::u16string_view text) {
  out.reserve(out.size() + text.size());
  // Every control character is one UTF-16 unit, and no unit of a pair is one.
  for (const char16_t c : text) out.push_back(IsControl(c) ? u'?' : c);
}

std::wstring ToWide(std::u16string_view text) {
  std::wstring out;
  out.reserve(text.size());
  AppendWide(out, text);
  return out;
}

std::u16string FromWide(std::wstring_view text) {
  std::u16string out;
  AppendFromWide(out, text);
  return out;
}

void AppendFromWide(std::u16string& out, std::wstring_view text) {
  out.reserve(out.size() + text.size());
  for (wchar_t c : text) {
    if constexpr (sizeof(wchar_t) == 2) {
      out.push_back(static_cast<char16_t>(c));
    } else {
      char32_t cp = static_cast<char32_t>(c);
      AppendUtf16(out, cp > 0x10FFFF ? kReplacement : cp);
    }
  }
}

void WriteText(std::wostream& out, std::u16string_view text) {
  // Inserted as one wstring so that a pending field width pads the whole text.
  std::wstring wide;
  wide.reserve(text.size());
  if (IsInteractive(out)) {
    AppendWideForTerminal(wide, text);
  } else {
    AppendWide(wide, text);
  }
  out << wide;
}

}  // namespace skerry
