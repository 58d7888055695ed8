#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_dir.h"
#include "uTxtTable.h"

using Rows = std::vector<std::vector<std::string>>;
using Names = std::vector<std::string>;

namespace {

const std::string S = "\x15";  // the separator

Rows AllRows(TTxtTable& t) {
  Rows rows;
  for (const auto& r : t.Records) rows.push_back(r.Values);
  return rows;
}

}  // namespace

struct LoadCase {
  const char* what;
  std::string text;
  Names names;
  Rows rows;
};

TEST(TTxtTable, LoadFromTextCases) {
  const std::string header = "fPath" + S + "fFileName" + S + "fmd5";
  const std::string file = "bin\\" + S + "bin\\a.dll" + S + "0123456789abcdef0123456789abcdef";
  const Names three = {"fPath", "fFileName", "fmd5"};
  const LoadCase cases[] = {
      {"header and one file row",
       header + "\r\n" + file,
       three,
       {{"bin\\", "bin\\a.dll", "0123456789abcdef0123456789abcdef"}}},
      {"trailing separator on the header adds no column",
       header + S + "\r\n" + file,
       three,
       {{"bin\\", "bin\\a.dll", "0123456789abcdef0123456789abcdef"}}},
      {"folder row without trailing separator", header + "\r\n" + S + "bin", three, {{"", "bin"}}},
      {"folder row with trailing separator",
       header + "\r\n" + "x" + S + "bin" + S + "\r\nz",
       three,
       {{"x", "bin"}, {"z"}}},
      {"empty value in the middle", header + "\r\n" + "p" + S + S + "d41d", three, {{"p", "", "d41d"}}},
      {"blank line between rows is a row of empty values",
       header + "\r\na\r\n\r\nb",
       three,
       {{"a"}, {"", "", ""}, {"b"}}},
      {"LF CR between rows makes an empty row", header + "\na\n\rb", three, {{"a"}, {"", "", ""}, {"b"}}},
      {"CR alone and LF alone end lines", header + "\ra\nb", three, {{"a"}, {"b"}}},
      {"white space and blank lines before the header", " \r\n\t\r\n  " + header + "\r\na", three, {{"a"}}},
      {"white space after the last row", header + "\r\na\r\n \r\n\t ", three, {{"a"}}},
      {"a NUL ends the text", header + "\r\na" + std::string(1, '\0') + "\r\nb", three, {{"a"}}},
      {"header only", header, three, {}},
      {"header only, with line end", header + "\r\n", three, {}},
      {"empty name between separators stays a name", "a" + S + S + "c", {"a", "", "c"}, {}},
      {"rows are not trimmed", header + "\r\n a " + S + " b \r\nc", three, {{" a ", " b "}, {"c"}}},
      {"GBK bytes pass through",
       header + "\r\n" + S + "测试.txt" + S + "ff",
       three,
       {{"", "测试.txt", "ff"}}},
  };
  for (const auto& c : cases) {
    TTxtTable t;
    t.LoadFromText(c.text);
    EXPECT_EQ(t.FieldNames, c.names) << c.what;
    EXPECT_EQ(AllRows(t), c.rows) << c.what;
    EXPECT_EQ(t.CurrentIndex, 0) << c.what;
    EXPECT_EQ(t.RecordCount(), static_cast<int32_t>(c.rows.size())) << c.what;
  }
}

TEST(TTxtTable, WalkingTheRows) {
  TTxtTable t;
  t.LoadFromText("a" + S + "b" + S + "c\r\n1" + S + "2\r\n" + S + "x" + S + "y");
  std::vector<std::string> seen;
  for (t.First(); !t.Eof(); t.Next())
    seen.push_back(t.GetValue(0) + "|" + t.GetValue(1) + "|" + t.GetValue(2));
  EXPECT_EQ(seen, (std::vector<std::string>{"1|2|", "|x|y"}));
  EXPECT_EQ(t.CurrentIndex, 2);
  t.Next();
  EXPECT_TRUE(t.Eof());
  t.Last();
  EXPECT_EQ(t.CurrentIndex, 1);
  EXPECT_EQ(t.GetValue(-1), "");
  EXPECT_EQ(t.GetValue(3), "");  // outside the row's values: empty, no error
}

TEST(TTxtTable, HeaderOnlyIsAtItsEnd) {
  TTxtTable t;
  t.LoadFromText("fPath" + S + "fFileName" + S + "fmd5");
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_TRUE(t.Eof());
  t.First();
  EXPECT_EQ(t.CurrentIndex, -1);
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.GetValue(0), "");  // no rows: empty text
}

TEST(TTxtTable, AppendAndSetValueBuildATableInMemory) {
  TTxtTable t;
  t.FieldNames = {"fPath", "fFileName", "fmd5"};
  t.Append();
  EXPECT_EQ(t.CurrentIndex, 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(t.GetValue(i), "") << i;
  t.SetValue(1, "a.txt");
  t.SetValue(2, "d41d8cd98f00b204e9800998ecf8427e");
  t.SetValue(3, "ignored");
  t.SetValue(-1, "ignored");
  t.Append();
  EXPECT_EQ(t.CurrentIndex, 1);
  t.SetValue(0, "p");
  EXPECT_EQ(AllRows(t), (Rows{{"", "a.txt", "d41d8cd98f00b204e9800998ecf8427e"}, {"p", "", ""}}));
  EXPECT_EQ(t.Records[0].Owner, &t);
  t.Clear();
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_EQ(t.FieldNames.size(), 3u);
}

TEST(TTxtTable, CurrentRowOutsideTheRowsIsAnError) {
  TTxtTable t;
  t.LoadFromText("a\r\n1\r\n2");
  t.Next();
  t.Next();
  EXPECT_THROW(t.GetValue(0), TTxtTableError);
  EXPECT_THROW(t.SetValue(0, "x"), TTxtTableError);
  TTxtTable empty;
  EXPECT_THROW(empty.SetValue(0, "x"), TTxtTableError);  // SetValue always needs a row
}

TEST(TTxtTable, EmptyTextIsAnErrorAndKeepsTheTable) {
  for (const std::string& text :
       {std::string(), std::string(" \r\n\t "), std::string("\0abc", 4), std::string("\x15\x15")}) {
    TTxtTable t;
    t.LoadFromText("a" + S + "b\r\n1" + S + "2");
    try {
      t.LoadFromText(text);
      ADD_FAILURE() << "no error for an empty text";
    } catch (const TTxtTableError& e) {
      EXPECT_NE(std::string(e.what()).find("empty"), std::string::npos) << e.what();
    }
    EXPECT_EQ(t.FieldNames, (Names{"a", "b"}));
    EXPECT_EQ(AllRows(t), (Rows{{"1", "2"}}));
  }
}

TEST(TTxtTable, LoadFromFile) {
  TempDir dir;
  const std::string path =
      dir.Write("Versions.txt", "fPath" + S + "fFileName" + S + "fmd5\r\n" + S + "a.txt" + S + "ab\n" + S +
                                    "b" + std::string(1, '\0') + "junk");
  TTxtTable t;
  t.LoadFromFile(path);
  EXPECT_EQ(AllRows(t), (Rows{{"", "a.txt", "ab"}, {"", "b"}}));

  TTxtTable missing;
  missing.FieldNames = {"keep"};
  EXPECT_THROW(missing.LoadFromFile(dir.File("absent.txt")), TTxtTableError);
  EXPECT_EQ(missing.FieldNames, Names{"keep"});
}
