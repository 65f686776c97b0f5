#include "generated_files.h"

namespace skerry::disk_builder {

GeneratedFiles::GeneratedFiles(const Action& action)
    : action_(action), state_(action.seed * 0x9E3779B97F4A7C15ull + 1) {
  for (uint64_t largest = action.count > 0 ? action.count - 1 : 0; largest >= 10; largest /= 10) {
    ++width_;
  }
}

uint64_t GeneratedFiles::NextRandom() {
  // splitmix64: small, and the same sequence on every platform.
  state_ += 0x9E3779B97F4A7C15ull;
  uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

bool GeneratedFiles::Next(GeneratedFile& file) {
  if (index_ >= action_.count) return false;
  std::string digits = std::to_string(index_++);
  if (digits.size() < width_) digits.insert(0, width_ - digits.size(), '0');
  file.name = action_.prefix + digits + action_.extension;
  const uint64_t span = action_.sizeMax - action_.sizeMin;
  file.size = action_.sizeMin + (span == UINT64_MAX ? NextRandom() : NextRandom() % (span + 1));
  return true;
}

void FillPattern(uint64_t offset, uint8_t* out, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    const uint64_t position = offset + i;
    out[i] =
        position % 64 == 63 ? '\n' : static_cast<uint8_t>('a' + (position / 64 + position) % 26);
  }
}

}  // namespace skerry::disk_builder
