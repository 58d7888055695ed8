#include "input_file.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>

#include "win/gbk_text.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace io {

#ifdef _WIN32

namespace {
std::string Win32ErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out = n ? gbk::FromWide(std::wstring_view(text, n)) : std::string();
  if (text) LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) out.pop_back();
  return out.empty() ? "error " + std::to_string(code) : out;
}
}  // namespace

InputFile::~InputFile() { Close(); }

InputFile::InputFile(InputFile&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
    error_ = std::move(other.error_);
  }
  return *this;
}

InputFile InputFile::Open(const std::string& path) {
  InputFile f;
  const std::wstring wide = gbk::ToWide(path);
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    f.error_ = Win32ErrorText(GetLastError());
  } else {
    f.handle_ = h;
  }
  return f;
}

bool InputFile::IsOpen() const { return handle_ != nullptr; }

int64_t InputFile::Size() const {
  LARGE_INTEGER size;
  if (!handle_ || !GetFileSizeEx(handle_, &size)) return -1;
  return size.QuadPart;
}

int64_t InputFile::Read(void* buffer, size_t len) {
  if (!handle_) return -1;
  DWORD got = 0;
  const DWORD want = len > 0x40000000 ? 0x40000000 : static_cast<DWORD>(len);
  if (!ReadFile(handle_, buffer, want, &got, nullptr)) {
    error_ = Win32ErrorText(GetLastError());
    return -1;
  }
  return got;
}

void InputFile::Close() {
  if (handle_) CloseHandle(handle_);
  handle_ = nullptr;
}

#else

InputFile::~InputFile() { Close(); }

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), error_(std::move(other.error_)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    error_ = std::move(other.error_);
  }
  return *this;
}

InputFile InputFile::Open(const std::string& path) {
  InputFile f;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    f.error_ = std::strerror(errno);
    return f;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    f.error_ = "not a regular file";
    ::close(fd);
    return f;
  }
  f.fd_ = fd;
  return f;
}

bool InputFile::IsOpen() const { return fd_ >= 0; }

int64_t InputFile::Size() const {
  struct stat st;
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
  return st.st_size;
}

int64_t InputFile::Read(void* buffer, size_t len) {
  if (fd_ < 0) return -1;
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, len);
    if (n >= 0) return n;
    if (errno != EINTR) {
      error_ = std::strerror(errno);
      return -1;
    }
  }
}

void InputFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

#endif

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error) {
  InputFile f = InputFile::Open(path);
  if (!f.IsOpen()) {
    error = f.LastError();
    return false;
  }
  bytes.clear();
  const int64_t size = f.Size();
  if (size > 0) bytes.reserve(static_cast<size_t>(size));
  char buf[65536];
  for (;;) {
    const int64_t n = f.Read(buf, sizeof buf);
    if (n < 0) {
      error = f.LastError();
      return false;
    }
    if (n == 0) return true;
    bytes.append(buf, static_cast<size_t>(n));
  }
}

}  // namespace io
