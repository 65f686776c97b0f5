#include "filters/add_file_pattern.h"

#include "filters/match_predicates.h"

namespace skerry {

void AddFilePattern(std::u16string_view pattern, ScanSettings& settings, bool expected) {
  const size_t split = pattern.rfind(settings.separator);
  if (split == std::u16string_view::npos) {
    settings.recordFilter->Append(Ref<Match>::Make<MatchName>(expected, pattern));
    return;
  }
  // A name part that begins with "*" does not restrict the name at all: after
  // a directory, \docs\* and \docs\*.txt both select everything in \docs.
  const std::u16string_view namePart = pattern.substr(split + 1);
  if (!namePart.empty() && namePart.front() != u'*') {
    settings.recordFilter->Append(Ref<Match>::Make<MatchName>(expected, namePart));
  }
  settings.directoryFilter->Append(
      Ref<Match>::Make<MatchDirectory>(expected, pattern.substr(0, split)));
  settings.hasDirectoryFilter = true;
}

}  // namespace skerry
