#pragma once
// The load's diagnostic lines while the MFT loads on one thread and the
// listing is written on another. The error stream flushes the listing
// before each of its lines, which only the listing's own thread may do, so
// a line is held here and written by that thread, just before the line of
// the first entry kept after it: where it falls does not depend on how far
// the listing had got.

#include <cstddef>
#include <deque>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

#include "scan/kept_entries.h"

namespace skerry {

class DiagnosticRelay {
 public:
  // Lines go to `target`; their place is told by how many entries `kept`
  // holds when each is flushed.
  DiagnosticRelay(std::wostream& target, const KeptEntries& kept);
  DiagnosticRelay(const DiagnosticRelay&) = delete;
  DiagnosticRelay& operator=(const DiagnosticRelay&) = delete;

  // The loading thread's side: what is flushed here is held.
  std::wostream& stream() { return stream_; }

  // The writing thread's side. The place of the first line held: the
  // number of entries that must be written before it (SIZE_MAX: none held).
  size_t NextPlace();
  // Writes the lines held whose place is at most `place`.
  void WriteUpTo(size_t place);

 private:
  class Buffer final : public std::wstreambuf {
   public:
    explicit Buffer(DiagnosticRelay& relay) : relay_(relay) {}

   protected:
    int_type overflow(int_type unit) override;
    std::streamsize xsputn(const wchar_t* units, std::streamsize count) override;
    int sync() override;

   private:
    DiagnosticRelay& relay_;
    std::wstring text_;
  };
  struct Held {
    size_t place = 0;
    std::wstring text;
  };

  std::wostream& target_;
  const KeptEntries& kept_;
  Buffer buffer_{*this};
  std::wostream stream_{&buffer_};
  std::mutex mutex_;
  std::deque<Held> held_;  // under mutex_
};

}  // namespace skerry
