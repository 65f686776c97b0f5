#pragma once

#include "filters/file_views.h"

namespace skerry {

// One condition on a file. `expected` is the outcome of the condition that
// counts as a pass: true for a plain predicate, false for one inverted by -!.
class Match {
 public:
  explicit Match(bool expectedOutcome) : expected(expectedOutcome) {}
  virtual ~Match() = default;
  Match(const Match&) = delete;
  Match& operator=(const Match&) = delete;

  virtual bool Matches(const StandardInfoBlock& standardInfo, const FileNameBlock& fileName,
                       const FileDescription& record) const = 0;

  const bool expected;
};

}  // namespace skerry
