#include "driver/number_arguments.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "platform/clock.h"

namespace skerry {
namespace {

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

size_t SkipSpace(std::u16string_view text, size_t i) {
  while (i < text.size() && IsSpace(text[i])) ++i;
  return i;
}

uint64_t SaturatingMultiply(uint64_t a, uint64_t b) {
  if (a != 0 && b > std::numeric_limits<uint64_t>::max() / a) {
    return std::numeric_limits<uint64_t>::max();
  }
  return a * b;
}

}  // namespace

std::optional<int32_t> ParseDecimalInteger(std::u16string_view text) {
  size_t i = SkipSpace(text, 0);
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  if (i >= text.size() || !IsDigit(text[i])) return std::nullopt;

  // Accumulated as a magnitude that stops growing once it passes the range.
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    if (magnitude <= kLimit) magnitude = magnitude * 10 + (text[i] - u'0');
  }
  if (negative) return static_cast<int32_t>(-std::min(magnitude, kLimit));
  return static_cast<int32_t>(std::min(magnitude, kLimit - 1));
}

std::optional<double> ParseDecimalReal(std::u16string_view text) {
  size_t i = SkipSpace(text, 0);
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';

  // The digits go into an ASCII copy for std::from_chars, which rounds
  // correctly and knows no locale. Alongside, the decimal exponent of the
  // leading significant digit tells overflow from underflow.
  std::string ascii;
  int64_t leadingExponent = 0;  // 10^leadingExponent > value >= 10^(leadingExponent - 1)
  bool seenSignificant = false;
  size_t digits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) {
    ascii.push_back(static_cast<char>(text[i]));
    if (text[i] != u'0') seenSignificant = true;
    if (seenSignificant && leadingExponent < std::numeric_limits<int32_t>::max()) {
      ++leadingExponent;
    }
  }
  if (i < text.size() && text[i] == u'.') {
    ascii.push_back('.');
    for (++i; i < text.size() && IsDigit(text[i]); ++i, ++digits) {
      ascii.push_back(static_cast<char>(text[i]));
      if (text[i] != u'0') seenSignificant = true;
      if (!seenSignificant && leadingExponent > std::numeric_limits<int32_t>::min()) {
        --leadingExponent;
      }
    }
  }
  if (digits == 0) return std::nullopt;

  // An exponent counts only when at least one digit follows its letter and sign.
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    size_t j = i + 1;
    bool negativeExponent = false;
    if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) {
      negativeExponent = text[j++] == u'-';
    }
    if (j < text.size() && IsDigit(text[j])) {
      int64_t exponent = 0;
      for (; j < text.size() && IsDigit(text[j]); ++j) {
        if (exponent < 1000000) exponent = exponent * 10 + (text[j] - u'0');
      }
      // Beyond any double's range either way; keeps the text short.
      exponent = std::min<int64_t>(exponent, 100000);
      leadingExponent += negativeExponent ? -exponent : exponent;
      ascii += negativeExponent ? "e-" : "e";
      ascii += std::to_string(exponent);
    }
  }

  double value = 0;
  const auto [end, status] =
      std::from_chars(ascii.data(), ascii.data() + ascii.size(), value, std::chars_format::general);
  (void)end;
  if (status == std::errc::result_out_of_range) {
    value =
        (seenSignificant && leadingExponent > 0) ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (status != std::errc()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

uint64_t AgeReference(double days, int64_t nowSeconds) {
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  const uint64_t ticksPerSecond = static_cast<uint64_t>(kFileTimeTicksPerSecond);

  // 2^64 is exactly representable; anything at or above it saturates, and a
  // NaN (which the parser never gives) counts as no age.
  const double ageSeconds = std::fabs(days) * 86400.0;
  uint64_t age = 0;
  if (ageSeconds >= 18446744073709551616.0) {
    age = kMax;
  } else if (ageSeconds >= 1.0) {
    age = static_cast<uint64_t>(ageSeconds);
  }

  uint64_t sinceFileTimeEpoch = 0;
  if (nowSeconds > std::numeric_limits<int64_t>::max() - kUnixEpochAsFileTimeSeconds) {
    sinceFileTimeEpoch = kMax;
  } else if (nowSeconds >= -kUnixEpochAsFileTimeSeconds) {
    sinceFileTimeEpoch = static_cast<uint64_t>(nowSeconds + kUnixEpochAsFileTimeSeconds);
  }
  const uint64_t now = SaturatingMultiply(sinceFileTimeEpoch, ticksPerSecond);
  const uint64_t ageTicks = SaturatingMultiply(age, ticksPerSecond);
  return now > ageTicks ? now - ageTicks : 0;
}

}  // namespace skerry
