#pragma once
// A temporary directory for one test, removed with everything in it afterwards.

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

namespace skerry::testing {

class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::random_device seed;
    auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      auto candidate = base / ("skerry-test-" + std::to_string(seed()));
      if (std::filesystem::create_directory(candidate)) {
        path_ = candidate;
        return;
      }
    }
    throw std::runtime_error("cannot create a scratch directory");
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  // Writes a file of the given bytes and returns its path.
  std::filesystem::path WriteFile(const std::string& name, const std::string& bytes) const {
    auto file = path_ / name;
    std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return file;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace skerry::testing
