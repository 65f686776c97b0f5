#include "platform/current_directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/device_directory.h"
#include "platform/text.h"

namespace skerry {
namespace {

std::string WorkingDirectory() {
  std::vector<char> buffer(4096);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) return buffer.data();
    if (errno != ERANGE || buffer.size() >= (1u << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                       &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

// The part of `path` below `root`, without a leading slash; false when `path`
// does not lie in `root`.
bool RelativeTo(const std::string& path, const std::string& root, std::string& rest) {
  if (root == "/") {
    rest = path.substr(1);
    return true;
  }
  if (path.compare(0, root.size(), root) != 0) return false;
  if (path.size() == root.size()) {
    rest.clear();
    return true;
  }
  if (path[root.size()] != '/') return false;
  rest = path.substr(root.size() + 1);
  return true;
}

}  // namespace

// The drive whose root holds the working directory gives a Windows path; when
// several do (z: is often /), the deepest root wins, and the earlier letter
// between equals. Outside every drive the Linux path itself is the answer.
std::u16string GetCurrentDirectoryPath() {
  std::string working = WorkingDirectory();
  if (working.empty()) return {};
  std::string directory = DeviceDirectory();

  char bestLetter = 0;
  size_t bestRootLength = 0;
  std::string bestRest;
  if (!directory.empty()) {
    for (char letter = 'a'; letter <= 'z'; ++letter) {
      std::string root = RealPath(directory + "/" + letter + ":");
      struct stat info {};
      if (root.empty() || ::stat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) continue;
      std::string rest;
      if (!RelativeTo(working, root, rest)) continue;
      if (bestLetter == 0 || root.size() > bestRootLength) {
        bestLetter = letter;
        bestRootLength = root.size();
        bestRest = rest;
      }
    }
  }
  if (bestLetter == 0) return Utf8ToUtf16(working);

  std::string path(1, static_cast<char>(bestLetter - 'a' + 'A'));
  path += ":\\";
  for (char c : bestRest) path.push_back(c == '/' ? '\\' : c);
  return Utf8ToUtf16(path);
}

}  // namespace skerry
