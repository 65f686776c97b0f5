#pragma once
// The command line as UTF-16 strings: wmain's vector on Windows, the UTF-8
// argv decoded on Linux (an invalid byte becomes U+FFFD).

#include <string>
#include <vector>

namespace skerry {

#ifdef _WIN32
std::vector<std::u16string> ArgumentsFromWide(int argc, wchar_t** argv);
#else
std::vector<std::u16string> ArgumentsFromUtf8(int argc, char** argv);
#endif

}  // namespace skerry
