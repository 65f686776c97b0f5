#pragma once
// The disk image being written: a sparse file written at byte offsets.

#include <cstdint>
#include <string>
#include <vector>

namespace skerry::disk_builder {

class ImageFile {
 public:
  // Creates (or empties) `path` with `size` bytes, all holes. Throws std::runtime_error.
  ImageFile(const std::string& path, uint64_t size);
  ~ImageFile();
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;

  void WriteAt(uint64_t offset, const uint8_t* data, size_t size);
  void WriteAt(uint64_t offset, const std::vector<uint8_t>& bytes) {
    WriteAt(offset, bytes.data(), bytes.size());
  }
  // Copies the file at `source` to `offset`, leaving blocks of zeros as holes
  // so that the image stays small on disk. At most `limit` bytes are copied.
  void CopyFrom(const std::string& source, uint64_t offset, uint64_t limit);
  void Close();

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace skerry::disk_builder
