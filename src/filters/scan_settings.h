#pragma once
// The one record through which the command line reaches every scan.

#include <cstdint>
#include <string_view>
#include <vector>

#include "filters/multi_filter.h"
#include "filters/ref_holder.h"

namespace skerry {

inline constexpr uint32_t kAllAttributes = 0xFFFFFFFF;

struct ScanSettings {
  // Two new, empty filter lists, each held by this record alone.
  ScanSettings();
  // A copy shares both filter lists and every saved list with the source; it
  // may replace its own lists without touching the source's.
  ScanSettings(const ScanSettings& other) = default;
  ScanSettings& operator=(const ScanSettings& other) = default;
  ~ScanSettings();

  // Pushes copies of the two lists (new lists holding the same predicates),
  // the record list first.
  void SaveFilters();
  // Pops the directory list, then the record list, into the two fields, so
  // that each holds exactly the predicates it held at the matching save.
  // Without a matching save it changes nothing.
  void RestoreFilters();

  bool queryMode = false;
  bool showIndex = false;
  bool showTime = false;
  bool showSize = false;
  bool showAttributes = false;
  bool showDirectory = true;
  bool hasDirectoryFilter = false;
  bool showNameCount = false;
  bool showStreamCount = false;
  bool showVcn = false;
  // -m: body file lines for a timeline instead of the listing.
  bool bodyFile = false;
  // -0: every line ends with a NUL, names go out exactly as they are, no header.
  bool nulTerminated = false;
  // -e: records no longer in use are listed too.
  bool includeDeleted = false;
  uint32_t attributeMask = kAllAttributes;
  char16_t separator = u'\\';
  std::u16string_view columnSeparator = u" ";
  // The drive letter and colon while that drive is scanned.
  std::u16string_view drivePrefix;
  // Never empty references. The lists are MultiFilters (or derived from it,
  // like the volume report's counting filter) so that predicates can be appended.
  Ref<MultiFilter> recordFilter;
  Ref<MultiFilter> directoryFilter;
  std::vector<Ref<MultiFilter>> savedFilters;
};

}  // namespace skerry
