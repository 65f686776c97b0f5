#pragma once
// The system's text is UTF-16 (char16_t), as NTFS stores it. These helpers
// convert at the edges: UTF-8 command lines and file names on Linux, and the
// wide output streams, whose wchar_t is UTF-16 on Windows and UTF-32 on Linux.

#include <ostream>
#include <string>
#include <string_view>

namespace skerry {

// Invalid bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// The valid UTF-8 sequence at the start of `bytes`: its length (1 to 4) and
// code point, or 0 when it is not one (cut short, overlong, a surrogate or
// past U+10FFFF).
size_t DecodeUtf8(std::string_view bytes, char32_t& codePoint);
// Appends one code point as UTF-16, a surrogate pair above U+FFFF.
void AppendUtf16(std::u16string& out, char32_t codePoint);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);
// Utf16ToUtf8 after what `out` holds, or in its place.
void AppendUtf8(std::string& out, std::u16string_view utf16);
void AssignUtf8(std::string& out, std::u16string_view utf16);
// Appends one code point as UTF-8; a surrogate or a value past U+10FFFF becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t codePoint);
// The same into memory with room for 4 bytes; returns the end of what it wrote.
char* PutUtf8(char* out, char32_t codePoint);
// ASCII (or any 8-bit text) widened byte by byte, as the program's fixed texts are.
std::u16string Widen(std::string_view text);

// Appends UTF-16 text to a wide string without a temporary: copied unit for
// unit where wchar_t is UTF-16, surrogate pairs joined where it is UTF-32 (an
// unpaired surrogate becoming U+FFFD).
void AppendWide(std::wstring& out, std::u16string_view text);
// The same for text on its way to a terminal: C0 and C1 control characters
// and DEL become "?", as ls shows them, so a file name cannot move the cursor
// or rewrite the screen. Names on disk may hold any of them.
void AppendWideForTerminal(std::wstring& out, std::u16string_view text);

// UTF-16 text as it goes to a terminal, controls masked as
// AppendWideForTerminal masks them.
void AppendForTerminal(std::u16string& out, std::u16string_view text);

// Writes UTF-16 text to a wide stream, as AppendWide converts it; a stream
// marked interactive (a terminal, see line_end.h) gets AppendWideForTerminal's
// form instead.
void WriteText(std::wostream& out, std::u16string_view text);

// A wide string as UTF-16 (joins nothing on Windows, splits code points above
// U+FFFF into surrogate pairs on Linux).
std::u16string FromWide(std::wstring_view text);
void AppendFromWide(std::u16string& out, std::wstring_view text);
std::wstring ToWide(std::u16string_view text);

// Stream inserter so that `out << Text(name)` reads naturally in reports.
struct Text {
  // Spelled out: clang 14 (the fuzzing build's compiler) has no parenthesized
  // aggregate initialization.
  explicit Text(std::u16string_view text) : value(text) {}
  std::u16string_view value;
};
inline std::wostream& operator<<(std::wostream& out, Text text) {
  WriteText(out, text.value);
  return out;
}

}  // namespace skerry
