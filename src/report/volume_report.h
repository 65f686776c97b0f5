#pragma once
// The query mode's report on one volume: its system files, the counts of its
// MFT records, the fragments of the MFT, its attributes by type, and the
// statistics of the records in use and of the free ones.

#include <ostream>
#include <string_view>

#include "filters/scan_settings.h"
#include "ntfs/ntfs_volume.h"
#include "ntfs/partition_entry.h"
#include "platform/errors.h"

namespace skerry {

// Lists the volume's system files through the ordinary listing and counts
// every record as the MFT streams by for that listing, so it is read once.
// `volume` is constructed and not yet mounted; `settings` are left as they
// were. Returns the listing's code: after a failure to mount, the output
// holds only the title and the first heading.
ErrorCode ReportVolumeInformation(NtfsVolume& volume, std::u16string_view physicalName,
                                  const PartitionEntry& partition, const ScanSettings& settings,
                                  std::wostream& output);

}  // namespace skerry
