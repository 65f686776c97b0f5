#pragma once
// The default report of a drive: one line per file of the volume that passes
// the settings' filters, under a header of the switched-on columns.

#include <ostream>
#include <string_view>

#include "filters/scan_settings.h"
#include "ntfs/ntfs_volume.h"
#include "ntfs/partition_entry.h"
#include "platform/errors.h"
#include "scan/entry_collector.h"

namespace skerry {

// Mounts `volume` (constructed, not yet mounted) on the disk `physicalName`
// at `partition`, streaming the MFT through the settings' record filter, and
// lists it to `output`, the lines written while the MFT still loads. The
// header is written just before the first line; a volume on which nothing is
// selected writes nothing. Returns Mount's code (nothing written when it
// failed before the MFT's records; the records read before a failure inside
// the MFT listed), kErrorFileCorrupt when records could not be decoded (the
// listing of all the others is complete), kErrorHandleEof when the disk ended
// inside the MFT (every record read before that end listed), or 0. The
// volume's diagnostic lines go to its diagnostic stream, each before the line
// of the first file kept after its record.
ErrorCode ListFiles(NtfsVolume& volume, std::u16string_view physicalName,
                    const PartitionEntry& partition, const ScanSettings& settings,
                    std::wostream& output);

// Lists a volume that is already mounted, its MFT streamed to `collector`.
ErrorCode ListMountedVolume(NtfsVolume& volume, const ScanSettings& settings,
                            EntryCollector& collector, std::wostream& output);

}  // namespace skerry
