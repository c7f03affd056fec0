// The help window that lists the shortcut keys: shown after the splash until the user turns it off,
// and from the tray menu's "Quick Help".
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "base/dpi.h"
#include "base/handles.h"
#include "forms/window.h"

namespace shell {

class Application;

// One control of the help window, with its place and size in twips.
struct HelpControl {
  const wchar_t* name;
  const wchar_t* text;
  int left, top, width, height;
  bool bold;
};

// Client area and the outline Shape1, in twips.
constexpr int kHelpClientWidth = 6135;
constexpr int kHelpClientHeight = 6420;
constexpr int kShape1Width = 6225;
constexpr int kShape1Height = 6465;

// The labels, the check box and the OK button, in creation order: Label24, Label1, Label2, Label3,
// the ten rows (Label14..Label23 for the actions, Label4..Label13 for the keys), Check1, Command1.
const std::array<HelpControl, 26>& HelpLayout();

constexpr wchar_t kStartupCheckText[] = L" Do not show this message again";
constexpr wchar_t kQuickHelpCheckText[] = L"Do not show this message on startup";

}  // namespace shell

class messageWindow : public forms::Window {
 public:
  static constexpr wchar_t kClassName[] = L"ScrivaneHelp";

  // The settings it shows and stores are those of `app`, which holds it.
  explicit messageWindow(shell::Application& app);

  // The start-up form: shown as loaded, modeless.
  void ShowStartupForm();
  // The Quick Help form: first line hidden, the check box saying what it does, checked when the
  // help window is off at start-up.
  void ShowQuickHelp();
  // OK: stores the box's state in showstartup, saves, unloads.
  void Command1_Click();
  void Unload() { Destroy(); }
  bool IsLoaded() const { return IsCreated(); }

  // The control of that name (e.g. L"Label24", L"Check1"), or null when not loaded.
  HWND Control(const std::wstring& name) const;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void Load();
  void LayOut(int dpi);
  void Paint();

  shell::Application& app_;
  std::array<HWND, 26> controls_{};
  base::unique_hfont regular_;
  base::unique_hfont bold_;
  int dpi_ = base::kDefaultDpi;
};
