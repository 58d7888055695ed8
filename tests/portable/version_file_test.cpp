#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "temp_dir.h"
#include "uVersionFile.h"

using version::ParseProfileInt;

TEST(VersionFile, ProfileIntegers) {
  struct Case {
    const char* text;
    std::optional<int32_t> value;
  } cases[] = {
      {"0", 0},
      {"42", 42},
      {"+42", 42},
      {"-42", -42},
      {"007", 7},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999", std::nullopt},
      {"0x10", 16},
      {"0X1f", 31},
      {"$10", 16},
      {"$ff", 255},
      {"-0x10", -16},
      {"0xFFFFFFFF", -1},
      {"0x100000000", std::nullopt},
      {"0x", std::nullopt},
      {"$", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"abc", std::nullopt},
      {"12abc", std::nullopt},
      {"1.5", std::nullopt},
      {"0x1g", std::nullopt},
      {" 5", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseProfileInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(VersionFile, FindingTheValue) {
  struct Case {
    const char* what;
    std::string content;
    std::optional<std::string> value;
  } cases[] = {
      {"plain", "[ver]\r\nLastVer=12\r\n", "12"},
      {"names regardless of case", "[VER]\nlastver=12\n", "12"},
      {"blanks around names and value", "  [ ver ]  \n  LastVer  =  12  \n", "12"},
      {"quoted value", "[ver]\nLastVer=\"12\"\n", "12"},
      {"other sections ignored", "[other]\nLastVer=1\n[ver]\nx=2\nLastVer=3\n", "3"},
      {"key only in another section", "[other]\nLastVer=1\n", std::nullopt},
      {"no section", "LastVer=5\n", std::nullopt},
      {"first of two entries", "[ver]\nLastVer=1\nLastVer=2\n", "1"},
      {"comment line", "[ver]\n;LastVer=1\nLastVer=2\n", "2"},
      {"empty value", "[ver]\nLastVer=\n", ""},
      {"empty file", "", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(version::FindProfileValue(c.content, "ver", "LastVer"), c.value) << c.what;
}

TEST(VersionFile, SettingTheValueKeepsTheRest) {
  struct Case {
    const char* what;
    std::string before;
    std::string after;
  } cases[] = {
      {"new file", "", "[ver]\r\nlastVer=7\r\n"},
      {"replaces the entry in any case", "[Ver]\r\nLASTVER=3\r\nother=1\r\n",
       "[Ver]\r\nlastVer=7\r\nother=1\r\n"},
      {"adds to the existing section", "[a]\r\nx=1\r\n[ver]\r\ny=2\r\n\r\n[b]\r\nz=3\r\n",
       "[a]\r\nx=1\r\n[ver]\r\ny=2\r\nlastVer=7\r\n\r\n[b]\r\nz=3\r\n"},
      {"appends a missing section", "[a]\nx=1\n", "[a]\r\nx=1\r\n[ver]\r\nlastVer=7\r\n"},
      {"same-named key elsewhere untouched", "[a]\nlastVer=1\n[ver]\nlastVer=2\n",
       "[a]\r\nlastVer=1\r\n[ver]\r\nlastVer=7\r\n"},
  };
  for (const auto& c : cases) {
    const std::string after = version::SetProfileValue(c.before, "ver", "lastVer", "7");
    EXPECT_EQ(after, c.after) << c.what;
    EXPECT_EQ(version::FindProfileValue(after, "ver", "LastVer"), "7") << c.what;
  }
}

TEST(VersionFile, ReadingFiles) {
  TempDir dir;
  struct Case {
    const char* what;
    std::string content;
    int32_t version;
  } cases[] = {
      {"decimal", "[ver]\r\nLastVer=42\r\n", 42},
      {"hexadecimal 0x10", "[ver]\r\nLastVer=0x10\r\n", 16},
      {"dollar hexadecimal", "[ver]\r\nLastVer=$20\r\n", 32},
      {"negative", "[ver]\r\nLastVer=-3\r\n", -3},
      {"not a number", "[ver]\r\nLastVer=abc\r\n", 0},
      {"missing section", "[other]\r\nLastVer=5\r\n", 0},
      {"missing key", "[ver]\r\nVersion=5\r\n", 0},
      {"lower-case spelling", "[ver]\r\nlastVer=9\r\n", 9},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string path = dir.Write("v" + std::to_string(n++) + ".txt", c.content);
    EXPECT_EQ(version::ReadVersionFile(path), c.version) << c.what;
  }
  EXPECT_EQ(version::ReadVersionFile(dir.File("absent.txt")), 0);
}

TEST(VersionFile, WrittenVersionIsFoundUnderBothSpellings) {
  TempDir dir;
  const std::string fresh = dir.File("lastVer.txt");
  ASSERT_TRUE(version::WriteVersionFile(fresh, 5));
  EXPECT_EQ(version::ReadVersionFile(fresh), 5);
  const std::string content = ReadFileBytes(fresh);
  EXPECT_EQ(version::FindProfileValue(content, "ver", "lastVer"), "5");
  EXPECT_EQ(version::FindProfileValue(content, "ver", "LastVer"), "5");

  // An installed file with other content keeps it; the old entry is replaced.
  const std::string kept = dir.Write("kept.txt", "[ver]\r\nLastVer=3\r\n[other]\r\nkeep=yes\r\n");
  ASSERT_TRUE(version::WriteVersionFile(kept, 6));
  EXPECT_EQ(version::ReadVersionFile(kept), 6);
  const std::string keptContent = ReadFileBytes(kept);
  EXPECT_EQ(version::FindProfileValue(keptContent, "other", "keep"), "yes");
  EXPECT_EQ(keptContent.find("=3"), std::string::npos) << keptContent;

  ASSERT_TRUE(version::WriteVersionFile(fresh, -1));
  EXPECT_EQ(version::ReadVersionFile(fresh), -1);
}
