// Owners for the Win32 handles and system-allocated memory we hold: one move-only template over a
// close function, in the shape of WIL's unique_any, and a named alias per kind. The two handles
// whose release needs more than the handle get small guards of their own: a DC from GetDC
// (ReleaseDC wants its window) and an object selected into a DC (it must be put back before
// either goes).
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace base {

// What "holds nothing" means for a kind of handle. Most functions report failure as null.
struct NullIsEmpty {
  template <typename T>
  static constexpr T Empty() {
    return T{};
  }
  template <typename T>
  static constexpr bool IsEmpty(T handle) {
    return handle == T{};
  }
};

// CreateFile and FindFirstFile report failure as INVALID_HANDLE_VALUE, not null; an owner of such
// a handle holds nothing at either value (null is what a default owner starts from). Every other
// HANDLE is null-invalid: INVALID_HANDLE_VALUE is the current process's pseudo-handle there.
struct InvalidHandleIsEmpty {
  template <typename T>
  static T Empty() {
    return INVALID_HANDLE_VALUE;
  }
  template <typename T>
  static bool IsEmpty(T handle) {
    return handle == INVALID_HANDLE_VALUE || handle == nullptr;
  }
};

template <typename T, auto Close, typename Invalid = NullIsEmpty>
class unique_any {
 public:
  unique_any() = default;
  explicit unique_any(T handle) : handle_(handle) {}
  unique_any(const unique_any&) = delete;
  unique_any& operator=(const unique_any&) = delete;
  unique_any(unique_any&& other) noexcept : handle_(other.Release()) {}
  unique_any& operator=(unique_any&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~unique_any() { Reset(); }

  T Get() const { return handle_; }
  explicit operator bool() const { return !Invalid::IsEmpty(handle_); }
  T Release() { return std::exchange(handle_, Invalid::template Empty<T>()); }
  void Reset(T handle = Invalid::template Empty<T>()) {
    T old = std::exchange(handle_, handle);
    if (!Invalid::IsEmpty(old)) Close(old);
  }
  // For calls that hand a new handle back through a pointer; whatever was held is closed first.
  T* Put() {
    Reset();
    return &handle_;
  }

 private:
  T handle_ = Invalid::template Empty<T>();
};

// A printer DC is deleted like a memory DC, but it is a different thing to hold: its own type.
inline BOOL WINAPI DeletePrintDc(HDC dc) { return ::DeleteDC(dc); }

using unique_hbitmap = unique_any<HBITMAP, &::DeleteObject>;
using unique_hpalette = unique_any<HPALETTE, &::DeleteObject>;
using unique_hfont = unique_any<HFONT, &::DeleteObject>;
using unique_hbrush = unique_any<HBRUSH, &::DeleteObject>;
using unique_hpen = unique_any<HPEN, &::DeleteObject>;
using unique_hrgn = unique_any<HRGN, &::DeleteObject>;
using unique_hdc = unique_any<HDC, &::DeleteDC>;  // a memory DC of CreateCompatibleDC
using unique_hdc_print = unique_any<HDC, &DeletePrintDc>;
using unique_henhmetafile = unique_any<HENHMETAFILE, &::DeleteEnhMetaFile>;
using unique_hmenu = unique_any<HMENU, &::DestroyMenu>;
using unique_hicon = unique_any<HICON, &::DestroyIcon>;
using unique_hcursor = unique_any<HCURSOR, &::DestroyCursor>;
// A kernel object: event, mutex, thread, process, file mapping (null when creation failed).
using unique_handle = unique_any<HANDLE, &::CloseHandle>;
// A file or directory of CreateFile (INVALID_HANDLE_VALUE when it failed).
using unique_hfile = unique_any<HANDLE, &::CloseHandle, InvalidHandleIsEmpty>;
// A search of FindFirstFile (INVALID_HANDLE_VALUE when nothing matched).
using unique_hfind = unique_any<HANDLE, &::FindClose, InvalidHandleIsEmpty>;
using unique_hkey = unique_any<HKEY, &::RegCloseKey>;
using unique_hglobal = unique_any<HGLOBAL, &::GlobalFree>;
// Text the system allocated with LocalAlloc (FormatMessage with FORMAT_MESSAGE_ALLOCATE_BUFFER).
using unique_hlocal_string = unique_any<PWSTR, &::LocalFree>;
// Text the system allocated with CoTaskMemAlloc (SHGetKnownFolderPath).
using unique_cotaskmem_string = unique_any<PWSTR, &::CoTaskMemFree>;

// A DC from GetDC or GetWindowDC: ReleaseDC needs the window it came from.
class WindowDc {
 public:
  enum class Kind { Client, Whole };
  explicit WindowDc(HWND hwnd, Kind kind = Kind::Client)
      : hwnd_(hwnd), dc_(kind == Kind::Client ? ::GetDC(hwnd) : ::GetWindowDC(hwnd)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_) ::ReleaseDC(hwnd_, dc_);
  }
  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// Selects an object into a DC and puts the previous one back when it goes: an object must be
// deselected before its DC or the object itself is deleted.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ obj) : dc_(dc), previous_(::SelectObject(dc, obj)) {}
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;
  ~SelectGuard() {
    if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// The memory of an HGLOBAL, locked for as long as the object lives.
template <typename T>
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL h) : h_(h), p_(h ? static_cast<T*>(::GlobalLock(h)) : nullptr) {}
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  ~GlobalLockGuard() {
    if (p_) ::GlobalUnlock(h_);
  }
  T* operator->() const { return p_; }
  T* Get() const { return p_; }

 private:
  HGLOBAL h_;
  T* p_;
};

}  // namespace base
