// The main form: a window that is never shown. It owns the notification-area icon and its menu,
// receives the icon's callback and the hotkeys, and carries the six cursors of the overlay.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>

#include "base/handles.h"
#include "forms/popup_menu.h"
#include "forms/window.h"
#include "overlay/tool_cursors.h"
#include "shell/myhotkey.h"
#include "shell/options_dialog.h"

namespace shell {
class Application;
}

class form1 : public forms::Window {
 public:
  static constexpr wchar_t kClassName[] = L"ScrivaneMainForm";
  // The property of the window that holds the icon's id, readable from outside (WM_GETICON does
  // not cross processes under Wine): it lets a tool, a test or the last-resort error handler
  // address the icon the way the shell does.
  static constexpr wchar_t kTrayIconIdProp[] = L"Scrivane.TrayIconId";
  // Registered window message by which the installer and the uninstaller ask a running copy to
  // end (WM_CLOSE to this window does the same).
  static constexpr wchar_t kCloseRequestMessage[] = L"Scrivane.Close";

  // The windows and settings it reaches are those of `app`, which holds it.
  explicit form1(shell::Application& app);

  // Creates the window and runs its load handler; the window stays hidden.
  void Load();
  void Unload();
  bool IsLoaded() const { return IsCreated(); }

  // --- What other parts call --------------------------------------------------------------
  // The tray menu at the pointer, its marks from the settings; the chosen item's command runs.
  void menupopup();
  void SysTrayMouseEventHandler();
  // Ctrl+Shift+X: starts live drawing over the monitor under the pointer, switches it between
  // inking and pointing, or ends it when pressed twice in a row. Ignored during presentation mode.
  void LiveDrawingHotkey();
  // "Live Drawing": starts live drawing, or ends it when it is on. Ignored during presentation mode.
  void LiveDrawing_Click();
  // The menu items' commands, as a click on the item runs them (through the command table).
  void red_Click();
  void yellow_Click();
  void blue_Click();
  void green_Click();
  void One_Click();
  void five_Click();
  void ten_Click();
  void fifteen_Click();
  void twenty_Click();
  void mypalette_Click();
  void dochelp_Click();
  // Opens the folder of kept drawings in Explorer, making it first when needed.
  void RecentDrawings_Click();
  // The Options dialog, modal on `owner` (the drawing mode whose menu chose it, so that it comes up
  // above it; else this window); brought to the front when it is open already.
  void Options_Click(HWND owner);
  // A drawing has been kept: the first time ever, the balloon says where and how to stop it.
  // Safe from any thread (the keeper's): the balloon comes from this window's thread.
  void DrawingKept();
  void Rest1_Click();
  // "Start Presentation Mode", there while another program holds Ctrl+Shift+Z: presentation mode
  // starts once the menu is off the screen, so that the grab does not show it.
  void StartPresentation_Click();
  // The close request and the end of the session: unlike Exit, every window of the program goes,
  // so that the process ends and its files can be replaced or removed.
  void CloseProgram();
  // A hotkey's command, by its id.
  void OnHotkey(uint8_t id);
  // The cursor a hidden button carries; null once the form has gone.
  HCURSOR CursorImage(overlay::CursorKind kind);

  // Hooks the icon's callback, adds the icon the first time, hides the form.
  void Command1_Click();

  // Runs the command of a menu item (what a click on it does).
  void RunMenuCommand(UINT item);

  // True once the notification-area icon has been added (16-bit boolean).
  int16_t oncestarted = 0;
  forms::PopupMenu RCPopup;

  // The hidden buttons that carry the cursors.
  HWND Command1 = nullptr;  // "highliter icon"
  HWND ic5 = nullptr;       // "penicon"
  HWND ic1 = nullptr;       // eraser 8
  HWND ic2 = nullptr;       // eraser 16
  HWND ic3 = nullptr;       // eraser 24
  HWND Command2 = nullptr;  // eraser 32

  // The hotkeys in force: their keys, and which of them are ours.
  const myhotkey::HotkeyRegistration& Hotkeys() const { return hotkeys_; }
  // Gives the hotkeys new keys, each taken before its old ones go (myhotkey::ChangeHotkeys); the
  // slot whose keys another program holds, and then nothing changed.
  std::optional<int> ChangeHotkeys(const myhotkey::HotkeyKeys& keys);

  HICON FormIcon() const { return smallIcon_.Get(); }
  UINT TaskbarCreatedMessage() const { return taskbarCreated_; }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void Form_Load();
  void OnDestroy();
  HWND CreateCursorButton(const wchar_t* caption, int id, overlay::CursorKind kind);
  void ReportTakenHotkeys();
  void ShowKeepNoticeOnce();

  shell::Application& app_;
  // The window in front when the menu was asked for, before the menu made this one foreground.
  HWND frontBeforeMenu_ = nullptr;
  myhotkey::HotkeyHook hotkeyHook_;
  overlay::ToolCursorSet cursors_;
  base::unique_hicon bigIcon_;
  base::unique_hicon smallIcon_;
  UINT taskbarCreated_ = 0;
  UINT closeRequest_ = 0;
  // This window for other threads, which may not read Hwnd() while this thread changes it.
  std::atomic<HWND> keptNoticeWindow_{nullptr};
  myhotkey::HotkeyRegistration hotkeys_;
  shell::OptionsDialog optionsDialog_;
};
