#pragma once

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

}  // namespace skerry
