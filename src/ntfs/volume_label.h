#pragma once
// The volume label of an NTFS volume: the $VOLUME_NAME value in record 3
// ($Volume) of its MFT, read for the list of volumes that Skerry shows when
// a disk holds several. Record 3 lies in the MFT's first cluster run on every
// volume NTFS makes, so its place follows from the boot sector alone.

#include <cstdint>
#include <string>

#include "platform/device.h"

namespace skerry {

// The label, or empty when the volume has none or it cannot be read: a label
// is a help for the user, never a reason to fail.
std::u16string ReadVolumeLabel(BlockDevice& disk, uint64_t partitionOffset);

}  // namespace skerry
