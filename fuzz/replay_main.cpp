// Runs files through a fuzz target's entry function without libFuzzer: every
// regular file of each directory argument (in name order), or each file argument.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool Replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
    return false;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int replayed = 0;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path argument(argv[i]);
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(argument)) {
      for (const auto& item : std::filesystem::directory_iterator(argument)) {
        if (item.is_regular_file()) files.push_back(item.path());
      }
      std::sort(files.begin(), files.end());
    } else {
      files.push_back(argument);
    }
    for (const auto& file : files) {
      ok = Replay(file) && ok;
      ++replayed;
    }
  }
  std::printf("replayed %d inputs\n", replayed);
  return ok && replayed > 0 ? 0 : 1;
}
