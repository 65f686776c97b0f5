#pragma once

#include <vector>

#include "filters/fs_filter.h"
#include "filters/match.h"
#include "filters/ref_holder.h"

namespace skerry {

// A list of predicates that all must pass. Copying a list shares its
// predicates: each gains one reference.
class MultiFilter : public FsFilter {
 public:
  MultiFilter() = default;
  MultiFilter(const MultiFilter& other) = default;
  MultiFilter& operator=(const MultiFilter&) = delete;
  ~MultiFilter() override;

  // Appends a copy of the reference; the caller keeps (and usually drops) its own.
  void Append(const Ref<Match>& predicate);

  // Stops at the first predicate that fails; an empty list passes every file.
  bool Matches(const StandardInfoBlock& standardInfo, const FileNameBlock& fileName,
               const FileDescription& record) override;
  bool FiltersOnLoad() const override;

  const std::vector<Ref<Match>>& predicates() const { return predicates_; }

 private:
  std::vector<Ref<Match>> predicates_;
};

}  // namespace skerry
