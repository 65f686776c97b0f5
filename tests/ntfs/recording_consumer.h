#pragma once

#include <string>
#include <vector>

#include "ntfs/mft_stream.h"

namespace skerry::test {

// Takes the MFT's stream and remembers, for each record, its number, the
// parser's code, its name and both blocks it presents.
class RecordingConsumer : public MftRecordConsumer {
 public:
  void Consume(uint64_t number, ErrorCode error, const MFTRecord& record,
               AttributeReader&) override {
    numbers.push_back(number);
    errors.push_back(error);
    std::u16string name;
    if (error == kErrorSuccess) {
      for (size_t i = 0; i < NameLength(record.fileName); ++i) {
        name.push_back(NameUnit(record.fileName, i));
      }
    }
    names.push_back(name);
    standardInfos.push_back(record.standardInfo);
    fileNames.push_back(record.fileName);
    streamCounts.push_back(record.DataStreamCount());
  }

  std::vector<uint64_t> numbers;
  std::vector<ErrorCode> errors;
  std::vector<std::u16string> names;
  std::vector<StandardInfoBlock> standardInfos;
  std::vector<FileNameBlock> fileNames;
  std::vector<uint32_t> streamCounts;
};

}  // namespace skerry::test
