#include "filters/scan_settings.h"

namespace skerry {

ScanSettings::ScanSettings()
    : recordFilter(Ref<MultiFilter>::Make()), directoryFilter(Ref<MultiFilter>::Make()) {}

ScanSettings::~ScanSettings() {
  // The saved lists go from the top of the stack down; the two fields then
  // go in reverse order of declaration: directoryFilter, then recordFilter.
  while (!savedFilters.empty()) savedFilters.pop_back();
}

void ScanSettings::SaveFilters() {
  savedFilters.push_back(Ref<MultiFilter>::Make(*recordFilter));
  savedFilters.push_back(Ref<MultiFilter>::Make(*directoryFilter));
}

void ScanSettings::RestoreFilters() {
  if (savedFilters.size() < 2) return;
  directoryFilter = savedFilters.back();
  savedFilters.pop_back();
  recordFilter = savedFilters.back();
  savedFilters.pop_back();
}

}  // namespace skerry
