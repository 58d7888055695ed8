// Owner of a kernel handle (process, snapshot, file, mutex): closed on every path,
// moved but never copied. Both "no handle" values of the API (null and
// INVALID_HANDLE_VALUE) count as none.
#pragma once

#include <windows.h>

#include <utility>

namespace winapp {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(h) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) {
      Reset();
      h_ = std::exchange(o.h_, nullptr);
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  void Reset(HANDLE h = nullptr) {
    if (valid()) CloseHandle(h_);
    h_ = h;
  }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  explicit operator bool() const { return valid(); }

 private:
  HANDLE h_ = nullptr;
};

}  // namespace winapp
