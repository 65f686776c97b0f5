#pragma once
// The five conditions on a file that the options create, and the comparison
// functions between which their creators choose.

#include <cstdint>
#include <string>
#include <string_view>

#include "filters/file_views.h"
#include "filters/match.h"

namespace skerry {

// Equal values never pass: every comparison is strict.
bool TimeAfter(const StandardInfoBlock& standardInfo, uint64_t reference);
bool TimeBefore(const StandardInfoBlock& standardInfo, uint64_t reference);
bool SizeGreater(const FileNameBlock& fileName, int64_t threshold);
bool SizeLess(const FileNameBlock& fileName, int64_t threshold);
bool CountGreater(uint32_t count, uint64_t threshold);
bool CountLess(uint32_t count, uint64_t threshold);

using TimeCompare = bool (*)(const StandardInfoBlock&, uint64_t);
using SizeCompare = bool (*)(const FileNameBlock&, int64_t);
using CountCompare = bool (*)(uint32_t, uint64_t);

// The modification time of $STANDARD_INFORMATION against a FILETIME reference.
class MatchDate final : public Match {
 public:
  MatchDate(bool expectedOutcome, uint64_t reference, TimeCompare comparison);
  bool Matches(const StandardInfoBlock& standardInfo, const FileNameBlock& fileName,
               const FileDescription& record) const override;

  const uint64_t value;
  const TimeCompare compare;
};

// The data size of $FILE_NAME against a threshold in bytes.
class MatchSize final : public Match {
 public:
  MatchSize(bool expectedOutcome, int64_t threshold, SizeCompare comparison);
  bool Matches(const StandardInfoBlock& standardInfo, const FileNameBlock& fileName,
               const FileDescription& record) const override;

  const int64_t value;
  const SizeCompare compare;
};

// The record's number of data streams against a threshold.
class StreamCntMatch final : public Match {
 public:
  StreamCntMatch(bool expectedOutcome, uint64_t threshold, CountCompare comparison);
  bool Matches(const StandardInfoBlock& standardInfo, const FileNameBlock& fileName,
               const FileDescription& record) const override;

  const uint64_t value;
  const CountCompare compare;
};

// The name of $FILE_NAME against a wildcard pattern; an empty name never matches.
class MatchName final : public Match {
 public:
  MatchName(bool expectedOutcome, std::u16string_view namePattern);
  bool Matches(const StandardInfoBlock& standardInfo, const FileNameBlock& fileName,
               const FileDescription& record) const override;

  const std::u16string pattern;
};

// The directory path of the file's parent against a wildcard pattern.
class MatchDirectory final : public Match {
 public:
  MatchDirectory(bool expectedOutcome, std::u16string_view directoryPattern);
  bool Matches(const StandardInfoBlock& standardInfo, const FileNameBlock& fileName,
               const FileDescription& record) const override;

  const std::u16string pattern;
};

}  // namespace skerry
