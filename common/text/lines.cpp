#include "lines.h"

namespace txt {

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == '\r' || c == '\n') {
      lines.push_back(text.substr(start, pos - start));
      pos += (c == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
      start = pos;
    } else {
      ++pos;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string_view TrimControl(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
  return text.substr(begin, end - begin);
}

}  // namespace txt
