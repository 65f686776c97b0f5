#include "platform/posix/time_pattern.h"

#include <vector>

namespace skerry {
namespace {

struct Token {
  bool conversion = false;
  char letter = 0;  // the conversion's letter, after flags, width and E/O
  std::string text;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsAsciiPunctuationOrBlank(char c) {
  const auto u = static_cast<unsigned char>(c);
  const bool punctuation = (u >= 0x21 && u <= 0x2F) || (u >= 0x3A && u <= 0x40) ||
                           (u >= 0x5B && u <= 0x60) || (u >= 0x7B && u <= 0x7E);
  return punctuation || IsBlank(c);
}

void AppendLiteral(std::vector<Token>& tokens, std::string_view text) {
  if (text.empty()) return;
  if (tokens.empty() || tokens.back().conversion) tokens.push_back(Token{});
  tokens.back().text.append(text);
}

// Splits a strftime pattern into conversions and the literal text between
// them; "%%" stays literal text, and a lone "%" at the end too.
std::vector<Token> Tokenize(std::string_view pattern) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < pattern.size()) {
    if (pattern[i] != '%' || i + 1 == pattern.size()) {
      AppendLiteral(tokens, pattern.substr(i, 1));
      ++i;
      continue;
    }
    if (pattern[i + 1] == '%') {
      AppendLiteral(tokens, "%%");
      i += 2;
      continue;
    }
    size_t j = i + 1;
    while (j < pattern.size() &&
           std::string_view("_-0^#").find(pattern[j]) != std::string_view::npos)
      ++j;
    while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9') ++j;
    if (j < pattern.size() && (pattern[j] == 'E' || pattern[j] == 'O')) ++j;
    if (j == pattern.size()) {
      AppendLiteral(tokens, pattern.substr(i));
      break;
    }
    tokens.push_back(Token{true, pattern[j], std::string(pattern.substr(i, j + 1 - i))});
    i = j + 1;
  }
  return tokens;
}

std::string Join(const std::vector<Token>& tokens) {
  std::string joined;
  for (const Token& token : tokens) joined += token.text;
  return joined;
}

// Spells out the composite fields, once: a locale's %r is its T_FMT_AMPM.
std::string ExpandComposites(std::string_view timeFormat, std::string_view amPmFormat) {
  std::string expanded;
  for (const Token& token : Tokenize(timeFormat)) {
    if (token.conversion && token.letter == 'r') {
      expanded += amPmFormat.empty() ? std::string_view("%I:%M:%S %p") : amPmFormat;
    } else if (token.conversion && token.letter == 'T') {
      expanded += "%H:%M:%S";
    } else if (token.conversion && token.letter == 'R') {
      expanded += "%H:%M";
    } else {
      expanded += token.text;
    }
  }
  return expanded;
}

void TrimBlanksAtEnd(std::string& text) {
  while (!text.empty() && IsBlank(text.back())) text.pop_back();
}

void TrimBlanksAtStart(std::string& text) {
  size_t blanks = 0;
  while (blanks < text.size() && IsBlank(text[blanks])) ++blanks;
  text.erase(0, blanks);
}

// Erasing a field can leave two literals side by side, or an empty one.
std::vector<Token> Normalize(const std::vector<Token>& tokens) {
  std::vector<Token> normalized;
  for (const Token& token : tokens) {
    if (token.conversion) {
      normalized.push_back(token);
    } else {
      AppendLiteral(normalized, token.text);
    }
  }
  return normalized;
}

bool IsLiteral(const std::vector<Token>& tokens, size_t index) {
  return index < tokens.size() && !tokens[index].conversion;
}

void RemoveZoneFields(std::vector<Token>& tokens) {
  for (size_t i = 0; i < tokens.size();) {
    if (!tokens[i].conversion || (tokens[i].letter != 'Z' && tokens[i].letter != 'z')) {
      ++i;
      continue;
    }
    if (i > 0 && IsLiteral(tokens, i - 1)) {
      TrimBlanksAtEnd(tokens[i - 1].text);
    } else if (IsLiteral(tokens, i + 1)) {
      TrimBlanksAtStart(tokens[i + 1].text);
    }
    tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i));
    tokens = Normalize(tokens);
    i = 0;
  }
}

bool IsSeparator(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!IsAsciiPunctuationOrBlank(c)) return false;
  }
  return true;
}

void RemoveSecondsFields(std::vector<Token>& tokens) {
  for (size_t i = 0; i < tokens.size();) {
    if (!tokens[i].conversion || tokens[i].letter != 'S') {
      ++i;
      continue;
    }
    if (i > 0 && IsLiteral(tokens, i - 1) && IsSeparator(tokens[i - 1].text)) {
      tokens[i - 1].text.clear();
    } else if (IsLiteral(tokens, i + 1)) {
      // No separator before the seconds: they carry a unit word after them.
      std::string& after = tokens[i + 1].text;
      size_t unit = 0;
      while (unit < after.size() && !IsBlank(after[unit])) ++unit;
      after.erase(0, unit);
    }
    tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i));
    tokens = Normalize(tokens);
    i = 0;
  }
}

bool Append(char* out, size_t capacity, size_t& length, std::string_view text) {
  if (text.size() >= capacity - length) return false;
  for (char c : text) out[length++] = c;
  return true;
}

// The bare number of an hour (0 to 23), without a leading zero.
std::string_view HourDigits(int hour, char (&digits)[3]) {
  if (hour < 10) {
    digits[0] = static_cast<char>('0' + hour);
    return std::string_view(digits, 1);
  }
  digits[0] = static_cast<char>('0' + hour / 10);
  digits[1] = static_cast<char>('0' + hour % 10);
  return std::string_view(digits, 2);
}

}  // namespace

std::string TimePatternWithoutSeconds(std::string_view timeFormat, std::string_view amPmFormat) {
  std::vector<Token> tokens = Tokenize(ExpandComposites(timeFormat, amPmFormat));
  RemoveZoneFields(tokens);
  RemoveSecondsFields(tokens);
  std::string pattern = Join(tokens);
  TrimBlanksAtStart(pattern);
  TrimBlanksAtEnd(pattern);
  if (pattern.empty()) pattern = "%H:%M";
  return pattern;
}

bool ExpandHourFields(std::string_view pattern, int hour, char* out, size_t capacity) {
  if (capacity == 0) return false;
  if (hour < 0 || hour > 23) return false;
  const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
  char hour12Digits[3];
  char hour24Digits[3];
  const std::string_view hour12Text = HourDigits(hour12, hour12Digits);
  const std::string_view hour24Text = HourDigits(hour, hour24Digits);
  size_t length = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    std::string_view piece = pattern.substr(i, 1);
    if (pattern[i] == '%' && i + 1 < pattern.size()) {
      const char next = pattern[i + 1];
      if (next == 'I' || next == 'l') {
        piece = hour12Text;
        ++i;
      } else if (next == 'k') {
        piece = hour24Text;
        ++i;
      } else {
        // Any other field, "%%" included, goes to strftime whole.
        piece = pattern.substr(i, 2);
        ++i;
      }
    }
    if (!Append(out, capacity, length, piece)) return false;
  }
  out[length] = '\0';
  return true;
}

}  // namespace skerry
