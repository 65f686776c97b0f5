#pragma once
// The time of day without seconds, derived from a POSIX locale's own time
// format so that it reads the way the locale writes times, the way Windows'
// TIME_NOSECONDS drops the seconds from the user's time format.

#include <cstddef>
#include <string>
#include <string_view>

namespace skerry {

// Turns the locale's T_FMT (and T_FMT_AMPM, which %r stands for) into a
// strftime pattern for hours and minutes:
// - %r, %T and %R are spelt out first;
// - the seconds field goes, with the punctuation that separates it from the
//   minutes ("%H:%M:%S" gives "%H:%M"); where seconds carry a unit word
//   instead ("%H時%M分%S秒") the unit word after them goes;
// - a time zone field (%Z, %z) goes with the blank beside it, since a time of
//   day in a listing column has none;
// - blanks at either end go.
// An empty result becomes "%H:%M".
std::string TimePatternWithoutSeconds(std::string_view timeFormat, std::string_view amPmFormat);

// Copies `pattern` into `out` (terminated), writing the 12-hour fields %I and
// %l and the blank-padded 24-hour field %k as the bare hour number of `hour`
// (0 to 23), so that "%I:%M %p" gives 3:45 PM like Windows' "h:mm tt". %H
// keeps its two digits. Returns false when the result does not fit.
bool ExpandHourFields(std::string_view pattern, int hour, char* out, size_t capacity);

}  // namespace skerry
