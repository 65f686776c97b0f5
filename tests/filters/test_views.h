#pragma once
// Builders of the three file views for filter tests, and a predicate that
// records how it is called and when it is destroyed.

#include <cstdint>
#include <string>
#include <string_view>

#include "filters/file_views.h"
#include "filters/match.h"
#include "filters/ref_holder.h"
#include "platform/bytes.h"

namespace skerry::testing {

inline StandardInfoBlock StandardInfoModifiedAt(uint64_t fileTime) {
  StandardInfoBlock block{};
  StoreLe64(block.data() + kSiModified, fileTime);
  return block;
}

// A $FILE_NAME value with the name, its length and the NUL after it.
inline FileNameBlock FileNameOf(std::u16string_view name, int64_t dataSize = 0) {
  FileNameBlock block{};
  StoreLe64(block.data() + kFnDataSize, static_cast<uint64_t>(dataSize));
  block[kFnNameLength] = static_cast<uint8_t>(name.size());
  for (size_t i = 0; i < name.size(); ++i) StoreLe16(block.data() + kFnName + 2 * i, name[i]);
  return block;
}

struct FakeFile final : FileDescription {
  uint32_t dataCount = 1;
  std::u16string path;
  uint32_t DataStreamCount() const override { return dataCount; }
  std::u16string_view DirectoryPath() const override { return path; }
};

inline FakeFile FileIn(std::u16string_view path, uint32_t dataCount = 1) {
  FakeFile file;
  file.path = path;
  file.dataCount = dataCount;
  return file;
}

// What a ProbeMatch saw: its calls, and its holder's state when it was destroyed.
struct Probe {
  int calls = 0;
  int destroyed = 0;
  int32_t countAtDestruction = -1;
  int32_t tagAtDestruction = -1;
};

class ProbeMatch final : public Match {
 public:
  ProbeMatch(bool result, Probe& probe) : Match(true), result_(result), probe_(probe) {}
  ~ProbeMatch() override {
    ++probe_.destroyed;
    if (holder != nullptr) {
      probe_.countAtDestruction = holder->count;
      probe_.tagAtDestruction = holder->tag;
    }
  }
  bool Matches(const StandardInfoBlock&, const FileNameBlock&,
               const FileDescription&) const override {
    ++probe_.calls;
    return result_;
  }

  // Set by the test after creation, so that the destructor can look at it.
  RefHolder<Match>* holder = nullptr;

 private:
  bool result_;
  Probe& probe_;
};

// A new probe predicate whose destructor records its holder's state.
inline Ref<Match> MakeProbe(bool result, Probe& probe) {
  Ref<Match> ref = Ref<Match>::Make<ProbeMatch>(result, probe);
  static_cast<ProbeMatch*>(ref.get())->holder = ref.holder();
  return ref;
}

}  // namespace skerry::testing
