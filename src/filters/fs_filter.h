#pragma once

#include <string_view>

#include "filters/file_views.h"

namespace skerry {

// A filter over one file. The MFT loader offers each record to a filter whose
// FiltersOnLoad() is true; the listing applies the directory filter after the
// path is resolved; the volume report installs a counting filter.
class FsFilter {
 public:
  virtual ~FsFilter() = default;
  virtual bool Matches(const StandardInfoBlock& standardInfo, const FileNameBlock& fileName,
                       const FileDescription& record) = 0;
  virtual bool FiltersOnLoad() const = 0;
};

// The observer that the record parser tells about named data streams. This
// one does nothing; it is the seam for a future stream report.
class StreamFilter {
 public:
  virtual ~StreamFilter() = default;
  virtual bool OnNamedStream(std::u16string_view fileName, std::u16string_view streamName,
                             uint16_t attributeLength) {
    (void)fileName;
    (void)streamName;
    (void)attributeLength;
    return false;
  }
};

}  // namespace skerry
