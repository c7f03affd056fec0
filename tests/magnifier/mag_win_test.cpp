#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "magnifier/mag_win.h"
#include "overlay/ss.h"
#include "support/side_thread.h"
#include "support/test_app.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

magWin& Mag() { return App().magnifier; }

// The first visible popup menu window on the screen, if any.
HWND VisibleMenuWindow() { return FindVisibleWindow(L"#32768", false); }

// The popup's menu loop runs inside the right-click handler on this thread, so the key that
// picks an item comes from another thread once the menu is on the screen and takes keys.
void PressWhenReady(HWND menu, WORD vk) {
  WaitUntilReadyForInput(menu);
  TapKey(vk);
}

POINT ViewCentre() {
  RECT rc{};
  ::GetClientRect(Mag().Hwnd(), &rc);
  POINT p{rc.right / 2, rc.bottom / 2};
  ::ClientToScreen(Mag().Hwnd(), &p);
  return p;
}

void RightClick(POINT at) {
  MouseMoveTo(at.x, at.y);
  Pump(50);
  MouseButton(2, true);
  MouseButton(2, false);
}

// Right-clicks the view and picks the item whose mnemonic is `vk`; returns the menu that opened.
HMENU ChooseFromPopup(WORD vk) {
  std::atomic<HMENU> shown{nullptr};
  AnswerWhenShown user(L"#32768", false, 5000, [&](HWND menu) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(menu, MN_GETHMENU, 0, 0, SMTO_NORMAL, 1000, &result);
    shown = reinterpret_cast<HMENU>(result);
    PressWhenReady(menu, vk);
  });
  RightClick(ViewCentre());
  PumpUntil([&] { return user.Window() && VisibleMenuWindow() == nullptr; }, 6000);
  user.Join();
  Pump(100);
  return shown;
}

bool OnlyZoomItemChecked(int n) {
  bool ok = true;
  for (int i = 1; i <= 5; ++i) ok = ok && (Mag().mnuPop->IsChecked(magWin::mnuScx1 + i - 1) == (i == n));
  return ok;
}

// What the view shows next to what the pattern has around the cursor at `zoom`: each visible view
// pixel (vx, vy) should show source pixel (origin + v / zoom). StretchBlt may sample a
// neighbour at a block's edge, so a pixel matching a neighbour of its source is accepted.
struct ViewMatch {
  long pixels = 0;
  long exact = 0;
  long wrong = 0;
};

ViewMatch CompareViewWithPattern(POINT origin, int zoom, const wchar_t* shot) {
  HWND view = Mag().Picture1.Hwnd();
  RECT client{};
  ::GetClientRect(Mag().Hwnd(), &client);
  POINT viewAt{0, 0};
  ::ClientToScreen(view, &viewAt);
  POINT clientAt{0, 0};
  ::ClientToScreen(Mag().Hwnd(), &clientAt);
  // The view reaches past the client area; only the part inside it is on the screen.
  const int visibleWidth = std::min<int>(clientAt.x + client.right - viewAt.x, Mag().grabWidth * zoom);
  const int visibleHeight = std::min<int>(clientAt.y + client.bottom - viewAt.y, Mag().grabHeight * zoom);
  ScreenImage img = CaptureScreenRect(viewAt.x, viewAt.y, visibleWidth, visibleHeight);
  SaveImageBmp(img, ScreenshotDir() + L"\\" + shot);
  ViewMatch m;
  for (int vy = 0; vy < visibleHeight; ++vy) {
    for (int vx = 0; vx < visibleWidth; ++vx) {
      const uint32_t got = img.At(viewAt.x + vx, viewAt.y + vy);
      const int sx = origin.x + vx / zoom;
      const int sy = origin.y + vy / zoom;
      ++m.pixels;
      if (got == PatternWindow::PatternColor(sx, sy)) {
        ++m.exact;
        continue;
      }
      bool neighbour = false;
      for (int dy = -1; dy <= 1 && !neighbour; ++dy)
        for (int dx = -1; dx <= 1 && !neighbour; ++dx) neighbour = got == PatternWindow::PatternColor(sx + dx, sy + dy);
      if (!neighbour) ++m.wrong;
    }
  }
  return m;
}

// A plain, not topmost, window in one colour.
class CoverWindow {
 public:
  CoverWindow(int x, int y, int w, int h) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ScrivaneTestCover";
    wc.hbrBackground = ::CreateSolidBrush(RGB(200, 30, 40));  // lives with the class, for the whole run
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowExW(0, L"ScrivaneTestCover", L"cover", WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr,
                              nullptr, wc.hInstance, nullptr);
    Pump(200);
  }
  ~CoverWindow() {
    ::DestroyWindow(hwnd_);
    Pump(100);
  }
  HWND Hwnd() const { return hwnd_; }
  void BringToFront() {
    ::SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetForegroundWindow(hwnd_);
    Pump(300);
  }
  static constexpr uint32_t kColor = 0xC81E28;

 private:
  HWND hwnd_ = nullptr;
};

bool BelongsToMagnifier(HWND w) { return w && (w == Mag().Hwnd() || ::GetAncestor(w, GA_ROOT) == Mag().Hwnd()); }

class MagnifierTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Mag().zoomFactor = 3;
    Mag().SetKeyForwarder(nullptr);
  }
  void TearDown() override {
    if (Mag().IsLoaded()) Mag().UnloadWindow();
    if (App().overlay.IsLoaded()) App().overlay.Unload();
    Mag().SetKeyForwarder(nullptr);
    Pump(100);
  }
  void Open() {
    Mag().ShowWindowModeless();
    Pump(300);
  }
};

TEST_F(MagnifierTest, OpensAsATopmostThirdOfTheScreenAtTheTopLeftWithItsMenu) {
  Open();
  HWND w = Mag().Hwnd();
  ASSERT_NE(nullptr, w);
  EXPECT_TRUE(Mag().IsShowing());
  wchar_t caption[32] = {};
  ::GetWindowTextW(w, caption, 32);
  EXPECT_STREQ(L"Magnifier", caption);
  const LONG style = ::GetWindowLongW(w, GWL_STYLE);
  EXPECT_TRUE(style & WS_THICKFRAME);
  EXPECT_EQ(static_cast<LONG>(WS_CAPTION), style & WS_CAPTION);
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(::GetMenu(w));
  EXPECT_TRUE(::GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_NE(0u, ::GetClassLongPtrW(w, GCLP_HICON));
  EXPECT_NE(0u, ::GetClassLongPtrW(w, GCLP_HICONSM));
  EXPECT_EQ(1, forms::Window::CountOpenForms(L"MAGWIN"));

  RECT rc{};
  ::GetWindowRect(w, &rc);
  EXPECT_EQ(0, rc.left);
  EXPECT_EQ(0, rc.top);
  EXPECT_EQ(640, rc.right - rc.left);
  EXPECT_EQ(360, rc.bottom - rc.top);

  // The view: 30 twips (2 pixels at 96 dpi, 3 at 144, 4 at 192) from the client area's left edge,
  // at its top, as big as the whole window.
  HWND view = Mag().Picture1.Hwnd();
  ASSERT_NE(nullptr, view);
  RECT vr{};
  ::GetWindowRect(view, &vr);
  POINT clientAt{0, 0};
  ::ClientToScreen(w, &clientAt);
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, screen);
  EXPECT_EQ(clientAt.x + 30 * dpi / 1440, vr.left);
  EXPECT_EQ(clientAt.y, vr.top);
  EXPECT_EQ(640, vr.right - vr.left);
  EXPECT_EQ(360, vr.bottom - vr.top);
  EXPECT_EQ(213, Mag().grabWidth);
  EXPECT_EQ(120, Mag().grabHeight);

  // The popup's items, in order.
  ASSERT_TRUE(Mag().mnuPop);
  HMENU menu = Mag().mnuPop->Handle();
  const wchar_t* captions[] = {L"x&1", L"x&2", L"x&3", L"x&4", L"x&5", L"", L"Always on &Top", L"", L"&Close"};
  ASSERT_EQ(9, ::GetMenuItemCount(menu));
  for (int i = 0; i < 9; ++i) {
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(captions[i], text) << i;
    EXPECT_EQ(captions[i][0] == 0, (::GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR) != 0) << i;
  }
  EXPECT_TRUE(OnlyZoomItemChecked(3));
  EXPECT_TRUE(Mag().mnuPop->IsChecked(magWin::mnuOnTop));
  EXPECT_EQ(static_cast<UINT>(magWin::mnuExit), Mag().mnuPop->DefaultItem());
}

TEST_F(MagnifierTest, TheViewAndTheGrabFollowTheWindowSize) {
  Open();
  ::SetWindowPos(Mag().Hwnd(), nullptr, 0, 0, 800, 500, SWP_NOMOVE | SWP_NOZORDER);
  Pump(200);
  RECT vr{};
  ::GetWindowRect(Mag().Picture1.Hwnd(), &vr);
  EXPECT_EQ(800, vr.right - vr.left);
  EXPECT_EQ(500, vr.bottom - vr.top);
  EXPECT_EQ(267, Mag().grabWidth);  // 266.67
  EXPECT_EQ(167, Mag().grabHeight);  // 166.67
  Mag().mnuScx2_Click();
  EXPECT_EQ(400, Mag().grabWidth);
  EXPECT_EQ(250, Mag().grabHeight);
}

TEST_F(MagnifierTest, DraggedOntoAMonitorOfAnotherScalingItTakesTheSuggestedPlaceAndKeepsItsView) {
  Open();
  // What the system sends when the window reaches a monitor at 192 dpi (Wine, with one dpi for
  // every monitor, never does): the new dpi and the place it suggests.
  RECT suggested{300, 200, 300 + 1280, 200 + 720};
  ::SendMessageW(Mag().Hwnd(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  RECT rc{};
  ::GetWindowRect(Mag().Hwnd(), &rc);
  EXPECT_TRUE(::EqualRect(&rc, &suggested));
  // The view: 30 twips from the client's left edge at 192 dpi (4 pixels), as big as the window.
  RECT vr{};
  ::GetWindowRect(Mag().Picture1.Hwnd(), &vr);
  POINT clientAt{0, 0};
  ::ClientToScreen(Mag().Hwnd(), &clientAt);
  EXPECT_EQ(clientAt.x + 4, vr.left);
  EXPECT_EQ(1280, vr.right - vr.left);
  EXPECT_EQ(720, vr.bottom - vr.top);
  EXPECT_EQ(427, Mag().grabWidth);  // 1280 / 3
  EXPECT_EQ(240, Mag().grabHeight);
}

TEST_F(MagnifierTest, ShowsTheNeighbourhoodOfThePointerEnlargedAndX5FromThePopupChangesIt) {
  PatternWindow pattern;
  Open();
  const POINT cursor{1200, 800};
  MouseMoveTo(cursor.x, cursor.y);
  Pump(800);  // at least two ticks of the window's own timer
  ASSERT_EQ(213, Mag().grabWidth);
  ASSERT_EQ(120, Mag().grabHeight);
  // 1200 - round(106.5) = 1094, 800 - 60 = 740.
  ViewMatch x3 = CompareViewWithPattern({1094, 740}, 3, L"magnifier-x3.bmp");
  EXPECT_GT(x3.pixels, 150000);
  EXPECT_EQ(0, x3.wrong);
  EXPECT_GE(x3.exact, x3.pixels * 95 / 100) << x3.exact << " of " << x3.pixels;
  ScreenImage before = CaptureScreenRect(0, 0, 640, 360);

  HMENU shown = ChooseFromPopup('5');
  EXPECT_EQ(Mag().mnuPop ? Mag().mnuPop->Handle() : nullptr, shown);
  EXPECT_EQ(5, Mag().zoomFactor);
  EXPECT_TRUE(OnlyZoomItemChecked(5));
  EXPECT_EQ(128, Mag().grabWidth);
  EXPECT_EQ(72, Mag().grabHeight);

  MouseMoveTo(cursor.x, cursor.y);
  Pump(800);
  // 1200 - 64, 800 - 36.
  ViewMatch x5 = CompareViewWithPattern({1136, 764}, 5, L"magnifier-x5.bmp");
  EXPECT_EQ(0, x5.wrong);
  EXPECT_GE(x5.exact, x5.pixels * 95 / 100) << x5.exact << " of " << x5.pixels;
  EXPECT_GT(CountDifferences(before, CaptureScreenRect(0, 0, 640, 360)), 10000);
}

TEST_F(MagnifierTest, OnlyTheRightButtonOpensThePopup) {
  Open();
  const POINT at = ViewCentre();
  MouseMoveTo(at.x, at.y);
  Pump(50);
  for (int button : {1, 4}) {
    // Should a menu open after all, Esc closes it again so that the test does not hang.
    AnswerWhenShown user(L"#32768", false, 600, [](HWND menu) { PressWhenReady(menu, VK_ESCAPE); });
    MouseButton(button, true);
    MouseButton(button, false);
    Pump(600);
    user.Join();
    EXPECT_FALSE(user.Window()) << button;
  }
  EXPECT_TRUE(Mag().IsShowing());
  // Esc closes the menu without a choice: nothing changes.
  HMENU shown = ChooseFromPopup(VK_ESCAPE);
  EXPECT_NE(nullptr, shown);
  EXPECT_TRUE(Mag().IsShowing());
  EXPECT_TRUE(OnlyZoomItemChecked(3));
  EXPECT_TRUE(Mag().mnuPop->IsChecked(magWin::mnuOnTop));
}

TEST_F(MagnifierTest, UncheckingAlwaysOnTopLetsAnotherWindowCoverIt) {
  Open();
  CoverWindow cover(100, 80, 400, 200);
  const POINT probe{300, 180};
  cover.BringToFront();
  // Topmost: the magnifier stays above the active window.
  EXPECT_TRUE(BelongsToMagnifier(::WindowFromPoint(probe)));
  EXPECT_NE(CoverWindow::kColor, CaptureScreenRect(probe.x, probe.y, 1, 1).At(probe.x, probe.y));

  // The popup opens over the view, which the cover does not hide yet.
  ChooseFromPopup('T');
  EXPECT_FALSE(Mag().mnuPop->IsChecked(magWin::mnuOnTop));
  EXPECT_FALSE(::GetWindowLongW(Mag().Hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  cover.BringToFront();
  EXPECT_EQ(cover.Hwnd(), ::WindowFromPoint(probe));
  Pump(400);  // a tick or more while covered must not draw over the cover
  EXPECT_EQ(CoverWindow::kColor, CaptureScreenRect(probe.x, probe.y, 1, 1).At(probe.x, probe.y));

  // Checked again, it is back in the top band.
  Mag().mnuOnTop_Click();
  Pump(200);
  EXPECT_TRUE(Mag().mnuPop->IsChecked(magWin::mnuOnTop));
  EXPECT_TRUE(::GetWindowLongW(Mag().Hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  cover.BringToFront();
  EXPECT_TRUE(BelongsToMagnifier(::WindowFromPoint(probe)));
}

TEST_F(MagnifierTest, CloseUnloadsAndTheNextShowStartsAtTheTopLeftWithTheZoomItKept) {
  Open();
  Mag().mnuScx5_Click();
  ::SetWindowPos(Mag().Hwnd(), nullptr, 300, 200, 500, 400, SWP_NOZORDER);
  Pump(200);
  ChooseFromPopup('C');
  PumpUntil([] { return !Mag().IsLoaded(); }, 2000);
  EXPECT_FALSE(Mag().IsLoaded());
  EXPECT_FALSE(Mag().IsShowing());
  EXPECT_FALSE(Mag().mnuPop);
  EXPECT_EQ(0, forms::Window::CountOpenForms(L"magWin"));
  EXPECT_EQ(5, Mag().zoomFactor);

  Open();
  RECT rc{};
  ::GetWindowRect(Mag().Hwnd(), &rc);
  EXPECT_EQ(0, rc.left);
  EXPECT_EQ(0, rc.top);
  EXPECT_EQ(640, rc.right - rc.left);
  EXPECT_EQ(360, rc.bottom - rc.top);
  EXPECT_TRUE(::GetWindowLongW(Mag().Hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  // The check mark shows the zoom the window uses, not the x3 of a first opening.
  EXPECT_TRUE(OnlyZoomItemChecked(5));
  EXPECT_TRUE(Mag().mnuPop->IsChecked(magWin::mnuOnTop));
  EXPECT_EQ(128, Mag().grabWidth);
  EXPECT_EQ(72, Mag().grabHeight);
}

TEST_F(MagnifierTest, HiddenItStaysLoadedAndCountsAsAnOpenForm) {
  Open();
  Mag().SetVisible(false);
  Pump(100);
  EXPECT_TRUE(Mag().IsLoaded());
  EXPECT_FALSE(Mag().IsShowing());
  EXPECT_FALSE(::IsWindowVisible(Mag().Hwnd()));
  EXPECT_EQ(1, forms::Window::CountOpenForms(L"magWin"));
  Mag().SetVisible(true);
  Pump(100);
  EXPECT_TRUE(Mag().IsShowing());
  EXPECT_TRUE(::GetWindowLongW(Mag().Hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(MagnifierTest, KeysTypedIntoItGoToTheForwarderUnchanged) {
  std::vector<short> keys;
  Mag().SetKeyForwarder([&](short& k) { keys.push_back(k); });
  Open();
  ::SetForegroundWindow(Mag().Hwnd());
  ASSERT_TRUE(PumpUntil([] { return ::GetForegroundWindow() == Mag().Hwnd(); }, 2000));
  TypeText(L"aM");
  TypeChord({VK_CONTROL, 'S'});
  TapKey(VK_ESCAPE);
  TapKey('1');
  PumpUntil([&] { return keys.size() >= 5; }, 2000);
  EXPECT_EQ((std::vector<short>{'a', 'M', 19, 27, '1'}), keys);
  // The magnifier itself did nothing with them: Esc did not close it, 1 did not zoom.
  EXPECT_TRUE(Mag().IsShowing());
  EXPECT_EQ(3, Mag().zoomFactor);
}

TEST_F(MagnifierTest, EscTypedIntoTheMagnifierClosesTheOverlay) {
  Mag().SetKeyForwarder([](short& k) {
    App().overlay.Load();
    App().overlay.Picture1_KeyPress(k);
  });
  App().overlay.cmdScreen_Click();
  App().overlay.ShowOverlay();
  Pump(300);
  Open();
  ::SetForegroundWindow(Mag().Hwnd());
  ASSERT_TRUE(PumpUntil([] { return ::GetForegroundWindow() == Mag().Hwnd(); }, 2000));
  ASSERT_TRUE(App().overlay.IsLoaded());
  TapKey(VK_ESCAPE);
  EXPECT_TRUE(PumpUntil([] { return !App().overlay.IsLoaded(); }, 2000));
  EXPECT_TRUE(Mag().IsShowing());
}

TEST_F(MagnifierTest, ATickAllocatesNothingAndLeaksNothing) {
  Open();
  MouseMoveTo(700, 500);
  Pump(100);
  for (int i = 0; i < 50; ++i) Mag().Timer1_Timer();
  ::GdiFlush();
  const int slotsBefore = FreeGdiSlots();
  const size_t memoryBefore = WorkingSetBytes();
  for (int i = 0; i < 1000; ++i) Mag().Timer1_Timer();
  ::GdiFlush();
  const int slotsAfter = FreeGdiSlots();
  const size_t memoryAfter = WorkingSetBytes();
  EXPECT_GE(slotsAfter, slotsBefore - 4);
  EXPECT_LT(memoryAfter, memoryBefore + 2 * 1024 * 1024) << memoryBefore << " -> " << memoryAfter;
}

}  // namespace
