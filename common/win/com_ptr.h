// Owner of one reference to a reference-counted interface: released on every path,
// moved but never copied by accident (Copy() is explicit and adds a reference).
#pragma once

#include <utility>

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller already holds.
  explicit ComPtr(T* adopt) : p_(adopt) {}
  ~ComPtr() { Reset(); }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  ComPtr Copy() const {
    if (p_) p_->AddRef();
    return ComPtr(p_);
  }
  void Reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  T* Detach() { return std::exchange(p_, nullptr); }
  T** Out() {
    Reset();
    return &p_;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};
