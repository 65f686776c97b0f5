#pragma once
// Compares skerry's listing of a volume with what fls reports for it.
//
// Skerry prints one line per in-use record that has a name, with the name of
// the record's last $FILE_NAME attribute that is not a DOS alias; fls prints
// one line per name found in the directory indexes (no DOS aliases) and per
// stream. So the comparison groups fls's in-use entries by record: each
// record must be printed exactly once, under one of the names fls shows for
// it (a DOS alias is not one of them), and nothing else may be printed. The
// names of records in no index, which fls does not show, are looked up
// through a callback, typically istat, only for what is left unmatched.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sleuth_kit.h"

namespace skerry::e2e {

struct ListingComparison {
  bool matches = false;
  std::string report;  // counts, then what only one side has; empty lines none
};

using RecordNames = std::function<std::vector<FileNameOfRecord>(uint64_t record)>;

// `listing` is skerry's standard output for a plain `skerry x:`, header
// included; `drive` is the drive letter and colon it prints, "D:".
ListingComparison CompareListing(const std::string& listing, const std::string& drive,
                                 const std::vector<FlsEntry>& fls, const RecordNames& names);

// fls's path ("docs/a.txt:zone") as skerry prints it ("D:\docs\a.txt").
std::string SkerryPathOf(const std::string& flsPath, const std::string& drive);

}  // namespace skerry::e2e
