#include <windows.h>

#include <string>

#include "platform/errors.h"
#include "platform/text.h"

namespace skerry {

std::u16string GetErrorText(ErrorCode code) {
  // FORMAT_MESSAGE_IGNORE_INSERTS as well: a system text with %1 in it (ERROR_WRONG_DISK
  // and others) would otherwise be expanded from insert arguments that nobody passed.
  constexpr DWORD kFlags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(kFlags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text;
  if (length != 0 && buffer != nullptr) {
    text = FromWide(std::wstring_view(buffer, length));
  } else {
    // The system has no text for this code; its buffer was not filled, so it is not read.
    text = Widen("Unknown error " + std::to_string(code) + ".\r\n");
  }
  if (buffer != nullptr) LocalFree(buffer);
  return text;
}

}  // namespace skerry
