#include "filters/multi_filter.h"

namespace skerry {

MultiFilter::~MultiFilter() {
  // Released in the order of appending, which the element destructors of a
  // vector do not promise.
  for (Ref<Match>& predicate : predicates_) predicate.Reset();
}

void MultiFilter::Append(const Ref<Match>& predicate) { predicates_.push_back(predicate); }

bool MultiFilter::Matches(const StandardInfoBlock& standardInfo, const FileNameBlock& fileName,
                          const FileDescription& record) {
  for (const Ref<Match>& predicate : predicates_) {
    if (!predicate->Matches(standardInfo, fileName, record)) return false;
  }
  return true;
}

bool MultiFilter::FiltersOnLoad() const { return !predicates_.empty(); }

}  // namespace skerry
