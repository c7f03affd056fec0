#include "shell/form1.h"

#include <shellapi.h>

#include <string>

#include "magnifier/mag_win.h"
#include "overlay/keeping.h"
#include "overlay/ss.h"
#include "base/dpi.h"
#include "overlay/tool_cursors.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "settings/persistence.h"
#include "shell/commands.h"
#include "shell/message_window.h"
#include "shell/mod1.h"
#include "shell/myhotkey.h"
#include "shell/start_up.h"
#include "shell/tray_menu.h"

namespace {
// The property under which a hidden button keeps the cursor it carries.
constexpr wchar_t kMouseIconProp[] = L"MouseIcon";

// "Start Presentation Mode" from the menu waits this long before the grab: the menu is closed
// when TrackPopupMenuEx returns, but the windows it covered repaint in their own time (under
// Wine, after X exposes them), and Windows fades the chosen item out after the menu closes.
constexpr UINT_PTR kStartPresentationTimer = 1;
constexpr UINT kMenuGoneDelayMs = 400;

// Posted by the keeper's thread after it wrote a drawing.
constexpr UINT kMsgDrawingKept = WM_APP + 10;

HICON LoadProgramIcon(int size) {
  return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SCRIVANE), IMAGE_ICON,
                                         size, size, LR_DEFAULTCOLOR));
}
}  // namespace

form1::form1(shell::Application& app)
    : forms::Window(L"form1"),
      app_(app),
      hotkeyHook_([this](uint8_t id) { OnHotkey(id); }),
      optionsDialog_(app) {
  shell::BuildRCPopup(RCPopup);
}

void form1::Load() {
  if (IsCreated()) return;
  bigIcon_.Reset(LoadProgramIcon(::GetSystemMetrics(SM_CXICON)));
  smallIcon_.Reset(LoadProgramIcon(::GetSystemMetrics(SM_CXSMICON)));
  // The icons go to the window, not the class: the class outlives a reload of the form.
  RegisterWindowClass(kClassName, 0, ::GetSysColorBrush(COLOR_BTNFACE), ::LoadCursorW(nullptr, IDC_ARROW));
  if (!CreateWindowObject(0, kClassName, L"Scrivane", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                          CW_USEDEFAULT, 320, 240, nullptr, nullptr)) {
    return;
  }
  ::SendMessageW(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
  ::SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));

  // The cursors are drawn at the size the system asks for at the screen's scaling.
  cursors_.Make(overlay::CursorSizeForDpi(base::ScreenDpi()));
  Command1 = CreateCursorButton(L"highliter icon", 1, overlay::CursorKind::Highlighter);
  ic5 = CreateCursorButton(L"penicon", 2, overlay::CursorKind::Pen);
  ic1 = CreateCursorButton(L"eraser 8", 3, overlay::CursorKind::Eraser8);
  ic2 = CreateCursorButton(L"eraser 16", 4, overlay::CursorKind::Eraser16);
  ic3 = CreateCursorButton(L"eraser 24", 5, overlay::CursorKind::Eraser24);
  Command2 = CreateCursorButton(L"eraser 32", 6, overlay::CursorKind::Eraser32);

  // The shell broadcasts this when its notification area is (re-)created; an elevated copy would
  // not receive it from the ordinary-rights shell without this filter.
  taskbarCreated_ = ::RegisterWindowMessageA("TaskbarCreated");
  ::ChangeWindowMessageFilterEx(Hwnd(), taskbarCreated_, MSGFLT_ALLOW, nullptr);
  // The installer runs without elevation; a copy started elevated must still hear its request.
  closeRequest_ = ::RegisterWindowMessageW(kCloseRequestMessage);
  ::ChangeWindowMessageFilterEx(Hwnd(), closeRequest_, MSGFLT_ALLOW, nullptr);

  keptNoticeWindow_ = Hwnd();
  Form_Load();
}

void form1::Unload() { Destroy(); }

HWND form1::CreateCursorButton(const wchar_t* caption, int id, overlay::CursorKind kind) {
  HWND button = ::CreateWindowExW(0, L"BUTTON", caption, WS_CHILD | BS_PUSHBUTTON, 0, 0, 80, 24, Hwnd(),
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                  nullptr);
  // The button carries the cursor; the form owns it.
  if (button) ::SetPropW(button, kMouseIconProp, cursors_.Get(kind));
  return button;
}

void form1::Form_Load() {
  // The hotkeys and their hook go in first, so that the tray hook installed below sits on top.
  const settings::AppSettingsRecord& s = app_.AppSettings;
  hotkeys_ = hotkeyHook_.InstallHotkeys(Hwnd(), {static_cast<uint16_t>(s.hotkeypresent),
                                                 static_cast<uint16_t>(s.hotkeymagnify),
                                                 static_cast<uint16_t>(s.hotkeylive)});
  // Without the presentation hotkey nothing else starts presentation mode: the menu offers it.
  shell::ShowStartPresentationItem(RCPopup, !hotkeys_.presentation);
  // A stored eraser size of 0 means none was ever chosen; the start-up save has already stored
  // the 0.
  if (app_.AppSettings.erasersize == 0) app_.AppSettings.erasersize = 8;
  // The colour item that carries the mark starts as the loaded colour's.
  app_.AppSettings.menucolor = app_.AppSettings.color;
  shell::SetMenuMarks(RCPopup, app_.AppSettings, app_.live.IsOn());
  Command1_Click();
  // The icon is there now: say which keys will not work, once.
  ReportTakenHotkeys();
  // The overlay's window is made now, hidden, rather than at the first Ctrl+Shift+Z.
  app_.overlay.PrepareWindow();
}

void form1::ReportTakenHotkeys() {
  const std::wstring text = myhotkey::TakenHotkeyMessage(hotkeys_);
  if (!text.empty()) app_.Tray.ShowTrayBalloon(L"Scrivane", text.c_str());
}

void form1::Command1_Click() {
  app_.Tray.HookTrayMessages(Hwnd());
  if (!oncestarted) {
    HICON icon = FormIcon();
    app_.Tray.AddTrayIcon(Hwnd(), static_cast<UINT>(reinterpret_cast<UINT_PTR>(icon)), icon, mod1::kTrayTip);
    ::SetPropW(Hwnd(), kTrayIconIdProp, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(app_.Tray.TrayIcon.uID)));
    oncestarted = -1;
  }
  ::ShowWindow(Hwnd(), SW_HIDE);
}

void form1::menupopup() {
  // The marks follow the settings, whatever changed them since the menu was last open.
  shell::SetMenuMarks(RCPopup, app_.AppSettings, app_.live.IsOn());
  shell::ShowStartPresentationItem(RCPopup, !hotkeys_.presentation);
  frontBeforeMenu_ = ::GetForegroundWindow();
  ::SetForegroundWindow(Hwnd());
  UINT chosen = RCPopup.Popup(Hwnd(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON);
  if (chosen) RunMenuCommand(chosen);
}

void form1::RunMenuCommand(UINT item) { app_.commands.RunMenuItem(item); }

void form1::LiveDrawingHotkey() {
  if (app_.overlay.IsVisible()) return;
  // The time the key was pressed: two presses in a row are told apart from two apart however long
  // the messages waited.
  app_.live.OnHotkey(static_cast<DWORD>(::GetMessageTime()), ::GetForegroundWindow());
}

void form1::LiveDrawing_Click() {
  if (app_.overlay.IsVisible()) return;
  app_.live.Toggle(frontBeforeMenu_);
}

void form1::SysTrayMouseEventHandler() {
  // Live drawing and presentation mode exclude each other: the one that is on stays alone.
  if (app_.live.IsOn()) return;
  HWND frontBefore = ::GetForegroundWindow();
  ::SetForegroundWindow(Hwnd());
  ss& overlay = app_.overlay;
  overlay.cmdScreen_Click();  // grabbed while the overlay is still hidden
  overlay.ShowOverlay(frontBefore);
}

void form1::red_Click() { app_.commands.Run(shell::CommandId::Red); }
void form1::yellow_Click() { app_.commands.Run(shell::CommandId::Yellow); }
void form1::blue_Click() { app_.commands.Run(shell::CommandId::Blue); }
void form1::green_Click() { app_.commands.Run(shell::CommandId::Green); }
void form1::One_Click() { app_.commands.Run(shell::CommandId::Width1); }
void form1::five_Click() { app_.commands.Run(shell::CommandId::Width5); }
void form1::ten_Click() { app_.commands.Run(shell::CommandId::Width10); }
void form1::fifteen_Click() { app_.commands.Run(shell::CommandId::Width15); }
void form1::twenty_Click() { app_.commands.Run(shell::CommandId::Width20); }
void form1::mypalette_Click() { app_.commands.Run(shell::CommandId::Palette); }

void form1::dochelp_Click() {
  // The manual lies next to the program. The wide call, so that a folder whose name lies outside
  // the ANSI code page works too. A missing file or viewer is not reported.
  std::wstring path(32768, L'\0');
  DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n);
  const size_t slash = path.find_last_of(L"\\/");
  if (slash != std::wstring::npos) path.resize(slash);
  path += L"\\Scrivane.pdf";
  ::ShellExecuteW(Hwnd(), L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void form1::RecentDrawings_Click() {
  overlay::DrawingKeeper* keeper = app_.overlay.History().Keeper();
  const std::wstring folder = keeper ? keeper->Folder() : overlay::DrawingKeeper::DefaultFolder();
  overlay::DrawingKeeper::MakeFolder(folder);
  // Explorer itself, given the folder: the shell's own "open" of a folder talks to Explorer by
  // DDE first, which under Wine can keep this thread waiting for half a minute.
  const std::wstring quoted = L"\"" + folder + L"\"";
  ::ShellExecuteW(Hwnd(), L"open", L"explorer.exe", quoted.c_str(), nullptr, SW_SHOWNORMAL);
}

void form1::DrawingKept() {
  if (HWND w = keptNoticeWindow_.load()) ::PostMessageW(w, kMsgDrawingKept, 0, 0);
}

void form1::ShowKeepNoticeOnce() {
  // Remembered with the settings, not by the folder being there: a user who had drawings kept
  // before this notice existed has a folder already and was never told. A balloon that could
  // not be shown is tried again at the next drawing kept.
  if (app_.AppSettings.keepnotice != settings::kFalse) return;
  overlay::DrawingKeeper* keeper = app_.overlay.History().Keeper();
  const std::wstring folder = keeper ? keeper->Folder() : overlay::DrawingKeeper::DefaultFolder();
  if (!app_.Tray.ShowTrayBalloon(L"Scrivane", shell::KeepNoticeText(folder).c_str(), NIIF_INFO)) return;
  app_.AppSettings.keepnotice = settings::kTrue;
  app_.StoreSettings();
}

void form1::Rest1_Click() {
  // The drawing on the overlay goes to the keeper below, after the icon: a failure to keep it
  // is then told in a message box, even when an earlier one was told in the balloon.
  if (overlay::DrawingKeeper* keeper = app_.overlay.History().Keeper()) keeper->ProgramEnding();
  app_.Tray.UnhookTrayMessages();
  app_.Tray.RemoveTrayIcon();
  myhotkey::ReleaseHotkeys(Hwnd());
  // Live drawing ends as Esc ends it, its picture kept; the overlay goes with its window: nothing
  // of it is kept once the program ends.
  app_.live.End();
  app_.overlay.UnloadForGood();
  // A magnifier or help window that is open stays, and keeps the process running until closed.
  Unload();
}

std::optional<int> form1::ChangeHotkeys(const myhotkey::HotkeyKeys& keys) {
  const std::optional<int> taken = myhotkey::ChangeHotkeys(Hwnd(), hotkeys_, keys);
  shell::ShowStartPresentationItem(RCPopup, !hotkeys_.presentation);
  return taken;
}

void form1::Options_Click(HWND owner) { optionsDialog_.ShowModal(owner); }

void form1::StartPresentation_Click() { ::SetTimer(Hwnd(), kStartPresentationTimer, kMenuGoneDelayMs, nullptr); }

void form1::CloseProgram() {
  if (app_.magnifier.IsLoaded()) app_.magnifier.UnloadWindow();
  if (app_.helpWindow.IsLoaded()) app_.helpWindow.Unload();
  // Then what Exit does: hooks, icon, hotkeys, overlay and this form.
  Rest1_Click();
}

void form1::OnHotkey(uint8_t id) { app_.commands.RunHotkey(myhotkey::SlotOfId(id)); }

HCURSOR form1::CursorImage(overlay::CursorKind kind) {
  HWND button = nullptr;
  switch (kind) {
    case overlay::CursorKind::Highlighter: button = Command1; break;
    case overlay::CursorKind::Pen: button = ic5; break;
    case overlay::CursorKind::Eraser8: button = ic1; break;
    case overlay::CursorKind::Eraser16: button = ic2; break;
    case overlay::CursorKind::Eraser24: button = ic3; break;
    case overlay::CursorKind::Eraser32: button = Command2; break;
  }
  return button ? static_cast<HCURSOR>(::GetPropW(button, kMouseIconProp)) : nullptr;
}

void form1::OnDestroy() {
  // However the window goes, it takes its icon, hooks and hotkeys with it: a hook left on a dead
  // window would keep the next load from hooking, and an icon would outlive its owner.
  app_.Tray.UnhookTrayMessages();
  if (oncestarted) app_.Tray.RemoveTrayIcon();
  myhotkey::ReleaseHotkeys(Hwnd());
  hotkeyHook_.RemoveHotkeyHook(Hwnd());
  for (HWND* b : {&Command1, &ic5, &ic1, &ic2, &ic3, &Command2}) {
    if (*b) ::RemovePropW(*b, kMouseIconProp);
    *b = nullptr;
  }
  oncestarted = 0;
}

LRESULT form1::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (taskbarCreated_ != 0 && msg == taskbarCreated_) {
    // The shell's notification area was re-created and has forgotten every icon: without ours
    // the menu, and with it Exit, would be out of reach.
    if (oncestarted) app_.Tray.ReAddTrayIcon();
    return 0;
  }
  if (closeRequest_ != 0 && msg == closeRequest_) {
    CloseProgram();
    return 0;
  }
  switch (msg) {
    case kMsgDrawingKept:
      ShowKeepNoticeOnce();
      return 0;
    case WM_TIMER:
      if (wParam != kStartPresentationTimer) return DefaultProc(msg, wParam, lParam);
      ::KillTimer(Hwnd(), kStartPresentationTimer);
      SysTrayMouseEventHandler();
      return 0;
    case WM_CLOSE:
      // Nobody closes a window that is never shown but another program: treat it as the request.
      CloseProgram();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // Signing out or shutting down: the process ends after this returns, so everything goes
      // now and the drawing on the overlay is written before that.
      if (wParam) {
        CloseProgram();
        app_.overlay.History().FinishKeeping();
      }
      return 0;
    case WM_DESTROY:
      keptNoticeWindow_ = nullptr;
      ::RemovePropW(Hwnd(), L"Scrivane.TrayIconId");
      OnDestroy();
      return 0;
    default:
      return DefaultProc(msg, wParam, lParam);
  }
}
