#include "platform/posix/device_directory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace skerry {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string HomeDirectory() {
  std::string home = Environment("HOME");
  if (!home.empty()) return home;
  // A service or cron job may run without HOME; the password database still knows.
  long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return {};
}

}  // namespace

std::string DeviceDirectory(std::string* origin) {
  std::string unused;
  std::string& from = origin != nullptr ? *origin : unused;
  std::string explicitDirectory = Environment("SKERRY_DOSDEVICES");
  from = "$SKERRY_DOSDEVICES";
  if (!explicitDirectory.empty()) return explicitDirectory;
  std::string prefix = Environment("WINEPREFIX");
  from = "$WINEPREFIX/dosdevices";
  if (!prefix.empty()) return prefix + "/dosdevices";
  std::string home = HomeDirectory();
  from = "~/.wine/dosdevices (neither SKERRY_DOSDEVICES nor WINEPREFIX is set)";
  if (home.empty()) return {};
  return home + "/.wine/dosdevices";
}

}  // namespace skerry
