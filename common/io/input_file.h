// A file opened for reading: existing files only, other readers allowed. On Windows
// through the Win32 API with the path's GBK bytes converted at the call (a file held
// open for writing by another program cannot be opened, as the updater expects);
// natively through POSIX. Move-only; closed on every path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace io {

class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens `path`; IsOpen() tells whether that worked, LastError() why not.
  static InputFile Open(const std::string& path);

  bool IsOpen() const;
  // Size of the open file in bytes, or -1.
  int64_t Size() const;
  // Reads up to `len` bytes; returns the count, 0 at the end, -1 on a failure.
  int64_t Read(void* buffer, size_t len);
  void Close();
  const std::string& LastError() const { return error_; }

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
  std::string error_;
};

// The whole file as bytes. Returns false, with the reason in `error`, when the file
// cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error);

}  // namespace io
