#include "filters/match_predicates.h"

#include "filters/wild_match.h"

namespace skerry {

bool TimeAfter(const StandardInfoBlock& standardInfo, uint64_t reference) {
  return ModificationTime(standardInfo) > reference;
}

bool TimeBefore(const StandardInfoBlock& standardInfo, uint64_t reference) {
  return ModificationTime(standardInfo) < reference;
}

bool SizeGreater(const FileNameBlock& fileName, int64_t threshold) {
  return DataSize(fileName) > threshold;
}

bool SizeLess(const FileNameBlock& fileName, int64_t threshold) {
  return DataSize(fileName) < threshold;
}

bool CountGreater(uint32_t count, uint64_t threshold) { return uint64_t{count} > threshold; }

bool CountLess(uint32_t count, uint64_t threshold) { return uint64_t{count} < threshold; }

MatchDate::MatchDate(bool expectedOutcome, uint64_t reference, TimeCompare comparison)
    : Match(expectedOutcome), value(reference), compare(comparison) {}

bool MatchDate::Matches(const StandardInfoBlock& standardInfo, const FileNameBlock&,
                        const FileDescription&) const {
  return compare(standardInfo, value) == expected;
}

MatchSize::MatchSize(bool expectedOutcome, int64_t threshold, SizeCompare comparison)
    : Match(expectedOutcome), value(threshold), compare(comparison) {}

bool MatchSize::Matches(const StandardInfoBlock&, const FileNameBlock& fileName,
                        const FileDescription&) const {
  return compare(fileName, value) == expected;
}

StreamCntMatch::StreamCntMatch(bool expectedOutcome, uint64_t threshold, CountCompare comparison)
    : Match(expectedOutcome), value(threshold), compare(comparison) {}

bool StreamCntMatch::Matches(const StandardInfoBlock&, const FileNameBlock&,
                             const FileDescription& record) const {
  return compare(record.DataStreamCount(), value) == expected;
}

MatchName::MatchName(bool expectedOutcome, std::u16string_view namePattern)
    : Match(expectedOutcome), pattern(namePattern) {}

bool MatchName::Matches(const StandardInfoBlock&, const FileNameBlock& fileName,
                        const FileDescription&) const {
  const bool result =
      NameLength(fileName) != 0 && WildMatch(pattern, 0, FileNameUnits(fileName), 0);
  return result == expected;
}

MatchDirectory::MatchDirectory(bool expectedOutcome, std::u16string_view directoryPattern)
    : Match(expectedOutcome), pattern(directoryPattern) {}

bool MatchDirectory::Matches(const StandardInfoBlock&, const FileNameBlock&,
                             const FileDescription& record) const {
  return WildMatch(pattern, 0, StringUnits(record.DirectoryPath()), 0) == expected;
}

}  // namespace skerry
