// The splash: the product artwork for three seconds, then the hand-off to the main form and the
// help window.
#pragma once

#include <windows.h>

#include "base/handles.h"
#include "forms/window.h"

class frmSplash : public forms::Window {
 public:
  static constexpr wchar_t kClassName[] = L"ScrivaneSplash";
  static constexpr UINT_PTR kTimer1 = 1;
  static constexpr UINT kTimer1Interval = 3000;
  // Client area in twips.
  static constexpr int kClientWidthTwips = 5970;
  static constexpr int kClientHeightTwips = 4470;

  static frmSplash& Instance();

  // Creates the window (its load handler runs before the first paint) and shows it, centred.
  void ShowModeless();
  void Unload() { Destroy(); }
  bool IsLoaded() const { return IsCreated(); }

  // The hand-off, three seconds after the load. Public so that tests need not wait for it.
  void Timer1_Timer();

  HWND Label1 = nullptr;
  HWND Label2 = nullptr;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  frmSplash() : forms::Window(L"frmSplash") {}
  void Form_Load();
  void Paint();

  base::unique_hbitmap artwork_;
  base::unique_hfont noticeFont_;
  base::unique_hfont smallNoticeFont_;
};
