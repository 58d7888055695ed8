// A folder of its own for a test, removed with everything in it at the end. Removal
// checks the folder's prefix first, so a wrong path can never take anything else.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            (kPrefix + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    if (path_.filename().string().rfind(kPrefix, 0) == 0) {
      std::error_code ec;
      std::filesystem::remove_all(path_, ec);
    }
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path of `name` inside, as the byte string the code under test takes.
  std::string File(const std::string& name) const { return (path_ / name).string(); }

  // Writes `bytes` to `name` (folders created as needed) and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const auto p = path_ / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good()) << p.string();
    return p.string();
  }

 private:
  static constexpr const char* kPrefix = "gyrelot-test-";
  std::filesystem::path path_;
};

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
