#include "filters/add_file_pattern.h"

#include "filters/match_predicates.h"

namespace skerry {
namespace {

bool IsEveryName(std::u16string_view namePart) {
  return namePart.empty() || namePart == u"*" || namePart == u"*.*";
}

}  // namespace

void AddFilePattern(std::u16string_view pattern, ScanSettings& settings, bool expected) {
  const size_t split = pattern.rfind(settings.separator);
  if (split == std::u16string_view::npos) {
    settings.recordFilter->Append(Ref<Match>::Make<MatchName>(expected, pattern));
    return;
  }
  // After a directory, a name part restricts the name as a pattern without
  // separator does (\docs\*.txt takes the .txt files of \docs), except the
  // ones that mean every name: nothing, "*" and "*.*" (on Windows "*.*" also
  // takes names without a full stop).
  const std::u16string_view namePart = pattern.substr(split + 1);
  if (!IsEveryName(namePart)) {
    settings.recordFilter->Append(Ref<Match>::Make<MatchName>(expected, namePart));
  }
  settings.directoryFilter->Append(
      Ref<Match>::Make<MatchDirectory>(expected, pattern.substr(0, split)));
  settings.hasDirectoryFilter = true;
}

}  // namespace skerry
