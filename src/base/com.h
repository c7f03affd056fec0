// Just enough COM for the few objects the program uses (the imaging codecs): an owning pointer and
// COM initialised for the calling thread for as long as an object lives.
#pragma once

#include <objbase.h>

namespace base {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  T* operator->() const { return p_; }
  T* Get() const { return p_; }
  // For the calls that hand the object back through a pointer.
  T** Put() { return &p_; }
  void** PutVoid() { return reinterpret_cast<void**>(&p_); }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// A thread that already has COM in another mode is left as it is.
class ComScope {
 public:
  explicit ComScope(DWORD mode = COINIT_APARTMENTTHREADED) : hr_(::CoInitializeEx(nullptr, mode)) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }

 private:
  HRESULT hr_;
};

}  // namespace base
