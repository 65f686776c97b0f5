#pragma once

#include <string>

#include "description.h"

namespace skerry::disk_builder {

// Writes the whole disk of `disk` to `outputPath`, and beside it
// `outputPath`.manifest, the list of what each partition holds. The image is
// written under a temporary name and renamed at the end, so a failed build
// leaves no half-made image behind. Throws on failure.
void BuildDiskImage(const DiskDescription& disk, const std::string& outputPath);

}  // namespace skerry::disk_builder
