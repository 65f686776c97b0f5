#include "report/volume_report.h"

#include <array>
#include <iomanip>

#include "platform/text.h"
#include "report/count_filter.h"
#include "scan/list_files.h"

namespace skerry {
namespace {

constexpr int kLabelWidth = 20;
constexpr int kFieldWidth = 15;

// By attribute type code >> 4, for the types 0x10 to 0xE0.
constexpr std::array<const wchar_t*, 15> kAttributeTypeLabels = {
    nullptr,          L"Standard Information", L"Attribute List",
    L"File Name",     L"Volume Version",       L"Security Descriptor",
    L"Volume Name",   L"Volume Information",   L"Data",
    L"Index Root",    L"Index Allocation",     L"Bitmap",
    L"Symbolic Link", L"Extended Attribute",   L"EA",
};

// The caller's settings with every informative column on and the counting
// filter in place of the record filter: the name, size, age and stream-count
// predicates take no part, while the directory patterns and the attribute
// mask still narrow the listing of system files.
ScanSettings ReportSettings(const ScanSettings& settings, const Ref<MultiFilter>& counter) {
  ScanSettings copy(settings);
  copy.showIndex = true;
  copy.showTime = true;
  copy.showSize = true;
  copy.showAttributes = true;
  copy.showDirectory = true;
  copy.recordFilter = counter;
  return copy;
}

void WriteRecordSummary(std::wostream& output, const CountFilter& counts,
                        const NtfsVolume& volume) {
  const uint32_t active = counts.active.fileCount + counts.active.directoryCount;
  const uint32_t free = counts.free.fileCount + counts.free.directoryCount;
  output << L"\n====Record Summary (Count)====";
  output << L"\n              Active:" << std::setw(kFieldWidth) << active;
  output << L"\n                Free:" << std::setw(kFieldWidth) << free;
  output << L"\n               Total:" << std::setw(kFieldWidth) << uint32_t{active + free};
  output << L"\n           Fragments:" << std::setw(kFieldWidth) << volume.mftListedRunCount();
  output << L"\n";
}

void WriteAttributeCounts(std::wostream& output, const NtfsVolume& volume) {
  output << L"\n====MFT Information (Record Count)====\n";
  const AttributeCounts& attributeCounts = volume.attributeCounts();
  for (size_t type = 1; type < kAttributeTypeLabels.size(); ++type) {
    output << L" " << std::setw(kLabelWidth) << kAttributeTypeLabels[type] << std::setw(kFieldWidth)
           << static_cast<uint32_t>(attributeCounts[type]) << L"\n";
    output.flush();
  }
}

}  // namespace

ErrorCode ReportVolumeInformation(NtfsVolume& volume, std::u16string_view physicalName,
                                  const PartitionEntry& partition, const ScanSettings& settings,
                                  std::wostream& output) {
  const Ref<MultiFilter> counter = Ref<MultiFilter>::Make<CountFilter>();
  const auto& counts = static_cast<const CountFilter&>(*counter);

  output << L"\nMFT Information for volume " << Text(settings.drivePrefix) << L"\n\n";
  output << L"\n====System/Hidden Files====\n";
  output.flush();

  ErrorCode result = kErrorSuccess;
  {
    const ScanSettings reportSettings = ReportSettings(settings, counter);
    result = ListFiles(volume, physicalName, partition, reportSettings, output);
  }
  // A record that the listing could not decode is passed over, and the
  // listing of all the others is complete; the counts were taken while the
  // MFT loaded, so the report is completed and the code returned after it.
  const bool listingComplete = result == kErrorFileCorrupt && volume.loaded();
  if (result != kErrorSuccess && !listingComplete) return result;

  output << std::dec << std::setfill(L' ');
  WriteRecordSummary(output, counts, volume);
  WriteAttributeCounts(output, volume);
  output << L"\n====Active Records====\n";
  counts.active.Print(output);
  output << L"\n====Free(deleted) Records====\n";
  counts.free.Print(output);
  return result;
}

}  // namespace skerry
