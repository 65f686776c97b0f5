#pragma once
// Values and line syntax of the disk description: numbers with units, times,
// attribute letters, and the split of one line into its words.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace skerry::disk_builder {

// One line: its first word, the words without "=", and the key=value words.
// A value may be quoted ("...") to hold blanks; there are no escapes, so a
// backslash stands for itself as it does in Windows paths.
struct DescriptionLine {
  std::string keyword;
  std::vector<std::string> words;
  std::map<std::string, std::string> options;
};

// Splits a line; returns false for a blank or comment-only line. Throws
// DescriptionError (without the line number) on an unterminated quote or a
// repeated key.
bool SplitLine(const std::string& text, DescriptionLine& line);

uint64_t ParseNumber(const std::string& text);  // decimal or 0x-prefixed hexadecimal
// A byte count: a number with an optional unit B, KiB, MiB, GiB (powers of 1024).
uint64_t ParseBytes(const std::string& text);
// A sector count: a plain number is sectors ("s" may follow); KiB, MiB and GiB
// must come to whole 512-byte sectors.
uint64_t ParseSectors(const std::string& text);
// "lo..hi" byte range, or a single byte count for both ends.
void ParseByteRange(const std::string& text, uint64_t& low, uint64_t& high);
// UTC time "YYYY-MM-DD", "YYYY-MM-DDTHH:MM:SS" or with ".fffffff", as a
// FILETIME; or "filetime:N" for a raw value.
uint64_t ParseTime(const std::string& text);
// Letters r h s a n t o (read-only, hidden, system, archive, normal, temporary,
// offline) to FILE_ATTRIBUTE_* bits; "-" for none.
uint32_t ParseAttributeLetters(const std::string& text);

}  // namespace skerry::disk_builder
