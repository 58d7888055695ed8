// Expected digests were computed outside this code, when the test was written, on
// files of the same bytes: `md5sum f` for the small ones and `tail -c +4049 f | md5sum`
// for those longer than 4048 bytes.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "temp_dir.h"
#include "uFileDigest.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
// Byte i of a test file; the shell side used the same rule.
std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + 7) & 0xFF);
  return s;
}
}  // namespace

TEST(FileMd5, SizesAroundTheSkippedHead) {
  struct Case {
    size_t size;
    const char* digest;
  } cases[] = {
      {0, ""},                                      // empty: the empty text, not a failure
      {1, "89e74e640b8c46257a29de0616794d5d"},      // whole file
      {4047, "65394838be9cfdd35162388fdf916813"},   // whole file
      {4048, "2cf912f64b82ac8c3896eac9631f5fe5"},   // whole file, one block
      {4049, "f1290186a5d0b1ceab27f4e77c0c5d68"},   // the last byte alone
      {10000, "c287b8ee970965af481faf33ca5133e8"},  // bytes 4048..9999
  };
  TempDir dir;
  for (const auto& c : cases) {
    const std::string path = dir.Write("f" + std::to_string(c.size), Pattern(c.size));
    EXPECT_EQ(FileMd5(path), c.digest) << c.size << " bytes";
  }
}

TEST(FileMd5, OnlyTheBytesAfterTheHeadCount) {
  TempDir dir;
  std::string other = Pattern(5000);
  for (size_t i = 0; i < 4048; ++i) other[i] = static_cast<char>(~other[i]);
  const std::string a = dir.Write("a", Pattern(5000));
  const std::string b = dir.Write("b", other);
  EXPECT_EQ(FileMd5(a), "232a985ed6df1dbead2d48835ad5ac34");
  EXPECT_EQ(FileMd5(b), FileMd5(a));
  // ...and a change after the head does count.
  other[4048] = static_cast<char>(~other[4048]);
  EXPECT_NE(FileMd5(dir.Write("c", other)), FileMd5(a));
}

TEST(FileMd5, KnownTextAndMissingFile) {
  TempDir dir;
  EXPECT_EQ(FileMd5(dir.Write("hello", "hello\n")), "b1946ac92492d2347c6235b4d2611184");
  // No digest is no value, which an empty file's "" is not.
  EXPECT_EQ(FileMd5(dir.File("absent")), std::nullopt);
  EXPECT_EQ(FileMd5(dir.path().string()), std::nullopt);  // a folder is no file
  EXPECT_EQ(FileMd5(dir.Write("empty", "")), std::optional<std::string>(""));
  EXPECT_EQ(Md5OfBytes("", 0), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(FileMd5, LargeFileAcrossManyReads) {
  // 1 MiB + 3 bytes: the feeding crosses many read chunks and ends inside one.
  TempDir dir;
  const std::string bytes = Pattern((1 << 20) + 3);
  const std::string path = dir.Write("big", bytes);
  EXPECT_EQ(FileMd5(path), Md5OfBytes(bytes.data() + 4048, bytes.size() - 4048));
}

TEST(FileMd5, ALongDigestAsksWhetherToGoOnAndCanBeGivenUp) {
  TempDir dir;
  const std::string bytes = Pattern(20 << 20);
  const std::string path = dir.Write("big", bytes);
  int asked = 0;
  EXPECT_EQ(FileMd5(path, [&] { return ++asked > 0; }), Md5OfBytes(bytes.data() + 4048, bytes.size() - 4048));
  EXPECT_GE(asked, 4);  // every few MiB of the 20
  EXPECT_EQ(FileMd5(path, [] { return false; }), std::nullopt);
}

#ifdef _WIN32
TEST(FileMd5, FileHeldOpenForWritingHasNoDigest) {
  TempDir dir;
  const std::string path = dir.Write("busy", "hello\n");
  HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FileMd5(path), std::nullopt);
  CloseHandle(writer);
  EXPECT_EQ(FileMd5(path), "b1946ac92492d2347c6235b4d2611184");
}
#endif
