#pragma once

#include <functional>
#include <string>
#include <vector>

#include "filters/fs_filter.h"

namespace skerry::test {

// A load filter that keeps what its predicate accepts and remembers what it
// was shown: each record's name and the first bytes of both blocks.
class RecordingFilter : public FsFilter {
 public:
  using Predicate = std::function<bool(const std::u16string& name)>;
  explicit RecordingFilter(Predicate keep = [](const std::u16string&) { return true; })
      : keep_(std::move(keep)) {}

  bool Matches(const StandardInfoBlock& standardInfo, const FileNameBlock& fileName,
               const FileDescription& record) override {
    std::u16string name;
    for (size_t i = 0; i < NameLength(fileName); ++i) name.push_back(NameUnit(fileName, i));
    names.push_back(name);
    standardInfos.push_back(standardInfo);
    fileNames.push_back(fileName);
    streamCounts.push_back(record.DataStreamCount());
    return keep_(name);
  }
  bool FiltersOnLoad() const override { return true; }

  std::vector<std::u16string> names;
  std::vector<StandardInfoBlock> standardInfos;
  std::vector<FileNameBlock> fileNames;
  std::vector<uint32_t> streamCounts;

 private:
  Predicate keep_;
};

}  // namespace skerry::test
