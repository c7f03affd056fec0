// RAII wrappers for the Win32 handles we own: no DeleteObject by hand, no leak on an early return.
#pragma once

#include <windows.h>

#include <utility>

namespace forms {

// Move-only owner of one handle; Traits::Close releases it.
template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle h) : handle_(h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  Handle Release() { return std::exchange(handle_, nullptr); }
  void Reset(Handle h = nullptr) {
    Handle old = std::exchange(handle_, h);
    if (old) Traits::Close(old);
  }

 private:
  Handle handle_ = nullptr;
};

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static void Close(Handle h) { ::DeleteObject(h); }
};
struct BitmapTraits {
  using Handle = HBITMAP;
  static void Close(Handle h) { ::DeleteObject(h); }
};
struct PaletteTraits {
  using Handle = HPALETTE;
  static void Close(Handle h) { ::DeleteObject(h); }
};
struct FontTraits {
  using Handle = HFONT;
  static void Close(Handle h) { ::DeleteObject(h); }
};
struct BrushTraits {
  using Handle = HBRUSH;
  static void Close(Handle h) { ::DeleteObject(h); }
};
struct PenTraits {
  using Handle = HPEN;
  static void Close(Handle h) { ::DeleteObject(h); }
};
struct MemoryDcTraits {
  using Handle = HDC;
  static void Close(Handle h) { ::DeleteDC(h); }
};
struct MenuTraits {
  using Handle = HMENU;
  static void Close(Handle h) { ::DestroyMenu(h); }
};
struct IconTraits {
  using Handle = HICON;
  static void Close(Handle h) { ::DestroyIcon(h); }
};
struct KernelHandleTraits {
  using Handle = HANDLE;
  static void Close(Handle h) {
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  }
};
struct RegKeyTraits {
  using Handle = HKEY;
  static void Close(Handle h) { ::RegCloseKey(h); }
};

using UniqueBitmap = UniqueHandle<BitmapTraits>;
using UniquePalette = UniqueHandle<PaletteTraits>;
using UniqueFont = UniqueHandle<FontTraits>;
using UniqueBrush = UniqueHandle<BrushTraits>;
using UniquePen = UniqueHandle<PenTraits>;
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;

// A DC from GetDC/GetWindowDC: ReleaseDC needs the window it came from.
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

}  // namespace forms
