#include "scan/diagnostic_relay.h"

#include <cstdint>
#include <utility>

namespace skerry {

DiagnosticRelay::DiagnosticRelay(std::wostream& target, const KeptEntries& kept)
    : target_(target), kept_(kept) {}

DiagnosticRelay::Buffer::int_type DiagnosticRelay::Buffer::overflow(int_type unit) {
  if (!traits_type::eq_int_type(unit, traits_type::eof())) {
    text_.push_back(traits_type::to_char_type(unit));
  }
  return traits_type::not_eof(unit);
}

std::streamsize DiagnosticRelay::Buffer::xsputn(const wchar_t* units, std::streamsize count) {
  text_.append(units, static_cast<size_t>(count));
  return count;
}

int DiagnosticRelay::Buffer::sync() {
  if (text_.empty()) return 0;
  const size_t place = relay_.kept_.size();
  std::lock_guard lock(relay_.mutex_);
  relay_.held_.push_back(Held{place, std::move(text_)});
  text_.clear();
  return 0;
}

size_t DiagnosticRelay::NextPlace() {
  std::lock_guard lock(mutex_);
  return held_.empty() ? SIZE_MAX : held_.front().place;
}

void DiagnosticRelay::WriteUpTo(size_t place) {
  for (;;) {
    Held line;
    {
      std::lock_guard lock(mutex_);
      if (held_.empty() || held_.front().place > place) return;
      line = std::move(held_.front());
      held_.pop_front();
    }
    target_ << line.text;
    target_.flush();
  }
}

}  // namespace skerry
