#include "shell/message_window.h"

#include "base/dpi.h"
#include "base/window_place.h"
#include "forms/fonts.h"
#include "settings/app_settings.h"
#include "settings/persistence.h"
#include "shell/myhotkey.h"
#include "shell/start_up.h"

namespace shell {

namespace {
// The key table: an action on the left, its key on the right, one row every kRowStep twips.
struct Column {
  int left;
  int width;
};
constexpr Column kActionColumn{660, 3135};
constexpr Column kKeyColumn{3930, 1875};  // as wide as its heading
constexpr int kRowTop = 1800;
constexpr int kRowStep = 330;
constexpr int kRowHeight = 240;  // as high as the headings

constexpr HelpControl Row(const wchar_t* name, const wchar_t* text, bool action, int k) {
  const Column column = action ? kActionColumn : kKeyColumn;
  return {name, text, column.left, kRowTop + kRowStep * k, column.width, kRowHeight, false};
}
}  // namespace

const std::array<HelpControl, 26>& HelpLayout() {
  static const std::array<HelpControl, 26> layout = {{
      {L"Label24", L" Scrivane is now loaded.", 1710, 270, 2715, 300, true},
      {L"Label1", L" Use the Shortcut Keys to activate the features of Scrivane", 120, 600, 6135, 300, true},
      {L"Label2", L"Action", 660, 1350, 795, 240, true},
      {L"Label3", L"Shortcut Key", 3930, 1350, 1875, 240, true},
      Row(L"Label14", L"Start Presentation Mode", true, 0),
      Row(L"Label4", L"Control + Shift + Z", false, 0),
      Row(L"Label15", L"Deactivate Presentation Mode", true, 1),
      Row(L"Label5", L"Esc", false, 1),
      Row(L"Label16", L"Toggle Eraser ON/OFF", true, 2),
      Row(L"Label6", L"E", false, 2),
      Row(L"Label17", L"Erase entire Drawing", true, 3),
      Row(L"Label7", L"Control + E", false, 3),
      Row(L"Label18", L"Change Colors", true, 4),
      Row(L"Label8", L"r,b,y,g", false, 4),
      Row(L"Label19", L"Display Color Palette", true, 5),
      Row(L"Label9", L"C", false, 5),
      Row(L"Label20", L"Change Line Style", true, 6),
      Row(L"Label10", L"1-4", false, 6),
      Row(L"Label21", L"Start Magnifier", true, 7),
      Row(L"Label11", L"Control + Shift + M", false, 7),
      Row(L"Label22", L"Load an existing image", true, 8),
      Row(L"Label12", L"Control + L", false, 8),
      Row(L"Label23", L"Save Drawing", true, 9),
      Row(L"Label13", L"Control + S", false, 9),
      {L"Check1", kStartupCheckText, 1320, 5310, 3750, 330, false},
      {L"Command1", L"OK", 2700, 5850, 1005, 345, true},
  }};
  return layout;
}

}  // namespace shell

namespace {
constexpr size_t kCheck1 = 24;
constexpr size_t kCommand1 = 25;
constexpr size_t kLabel24 = 0;
constexpr int kFirstControlId = 100;

// A fixed dialog frame with no caption text and no control box: no title bar at all.
constexpr DWORD kStyle = WS_POPUP | WS_DLGFRAME | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
}  // namespace

messageWindow::messageWindow(shell::Application& app) : forms::Window(L"messageWindow"), app_(app) {}

void messageWindow::Load() {
  if (IsCreated()) return;
  RegisterWindowClass(kClassName, 0, ::GetSysColorBrush(COLOR_BTNFACE), ::LoadCursorW(nullptr, IDC_ARROW));
  const int dpi = base::ScreenDpi();
  const RECT place = base::CentredWindowRect(base::PixelsFromTwips(shell::kHelpClientWidth, dpi),
                                             base::PixelsFromTwips(shell::kHelpClientHeight, dpi), kStyle, kExStyle,
                                             dpi);
  if (!CreateWindowObject(kExStyle, kClassName, L"", kStyle, place.left, place.top, place.right - place.left,
                          place.bottom - place.top, nullptr, nullptr)) {
    return;
  }
  const auto& layout = shell::HelpLayout();
  for (size_t i = 0; i < layout.size(); ++i) {
    const wchar_t* cls = L"STATIC";
    DWORD ctlStyle = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
    if (i == kCheck1) {
      cls = L"BUTTON";
      ctlStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
    } else if (i == kCommand1) {
      cls = L"BUTTON";
      ctlStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
    }
    controls_[i] = ::CreateWindowExW(0, cls, layout[i].text, ctlStyle, 0, 0, 0, 0, Hwnd(),
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)),
                                     ::GetModuleHandleW(nullptr), nullptr);
  }
  // Keys chosen in Options instead of the usual ones are the keys to press.
  const settings::AppSettingsRecord& s = app_.AppSettings;
  if (s.hotkeypresent != settings::kDefaultHotkeyPresent) {
    ::SetWindowTextW(Control(L"Label4"), myhotkey::HotkeyName(static_cast<uint16_t>(s.hotkeypresent), true).c_str());
  }
  if (s.hotkeymagnify != settings::kDefaultHotkeyMagnify) {
    ::SetWindowTextW(Control(L"Label11"), myhotkey::HotkeyName(static_cast<uint16_t>(s.hotkeymagnify), true).c_str());
  }
  LayOut(base::DpiForWindow(Hwnd()));
}

void messageWindow::LayOut(int dpi) {
  // Places, sizes and fonts all follow the dpi, so the table keeps its shape at any scaling.
  base::unique_hfont regular = forms::CreatePointFont(L"Verdana", 8.25, FW_NORMAL, false, dpi);
  base::unique_hfont bold = forms::CreatePointFont(L"Verdana", 8.25, FW_BOLD, false, dpi);
  const auto& layout = shell::HelpLayout();
  for (size_t i = 0; i < layout.size(); ++i) {
    const shell::HelpControl& c = layout[i];
    ::SetWindowPos(controls_[i], nullptr, base::PixelsFromTwips(c.left, dpi), base::PixelsFromTwips(c.top, dpi),
                   base::PixelsFromTwips(c.width, dpi), base::PixelsFromTwips(c.height, dpi),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(c.bold ? bold.Get() : regular.Get()), TRUE);
  }
  // The old fonts go only once no control holds them.
  regular_ = std::move(regular);
  bold_ = std::move(bold);
  dpi_ = dpi;
}

void messageWindow::ShowStartupForm() {
  Load();
  ::ShowWindow(Hwnd(), SW_SHOW);
  ::SetFocus(controls_[kCommand1]);
}

void messageWindow::ShowQuickHelp() {
  Load();
  ::ShowWindow(Hwnd(), SW_SHOW);
  ::ShowWindow(controls_[kLabel24], SW_HIDE);
  ::SetWindowTextW(controls_[kCheck1], shell::kQuickHelpCheckText);
  ::SendMessageW(controls_[kCheck1], BM_SETCHECK, app_.AppSettings.showstartup == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

void messageWindow::Command1_Click() {
  const bool checked = ::SendMessageW(controls_[kCheck1], BM_GETCHECK, 0, 0) == BST_CHECKED;
  app_.AppSettings.showstartup = checked ? 1 : 0;
  app_.StoreSettings();
  Unload();
}

HWND messageWindow::Control(const std::wstring& name) const {
  const auto& layout = shell::HelpLayout();
  for (size_t i = 0; i < layout.size(); ++i) {
    if (name == layout[i].name) return controls_[i];
  }
  return nullptr;
}

void messageWindow::Paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(Hwnd(), &ps);
  // Shape1: a thin black outline from the corner, a little larger than the client area, so that
  // only its top and left edges show.
  base::unique_hpen pen(::CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
  {
    base::SelectGuard penGuard(dc, pen.Get());
    base::SelectGuard brushGuard(dc, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc, 0, 0, base::PixelsFromTwips(shell::kShape1Width, dpi_),
                base::PixelsFromTwips(shell::kShape1Height, dpi_));
  }
  ::EndPaint(Hwnd(), &ps);
}

LRESULT messageWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      ::SetTextColor(dc, RGB(0, 0, 0));
      ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kFirstControlId + kCommand1 || LOWORD(wParam) == IDOK) {
        Command1_Click();
        return 0;
      }
      break;
    case WM_DPICHANGED: {
      // Moved onto a monitor of another scaling: take the place the system suggests and lay the
      // table out again for it.
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      ::SetWindowPos(Hwnd(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      LayOut(HIWORD(wParam));
      ::InvalidateRect(Hwnd(), nullptr, TRUE);
      return 0;
    }
    case WM_DESTROY:
      controls_.fill(nullptr);
      break;
    case WM_NCDESTROY:
      regular_.Reset();
      bold_.Reset();
      break;
    default:
      break;
  }
  return DefaultProc(msg, wParam, lParam);
}
