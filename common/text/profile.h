// Profile (ini) files read without the platform, the way the platform's profile
// functions read them:
//
//   [section]
//   key=value      ; names match regardless of case, blanks around them do not count,
//                  ; one pair of quotes around a value is taken off
//
// Shared by the version files, the manifest's readers and the skin description.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace profile {

// ASCII letters compared regardless of case; every other byte exactly (GBK safe).
bool EqualNoCase(std::string_view a, std::string_view b);

// A profile integer: decimal with an optional sign, or hexadecimal after "0x", "0X"
// or "$" (up to eight digits, taken as a 32-bit pattern). Anything else, including
// surrounding blanks and values outside 32 bits, is no number.
std::optional<int32_t> ParseProfileInt(std::string_view text);

// The value of `key` in `section` (first match), if present.
std::optional<std::string> FindProfileValue(std::string_view content, std::string_view section,
                                            std::string_view key);
// `content` with `key` in `section` set to `value`: an existing entry (any case) is
// replaced in place, a missing one added to its section, a missing section appended.
// Every other line is kept as it was.
std::string SetProfileValue(std::string_view content, std::string_view section, std::string_view key,
                            std::string_view value);

struct Entry {
  std::string key;
  std::string value;
  // 1-based line of the entry, for messages about it.
  int line = 0;
};

struct Section {
  std::string name;
  std::vector<Entry> entries;
  // The first entry named `key` (any case), if there is one.
  const Entry* Find(std::string_view key) const;
};

// Every section with its entries, in file order. Lines before the first section and
// lines that are neither a section nor an entry (comments, blanks) are left out.
std::vector<Section> ReadSections(std::string_view content);
// The first section named `name` (any case), if there is one.
const Section* FindSection(const std::vector<Section>& sections, std::string_view name);

}  // namespace profile
