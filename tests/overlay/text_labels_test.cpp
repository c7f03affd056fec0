// Text labels on the overlay, driven the way a presenter drives them: real mouse clicks and real
// keys through SendInput, checked on the windows and on the screen.
#include <gtest/gtest.h>

#include <string>

#include "base/dpi.h"
#include "forms/label.h"
#include "forms/text_box.h"
#include "overlay/ss.h"
#include "settings/app_settings.h"
#include "overlay_steps.h"
#include "support/test_app.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

// numerator / denominator inches on this screen, in whole pixels.
int ScreenPixels(int numerator, int denominator) {
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return ::MulDiv(numerator, dpi, denominator);
}

constexpr COLORREF kTextColor = RGB(201, 17, 133);  // a colour the desktop does not have

// Each returns once this thread has handled the input it sent.
void ClickAt(int x, int y) {
  MouseMoveTo(x, y);
  PumpUntilInputHandled();
  MouseButton(1, true);
  PumpUntilInputHandled();
  MouseButton(1, false);
  PumpUntilInputHandled();
}

void CommitWithCtrlC() {
  TypeChord({VK_CONTROL, 'C'});
  PumpUntilInputHandled();
}

RECT ScreenRect(HWND hwnd) {
  RECT rc{};
  ::GetWindowRect(hwnd, &rc);
  return rc;
}

void ClickCentreOf(HWND hwnd) {
  const RECT rc = ScreenRect(hwnd);
  ClickAt((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
}

long CountColour(const ScreenImage& image, uint32_t rgb) {
  long n = 0;
  for (uint32_t p : image.pixels) n += (p == rgb) ? 1 : 0;
  return n;
}

ScreenImage Grab(const RECT& rc) { return CaptureScreenRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top); }

int LineHeight(HFONT font) {
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font);
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  return tm.tmHeight;
}

int VisibleChildren(HWND parent) {
  int n = 0;
  for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) n += ::IsWindowVisible(c) ? 1 : 0;
  return n;
}

class TextLabelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App().AppSettings.textfont = "Tahoma";
    App().AppSettings.textsize = 14;
    App().AppSettings.textbold = settings::kTrue;
    App().AppSettings.textitalic = settings::kTrue;
    App().AppSettings.textcolor = static_cast<int32_t>(kTextColor);
    ChoosePen(0x0000FF, 10, 32);
  }
  void TearDown() override {
    if (App().overlay.IsLoaded()) App().overlay.Unload();
    App().overlay.SetTextMode(false);
    Pump(100);
  }

  // Arm, click at (x, y), type the lines with Enter between them, commit with Ctrl+C.
  static void TypeLabel(int x, int y, std::initializer_list<std::wstring> lines) {
    App().overlay.ArmTextPlacement();
    ClickAt(x, y);
    for (const std::wstring& line : lines) {
      if (&line != lines.begin()) TapKey(VK_RETURN);
      TypeText(line);
    }
    PumpUntilInputHandled();
    CommitWithCtrlC();
  }
  // Presentation mode with one label typed at (x, y); the label, element 2 (the first one made).
  static forms::Label* PresentWithLabel(int x, int y, std::initializer_list<std::wstring> lines) {
    EnterPresentationMode();
    TypeLabel(x, y, lines);
    return App().overlay.lblText[2];
  }
};

TEST_F(TextLabelsTest, TwoTypedLinesBecomeALabelAtTheClickInTheTextSettings) {
  PatternWindow pattern;  // a busy desktop, so that a see-through background shows
  EnterPresentationMode();
  ss& o = App().overlay;
  ASSERT_EQ(2u, o.lblText.Count()) << "the template and element 1";
  const RECT area{300, 200, 560, 300};
  EXPECT_EQ(0, CountColour(Grab(area), Rgb(kTextColor)));

  o.ArmTextPlacement();
  ClickAt(300, 200);
  ASSERT_TRUE(o.txtEdit.Visible());
  EXPECT_EQ(300, o.txtEdit.Left());
  EXPECT_EQ(200, o.txtEdit.Top());
  EXPECT_EQ(o.txtEdit.Hwnd(), ::GetFocus());
  LOGFONTW editorFont{};
  ::GetObjectW(o.txtEdit.Font(), sizeof editorFont, &editorFont);
  EXPECT_STREQ(L"Verdana", editorFont.lfFaceName);
  EXPECT_EQ(-ScreenPixels(975, 7200), editorFont.lfHeight);
  EXPECT_EQ(FW_NORMAL, editorFont.lfWeight);

  TypeText(L"Hello");
  TapKey(VK_RETURN);
  TypeText(L"World");
  PumpUntilInputHandled();
  EXPECT_EQ(L"Hello\r\nWorld", o.txtEdit.Text()) << "Enter adds a line";
  CommitWithCtrlC();

  forms::Label* label = o.lblText[2];
  ASSERT_NE(nullptr, label) << "the first label is element 2";
  EXPECT_EQ(3u, o.lblText.Count());
  EXPECT_TRUE(::IsWindowVisible(label->Hwnd()));
  EXPECT_EQ(o.Picture1.Hwnd(), ::GetParent(label->Hwnd()));
  EXPECT_EQ(L"Hello\r\nWorld", label->Caption());
  EXPECT_EQ(300, label->Left());
  EXPECT_EQ(200, label->Top());
  LOGFONTW lf{};
  ::GetObjectW(label->Font(), sizeof lf, &lf);
  EXPECT_STREQ(L"Tahoma", lf.lfFaceName);
  EXPECT_EQ(-ScreenPixels(14, 72), lf.lfHeight);
  EXPECT_EQ(FW_BOLD, lf.lfWeight);
  EXPECT_TRUE(lf.lfItalic);
  EXPECT_EQ(2 * LineHeight(label->Font()), label->Height()) << "both lines, one under the other";

  // After the commit: editor hidden and empty, disarmed, the surface has the keys again.
  EXPECT_FALSE(o.txtEdit.Visible());
  EXPECT_EQ(L"", o.txtEdit.Text());
  EXPECT_FALSE(o.TextMode());
  EXPECT_EQ(0, o.cLbl);
  EXPECT_EQ(0, o.cKey);
  EXPECT_EQ(o.Picture1.Hwnd(), ::GetFocus());

  // What the presenter sees: the text in the text colour on the grabbed desktop, in both lines.
  const RECT shown = ScreenRect(label->Hwnd());
  ScreenImage image = Grab(shown);
  SaveImageBmp(image, ScreenshotDir() + L"\\text-label.bmp");
  SaveImageBmp(CaptureScreenRect(0, 0, 900, 500), ScreenshotDir() + L"\\text-label-area.bmp");
  const int half = image.height / 2;
  long upper = 0, lower = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      if (image.pixels[static_cast<size_t>(y) * image.width + x] == Rgb(kTextColor)) (y < half ? upper : lower)++;
  EXPECT_GT(upper, 30);
  EXPECT_GT(lower, 30);
  // Transparent: around the letters the desktop shows, as grabbed.
  ScreenImage grabbed = CaptureDc(o.Picture1.GetPicture()->Dc(), shown.left, shown.top, image.width, image.height);
  const long changed = CountDifferences(grabbed, image);
  EXPECT_GE(changed, upper + lower);
  EXPECT_LT(changed, static_cast<long>(image.pixels.size()) / 2);

  // The next label is element 3, in the settings as they are at its commit.
  App().AppSettings.textbold = settings::kFalse;
  App().AppSettings.textitalic = settings::kFalse;
  TypeLabel(700, 400, {L"second", L"label"});
  forms::Label* next = o.lblText[3];
  ASSERT_NE(nullptr, next);
  EXPECT_EQ(L"second\r\nlabel", next->Caption());
  EXPECT_EQ(700, next->Left());
  EXPECT_EQ(400, next->Top());
  ::GetObjectW(next->Font(), sizeof lf, &lf);
  EXPECT_EQ(FW_NORMAL, lf.lfWeight);
  EXPECT_FALSE(lf.lfItalic);
  EXPECT_EQ(L"Hello\r\nWorld", label->Caption()) << "the first label is untouched";

  // A text size of 0, the first start's, sets the label in the editor's own 9.75 points, as it
  // looked while it was typed.
  App().AppSettings.textsize = 0;
  TypeLabel(700, 600, {L"third", L"label"});
  forms::Label* third = o.lblText[4];
  ASSERT_NE(nullptr, third);
  ::GetObjectW(third->Font(), sizeof lf, &lf);
  EXPECT_EQ(-ScreenPixels(975, 7200), lf.lfHeight);
  PressEsc();
}

TEST_F(TextLabelsTest, ClickingALabelWhileArmedEditsItInPlaceAndOnlyThen) {
  forms::Label* label = PresentWithLabel(400, 300, {L"first", L"try"});
  ASSERT_NE(nullptr, label);
  ss& o = App().overlay;

  // Not armed: the click goes through to the surface and opens nothing.
  ClickCentreOf(label->Hwnd());
  EXPECT_FALSE(o.txtEdit.Visible());
  EXPECT_EQ(0, o.cLbl);

  o.ArmTextPlacement();
  ClickCentreOf(label->Hwnd());
  ASSERT_TRUE(o.txtEdit.Visible());
  EXPECT_EQ(2, o.cLbl);
  EXPECT_EQ(L"first\r\ntry", o.txtEdit.Text());
  EXPECT_EQ(400, o.txtEdit.Left());
  EXPECT_EQ(300, o.txtEdit.Top());
  EXPECT_TRUE(::IsWindowVisible(label->Hwnd())) << "the label stays until the commit";

  TypeText(L" again");
  PumpUntilInputHandled();
  CommitWithCtrlC();
  EXPECT_EQ(L"first\r\ntry again", label->Caption());
  EXPECT_EQ(3u, o.lblText.Count()) << "no new element";
  EXPECT_EQ(nullptr, o.lblText[3]);
  EXPECT_EQ(400, label->Left());
  EXPECT_EQ(300, label->Top());
  EXPECT_FALSE(o.txtEdit.Visible());
  PressEsc();
}

TEST_F(TextLabelsTest, EscInTheEditorStaysInPresentationModeAndAnEmptyCommitShowsNothing) {
  EnterPresentationMode();
  ss& o = App().overlay;
  const ScreenImage before = CaptureScreenRect(400, 400, 300, 200);
  o.ArmTextPlacement();
  ClickAt(500, 500);
  ASSERT_EQ(o.txtEdit.Hwnd(), ::GetFocus());
  TapKey(VK_ESCAPE);
  PumpUntilInputHandled();
  ASSERT_TRUE(o.IsLoaded());
  EXPECT_TRUE(o.IsVisible());
  EXPECT_TRUE(o.txtEdit.Visible());
  EXPECT_EQ(o.txtEdit.Hwnd(), ::GetFocus());

  // Commit of an empty editor: a label, visible, with nothing to show.
  CommitWithCtrlC();
  forms::Label* empty = o.lblText[2];
  ASSERT_NE(nullptr, empty);
  EXPECT_TRUE(::IsWindowVisible(empty->Hwnd()));
  EXPECT_EQ(L"", empty->Caption());
  EXPECT_EQ(0, ScreenDifferencesOnceNone(before));

  // With the focus back on the surface, Esc leaves.
  TapKey(VK_ESCAPE);
  PumpUntilInputHandled();
  EXPECT_FALSE(o.IsLoaded());
}

TEST_F(TextLabelsTest, ArmedDragDrawsNothingButTheEraserStillErases) {
  EnterPresentationMode();
  ss& o = App().overlay;
  o.TogglePen();  // copy pen: the stroke is exactly the pen colour
  // Left of where the release will put the editor.
  const ScreenImage clean = CaptureScreenRect(100, 560, 340, 100);

  o.ArmTextPlacement();
  Drag(150, 600, 450, 600, 10);
  PumpUntilInputHandled();
  EXPECT_EQ(0, ScreenDifferencesOnceNone(clean)) << "armed: no stroke";
  EXPECT_TRUE(o.txtEdit.Visible()) << "the release placed the editor";
  EXPECT_EQ(450, o.txtEdit.Left());
  ClickAt(900, 900);  // move the editor out of the way
  o.SetTextMode(false);

  // A stroke, then the eraser over it while armed.
  Drag(150, 600, 450, 600, 10);
  PumpUntilInputHandled();
  ASSERT_GT(CountColour(CaptureScreenRect(100, 560, 500, 100), Rgb(0x0000FF)), 1000);
  o.ArmTextPlacement();
  o.ToggleEraser();
  Drag(120, 610, 480, 610, 36);
  PumpUntilInputHandled();
  EXPECT_EQ(0, CountColour(CaptureScreenRect(100, 560, 500, 100), Rgb(0x0000FF))) << "the eraser still erases";
  o.ToggleEraser();
  o.TogglePen();
  PressEsc();
}

TEST_F(TextLabelsTest, LabelsShowStrokesBeneathAndSurviveAWindowPassingOver) {
  forms::Label* label = PresentWithLabel(600, 300, {L"Over the", L"strokes"});
  ASSERT_NE(nullptr, label);
  ss& o = App().overlay;
  const RECT rc = ScreenRect(label->Hwnd());

  // Not armed, a drag that starts on the label draws there: the label lets the pen through, and
  // the stroke shows around the letters.
  o.TogglePen();
  const int y = (rc.top + rc.bottom) / 2;
  Drag(rc.left + 2, y, rc.right + 40, y, 12);
  PumpUntilInputHandled();
  ScreenImage withStroke = Grab(rc);
  EXPECT_GT(CountColour(withStroke, Rgb(0x0000FF)), 50) << "stroke under the label shows";
  EXPECT_GT(CountColour(withStroke, Rgb(kTextColor)), 30) << "and the text stays on top";
  SaveImageBmp(CaptureScreenRect(rc.left - 20, rc.top - 20, rc.right - rc.left + 80, rc.bottom - rc.top + 40),
               ScreenshotDir() + L"\\text-label-over-stroke.bmp");

  // A window over the label comes and goes: the same pixels afterwards.
  const RECT wide{rc.left - 30, rc.top - 30, rc.right + 60, rc.bottom + 30};
  const ScreenImage before = Grab(wide);
  {
    PatternWindow cover;  // on the screen once made
    EXPECT_GT(CountDifferences(before, Grab(wide)), 1000) << "the cover hid the label";
  }
  EXPECT_EQ(0, ScreenDifferencesOnceNone(before));
  o.TogglePen();
  PressEsc();
}

TEST_F(TextLabelsTest, AfterEscAndANewEntryNoLabelRemainsAndNumberingStartsAgain) {
  ASSERT_NE(nullptr, PresentWithLabel(200, 700, {L"gone", L"soon"}));
  ss& o = App().overlay;
  HWND oldLabel = o.lblText[2]->Hwnd();
  PressEsc();
  EXPECT_FALSE(::IsWindow(oldLabel));

  EnterPresentationMode();
  EXPECT_EQ(2u, o.lblText.Count());
  EXPECT_EQ(1, o.lblText.UBound());
  EXPECT_EQ(0, VisibleChildren(o.Picture1.Hwnd())) << "no label, no editor";
  EXPECT_EQ(0, o.txtEdit.Left());
  EXPECT_EQ(0, o.txtEdit.Top());
  ASSERT_NE(nullptr, o.lblText[1]);
  EXPECT_EQ(o.Picture3.Hwnd(), ::GetParent(o.lblText[1]->Hwnd()));
  EXPECT_FALSE(::IsWindowVisible(o.lblText[0]->Hwnd()));
  TypeLabel(250, 250, {L"new", L"opening"});
  EXPECT_NE(nullptr, o.lblText[2]);
  EXPECT_EQ(3u, o.lblText.Count());
  PressEsc();
}

TEST_F(TextLabelsTest, AnEditLeftOpenAtEscIsForgottenNotAppliedToAMissingLabel) {
  forms::Label* label = PresentWithLabel(200, 200, {L"one", L"two"});
  ASSERT_NE(nullptr, label);
  ss& o = App().overlay;
  o.ArmTextPlacement();
  ClickCentreOf(label->Hwnd());
  ASSERT_EQ(2, o.cLbl);
  // The presenter clicks the surface (focus leaves the editor) and leaves with Esc.
  ClickAt(1000, 800);
  ::SetFocus(o.Picture1.Hwnd());
  PressEsc();
  EXPECT_EQ(0, o.cLbl);

  EnterPresentationMode();
  TypeLabel(300, 300, {L"fresh"});
  ASSERT_NE(nullptr, o.lblText[2]);
  EXPECT_EQ(L"fresh", o.lblText[2]->Caption());
  PressEsc();
}

TEST_F(TextLabelsTest, RunningOutOfLabelIndexesLosesNothing) {
  ASSERT_NE(nullptr, PresentWithLabel(200, 200, {L"kept", L"safe"}));
  ss& o = App().overlay;
  // The highest index a label can have is in use.
  o.LoadLblText(32767);
  ASSERT_EQ(32767, o.lblText.UBound());
  const size_t count = o.lblText.Count();

  TypeLabel(600, 600, {L"one too many"});
  EXPECT_TRUE(o.IsLoaded());
  EXPECT_EQ(count, o.lblText.Count()) << "no element made";
  EXPECT_TRUE(o.txtEdit.Visible()) << "the editor keeps what was typed";
  EXPECT_EQ(L"one too many", o.txtEdit.Text());
  EXPECT_TRUE(o.TextMode());
  EXPECT_EQ(L"kept\r\nsafe", o.lblText[2]->Caption());
  EXPECT_TRUE(::IsWindowVisible(o.lblText[2]->Hwnd()));

  // Editing an existing label still works.
  ClickCentreOf(o.lblText[2]->Hwnd());
  ASSERT_EQ(2, o.cLbl);
  TypeText(L"!");
  PumpUntilInputHandled();
  CommitWithCtrlC();
  EXPECT_EQ(L"kept\r\nsafe!", o.lblText[2]->Caption());
  PressEsc();
}

// The character height a font was made with, in pixels (lfHeight is its negative).
int FontPixels(HFONT font) {
  LOGFONTW lf{};
  ::GetObjectW(font, sizeof lf, &lf);
  return -lf.lfHeight;
}

TEST_F(TextLabelsTest, OnAMonitorOfAnotherDpiTheEditorAndTheLabelsTakeItsDpi) {
  // Wine gives every monitor the system's dpi: the move to a monitor at 192 dpi is told as Windows
  // tells it.
  EnterPresentationMode();
  ss& o = App().overlay;
  RECT before{};
  ::GetWindowRect(o.Hwnd(), &before);
  RECT suggested{before.left, before.top, before.left + 800, before.top + 600};
  ::SendMessageW(o.Hwnd(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  RECT after{};
  ::GetWindowRect(o.Hwnd(), &after);
  EXPECT_TRUE(::EqualRect(&before, &after)) << "the overlay still covers its monitor";
  EXPECT_EQ(base::PixelsFromPoints(9.75, 192), FontPixels(o.txtEdit.Font()));
  RECT editor{};
  ::GetWindowRect(o.txtEdit.Hwnd(), &editor);
  EXPECT_EQ(640, editor.right - editor.left);
  EXPECT_EQ(192, editor.bottom - editor.top);
  // A label typed now is set at 192 dpi: 14 points are 37 pixels, not the 19 of 96 dpi.
  forms::Label* label = nullptr;
  TypeLabel(300, 300, {L"At 192 dpi"});
  label = o.lblText[2];
  ASSERT_NE(nullptr, label);
  EXPECT_EQ(192, label->Dpi());
  EXPECT_EQ(base::PixelsFromPoints(14, 192), FontPixels(label->Font()));
  EXPECT_EQ(LineHeight(label->Font()), label->Height());
  // And back.
  ::SendMessageW(o.Hwnd(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(base::PixelsFromPoints(14, 96), FontPixels(label->Font()));
  EXPECT_EQ(LineHeight(label->Font()), label->Height());
  PressEsc();
}

// --- The label and the label array on their own ----------------------------------------------

// A hidden window to hold labels.
HWND LabelHost() {
  return ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                           nullptr);
}

TEST(Label, SizesItselfToItsLinesShowsAmpersandsAndCopiesItsModel) {
  HWND host = LabelHost();
  ASSERT_NE(nullptr, host);
  forms::Label model;
  model.SetAutoSize(true);
  model.SetTransparent(true);
  model.SetFontName(L"Tahoma");
  model.SetFontSize(12);
  model.SetForeColor(RGB(1, 2, 3));
  ASSERT_TRUE(model.Create(host, 1, false));
  model.SetCaption(L"A&B\r\nlonger line");

  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, model.Font());
  SIZE amp{}, longer{};
  ::GetTextExtentPoint32W(dc, L"A&B", 3, &amp);
  ::GetTextExtentPoint32W(dc, L"longer line", 11, &longer);
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  EXPECT_EQ(longer.cx, model.Width());
  EXPECT_EQ(2 * tm.tmHeight, model.Height());
  model.SetCaption(L"A&B");
  EXPECT_EQ(amp.cx, model.Width()) << "the ampersand is a character";

  model.Move(17, 23);
  forms::Label copy;
  ASSERT_TRUE(copy.CreateLike(model, 2));
  EXPECT_EQ(host, ::GetParent(copy.Hwnd()));
  EXPECT_FALSE(::IsWindowVisible(copy.Hwnd()));
  EXPECT_EQ(L"A&B", copy.Caption());
  EXPECT_EQ(L"Tahoma", copy.FontName());
  EXPECT_EQ(12.0, copy.FontSize());
  EXPECT_EQ(RGB(1, 2, 3), copy.ForeColor());
  EXPECT_TRUE(copy.Transparent());
  EXPECT_TRUE(copy.AutoSize());
  EXPECT_EQ(17, copy.Left());
  EXPECT_EQ(23, copy.Top());
  EXPECT_EQ(model.Width(), copy.Width());
  ::DestroyWindow(host);
  EXPECT_EQ(nullptr, copy.Hwnd()) << "gone with its container";
}

TEST(Label, AndTextBoxMakeTheirFontsForTheDpiTheyAreGiven) {
  HWND host = LabelHost();
  ASSERT_NE(nullptr, host);
  forms::Label model;
  model.SetAutoSize(true);
  model.SetFontName(L"Tahoma");
  model.SetFontSize(12);
  ASSERT_TRUE(model.Create(host, 1, false));
  model.SetCaption(L"Text");
  EXPECT_EQ(base::DpiForWindow(host), model.Dpi()) << "the monitor's, unless told";
  const int windowDpi = model.Dpi();
  for (int dpi : {144, 192, 96}) {
    model.SetDpi(dpi);
    EXPECT_EQ(dpi, model.Dpi());
    EXPECT_EQ(base::PixelsFromPoints(12, dpi), FontPixels(model.Font())) << dpi;
    EXPECT_EQ(LineHeight(model.Font()), model.Height()) << dpi;
  }
  model.SetDpi(144);
  forms::Label copy;
  ASSERT_TRUE(copy.CreateLike(model, 2));
  EXPECT_EQ(144, copy.Dpi());
  EXPECT_EQ(base::PixelsFromPoints(12, 144), FontPixels(copy.Font()));
  model.SetDpi(0);
  EXPECT_EQ(windowDpi, model.Dpi());

  forms::TextBox box;
  ASSERT_TRUE(box.Create(host, 3, 0, 0, 200, 50, true, false));
  box.SetFont(L"Verdana", 9.75, false, false);
  EXPECT_EQ(base::PixelsFromPoints(9.75, base::DpiForWindow(host)), FontPixels(box.Font()));
  box.SetDpi(192);
  EXPECT_EQ(base::PixelsFromPoints(9.75, 192), FontPixels(box.Font()));
  EXPECT_EQ(box.Font(), reinterpret_cast<HFONT>(::SendMessageW(box.Hwnd(), WM_GETFONT, 0, 0))) << "the control uses it";
  box.SetFont(L"Verdana", 20, true, false);
  EXPECT_EQ(base::PixelsFromPoints(20, 192), FontPixels(box.Font())) << "a new font keeps the dpi";
  ::DestroyWindow(host);
}

TEST(LabelArray, HighestIndexCountsGapsAndRemovals) {
  forms::LabelArray array;
  EXPECT_EQ(-1, array.UBound());
  array.Add(0);
  array.Add(1);
  array.Add(7);
  EXPECT_EQ(7, array.UBound());
  EXPECT_EQ(3u, array.Count());
  EXPECT_EQ(nullptr, array[5]);
  array.Remove(7);
  EXPECT_EQ(1, array.UBound());
  array.Add(32767);
  EXPECT_EQ(32767, array.UBound());
}

}  // namespace
