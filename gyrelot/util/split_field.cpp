#include "split_field.h"

#include <vector>

#include "text/lines.h"

namespace {

// The upper-case table of code page 936 maps the ASCII letters and nothing else:
// every byte above 0x7F is a lead or trail byte and stays as it is.
unsigned char UpperByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

bool MatchesAt(std::string_view text, size_t pos, std::string_view separator) {
  if (text.size() - pos < separator.size()) return false;
  for (size_t i = 0; i < separator.size(); ++i) {
    if (UpperByte(static_cast<unsigned char>(text[pos + i])) !=
        UpperByte(static_cast<unsigned char>(separator[i])))
      return false;
  }
  return true;
}

std::string ReplaceSeparators(std::string_view text, std::string_view separator) {
  std::string out;
  out.reserve(text.size() + 8);
  size_t pos = 0;
  while (pos < text.size()) {
    if (!separator.empty() && MatchesAt(text, pos, separator)) {
      out += "\r\n";
      pos += separator.size();
    } else {
      out += text[pos++];
    }
  }
  return out;
}

}  // namespace

std::string SplitField(std::string_view text, std::string_view separator, int index) {
  if (text.empty() || index < 0) return std::string();
  const std::string replaced = ReplaceSeparators(text, separator);
  const std::vector<std::string_view> fields = txt::SplitLines(replaced);
  if (static_cast<size_t>(index) >= fields.size()) return std::string();
  return std::string(fields[static_cast<size_t>(index)]);
}
