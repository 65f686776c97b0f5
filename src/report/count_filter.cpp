#include "report/count_filter.h"

namespace skerry {

bool CountFilter::Matches(const StandardInfoBlock& standardInfo, const FileNameBlock& fileName,
                          const FileDescription& record) {
  (void)standardInfo;
  (record.InUse() ? active : free).Count(fileName);
  return true;
}

}  // namespace skerry
