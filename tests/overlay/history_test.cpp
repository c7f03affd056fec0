// The pieces of undo and keeping that need no window: the tile recorder, the codec that packs the
// history's pictures and the file they may go to, the history and its bound, the names of kept
// drawings, the clipboard's DIB and the keys.
#include <gtest/gtest.h>

#include <chrono>

#include <numeric>
#include <string>
#include <vector>

#include "imaging/packed_image.h"
#include "imaging/spill_file.h"
#include "imaging/surface_tiles.h"
#include "imaging/tile_codec.h"
#include "overlay/clipboard.h"
#include "overlay/history.h"
#include "overlay/keeping.h"
#include "support/test_support.h"

namespace {

using imaging::PixelBuffer;
using imaging::PixelRect;
using imaging::TileChange;
using imaging::TileRecorder;
using testing_support::TempDir;

// A buffer of 150 x 100 (tiles 3 x 2, the last ones cut) with a distinct value per pixel.
struct Canvas {
  int w = 150, h = 100;
  std::vector<uint32_t> px = std::vector<uint32_t>(150 * 100);
  Canvas() { std::iota(px.begin(), px.end(), 1u); }
  PixelBuffer Buffer() { return {px.data(), w, h, static_cast<size_t>(w)}; }
  void Paint(const PixelRect& r, uint32_t v) {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) px[y * w + x] = v;
  }
};

// A canvas with a recorder attached to it.
class TileRecorderTest : public ::testing::Test {
 protected:
  void SetUp() override { rec.Attach(c.Buffer()); }
  Canvas c;
  TileRecorder rec;
};

TEST_F(TileRecorderTest, KeepsOnlyTheTilesThatChangedAndSwapsBetweenBeforeAndAfter) {
  const std::vector<uint32_t> before = c.px;
  ASSERT_TRUE(rec.Begin());
  // Touched over four tiles, changed in two of them (one an edge tile of the cut last column).
  rec.Touch({60, 10, 140, 80});
  c.Paint({130, 20, 140, 30}, 0xABCDEF);
  c.Paint({70, 70, 72, 72}, 0x123456);
  const std::vector<uint32_t> after = c.px;
  TileChange change = rec.End();
  EXPECT_FALSE(rec.Open());
  EXPECT_EQ(2u, change.TileCount());
  const PixelRect b = change.Bounds();
  EXPECT_EQ(64, b.left);
  EXPECT_EQ(0, b.top);
  EXPECT_EQ(150, b.right);
  EXPECT_EQ(100, b.bottom);
  EXPECT_GE(change.Bytes(), (22 * 64 + 64 * 36) * sizeof(uint32_t));
  EXPECT_LT(change.Bytes(), (22 * 64 + 64 * 36) * sizeof(uint32_t) + 4096 + 1024) << "the two tiles, in whole pages";

  ASSERT_TRUE(change.SwapWith(c.Buffer()));
  EXPECT_EQ(before, c.px);
  ASSERT_TRUE(change.SwapWith(c.Buffer()));
  EXPECT_EQ(after, c.px);

  // Another size is refused and nothing moves.
  Canvas other;
  other.w = 149;
  EXPECT_FALSE(change.SwapWith(other.Buffer()));
}

TEST_F(TileRecorderTest, CancelsAllOfAChange) {
  const std::vector<uint32_t> before = c.px;
  ASSERT_TRUE(rec.Begin());
  rec.Touch({0, 0, 150, 100});
  c.Paint({0, 0, 150, 100}, 7);
  rec.Cancel();
  EXPECT_EQ(before, c.px);
  EXPECT_TRUE(rec.End().Empty());

  // Without a buffer there is nothing to record on.
  TileRecorder none;
  EXPECT_FALSE(none.Begin());
}

// A change over the whole canvas that changes nothing: afterwards the recorder's copy is whole.
void MakeCopyWhole(TileRecorder& rec) {
  ASSERT_TRUE(rec.Begin());
  rec.Touch({0, 0, 150, 100});
  ASSERT_TRUE(rec.End().Empty()) << "touched, nothing changed: no tiles";
  ASSERT_EQ(0u, rec.StaleTiles());
}

TEST_F(TileRecorderTest, DrawingOnlyMarksTilesAndTheClosedChangeIsSortedOutLater) {
  EXPECT_EQ(6u, rec.StaleTiles()) << "nothing of the copy is known at first";
  MakeCopyWhole(rec);

  const std::vector<uint32_t> before = c.px;
  ASSERT_TRUE(rec.Begin());
  EXPECT_FALSE(rec.ReadsPixels({0, 0, 150, 100})) << "with the copy up to date, a stroke reads no pixel";
  rec.Touch({10, 10, 20, 20});
  c.Paint({10, 10, 20, 20}, 5);
  rec.Close();
  EXPECT_TRUE(rec.Ended());
  EXPECT_FALSE(rec.Open());
  // Drawing after the close and before the take joins the change.
  rec.Touch({12, 12, 14, 14});
  c.Paint({12, 12, 14, 14}, 6);
  const std::vector<uint32_t> after = c.px;
  TileChange change = rec.Take();
  EXPECT_FALSE(rec.Ended());
  ASSERT_EQ(1u, change.TileCount());
  EXPECT_EQ(0u, rec.StaleTiles()) << "the take brings the copy up to date";
  ASSERT_TRUE(change.SwapWith(c.Buffer()));
  EXPECT_EQ(before, c.px);
  ASSERT_TRUE(change.SwapWith(c.Buffer()));
  EXPECT_EQ(after, c.px);
}

TEST(TileRecorder, AfterAnUndoTheCopyCatchesUpAndTheNextChangeRecordsExactlyWithOrWithoutTheIdleRefresh) {
  for (bool refreshed : {true, false}) {
    Canvas c;
    TileRecorder rec;
    rec.Attach(c.Buffer());
    MakeCopyWhole(rec);
    ASSERT_TRUE(rec.Begin());
    rec.Touch({0, 0, 100, 100});
    c.Paint({0, 0, 100, 100}, 1);
    TileChange first = rec.End();
    const std::vector<uint32_t> drawn = c.px;
    // Undo, as the surface does it: the tiles it swapped back are stale in the copy.
    ASSERT_TRUE(first.SwapWith(c.Buffer()));
    rec.Invalidate(first);
    EXPECT_EQ(first.TileCount(), rec.StaleTiles());
    if (refreshed) {
      rec.Refresh();
      EXPECT_EQ(0u, rec.StaleTiles());
    }
    const std::vector<uint32_t> undone = c.px;
    ASSERT_TRUE(rec.Begin());
    EXPECT_EQ(!refreshed, rec.ReadsPixels({40, 40, 60, 60})) << "a stale tile is copied just before it changes";
    rec.Touch({40, 40, 60, 60});
    c.Paint({40, 40, 60, 60}, 2);
    const std::vector<uint32_t> second = c.px;
    TileChange change = rec.End();
    ASSERT_TRUE(change.SwapWith(c.Buffer()));
    EXPECT_EQ(undone, c.px) << "refreshed " << refreshed;
    ASSERT_TRUE(change.SwapWith(c.Buffer()));
    EXPECT_EQ(second, c.px);
    // Redo of the first change still fits what is there.
    ASSERT_TRUE(change.SwapWith(c.Buffer()));
    ASSERT_TRUE(first.SwapWith(c.Buffer()));
    EXPECT_EQ(drawn, c.px);
  }
}

TEST_F(TileRecorderTest, AChangeClosedAndNotTakenIsDroppedByTheNextOneWhichStillRecordsExactly) {
  MakeCopyWhole(rec);
  ASSERT_TRUE(rec.Begin());
  rec.Touch({0, 0, 30, 30});
  c.Paint({0, 0, 30, 30}, 3);
  rec.Close();
  const std::vector<uint32_t> kept = c.px;
  ASSERT_TRUE(rec.Begin());
  EXPECT_EQ(1u, rec.StaleTiles()) << "its tile's copy holds what was there before it";
  rec.Touch({10, 10, 40, 40});
  c.Paint({10, 10, 40, 40}, 4);
  rec.Cancel();
  EXPECT_EQ(kept, c.px) << "cancel goes back to the dropped change's drawing, not before it";
}

TEST_F(TileRecorderTest, GivesItsCopyBackAndRecordsExactlyWithANewOne) {
  MakeCopyWhole(rec);
  EXPECT_EQ(150u * 100u * 4u, rec.CopyBytes());
  rec.FreeCopy();
  EXPECT_EQ(0u, rec.CopyBytes());
  EXPECT_EQ(6u, rec.StaleTiles());
  const std::vector<uint32_t> before = c.px;
  ASSERT_TRUE(rec.Begin());
  EXPECT_TRUE(rec.ReadsPixels({0, 0, 10, 10})) << "the new copy is filled as tiles are touched";
  rec.Touch({0, 0, 100, 100});
  c.Paint({0, 0, 100, 100}, 9);
  TileChange change = rec.End();
  EXPECT_EQ(4u, change.TileCount());
  ASSERT_TRUE(change.SwapWith(c.Buffer()));
  EXPECT_EQ(before, c.px);
}

// Pictures of the kinds the history keeps, w x h, with the top byte in use as GDI may leave it.
std::vector<uint32_t> Picture(int kind, int w, int h) {
  std::vector<uint32_t> px(static_cast<size_t>(w) * h);
  uint32_t noise = 12345;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t& p = px[static_cast<size_t>(y) * w + x];
      switch (kind) {
        case 0: p = 0x00D4D0C8; break;                                               // flat
        case 1: p = (x / 4 + y / 4) % 2 ? 0x00FFFFFF : 0x00102030; break;             // checkerboard
        case 2: p = static_cast<uint32_t>((x * 3) << 16 | (y * 2) << 8 | (x + y)); break;  // gradients
        case 3: p = (noise = noise * 1103515245 + 12345); break;                      // noise, any top byte
        default: p = (x % 40 < 3 || y % 30 == 0) ? 0xFF000000u | (x * y) : 0xFFFFFFFFu;  // text-like on white
      }
    }
  }
  return px;
}

TEST(TileCodec, UnpacksExactlyWhatItPackedAloneOrAgainstAReferenceAtAnySize) {
  const base::PixelRect sizes[] = {{0, 0, 64, 64}, {3, 5, 4, 6}, {10, 0, 75, 37}, {0, 0, 130, 70}};
  for (int kind = 0; kind <= 4; ++kind) {
    for (const base::PixelRect& area : sizes) {
      const int w = 130, h = 70;
      std::vector<uint32_t> px = Picture(kind, w, h);
      std::vector<uint32_t> ref = Picture((kind + 2) % 5, w, h);
      const PixelBuffer pixels{px.data(), w, h, static_cast<size_t>(w)};
      const PixelBuffer reference{ref.data(), w, h, static_cast<size_t>(w)};
      for (const PixelBuffer* r : {static_cast<const PixelBuffer*>(nullptr), &reference}) {
        std::vector<uint8_t> packed;
        imaging::PackArea(pixels, r, area, packed);
        std::vector<uint32_t> out(px.size(), 0xDEADBEEF);
        const PixelBuffer target{out.data(), w, h, static_cast<size_t>(w)};
        ASSERT_EQ(packed.size(), imaging::UnpackArea(packed.data(), packed.size(), target, r, area))
            << "kind " << kind << " reference " << (r != nullptr);
        for (int y = 0; y < h; ++y) {
          for (int x = 0; x < w; ++x) {
            const bool inside = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
            ASSERT_EQ(inside ? px[y * w + x] : 0xDEADBEEF, out[y * w + x]) << kind << " at " << x << "," << y;
          }
        }
        // Cut short, it is refused without reading past its end.
        for (size_t cut : {size_t{0}, packed.size() / 2, packed.size() - 1}) {
          if (cut >= packed.size()) continue;
          std::vector<uint8_t> part(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(cut));
          EXPECT_EQ(0u, imaging::UnpackArea(part.data(), part.size(), target, r, area)) << kind << " cut at " << cut;
        }
      }
    }
  }
}

TEST(TileCodec, PacksWhatTheHistoryKeepsToAFractionOfItsSize) {
  const int w = 64, h = 64;
  const size_t raw = 64 * 64 * 4;
  auto packedSize = [&](const std::vector<uint32_t>& px, const std::vector<uint32_t>* ref) {
    std::vector<uint32_t> copy = px, refCopy = ref ? *ref : std::vector<uint32_t>();
    const PixelBuffer pixels{copy.data(), w, h, static_cast<size_t>(w)};
    const PixelBuffer reference{refCopy.data(), w, h, static_cast<size_t>(w)};
    std::vector<uint8_t> packed;
    imaging::PackArea(pixels, ref ? &reference : nullptr, {0, 0, w, h}, packed);
    return packed.size();
  };
  EXPECT_EQ(5u, packedSize(Picture(0, w, h), nullptr)) << "a flat tile";
  const std::vector<uint32_t> text = Picture(4, w, h);
  EXPECT_EQ(1u, packedSize(text, &text)) << "a tile nobody drew on, against its background";
  EXPECT_LT(packedSize(Picture(1, w, h), nullptr), raw / 8) << "fine detail";
  EXPECT_LT(packedSize(text, nullptr), raw / 8) << "text on white";
  EXPECT_LT(packedSize(Picture(3, w, h), nullptr), raw * 5 / 4) << "noise costs little more than itself";
}

// A piece of packed bytes holding `bytes`.
void Fill(imaging::PackedBytes& piece, const std::vector<uint8_t>& bytes) {
  piece.Start(bytes.size());
  ASSERT_TRUE(piece.Append(bytes.data(), bytes.size()));
  piece.Finish();
}

std::vector<uint8_t> BytesOf(const imaging::PackedBytes& piece) {
  return std::vector<uint8_t>(piece.Data(), piece.Data() + piece.Size());
}

TEST(SpillFile, KeepsPiecesReusesFreedBlocksAndIsGoneWhenClosed) {
  const std::wstring path = TempDir(L"spill") + L"\\undo.tmp";
  std::vector<uint8_t> a(100'000), b(70'000, 7), c(20'000, 9);
  std::iota(a.begin(), a.end(), uint8_t{0});
  const size_t block = imaging::SpillFile::kBlockBytes;
  auto blocks = [&](size_t n) { return (n + block - 1) / block; };
  {
    imaging::SpillFile file(path);
    imaging::PackedBytes pa, pb, pc;
    Fill(pa, a);
    Fill(pb, b);
    EXPECT_EQ(blocks(a.size()) * block, pa.Bytes()) << "whole pages, no more";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(path.c_str())) << "made at the first piece";
    ASSERT_TRUE(pa.Spill(file));
    ASSERT_TRUE(pb.Spill(file));
    EXPECT_EQ(0u, pa.Bytes()) << "out of memory";
    EXPECT_EQ(a.size(), pa.StoredBytes());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(path.c_str()));
    EXPECT_EQ((blocks(a.size()) + blocks(b.size())) * block, file.FileBytes());
    // Another program cannot open it.
    EXPECT_EQ(INVALID_HANDLE_VALUE, ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                  nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(pa.Load());
    EXPECT_EQ(a, BytesOf(pa));
    EXPECT_FALSE(pa.InFile());
    // The freed blocks at the start take the next piece; the file does not grow.
    Fill(pc, c);
    ASSERT_TRUE(pc.Spill(file));
    EXPECT_EQ((blocks(a.size()) + blocks(b.size())) * block, file.FileBytes());
    ASSERT_TRUE(pb.Load());
    ASSERT_TRUE(pc.Load());
    EXPECT_EQ(b, BytesOf(pb));
    EXPECT_EQ(c, BytesOf(pc));
    EXPECT_EQ(0u, file.UsedBytes());
    EXPECT_EQ(0u, file.FileBytes()) << "nothing held: the file is empty again";
  }
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(path.c_str())) << "deleted when closed";
  // A file that cannot be made takes nothing, and the bytes stay in memory.
  imaging::SpillFile nowhere(L"Q:\\no\\such\\folder\\undo.tmp");
  imaging::PackedBytes p;
  Fill(p, a);
  EXPECT_FALSE(p.Spill(nowhere));
  EXPECT_FALSE(nowhere.Usable());
  EXPECT_EQ(a, BytesOf(p));
}

TEST_F(TileRecorderTest, APackedChangeAndOneInTheSpillFileSwapExactlyAndComeBackPlain) {
  const std::wstring path = TempDir(L"spill") + L"\\tiles.tmp";
  imaging::SpillFile file(path);
  for (bool spill : {false, true}) {
    MakeCopyWhole(rec);
    const std::vector<uint32_t> before = c.px;
    ASSERT_TRUE(rec.Begin());
    rec.Touch({0, 0, 150, 100});
    c.Paint({20, 20, 140, 90}, 0x00FF0000);
    TileChange change = rec.End();
    const std::vector<uint32_t> after = c.px;
    const size_t plain = change.Bytes();
    // Packed in pieces: a slice that is over at once packs one tile a call.
    size_t calls = 1;
    while (!change.Pack(imaging::TimeSlice(std::chrono::microseconds(0)))) ++calls;
    EXPECT_EQ(change.TileCount(), calls);
    EXPECT_TRUE(change.Packed());
    EXPECT_LT(change.Bytes(), plain / 2) << "the canvas's counting numbers pack to less than half";
    if (spill) {
      ASSERT_TRUE(change.Spill(file));
      EXPECT_GT(change.StoredBytes(), 0u);
    }
    ASSERT_TRUE(change.SwapWith(c.Buffer()));
    EXPECT_EQ(before, c.px);
    EXPECT_FALSE(change.Packed()) << "it holds what it took out, plain";
    EXPECT_EQ(0u, change.StoredBytes());
    ASSERT_TRUE(change.Pack(imaging::TimeSlice::Unlimited()));
    ASSERT_TRUE(change.SwapWith(c.Buffer()));
    EXPECT_EQ(after, c.px);
    // Another size is refused and nothing moves, packed or not.
    Canvas other;
    other.w = 149;
    ASSERT_TRUE(change.Pack(imaging::TimeSlice::Unlimited()));
    EXPECT_FALSE(change.SwapWith(other.Buffer()));
    EXPECT_EQ(after, c.px);
    c.px = before;
    rec.Attach(c.Buffer());
  }
  EXPECT_EQ(0u, file.UsedBytes());
}

TEST(PackedImage, PacksInPiecesAgainstItsBackgroundAndUnpacksExactly) {
  const int w = 150, h = 100;
  std::vector<uint32_t> background = Picture(4, w, h), drawing = background;
  for (int x = 30; x < 120; ++x) drawing[50 * w + x] = 0x000000FF;
  const PixelBuffer bg{background.data(), w, h, static_cast<size_t>(w)};
  const PixelBuffer dr{drawing.data(), w, h, static_cast<size_t>(w)};
  imaging::PackedImage alone(w, h), against(w, h);
  size_t calls = 1;
  while (!against.PackSome(dr, &bg, imaging::TimeSlice(std::chrono::microseconds(0)))) ++calls;
  EXPECT_EQ(6u, calls) << "one tile a call";
  ASSERT_TRUE(alone.PackSome(dr, nullptr, imaging::TimeSlice::Unlimited()));
  EXPECT_LT(against.Packed().Size(), alone.Packed().Size() / 4) << "against its background only the line costs";
  std::vector<uint32_t> out(drawing.size());
  const PixelBuffer target{out.data(), w, h, static_cast<size_t>(w)};
  ASSERT_TRUE(against.Unpack(target, &bg));
  EXPECT_EQ(drawing, out);
  std::fill(out.begin(), out.end(), 0);
  ASSERT_TRUE(alone.Unpack(target, nullptr));
  EXPECT_EQ(drawing, out);
  std::vector<uint32_t> small(10 * 10);
  EXPECT_FALSE(alone.Unpack(PixelBuffer{small.data(), 10, 10, 10}, nullptr)) << "another size";
}

TEST(KeptPicture, IsTheDrawingCopiedWithThePiecesPastedInAndCutAtItsEdges) {
  imaging::PixelImage drawing{4, 3, std::vector<uint32_t>(12, 7)};
  const imaging::FrozenImage frozen(std::move(drawing));
  overlay::KeptPicture kept;
  kept.drawing = frozen;
  kept.pieces.push_back({-1, 1, imaging::PixelImage{2, 1, {1, 2}}});
  kept.pieces.push_back({3, 2, imaging::PixelImage{2, 2, {3, 4, 5, 6}}});
  const imaging::PixelImage composed = kept.Compose();
  const std::vector<uint32_t> expected = {7, 7, 7, 7,  //
                                          2, 7, 7, 7,  //
                                          7, 7, 7, 3};
  EXPECT_EQ(expected, composed.pixels);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(7u, frozen.Pixels()[i]) << "the shared pixels stay as they were";
  EXPECT_EQ(48u, frozen.Bytes());
}

// An action that moves a number between two states, as the overlay's actions move pictures; it
// refuses while `refuse` is set (a step recorded on a surface of another size).
class Flip : public overlay::UndoAction {
 public:
  Flip(int& target, int other, size_t bytes, const bool* refuse = nullptr)
      : target_(target), other_(other), bytes_(bytes), refuse_(refuse) {}
  bool Swap() override {
    if (refuse_ && *refuse_) return false;
    std::swap(target_, other_);
    return true;
  }
  size_t Bytes() const override { return bytes_; }

 private:
  int& target_;
  int other_;
  size_t bytes_;
  const bool* refuse_;
};

overlay::UndoStep StepSetting(int& value, int to, size_t bytes = 1000, const bool* refuse = nullptr) {
  overlay::UndoStep step;
  step.Add(std::make_unique<Flip>(value, value, bytes, refuse));
  value = to;
  return step;
}

TEST(History, UndoesAndRedoesInOrderAndANewStepDropsWhatCouldBeRedone) {
  int value = 0;
  overlay::History h;
  for (int i = 1; i <= 3; ++i) h.Push(StepSetting(value, i));
  EXPECT_EQ(3u, h.UndoCount());
  EXPECT_TRUE(h.Undo());
  EXPECT_EQ(2, value);
  EXPECT_TRUE(h.Undo());
  EXPECT_EQ(1, value);
  EXPECT_TRUE(h.Redo());
  EXPECT_EQ(2, value);
  EXPECT_EQ(1u, h.RedoCount());
  h.Push(StepSetting(value, 9));
  EXPECT_EQ(0u, h.RedoCount());
  EXPECT_FALSE(h.Redo());
  EXPECT_TRUE(h.Undo());
  EXPECT_EQ(2, value);
  EXPECT_TRUE(h.Undo());
  EXPECT_TRUE(h.Undo());
  EXPECT_EQ(0, value);
  EXPECT_FALSE(h.Undo());
  h.Push(overlay::UndoStep{});
  EXPECT_EQ(0u, h.UndoCount()) << "an empty step is not a step";
}

TEST(History, TheBoundInBytesDropsTheOldestStepsFirstButNeverTheNewest) {
  int value = 0;
  overlay::History h(10'500);
  for (int i = 1; i <= 15; ++i) h.Push(StepSetting(value, i, 1000));
  EXPECT_LE(h.Bytes(), h.LimitBytes());
  EXPECT_EQ(10u, h.UndoCount());
  EXPECT_EQ(5u, h.DroppedCount());
  while (h.Undo()) {
  }
  EXPECT_EQ(5, value) << "the five oldest went, the ten newest undo";
  // A step bigger than the whole bound still stays, alone.
  h.Push(StepSetting(value, 99, 50'000));
  EXPECT_EQ(1u, h.UndoCount());
  EXPECT_TRUE(h.Undo());
  EXPECT_EQ(5, value);
}

TEST(History, AStepThatCannotBeAppliedGoesWithEveryStepBeyondItAndNeverBlocksTheOthers) {
  int value = 0, other = 0;
  bool refuse = false;
  overlay::History h;
  h.Push(StepSetting(value, 1));
  h.Push(StepSetting(value, 2, 1000, &refuse));
  h.Push(StepSetting(value, 3));
  // Two actions in one step, the one undone second refusing: all or nothing.
  overlay::UndoStep both;
  both.Add(std::make_unique<Flip>(value, value, 10, &refuse));
  both.Add(std::make_unique<Flip>(other, other, 10));
  other = 40;
  value = 4;
  h.Push(std::move(both));

  refuse = true;
  EXPECT_FALSE(h.Undo()) << "the newest step refuses";
  EXPECT_EQ(4, value);
  EXPECT_EQ(40, other) << "the action undone first was put back";
  EXPECT_EQ(0u, h.UndoCount()) << "it went, and the older steps with it";
  EXPECT_EQ(4u, h.DroppedCount());
  EXPECT_FALSE(h.Undo());
  // Later steps undo as always.
  refuse = false;
  h.Push(StepSetting(value, 5));
  h.Push(StepSetting(value, 6));
  ASSERT_TRUE(h.Undo());
  EXPECT_EQ(5, value);

  // Redo: the refusing step goes with the newer ones; the present stays.
  h.Push(StepSetting(value, 7, 1000, &refuse));
  h.Push(StepSetting(value, 8));
  ASSERT_TRUE(h.Undo());
  ASSERT_TRUE(h.Undo());
  EXPECT_EQ(5, value);
  refuse = true;
  EXPECT_FALSE(h.Redo());
  EXPECT_EQ(5, value);
  EXPECT_EQ(0u, h.RedoCount());
  EXPECT_EQ(1u, h.UndoCount());
  ASSERT_TRUE(h.Undo());
  EXPECT_EQ(4, value) << "the steps before it still undo";
}

TEST(History, AQuietStepGoesWithTheStepBeforeItOnUndoAndWithItOnRedo) {
  int value = 0, background = 0;
  overlay::History h;
  h.Push(StepSetting(value, 1));
  h.Push(StepSetting(value, 2));
  overlay::UndoStep save = StepSetting(background, 9);
  save.SetQuiet();
  h.Push(std::move(save));
  ASSERT_TRUE(h.Undo());
  EXPECT_EQ(1, value) << "one Ctrl+Z: the save and the stroke before it";
  EXPECT_EQ(0, background);
  EXPECT_EQ(2u, h.RedoCount());
  ASSERT_TRUE(h.Redo());
  EXPECT_EQ(2, value);
  EXPECT_EQ(9, background) << "redone together";
  EXPECT_EQ(0u, h.RedoCount());
  // Alone, as the oldest step, it is undone on its own.
  overlay::History alone;
  overlay::UndoStep first = StepSetting(background, 3);
  first.SetQuiet();
  alone.Push(std::move(first));
  EXPECT_TRUE(alone.Undo());
  EXPECT_EQ(9, background);
}

// An action that holds `plain` bytes, a tenth of it once packed, next to nothing once in the file.
class Blob : public overlay::UndoAction {
 public:
  explicit Blob(size_t plain) : plain_(plain) {}
  bool Swap() override {
    packed = spilled = false;
    return true;
  }
  size_t Bytes() const override { return spilled ? 100 : packed ? plain_ / 10 : plain_; }
  size_t StoredBytes() const override { return spilled ? plain_ / 10 : 0; }
  bool Pack(const imaging::TimeSlice&) override { return packed = true; }
  bool Spill(imaging::SpillFile&) override { return packed && !spilled && (spilled = true); }
  bool packed = false, spilled = false;

 private:
  size_t plain_;
};

std::vector<Blob*> PushBlobs(overlay::History& h, int count) {
  std::vector<Blob*> blobs;
  for (int i = 0; i < count; ++i) {
    auto blob = std::make_unique<Blob>(100'000);
    blobs.push_back(blob.get());
    overlay::UndoStep step;
    step.Add(std::move(blob));
    h.Push(std::move(step));
  }
  return blobs;
}

TEST(History, IdleTimePacksEveryStepThenSendsTheFarthestToTheFileOrWithoutOneDropsTheOldest) {
  imaging::SpillFile file(TempDir(L"spill") + L"\\blobs.tmp");
  bool wanted = true;
  overlay::History h(overlay::History::kDefaultLimitBytes, 55'000);
  h.SetSpillFile(&file, [&] { return wanted; });
  std::vector<Blob*> blobs = PushBlobs(h, 10);
  EXPECT_GT(h.Bytes(), 1'000'000u) << "plain until the idle time";
  // One piece of work per slice when the slices are over at once.
  int calls = 1;
  while (!h.Compact(imaging::TimeSlice(std::chrono::microseconds(0)))) ++calls;
  EXPECT_GT(calls, 2);
  EXPECT_LE(h.Bytes(), 55'000u);
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(blobs[i]->packed) << i;
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(blobs[i]->spilled) << "the oldest went to the file: " << i;
  for (int i = 6; i < 10; ++i) EXPECT_FALSE(blobs[i]->spilled) << "the newest stay: " << i;
  EXPECT_EQ(10u, h.UndoCount());
  EXPECT_EQ(h.StoredBytes(), 5 * 10'000u + (blobs[5]->spilled ? 10'000u : 0u));

  // Undone, a step is plain again; the idle time packs it, and now the steps on the redo side are
  // near the present and the oldest far.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(h.Undo());
  EXPECT_FALSE(blobs[9]->packed);
  EXPECT_TRUE(h.Compact(imaging::TimeSlice::Unlimited()));
  EXPECT_TRUE(blobs[9]->packed);
  EXPECT_FALSE(blobs[9]->spilled);
  EXPECT_LE(h.Bytes(), 55'000u);

  // Without a file, or with the user not wanting one, the oldest go instead.
  wanted = false;
  overlay::History alone(overlay::History::kDefaultLimitBytes, 55'000);
  alone.SetSpillFile(&file, [&] { return wanted; });
  blobs = PushBlobs(alone, 10);
  EXPECT_TRUE(alone.Compact(imaging::TimeSlice::Unlimited()));
  EXPECT_LE(alone.Bytes(), 55'000u);
  EXPECT_EQ(5u, alone.UndoCount());
  EXPECT_EQ(5u, alone.DroppedCount());
  EXPECT_EQ(0u, alone.StoredBytes());
}

TEST(KeptDrawings, NamesFromTheLocalTimeWithASuffixForTheSameSecond) {
  SYSTEMTIME t{};
  t.wYear = 2026;
  t.wMonth = 12;
  t.wDay = 7;
  t.wHour = 14;
  t.wMinute = 3;
  t.wSecond = 27;
  EXPECT_EQ(L"2026-12-07 14-03-27.png", overlay::KeptFileName(t, 1));
  EXPECT_EQ(L"2026-12-07 14-03-27 (2).png", overlay::KeptFileName(t, 2));
  ASSERT_TRUE(overlay::ParseKeptFileName(L"2026-12-07 14-03-27 (12).PNG"));
  EXPECT_EQ(12, overlay::ParseKeptFileName(L"2026-12-07 14-03-27 (12).PNG")->number);
  for (const wchar_t* other : {L"holiday.png", L"2026-12-07 14-03-27.bmp", L"2026-12-07 14-03-27 (1).png", L"2026-12-07 14-03-27 (02).png",
                               L"2026-12-07 14-03-27 (x).png", L"2026-12-07 14:03:27.png", L"2026-12-07 14-03-27copy.png"}) {
    EXPECT_FALSE(overlay::ParseKeptFileName(other)) << std::wstring(other);
  }
}

TEST(KeptDrawings, OnlyOurOwnFilesBeyondTheNewestAreDeletedOldestWrittenFirst) {
  constexpr uint64_t kHour = 36000000000ull;
  const uint64_t now = 1000 * kHour;
  // Written in this order, an hour apart, across the night summer time ended: the clock went back
  // from 03:00 to 02:00, so the newest file's name sorts first.
  const std::vector<overlay::KeptFile> files = {
      {L"2026-10-25 01-30-00.png", now - 4 * kHour},      {L"notes.png", now - 9 * kHour},
      {L"2026-10-25 02-30-00.png", now - 3 * kHour},      {L"2026-10-25 02-30-00 (2).png", now - 3 * kHour},
      {L"2026-10-25 02-10-00.png", now - 1 * kHour},
  };
  EXPECT_EQ((std::vector<std::wstring>{L"2026-10-25 01-30-00.png", L"2026-10-25 02-30-00.png"}),
            overlay::KeptFilesToDelete(files, 2, now));
  EXPECT_TRUE(overlay::KeptFilesToDelete(files, 50, now).empty());
  EXPECT_EQ(4u, overlay::KeptFilesToDelete(files, 0, now).size()) << "notes.png is never ours to delete";
}

TEST(KeptDrawings, FilesDatedAfterNowCountAsOldestAndTheFileJustWrittenIsKept) {
  constexpr uint64_t kDay = 864000000000ull;
  const uint64_t now = 1000 * kDay;
  // Kept while the clock stood a year ahead; then the clock was put right.
  const std::vector<overlay::KeptFile> files = {
      {L"2027-06-01 10-00-00.png", now + 365 * kDay},
      {L"2027-06-02 10-00-00.png", now + 366 * kDay},
      {L"2026-06-01 09-00-00.png", now - kDay},
      {L"2026-06-02 09-00-00.png", now},
  };
  EXPECT_EQ((std::vector<std::wstring>{L"2027-06-01 10-00-00.png", L"2027-06-02 10-00-00.png"}),
            overlay::KeptFilesToDelete(files, 2, now));
  // A file just written stays whatever its time says (a file system that rounds times up).
  EXPECT_EQ((std::vector<std::wstring>{L"2027-06-01 10-00-00.png", L"2027-06-02 10-00-00.png",
                                       L"2026-06-01 09-00-00.png"}),
            overlay::KeptFilesToDelete(files, 1, now, L"2026-06-02 09-00-00.png"));
  EXPECT_EQ((std::vector<std::wstring>{L"2027-06-01 10-00-00.png", L"2027-06-02 10-00-00.png",
                                       L"2026-06-02 09-00-00.png"}),
            overlay::KeptFilesToDelete(files, 1, now, L"2026-06-01 09-00-00.png"));
}

TEST(ClipboardDib, IsABottomUpOpaque32BitBitmapOfThePicture) {
  imaging::PixelImage image{3, 2, {0x010203, 0x040506, 0x070809, 0x0A0B0C, 0x0D0E0F, 0x101112}};
  const std::vector<uint8_t> dib = overlay::ClipboardDib(image);
  ASSERT_EQ(sizeof(BITMAPINFOHEADER) + 6 * 4, dib.size());
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
  EXPECT_EQ(3, header->biWidth);
  EXPECT_EQ(2, header->biHeight);
  EXPECT_EQ(32, header->biBitCount);
  EXPECT_EQ(static_cast<DWORD>(BI_RGB), header->biCompression);
  const auto* rows = reinterpret_cast<const uint32_t*>(dib.data() + sizeof(BITMAPINFOHEADER));
  // The bottom row first.
  EXPECT_EQ(0xFF0A0B0Cu, rows[0]);
  EXPECT_EQ(0xFF101112u, rows[2]);
  EXPECT_EQ(0xFF010203u, rows[3]);
}

}  // namespace
