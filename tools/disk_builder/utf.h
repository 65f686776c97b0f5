#pragma once

#include <string>

namespace skerry::disk_builder {

// UTF-8 to UTF-16 (surrogate pairs above U+FFFF). Throws DescriptionError on
// bytes that are not UTF-8, so a bad name is reported, not stored mangled.
std::u16string Utf8ToUtf16(const std::string& text);

}  // namespace skerry::disk_builder
