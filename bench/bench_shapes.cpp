// One pointer move during a rectangle drag over the whole screen, as the overlay's mouse handler
// takes it (the area under the old outline shows the drawing copy again, the new outline is drawn
// onto the window), against a plain BitBlt of that same area from the drawing copy onto the
// window, in the same run.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench.h"
#include "shell/start_up.h"
#include "overlay/pen_geometry.h"
#include "overlay/shape_geometry.h"
#include "overlay/ss.h"
#include "overlay/tool_cursors.h"
#include "settings/app_settings.h"

namespace {

constexpr int kCtrl = 2;  // the shift argument of a mouse event with Ctrl held: a rectangle
constexpr int kMoves = 600;
constexpr int kWarmup = 3;

std::vector<bench::Result> RectangleDragMove() {
  ss& o = bench::App().overlay;
  o.History().Forget();
  o.cmdScreen_Click();
  o.ShowOverlay();
  bench::PumpMessages();
  const int cx = o.Picture1.Width(), cy = o.Picture1.Height();
  std::vector<bench::Result> results;
  for (bool pen : {false, true}) {
    if (o.PenMode() != pen) o.TogglePen();
    const int cursor = overlay::CursorImageSize(o.CurrentCursorImage());
    for (int width : {1, 20}) {
      bench::App().AppSettings.brushwidth = static_cast<int16_t>(width);
      bench::App().AppSettings.color = static_cast<int32_t>(RGB(255, 0, 0));
      // The press near the top-left corner, then small moves of the pointer near the opposite one,
      // as a presenter's hand makes them at the end of a drag across the screen.
      auto pointer = [&](int k) { return POINT{cx - 20 - (k * 5) % 17, cy - 20 - (k * 3) % 13}; };
      o.Picture1_MouseDown(forms::kLeftButton, kCtrl, 12, 12);
      int i = 0;
      o.Picture1_MouseMove(forms::kLeftButton, kCtrl, static_cast<float>(pointer(0).x),
                           static_cast<float>(pointer(0).y));
      const double ours = bench::MedianMicros(
          [&] {
            ++i;
            o.Picture1_MouseMove(forms::kLeftButton, kCtrl, static_cast<float>(pointer(i).x),
                                 static_cast<float>(pointer(i).y));
            ::GdiFlush();
          },
          kMoves, kWarmup);
      o.Picture1_MouseUp(forms::kLeftButton, kCtrl, static_cast<float>(pointer(i).x), static_cast<float>(pointer(i).y));
      bench::PumpMessages();

      // The same areas, move by move, worked out before the clock runs.
      auto tool = [&](int k) { return overlay::PenPoint(pen, pointer(k).x, pointer(k).y, cursor); };
      const overlay::PointI from = overlay::PenPoint(pen, 12, 12, cursor);
      std::vector<std::vector<overlay::PixelRect>> areas;
      for (int k = 1; k <= kMoves + kWarmup; ++k) {
        std::vector<overlay::PixelRect> both = overlay::OutlineArea(overlay::ShapeKind::Rectangle, from, tool(k - 1), width);
        const auto now = overlay::OutlineArea(overlay::ShapeKind::Rectangle, from, tool(k), width);
        both.insert(both.end(), now.begin(), now.end());
        areas.push_back(overlay::MergeBoxes(std::move(both)));
      }
      HDC window = o.Picture1.OwnDc();
      HDC content = o.Picture1.ContentDc();
      size_t j = 0;
      const double plain = bench::MedianMicros(
          [&] {
            for (const overlay::PixelRect& b : areas[j]) {
              ::BitBlt(window, b.left, b.top, b.right - b.left, b.bottom - b.top, content, b.left, b.top, SRCCOPY);
            }
            ::GdiFlush();
            ++j;
          },
          kMoves, kWarmup);
      // Where a move's time goes, on the area of one move: the old outline's area showing the
      // content again, and the new outline drawn onto the window.
      std::vector<RECT> old;
      for (const overlay::PixelRect& b :
           overlay::OutlineArea(overlay::ShapeKind::Rectangle, from, tool(kMoves / 2 - 1), width)) {
        old.push_back({b.left, b.top, b.right, b.bottom});
      }
      double shown = 0;
      for (const overlay::PixelRect& b : areas[kMoves / 2]) shown += static_cast<double>(b.Area());
      const double takeBack = bench::MedianMicros(
          [&] {
            o.Picture1.DrawOverShownContent(old, {}, nullptr);
            ::GdiFlush();
          },
          kMoves, kWarmup);
      const double draw = bench::MedianMicros(
          [&] {
            o.Picture1.DrawOverShownContent({}, {}, [&](HDC dc) {
              overlay::DrawShape(dc, overlay::ShapeKind::Rectangle, from, tool(kMoves / 2), {RGB(255, 0, 0), width});
            });
            ::GdiFlush();
          },
          kMoves, kWarmup);
      const double plainOne = bench::MedianMicros(
          [&] {
            for (const overlay::PixelRect& b : areas[kMoves / 2]) {
              ::BitBlt(window, b.left, b.top, b.right - b.left, b.bottom - b.top, content, b.left, b.top, SRCCOPY);
            }
            ::GdiFlush();
          },
          kMoves, kWarmup);
      char note[200];
      std::snprintf(note, sizeof note,
                    "%.0f moves a second, %.0f kpx shown a move (targets: ratio <= 2, 500 moves a second)", 1e6 / ours,
                    shown / 1000.0);
      results.push_back(
          {std::string("rectangle drag move, ") + (pen ? "pen" : "highlighter") + ", width " + std::to_string(width),
           ours, plain, "BitBlt of the same area onto the window", note});
      results.push_back({"  part: show the content again over the old outline", takeBack, plainOne,
                         "BitBlt of the same area onto the window", ""});
      results.push_back(
          {"  part: draw the new outline onto the window", draw, plainOne, "BitBlt of the same area onto the window", ""});
    }
  }
  o.Unload();
  o.History().Forget();
  bench::PumpMessages();
  return results;
}

bench::Registrar reg("shapes.rectangle", RectangleDragMove);

}  // namespace
