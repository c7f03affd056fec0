// The overlay's undo history on a canvas in memory: the history's own rules (when a stroke
// becomes a step, what the end of a presentation keeps and how undo comes back into it), with no
// window. What the screen shows is the window tests' business (undo_test.cpp).
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "base/handles.h"
#include "forms/drawing_surface.h"
#include "imaging/picture_file.h"
#include "overlay/drawing_history.h"
#include "overlay/history_canvas.h"

namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 800;
constexpr uint32_t kRed = 0xFF0000;  // as the pixels hold RGB(255, 0, 0)

// A picture of one colour, as a grab of the desktop would be.
base::Picture Sheet(uint32_t colour) {
  return imaging::MakePicture(kWidth, kHeight, [&](const imaging::PixelBuffer& b) {
    for (int y = 0; y < b.height; ++y)
      for (int x = 0; x < b.width; ++x) b.pixels[static_cast<size_t>(y) * b.stride + x] = colour;
    return true;
  });
}

// The history's canvas in memory: the surface is a drawing surface of its own (a memory DC), made
// from the background at its first need as the overlay's is; labels are plain states.
class MemoryCanvas : public overlay::HistoryCanvas {
 public:
  bool showing = false;
  int idleAsked = 0;

  // Draws a filled rectangle as a stroke draws: the recorder hears of it first.
  void Paint(const RECT& area, COLORREF colour) {
    ASSERT_TRUE(Live());
    surface_.Touch(area);
    base::unique_hbrush brush(::CreateSolidBrush(colour));
    ::FillRect(surface_.Dc(), &area, brush.Get());
  }
  uint32_t At(int x, int y) {
    imaging::PixelImage content;
    ContentInto(content);
    return content.At(x, y) & 0xFFFFFF;
  }
  size_t DrawingCopyBytes() const { return surface_.CopyBytes(); }
  bool CopyStale() const { return live_ && surface_.CopyStale(); }

  bool BeginChange() override { return Live() && surface_.BeginChange(); }
  bool ChangeOpen() const override { return surface_.ChangeOpen(); }
  void CloseChange() override { surface_.CloseChange(); }
  bool ChangeEnded() const override { return surface_.ChangeEnded(); }
  imaging::TileChange TakeEndedChange() override {
    return live_ ? surface_.TakeEndedChange() : imaging::TileChange{};
  }
  void CancelChange() override {
    if (live_ && surface_.ChangeOpen()) surface_.CancelChange();
  }
  bool SwapChange(imaging::TileChange& change) override {
    if (!Live()) return false;
    const RECT changed = surface_.Swap(change);
    return !::IsRectEmpty(&changed) || change.Empty();
  }
  void RefreshCopy() override {
    if (live_) surface_.RefreshCopy();
  }
  void FreeDrawingCopy() override { surface_.FreeCopy(); }

  SurfaceState SaveSurface() override {
    SurfaceState state{background_, size_.cx, size_.cy, {}};
    if (live_) state.drawing = imaging::FrozenImage(surface_.Copy());
    return state;
  }
  SurfaceState TakeSurface() override {
    SurfaceState state{background_, size_.cx, size_.cy, {}};
    if (live_) state.drawing = surface_.Release();
    live_ = false;
    return state;
  }
  void RestoreSurface(SurfaceState state) override {
    background_ = std::move(state.picture);
    size_ = {state.width, state.height};
    live_ = false;
    if (!state.drawing.Empty() && Live() && !surface_.Fill(state.drawing)) live_ = false;
  }
  void SetBackground(base::Picture picture) override {
    background_ = std::move(picture);
    if (background_) size_ = {background_->WidthPixels(), background_->HeightPixels()};
    live_ = false;
  }
  void SetBackgroundKeepDrawing(base::Picture picture) override {
    if (live_ && picture && picture->WidthPixels() == size_.cx && picture->HeightPixels() == size_.cy) {
      background_ = std::move(picture);
    } else {
      SetBackground(std::move(picture));
    }
  }
  SIZE SurfaceSize() const override { return size_; }
  void ContentInto(imaging::PixelImage& image) override {
    if (Live()) {
      surface_.CopyInto(image);
    } else {
      image = imaging::PixelImage{};
    }
  }

  base::Picture CleanPicture() const override { return clean_; }
  void SetCleanPicture(base::Picture picture) override { clean_ = std::move(picture); }

  std::vector<std::pair<int16_t, overlay::LabelState>> Labels() const override {
    return {labels_.begin(), labels_.end()};
  }
  std::optional<overlay::LabelState> FindLabel(int16_t index) const override {
    const auto found = labels_.find(index);
    if (found == labels_.end()) return std::nullopt;
    return found->second;
  }
  void SetLabel(int16_t index, const std::optional<overlay::LabelState>& state) override {
    if (state) {
      labels_[index] = *state;
    } else {
      labels_.erase(index);
    }
  }
  void RemoveLabels() override { labels_.clear(); }
  // Each shown label as a square of its colour at its place.
  std::vector<overlay::PicturePiece> LabelPieces() override {
    std::vector<overlay::PicturePiece> pieces;
    for (const auto& [index, label] : labels_) {
      if (label.visible) pieces.push_back({label.left, label.top, {4, 4, std::vector<uint32_t>(16, label.color)}});
    }
    return pieces;
  }

  overlay::PageKind CurrentPage() const override { return page_; }
  void SetCurrentPage(overlay::PageKind page) override { page_ = page; }
  bool Showing() const override { return showing; }
  bool AskForIdleTime() override {
    ++idleAsked;
    return true;
  }

 private:
  bool Live() {
    if (live_) return true;
    if (size_.cx <= 0 || size_.cy <= 0 || !surface_.Create(size_.cx, size_.cy)) return false;
    imaging::PixelImage content = background_ ? imaging::PicturePixels(*background_) : imaging::PixelImage{};
    if (content.Empty()) content = {size_.cx, size_.cy, std::vector<uint32_t>(size_t(size_.cx) * size_.cy)};
    live_ = surface_.Fill(imaging::FrozenImage(std::move(content)));
    return live_;
  }

  forms::DrawingSurface surface_;
  bool live_ = false;
  base::Picture background_;
  SIZE size_{0, 0};
  base::Picture clean_;
  std::map<int16_t, overlay::LabelState> labels_;
  overlay::PageKind page_ = overlay::PageKind::Desktop;
};

class DrawingHistoryTest : public ::testing::Test {
 protected:
  // A presentation begins on a grab of `colour`.
  void Present(uint32_t colour) {
    canvas.showing = false;
    history.TakeGrab(Sheet(colour));
    canvas.showing = true;
  }
  // Esc: the drawing is kept, the window goes with its labels, and then it is hidden.
  void Leave() {
    history.PresentationEnding();
    canvas.showing = false;
    canvas.RemoveLabels();
    history.PresentationGone();
  }
  // A red stroke across at `y`, as the pen draws it between press and release.
  void Stroke(int y) {
    history.BeginChange();
    canvas.Paint(RECT{300, y - 10, 900, y + 10}, RGB(255, 0, 0));
    history.EndChange();
  }
  std::vector<uint32_t> Content() {
    imaging::PixelImage content;
    canvas.ContentInto(content);
    return content.pixels;
  }
  size_t Undoable() { return history.Steps().UndoCount(); }

  MemoryCanvas canvas;
  overlay::DrawingHistory history{canvas};
};

TEST_F(DrawingHistoryTest, AReleaseOnlyClosesTheStrokeIdleTimeMakesTheStepAndUndoOrEscRightAfterItTakeItAlong) {
  Present(0x808080);
  Stroke(300);
  EXPECT_TRUE(canvas.ChangeEnded()) << "closed at the release, not looked at yet";
  history.DoIdleWork();
  EXPECT_FALSE(canvas.ChangeEnded()) << "the pause makes the step";
  EXPECT_EQ(1u, Undoable());
  const std::vector<uint32_t> one = Content();

  // Undo straight after a release undoes that stroke; the tiles it swapped are brought up to date
  // in the surface's copy in the next pause, and a stroke over them undoes exactly again.
  Stroke(500);
  ASSERT_TRUE(history.Undo());
  EXPECT_EQ(one, Content());
  EXPECT_EQ(1u, history.Steps().RedoCount());
  EXPECT_TRUE(canvas.CopyStale());
  history.DoIdleWork();
  EXPECT_FALSE(canvas.CopyStale());
  Stroke(520);
  ASSERT_TRUE(history.Undo());
  EXPECT_EQ(one, Content());

  // A label, then Esc straight after a release: the stroke is in the presentation the next one
  // undoes into, with the label...
  overlay::LabelState label;
  label.caption = L"Kept";
  label.visible = true;
  const std::optional<overlay::LabelState> before = history.CaptureLabel(overlay::kFirstUserLabel);
  canvas.SetLabel(overlay::kFirstUserLabel, label);
  history.RecordLabelEdit(overlay::kFirstUserLabel, before);
  Stroke(700);
  Leave();
  EXPECT_EQ(1, canvas.idleAsked) << "the hide asks for idle time";
  // (Between presentations the history's copy of the drawing gives its memory back.)
  EXPECT_EQ(size_t{kWidth} * kHeight * 4, canvas.DrawingCopyBytes()) << "until the hide is done";
  history.DoIdleWork();
  EXPECT_EQ(0u, canvas.DrawingCopyBytes());
  Present(0x202020);
  EXPECT_FALSE(canvas.FindLabel(overlay::kFirstUserLabel));
  ASSERT_TRUE(history.Undo());
  EXPECT_EQ(kRed, canvas.At(600, 700));
  EXPECT_EQ(kRed, canvas.At(600, 300));
  EXPECT_NE(kRed, canvas.At(600, 520));
  ASSERT_TRUE(canvas.FindLabel(overlay::kFirstUserLabel));
  EXPECT_EQ(L"Kept", canvas.FindLabel(overlay::kFirstUserLabel)->caption);
  // ... as a step of its own; then the label's.
  ASSERT_TRUE(history.Undo());
  EXPECT_NE(kRed, canvas.At(600, 700));
  EXPECT_EQ(kRed, canvas.At(600, 300));
  ASSERT_TRUE(history.Undo());
  EXPECT_FALSE(canvas.FindLabel(overlay::kFirstUserLabel));
}

}  // namespace
