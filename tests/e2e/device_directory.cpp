#include "device_directory.h"

#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <stdexcept>

#include "e2e_environment.h"

namespace skerry::e2e {
namespace fs = std::filesystem;

DeviceDirectory::DeviceDirectory() {
  const fs::path parent = fs::path(kWorkDirectory) / "devices";
  fs::create_directories(parent);
  std::string pattern = (parent / "dosdevices-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed in " + parent.string());
  path_ = pattern;
}

DeviceDirectory::~DeviceDirectory() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void DeviceDirectory::AddDisk(int number, const std::string& image) {
  fs::create_symlink(fs::absolute(image),
                     fs::path(path_) / ("physicaldrive" + std::to_string(number)));
}

void DeviceDirectory::MapDrive(char letter, int disk, int partition) {
  const std::string target =
      "physicaldrive" + std::to_string(disk) + "/partition" + std::to_string(partition);
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
  fs::create_symlink(target, fs::path(path_) / (std::string(1, lower) + "::"));
}

ProcessResult DeviceDirectory::RunSkerry(const std::vector<std::string>& arguments) const {
  std::vector<std::string> argv = {kSkerryBinary};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return RunProcess(argv, {{"SKERRY_DOSDEVICES", path_}});
}

}  // namespace skerry::e2e
