#include "description_values.h"

#include <charconv>
#include <limits>

#include "description.h"

namespace skerry::disk_builder {
namespace {

constexpr uint64_t kFileTimeTicksPerSecond = 10'000'000;
constexpr int64_t kDaysFrom1601To1970 = 134774;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

uint64_t CheckedMultiply(uint64_t a, uint64_t b, const std::string& text) {
  if (a != 0 && b > std::numeric_limits<uint64_t>::max() / a) {
    throw DescriptionError("number too large: " + text);
  }
  return a * b;
}

// Days from 1970-01-01 to a proleptic Gregorian civil date.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

unsigned ParseField(const std::string& text, size_t offset, size_t width, unsigned low,
                    unsigned high) {
  unsigned value = 0;
  if (offset + width > text.size()) throw DescriptionError("bad time: " + text);
  for (size_t i = offset; i < offset + width; ++i) {
    if (text[i] < '0' || text[i] > '9') throw DescriptionError("bad time: " + text);
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  }
  if (value < low || value > high) throw DescriptionError("bad time: " + text);
  return value;
}

// Splits "12MiB" into its number and its unit.
void SplitUnit(const std::string& text, uint64_t& number, std::string& unit) {
  size_t digits = 0;
  if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) {
    digits = text.size();
  } else {
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  }
  number = ParseNumber(text.substr(0, digits));
  unit = text.substr(digits);
}

// The part of a word in $'...' after its "$'": C escapes (\n, \t, \e, \\,
// \', \xHH) make names that a line cannot hold. Returns where the part ends.
size_t AppendEscaped(const std::string& text, size_t i, std::string& token) {
  for (;;) {
    if (i >= text.size()) throw DescriptionError("unterminated $'");
    const char c = text[i++];
    if (c == '\'') return i;
    if (c != '\\') {
      token.push_back(c);
      continue;
    }
    if (i >= text.size()) throw DescriptionError("unterminated $'");
    const char e = text[i++];
    switch (e) {
      case 'n': token.push_back('\n'); break;
      case 't': token.push_back('\t'); break;
      case 'e': token.push_back('\x1b'); break;
      case '\\': case '\'': token.push_back(e); break;
      case 'x': {
        const std::string hex = text.substr(i, 2);
        if (hex.size() != 2 || hex.find_first_not_of("0123456789abcdefABCDEF") != hex.npos) {
          throw DescriptionError("bad \\x escape");
        }
        token.push_back(static_cast<char>(std::stoi(hex, nullptr, 16)));
        i += 2;
        break;
      }
      default:
        throw DescriptionError(std::string("unknown escape \\") + e);
    }
  }
}

}  // namespace

bool SplitLine(const std::string& text, DescriptionLine& line) {
  line = DescriptionLine{};
  std::vector<std::string> tokens;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size() || text[i] == '#') break;
    std::string token;
    while (i < text.size() && !IsBlank(text[i])) {
      if (text.compare(i, 2, "$'") == 0) {
        i = AppendEscaped(text, i + 2, token);
      } else if (text[i] == '"') {
        const size_t close = text.find('"', i + 1);
        if (close == std::string::npos) throw DescriptionError("unterminated quote");
        token.append(text, i + 1, close - i - 1);
        i = close + 1;
      } else {
        token.push_back(text[i++]);
      }
    }
    tokens.push_back(std::move(token));
  }
  if (tokens.empty()) return false;
  line.keyword = tokens[0];
  for (size_t t = 1; t < tokens.size(); ++t) {
    // Only an unquoted key before "=" makes an option; paths never hold "=" here
    // because the key must be a plain word of letters and dashes.
    const size_t equals = tokens[t].find('=');
    bool isOption = equals != std::string::npos && equals > 0;
    for (size_t k = 0; isOption && k < equals; ++k) {
      const char c = tokens[t][k];
      isOption = (c >= 'a' && c <= 'z') || c == '-';
    }
    if (!isOption) {
      line.words.push_back(tokens[t]);
      continue;
    }
    const std::string key = tokens[t].substr(0, equals);
    if (!line.options.emplace(key, tokens[t].substr(equals + 1)).second) {
      throw DescriptionError("repeated option " + key);
    }
  }
  return true;
}

uint64_t ParseNumber(const std::string& text) {
  uint64_t value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    first += 2;
    base = 16;
  }
  const auto [end, error] = std::from_chars(first, last, value, base);
  if (text.empty() || error != std::errc() || end != last) {
    throw DescriptionError("bad number: " + text);
  }
  return value;
}

uint64_t ParseBytes(const std::string& text) {
  uint64_t number = 0;
  std::string unit;
  SplitUnit(text, number, unit);
  if (unit.empty() || unit == "B") return number;
  if (unit == "KiB") return CheckedMultiply(number, uint64_t{1} << 10, text);
  if (unit == "MiB") return CheckedMultiply(number, uint64_t{1} << 20, text);
  if (unit == "GiB") return CheckedMultiply(number, uint64_t{1} << 30, text);
  throw DescriptionError("bad unit in " + text + " (use B, KiB, MiB or GiB)");
}

uint64_t ParseSectors(const std::string& text) {
  uint64_t number = 0;
  std::string unit;
  SplitUnit(text, number, unit);
  if (unit.empty() || unit == "s") return number;
  const uint64_t bytes = ParseBytes(text);
  if (bytes % kSectorSize != 0) throw DescriptionError("not whole sectors: " + text);
  return bytes / kSectorSize;
}

void ParseByteRange(const std::string& text, uint64_t& low, uint64_t& high) {
  const size_t dots = text.find("..");
  if (dots == std::string::npos) {
    low = high = ParseBytes(text);
    return;
  }
  low = ParseBytes(text.substr(0, dots));
  high = ParseBytes(text.substr(dots + 2));
  if (low > high) throw DescriptionError("empty range: " + text);
}

uint64_t ParseTime(const std::string& text) {
  if (text.rfind("filetime:", 0) == 0) return ParseNumber(text.substr(9));
  const unsigned year = ParseField(text, 0, 4, 1601, 9999);
  if (text.size() < 10 || text[4] != '-' || text[7] != '-') {
    throw DescriptionError("bad time: " + text);
  }
  const unsigned month = ParseField(text, 5, 2, 1, 12);
  const unsigned day = ParseField(text, 8, 2, 1, 31);
  unsigned hour = 0, minute = 0, second = 0;
  uint64_t fraction = 0;
  size_t end = 10;
  if (text.size() > 10) {
    if (text.size() < 19 || text[10] != 'T' || text[13] != ':' || text[16] != ':') {
      throw DescriptionError("bad time: " + text);
    }
    hour = ParseField(text, 11, 2, 0, 23);
    minute = ParseField(text, 14, 2, 0, 59);
    second = ParseField(text, 17, 2, 0, 59);
    end = 19;
    if (text.size() > 19 && text[19] == '.') {
      size_t digits = 0;
      for (end = 20; end < text.size() && text[end] >= '0' && text[end] <= '9'; ++end) {
        if (++digits > 7) throw DescriptionError("more than 7 fraction digits: " + text);
        fraction = fraction * 10 + static_cast<uint64_t>(text[end] - '0');
      }
      for (; digits < 7; ++digits) fraction *= 10;
    }
  }
  if (end < text.size() && text[end] == 'Z') ++end;
  if (end != text.size()) throw DescriptionError("bad time: " + text);
  const int64_t days = DaysFromCivil(year, month, day) + kDaysFrom1601To1970;
  const uint64_t seconds = static_cast<uint64_t>(days) * 86400 + hour * 3600 + minute * 60 + second;
  return seconds * kFileTimeTicksPerSecond + fraction;
}

uint32_t ParseAttributeLetters(const std::string& text) {
  uint32_t bits = 0;
  if (text == "-") return 0;
  for (const char c : text) {
    switch (c) {
      case 'r':
        bits |= 0x1;
        break;
      case 'h':
        bits |= 0x2;
        break;
      case 's':
        bits |= 0x4;
        break;
      case 'a':
        bits |= 0x20;
        break;
      case 'n':
        bits |= 0x80;
        break;
      case 't':
        bits |= 0x100;
        break;
      case 'o':
        bits |= 0x1000;
        break;
      default:
        throw DescriptionError(std::string("unknown attribute letter ") + c);
    }
  }
  return bits;
}

}  // namespace skerry::disk_builder
