#pragma once

#include <string>
#include <string_view>

namespace skerry {

// Appends UTF-16 text to a wide string without a temporary: copied unit for
// unit where wchar_t is UTF-16, surrogate pairs joined where it is UTF-32 (an
// unpaired surrogate becoming U+FFFD), as Text() writes it.
void AppendWide(std::wstring& out, std::u16string_view text);

}  // namespace skerry
