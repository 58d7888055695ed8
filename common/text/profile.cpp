#include "profile.h"

#include "lines.h"

namespace profile {

namespace {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A section header "[name]": its name, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = TrimBlanks(line);
  if (line.size() < 2 || line.front() != '[') return std::nullopt;
  const size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return TrimBlanks(line.substr(1, close - 1));
}

// An entry "key=value": its key, or nothing for any other line.
std::optional<std::string_view> EntryKey(std::string_view line) {
  const std::string_view trimmed = TrimBlanks(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
  const size_t eq = trimmed.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return TrimBlanks(trimmed.substr(0, eq));
}

// The value of an entry line: trimmed, one pair of quotes taken off.
std::string EntryValue(std::string_view line) {
  std::string_view value = TrimBlanks(line.substr(line.find('=') + 1));
  if (value.size() >= 2 &&
      ((value.front() == '"' && value.back() == '"') || (value.front() == '\'' && value.back() == '\''))) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

}  // namespace

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    if (up(a[i]) != up(b[i])) return false;
  }
  return true;
}

std::optional<int32_t> ParseProfileInt(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  bool hex = false;
  if (!text.empty() && text.front() == '$') {
    hex = true;
    text.remove_prefix(1);
  } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    hex = true;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;

  uint64_t value = 0;
  for (char c : text) {
    const int digit = hex ? HexDigit(c) : ((c >= '0' && c <= '9') ? c - '0' : -1);
    if (digit < 0) return std::nullopt;
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  if (hex) {
    // Eight hex digits are a 32-bit pattern: $FFFFFFFF is -1.
    const uint32_t bits = static_cast<uint32_t>(value);
    const uint32_t signedBits = negative ? 0u - bits : bits;
    return static_cast<int32_t>(signedBits);
  }
  if (negative) {
    if (value > 2147483648ull) return std::nullopt;
    return static_cast<int32_t>(-static_cast<int64_t>(value));
  }
  if (value > 2147483647ull) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::optional<std::string> FindProfileValue(std::string_view content, std::string_view section,
                                            std::string_view key) {
  bool inSection = false;
  for (std::string_view line : txt::SplitLines(content)) {
    if (const auto name = SectionName(line)) {
      inSection = EqualNoCase(*name, section);
      continue;
    }
    if (!inSection) continue;
    const auto entryKey = EntryKey(line);
    if (!entryKey || !EqualNoCase(*entryKey, key)) continue;
    return EntryValue(line);
  }
  return std::nullopt;
}

std::vector<Section> ReadSections(std::string_view content) {
  std::vector<Section> sections;
  int number = 0;
  for (std::string_view line : txt::SplitLines(content)) {
    ++number;
    if (const auto name = SectionName(line)) {
      sections.push_back(Section{std::string(*name), {}});
      continue;
    }
    if (sections.empty()) continue;
    const auto key = EntryKey(line);
    if (!key) continue;
    sections.back().entries.push_back(Entry{std::string(*key), EntryValue(line), number});
  }
  return sections;
}

const Section* FindSection(const std::vector<Section>& sections, std::string_view name) {
  for (const Section& s : sections) {
    if (EqualNoCase(s.name, name)) return &s;
  }
  return nullptr;
}

const Entry* Section::Find(std::string_view key) const {
  for (const Entry& e : entries) {
    if (EqualNoCase(e.key, key)) return &e;
  }
  return nullptr;
}

std::string SetProfileValue(std::string_view content, std::string_view section, std::string_view key,
                            std::string_view value) {
  const std::vector<std::string_view> lines = txt::SplitLines(content);
  const std::string entry = std::string(key) + "=" + std::string(value);
  std::vector<std::string> out;
  bool inSection = false;
  bool done = false;
  size_t sectionEnd = 0;  // where a new entry of the section goes
  bool sawSection = false;
  for (std::string_view line : lines) {
    if (const auto name = SectionName(line)) {
      inSection = !done && EqualNoCase(*name, section);
      if (inSection) {
        sawSection = true;
        out.emplace_back(line);
        sectionEnd = out.size();
        continue;
      }
    } else if (inSection) {
      const auto entryKey = EntryKey(line);
      if (entryKey && EqualNoCase(*entryKey, key)) {
        out.push_back(entry);
        done = true;
        inSection = false;
        continue;
      }
      if (!TrimBlanks(line).empty()) sectionEnd = out.size() + 1;
    }
    out.emplace_back(line);
  }
  if (!done) {
    if (sawSection) {
      out.insert(out.begin() + static_cast<std::ptrdiff_t>(sectionEnd), entry);
    } else {
      out.push_back("[" + std::string(section) + "]");
      out.push_back(entry);
    }
  }
  std::string joined;
  for (const auto& line : out) joined += line + "\r\n";
  return joined;
}

}  // namespace profile
