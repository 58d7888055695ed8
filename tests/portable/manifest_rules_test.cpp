// What the updater takes as a manifest, and how it compares digests.
#include <gtest/gtest.h>

#include <string>

#include "uTxtTable.h"
#include "uUpdateLogic.h"

namespace {

constexpr char kHeader[] =
    "fPath\x15"
    "fFileName\x15"
    "fmd5\r\n";
constexpr char kDigest[] = "3f1c2b7e9a4d5c6f8e0a1b2c3d4e5f60";

std::string Row(const std::string& name, const std::string& digest) {
  return "\x15" + name + (digest.empty() ? std::string() : "\x15" + digest) + "\r\n";
}

std::string Problem(const std::string& text) {
  TTxtTable t;
  t.LoadFromText(text);
  return updatelogic::ManifestProblem(t);
}

}  // namespace

TEST(ManifestRules, AManifestThatIsNoManifestIsRefused) {
  struct Case {
    const char* what;
    std::string text;
    const char* says;  // part of the reason; nullptr: accepted
  } cases[] = {
      {"a real manifest",
       kHeader + Row("GameSkin", "") + "GameSkin\\\x15GameSkin\\a.bin\x15" + kDigest + "\r\n", nullptr},
      {"only its header", kHeader, nullptr},
      {"upper-case digest", kHeader + Row("a.bin", "3F1C2B7E9A4D5C6F8E0A1B2C3D4E5F60"), nullptr},
      {"an HTML error page", "<html><body><h1>404 Not Found</h1></body></html>\r\n", "fewer than three"},
      {"two header columns",
       "fPath\x15"
       "fFileName\r\n" +
           Row("a.bin", kDigest),
       "fewer than three"},
      // Without its header line the first file row is read as the header: one in a
      // folder keeps three values (the third a digest), one at the top loses its empty
      // first value to the trimming of the text.
      {"no header line, folder row first",
       "d\\\x15"
       "d\\a.bin\x15" +
           std::string(kDigest) + "\r\n" + Row("b.bin", kDigest),
       "header belongs"},
      {"no header line, top row first", Row("a.bin", kDigest) + Row("b.bin", kDigest), "fewer than three"},
      {"a file row without a name", kHeader + Row("", kDigest), "without a name"},
      {"a digest that is none", kHeader + Row("a.bin", "not-a-digest"), "digest"},
      {"the temporary file", kHeader + Row("temp.dat", kDigest), "own file"},
      {"the version file, other case", kHeader + Row("lastver.txt", ""), "own file"},
      {"the updater", kHeader + Row("UPDATE.EXE", kDigest), "own file"},
      {"its configuration", kHeader + Row("update.ini", kDigest), "own file"},
      {"the staging folder", kHeader + Row("update.staging", ""), "own file"},
      {"a part of dots", kHeader + Row("a\\...\\b.bin", kDigest), "only of dots"},
      {"a part ending in a dot", kHeader + Row("dir.\\b.bin", kDigest), "dot or a blank"},
      {"a name ending in a blank", kHeader + Row("b.bin ", kDigest), "dot or a blank"},
      {"going up", kHeader + Row("..\\evil.exe", kDigest), "only of dots"},
      {"absolute", kHeader + Row("\\Windows\\evil.exe", kDigest), "leading separator"},
      {"a drive", kHeader + Row("C:evil.exe", kDigest), "colon"},
  };
  for (const Case& c : cases) {
    const std::string problem = Problem(c.text);
    if (c.says == nullptr) {
      EXPECT_EQ(problem, "") << c.what;
    } else {
      EXPECT_NE(problem.find(c.says), std::string::npos) << c.what << ": \"" << problem << "\"";
    }
  }
  // The updater's names count only at the top of the installation.
  EXPECT_EQ(Problem(kHeader + Row("docs\\temp.dat", kDigest)), "");
}

TEST(ManifestRules, OneDigestComparisonForAnalysisAndCheck) {
  struct Case {
    std::optional<std::string> file;
    const char* manifest;
    bool matches;
  } cases[] = {
      {std::string("3f1c2b7e9a4d5c6f8e0a1b2c3d4e5f60"), kDigest, true},
      {std::string("3f1c2b7e9a4d5c6f8e0a1b2c3d4e5f60"), "3F1C2B7E9A4D5C6F8E0A1B2C3D4E5F60", true},
      // An empty file is up to date with the digest of no bytes.
      {std::string(""), "d41d8cd98f00b204e9800998ecf8427e", true},
      {std::string(""), "D41D8CD98F00B204E9800998ECF8427E", true},
      {std::string(""), kDigest, false},
      // No digest (missing, unreadable) never matches.
      {std::nullopt, kDigest, false},
      {std::nullopt, "d41d8cd98f00b204e9800998ecf8427e", false},
      {std::string("3f1c2b7e9a4d5c6f8e0a1b2c3d4e5f6"), kDigest, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(updatelogic::DigestMatches(c.file, c.manifest), c.matches)
        << (c.file ? *c.file : "(none)") << " vs " << c.manifest;
  }
}
