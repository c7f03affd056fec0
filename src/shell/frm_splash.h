// The splash: the product artwork for three seconds, then the hand-off to the main form and the
// help window.
#pragma once

#include <windows.h>

#include "base/handles.h"
#include "forms/window.h"

namespace shell {
class Application;
}

class frmSplash : public forms::Window {
 public:
  static constexpr wchar_t kClassName[] = L"ScrivaneSplash";
  static constexpr UINT_PTR kTimer1 = 1;
  static constexpr UINT kTimer1Interval = 3000;
  // Client area in twips.
  static constexpr int kClientWidthTwips = 5970;
  static constexpr int kClientHeightTwips = 4470;

  // The settings it loads and the forms it hands over to are those of `app`, which holds it.
  explicit frmSplash(shell::Application& app) : forms::Window(L"frmSplash"), app_(app) {}

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
  void Form_Load();
  void Paint();

  shell::Application& app_;
  base::unique_hbitmap artwork_;
  base::unique_hfont noticeFont_;
  base::unique_hfont smallNoticeFont_;
};
