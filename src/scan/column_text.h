#pragma once
// Number columns of the listing without stream formatting: a listing line is
// built in one string, and the stream's number formatting (a locale lookup
// and a virtual call per value) was the costliest part of the size and
// attribute columns.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace skerry {

// Digits of one integer, kept in place; View() is valid while it lives.
class NumberText {
 public:
  std::wstring_view View() const { return {digits_ + start_, kCapacity - start_}; }

 protected:
  static constexpr size_t kCapacity = 24;  // a sign and 20 digits fit
  void Fill(uint64_t magnitude, unsigned base, bool negative) {
    start_ = kCapacity;
    do {
      digits_[--start_] = L"0123456789abcdef"[magnitude % base];
      magnitude /= base;
    } while (magnitude != 0);
    if (negative) digits_[--start_] = L'-';
  }

 private:
  wchar_t digits_[kCapacity];
  size_t start_ = kCapacity;
};

// Plain decimal digits, a minus sign for a negative value, as a stream
// writes them in the classic locale.
class DecimalText : public NumberText {
 public:
  template <typename Integer, typename = std::enable_if_t<std::is_integral_v<Integer>>>
  explicit DecimalText(Integer value) {
    if constexpr (std::is_signed_v<Integer>) {
      const bool negative = value < 0;
      // Negated in unsigned arithmetic, so that the smallest value has a magnitude too.
      const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value)
                                          : static_cast<uint64_t>(value);
      Fill(magnitude, 10, negative);
    } else {
      Fill(static_cast<uint64_t>(value), 10, false);
    }
  }
};

// Lower-case hexadecimal digits without a prefix, as std::hex writes them.
class HexText : public NumberText {
 public:
  explicit HexText(uint64_t value) { Fill(value, 16, false); }
};

// Pads on the left to `width` characters, as std::setw does; longer text is kept whole.
inline void AppendRightAligned(std::wstring& out, std::wstring_view text, size_t width) {
  if (text.size() < width) out.append(width - text.size(), L' ');
  out.append(text);
}

}  // namespace skerry
