// The publish tool on real folders. Host names are UTF-8 (u8 literals); plain string
// literals in this file are GBK bytes, the form names take in the manifest.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../portable/temp_dir.h"
#include "publisher.h"
#include "uTxtTable.h"
#include "uVersionFile.h"

namespace fs = std::filesystem;

namespace {

std::string U8(const char* s) { return s; }

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + 7) & 0xFF);
  return s;
}

publish::Result PublishFolder(const TempDir& dir, int32_t version, bool force = false,
                    std::vector<std::string> excludes = {}) {
  publish::Options o;
  o.folder = dir.path().string();
  o.version = version;
  o.force = force;
  o.excludes = std::move(excludes);
  return publish::Publish(o);
}

struct Row {
  std::string fPath, fFileName, fmd5;
  bool operator==(const Row& o) const { return fPath == o.fPath && fFileName == o.fFileName && fmd5 == o.fmd5; }
};
std::ostream& operator<<(std::ostream& os, const Row& r) {
  return os << "{" << r.fPath << " | " << r.fFileName << " | " << r.fmd5 << "}";
}

std::vector<Row> LoadManifest(const TempDir& dir) {
  TTxtTable t;
  t.LoadFromFile(dir.File("Versions.txt"));
  EXPECT_EQ(t.FieldNames, (std::vector<std::string>{"fPath", "fFileName", "fmd5"}));
  std::vector<Row> rows;
  for (t.First(); !t.Eof(); t.Next()) rows.push_back({t.GetValue(0), t.GetValue(1), t.GetValue(2)});
  return rows;
}

}  // namespace

TEST(Publish, ManifestLoadsBackAsExactlyTheFolder) {
  TempDir dir;
  dir.Write("Gyrelot.exe", "hello\n");
  dir.Write("GameSkin/Wheel/png/bg.png", Pattern(5000));
  dir.Write(U8(u8"GameSkin/Wheel/sound/空.wav"), "");
  dir.Write(U8(u8"测试.txt"), "hello\n");
  dir.Write("empty.dat", "");
  fs::create_directories(dir.path() / "GameSkin/Empty");
  // The updater's own files and local state stay out, whatever their case.
  dir.Write("update.exe", "x");
  dir.Write("update.ini", "x");
  dir.Write("lastVer.txt", "x");
  dir.Write("temp.dat", "x");
  dir.Write("docs/readme.txt", "x");
  dir.Write("GameSkin/update.exe", "kept: only the top-level one is the updater's");

  const publish::Result r = PublishFolder(dir, 3, false, {"docs"});
  ASSERT_TRUE(r.ok) << (r.problems.empty() ? "" : r.problems[0]);
  EXPECT_EQ(r.files, 6u);
  EXPECT_EQ(r.folders, 5u);

  const std::string hello = "b1946ac92492d2347c6235b4d2611184";
  const std::string empty = "d41d8cd98f00b204e9800998ecf8427e";
  const std::vector<Row> expected = {
      {"", "GameSkin", ""},
      {"GameSkin\\", "GameSkin\\Empty", ""},
      {"GameSkin\\", "GameSkin\\Wheel", ""},
      {"GameSkin\\Wheel\\", "GameSkin\\Wheel\\png", ""},
      {"GameSkin\\Wheel\\png\\", "GameSkin\\Wheel\\png\\bg.png", "232a985ed6df1dbead2d48835ad5ac34"},
      {"GameSkin\\Wheel\\", "GameSkin\\Wheel\\sound", ""},
      {"GameSkin\\Wheel\\sound\\", "GameSkin\\Wheel\\sound\\空.wav", empty},
      {"GameSkin\\", "GameSkin\\update.exe", "945c7f9d2fe5773cf8b2344e747fb4fa"},
      {"", "Gyrelot.exe", hello},
      {"", "empty.dat", empty},
      {"", "测试.txt", hello},
  };
  EXPECT_EQ(LoadManifest(dir), expected);
  EXPECT_EQ(ReadFileBytes(dir.File("LastVer.txt")), "[ver]\r\nLastVer=3\r\n");
  EXPECT_EQ(version::ReadVersionFile(dir.File("LastVer.txt")), 3);
  // No temporary file is left behind.
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().find("publish-tmp"), std::string::npos) << e.path();
}

TEST(Publish, RepublishingReplacesBothFiles) {
  TempDir dir;
  dir.Write("a.txt", "hello\n");
  ASSERT_TRUE(PublishFolder(dir, 1).ok);
  dir.Write("b.txt", "");
  const publish::Result r = PublishFolder(dir, 2);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.previousVersion, 1);
  EXPECT_EQ(LoadManifest(dir).size(), 2u);  // its own files are not listed
  EXPECT_EQ(version::ReadVersionFile(dir.File("LastVer.txt")), 2);
}

struct Refusal {
  const char* what;
  std::string name;  // a file to create (host name), or empty
  int32_t version;
  bool force;
  std::string message;  // part of the reason given
};

TEST(Publish, RefusesAndWritesNothing) {
  std::string longName;
  for (int i = 0; i < 51; ++i) longName += u8"长";  // 102 bytes in GBK
  const Refusal cases[] = {
      {"same version as published", "", 5, false, "not above the published version 5"},
      {"older version", "", 4, false, "not above"},
      {"version 0", "", 0, true, "at least 1"},
      {"name GBK cannot represent", U8(u8"smile-\U0001F600.txt"), 6, false, "cannot be written in GBK"},
      {"name over 100 bytes in GBK", longName, 6, false, "102 bytes"},
      {"nested path over 100 bytes", std::string(60, 'd') + "/" + std::string(45, 'f'), 6, false, "106 bytes"},
      {"separator byte", "a\x15" "b", 6, false, "0x15"},
      {"carriage return", "a\rb", 6, false, "line break"},
      {"line feed", "a\nb", 6, false, "line break"},
      {"colon", "a:b", 6, false, "\":\""},
      {"backslash", "a\\b", 6, false, "folder separator"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.Write("LastVer.txt", "[ver]\r\nLastVer=5\r\n");
    dir.Write("Versions.txt", "old manifest");
    if (!c.name.empty()) dir.Write(c.name, "x");
    const publish::Result r = PublishFolder(dir, c.version, c.force);
    EXPECT_FALSE(r.ok) << c.what;
    std::string all;
    for (const auto& p : r.problems) all += p + "\n";
    EXPECT_NE(all.find(c.message), std::string::npos) << c.what << ": " << all;
    EXPECT_EQ(ReadFileBytes(dir.File("LastVer.txt")), "[ver]\r\nLastVer=5\r\n") << c.what;
    EXPECT_EQ(ReadFileBytes(dir.File("Versions.txt")), "old manifest") << c.what;
  }
}

TEST(Publish, ForceAllowsAnOlderVersion) {
  TempDir dir;
  dir.Write("a.txt", "hello\n");
  ASSERT_TRUE(PublishFolder(dir, 5).ok);
  EXPECT_FALSE(PublishFolder(dir, 4).ok);
  ASSERT_TRUE(PublishFolder(dir, 4, true).ok);
  EXPECT_EQ(version::ReadVersionFile(dir.File("LastVer.txt")), 4);
}

TEST(Publish, RefusesLinks) {
  TempDir dir;
  dir.Write("a.txt", "hello\n");
  ASSERT_EQ(::symlink("/etc/passwd", dir.File("link").c_str()), 0);
  const publish::Result r = PublishFolder(dir, 1);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(fs::exists(dir.path() / "Versions.txt"));
  EXPECT_FALSE(fs::exists(dir.path() / "LastVer.txt"));
}

// The command line, as an operator's script uses it.
namespace {
int RunTool(const std::string& args, std::string& output) {
  const std::string cmd = std::string(PUBLISH_EXE) + " " + args + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  size_t n;
  output.clear();
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) output.append(buf, n);
  const int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}  // namespace

TEST(Publish, CommandLine) {
  TempDir dir;
  dir.Write("a.txt", "hello\n");
  const std::string folder = "'" + dir.path().string() + "'";
  std::string out;
  EXPECT_EQ(RunTool("--help", out), 0);
  EXPECT_NE(out.find("Usage: publish"), std::string::npos);
  EXPECT_EQ(RunTool(folder, out), 2);
  EXPECT_NE(out.find("--version N is required"), std::string::npos) << out;
  EXPECT_EQ(RunTool(folder + " --version x1", out), 2);
  EXPECT_EQ(RunTool(folder + " --bogus", out), 2);
  EXPECT_EQ(RunTool(folder + " --version 2", out), 0) << out;
  EXPECT_NE(out.find("published version 2"), std::string::npos) << out;
  EXPECT_EQ(RunTool(folder + " --version=2", out), 1);
  EXPECT_NE(out.find("nothing was written"), std::string::npos) << out;
  EXPECT_EQ(RunTool(folder + " --version 2 --force --exclude 'a.*'", out), 0) << out;
  EXPECT_EQ(LoadManifest(dir).size(), 0u);
}
