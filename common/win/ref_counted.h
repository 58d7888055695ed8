// The reference counting and interface query every object of our transport DLLs
// shares. The object starts with one reference (the caller's) and deletes itself at
// the last Release; QueryInterface answers IUnknown and the object's own interface id,
// if it has one.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <new>

template <class Intf>
class RefCountedObject : public Intf {
 public:
  HRESULT __stdcall QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || (iid_ != nullptr && IsEqualIID(riid, *iid_))) {
      *object = static_cast<Intf*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG __stdcall AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG __stdcall Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  RefCountedObject(const RefCountedObject&) = delete;
  RefCountedObject& operator=(const RefCountedObject&) = delete;

 protected:
  // `iid`: the object's own interface id, or null for an interface without one.
  explicit RefCountedObject(const GUID* iid) : iid_(iid) {}
  // Only the last Release destroys the object. The virtual destructor's slots come
  // after the interface's, so the slots callers rely on do not move.
  virtual ~RefCountedObject() = default;

 private:
  const GUID* iid_;
  LONG refs_ = 1;
};

// Stores a new object made by `make` in *out: S_OK, E_POINTER, E_OUTOFMEMORY or
// E_FAIL with *out null. For the factory exports, which no exception may cross.
template <class Intf, class Make>
HRESULT CreateInto(Intf** out, Make make) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  try {
    *out = make();
    return *out ? S_OK : E_FAIL;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}
