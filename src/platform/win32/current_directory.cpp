#include "platform/current_directory.h"

#include <windows.h>

#include <string>

#include "platform/text.h"

namespace skerry {

std::u16string GetCurrentDirectoryPath() {
  // The directory may change between the two calls; ask again until it fits.
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) return {};
    if (length < buffer.size()) return FromWide(std::wstring_view(buffer.data(), length));
    buffer.assign(length, L'\0');
  }
  return {};
}

}  // namespace skerry
