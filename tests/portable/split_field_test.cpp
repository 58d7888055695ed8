#include <gtest/gtest.h>

#include <string>

#include "split_field.h"

struct SplitCase {
  const char* what;
  std::string text;
  std::string separator;
  int index;
  std::string expected;
};

TEST(SplitField, TableOfCases) {
  const std::string arg = "1001|张三|2130706433";
  // "倈" is a GBK character whose second byte is 0x7C, the "|".
  const std::string pipeTrail = "A倈B";
  const SplitCase cases[] = {
      {"first of three", arg, "|", 0, "1001"},
      {"second of three", arg, "|", 1, "张三"},
      {"third of three", arg, "|", 2, "2130706433"},
      {"past the last", arg, "|", 3, ""},
      {"far past the last", arg, "|", 50, ""},
      {"negative index", arg, "|", -1, ""},
      {"two separators in a row: empty field", "a||b", "|", 1, ""},
      {"the field after an empty one keeps its number", "a||b", "|", 2, "b"},
      {"trailing separator adds no field", "a|b|", "|", 2, ""},
      {"trailing separator leaves the last field", "a|b|", "|", 1, "b"},
      {"leading separator gives an empty first field", "|a", "|", 0, ""},
      {"leading separator shifts the fields", "|a", "|", 1, "a"},
      {"empty text", "", "|", 0, ""},
      {"empty text, other index", "", "|", 2, ""},
      {"no separator: whole text", "abc", "|", 0, "abc"},
      {"no separator: nothing after it", "abc", "|", 1, ""},
      {"CR separates", "a\rb", "|", 1, "b"},
      {"LF separates", "a\nb", "|", 1, "b"},
      {"CR LF is one line end", "a\r\nb", "|", 1, "b"},
      {"LF CR is two line ends", "a\n\rb", "|", 2, "b"},
      {"separator next to CR", "a\r|b", "|", 1, ""},
      {"letters match regardless of case", "oneXtwo", "x", 1, "two"},
      {"case-insensitive the other way", "onextwo", "X", 1, "two"},
      {"multi-byte separator", "a::b::c", "::", 2, "c"},
      {"matches do not overlap", "aaab", "aa", 1, "ab"},
      {"separator byte inside a GBK character", pipeTrail, "|", 1, "B"},
      {"GBK character cut by its trail byte", pipeTrail, "|", 0, pipeTrail.substr(0, 2)},
      {"empty separator leaves the text whole", "a|b", "", 0, "a|b"},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitField(c.text, c.separator, c.index), c.expected) << c.what;
}
