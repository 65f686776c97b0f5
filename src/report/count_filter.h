#pragma once
// The volume report's record filter: it keeps every record the MFT loader
// offers and counts it, by its in-use flag, into one of two blocks.

#include "filters/multi_filter.h"
#include "report/record_stats.h"

namespace skerry {

class CountFilter final : public MultiFilter {
 public:
  // $STANDARD_INFORMATION takes no part in the counts.
  bool Matches(const StandardInfoBlock& standardInfo, const FileNameBlock& fileName,
               const FileDescription& record) override;
  // The loader must parse and offer every record, so that all are counted.
  bool FiltersOnLoad() const override { return true; }

  RecordStats active;  // records in use
  RecordStats free;    // free (deleted) records, with whatever they still hold
};

}  // namespace skerry
