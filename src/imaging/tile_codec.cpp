#include "imaging/tile_codec.h"

#include <algorithm>
#include <cstring>

namespace imaging {

namespace {

// What an area's first byte says.
constexpr uint8_t kNothing = 0;  // every pixel 0 (equal to the reference)
constexpr uint8_t kFlat = 1;     // every pixel the value in the next 4 bytes
constexpr uint8_t kCoded = 2;    // a stream of codes follows

// The codes. The top two bits tell the four short ones apart; 0xFE and 0xFF would be runs of 63
// and 64 and are the whole pixels instead.
constexpr uint8_t kIndex = 0x00;  // 00iiiiii: the pixel seen lately with hash i
constexpr uint8_t kDiff = 0x40;   // 01rrggbb: red, green, blue each -2..1 from the pixel before
constexpr uint8_t kLuma = 0x80;   // 10gggggg rrrrbbbb: green -32..31, red and blue -8..7 from it
constexpr uint8_t kRun = 0xC0;    // 11nnnnnn: the pixel before, n + 1 times (1..62)
constexpr uint8_t kRgb = 0xFE;    // red, green, blue follow; the top byte is the pixel before's
constexpr uint8_t kWhole = 0xFF;  // the 4 bytes of the pixel follow, lowest first
constexpr int kMaxRun = 62;

inline int Hash(uint32_t v) {
  return static_cast<int>(((v >> 16 & 0xFF) * 3 + (v >> 8 & 0xFF) * 5 + (v & 0xFF) * 7 + (v >> 24) * 11) & 63);
}

inline const uint32_t* Row(const PixelBuffer& b, int x, int y) {
  return b.pixels + static_cast<size_t>(y) * b.stride + x;
}
inline uint32_t* RowOut(const PixelBuffer& b, int x, int y) { return b.pixels + static_cast<size_t>(y) * b.stride + x; }

// The signed step from one byte to the next, wrapping as the bytes do.
inline int Step(uint32_t from, uint32_t to, int shift) {
  return static_cast<int8_t>(static_cast<uint8_t>((to >> shift) - (from >> shift)));
}

void PutWord(uint8_t*& out, uint32_t v) {
  *out++ = static_cast<uint8_t>(v);
  *out++ = static_cast<uint8_t>(v >> 8);
  *out++ = static_cast<uint8_t>(v >> 16);
  *out++ = static_cast<uint8_t>(v >> 24);
}

uint32_t GetWord(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// The codes for one pixel that is not the one before.
void PutPixel(uint8_t*& out, uint32_t v, uint32_t prev, uint32_t (&seen)[64]) {
  const int h = Hash(v);
  if (seen[h] == v) {
    *out++ = static_cast<uint8_t>(kIndex | h);
    return;
  }
  seen[h] = v;
  if ((v ^ prev) >> 24) {
    *out++ = kWhole;
    PutWord(out, v);
    return;
  }
  const int dr = Step(prev, v, 16), dg = Step(prev, v, 8), db = Step(prev, v, 0);
  if (dr >= -2 && dr <= 1 && dg >= -2 && dg <= 1 && db >= -2 && db <= 1) {
    *out++ = static_cast<uint8_t>(kDiff | (dr + 2) << 4 | (dg + 2) << 2 | (db + 2));
    return;
  }
  const int rg = dr - dg, bg = db - dg;
  if (dg >= -32 && dg <= 31 && rg >= -8 && rg <= 7 && bg >= -8 && bg <= 7) {
    *out++ = static_cast<uint8_t>(kLuma | (dg + 32));
    *out++ = static_cast<uint8_t>((rg + 8) << 4 | (bg + 8));
    return;
  }
  *out++ = kRgb;
  *out++ = static_cast<uint8_t>(v >> 16);
  *out++ = static_cast<uint8_t>(v >> 8);
  *out++ = static_cast<uint8_t>(v);
}

// PackArea into memory with room for MaxPackedBytes of the area; the bytes written.
size_t PackAreaAt(const PixelBuffer& pixels, const PixelBuffer* reference, const base::PixelRect& area,
                  uint8_t* const start) {
  uint8_t* out = start;
  const int w = area.right - area.left;
  // The values of row y from its pixels: the pixels, or their difference from the reference.
  const uint32_t* p = nullptr;
  const uint32_t* r = nullptr;
  auto startRow = [&](int y) {
    p = Row(pixels, area.left, y);
    if (reference) r = Row(*reference, area.left, y);
  };
  auto value = [&](int x) { return r ? p[x] ^ r[x] : p[x]; };
  // One value all over is the common case: a tile of flat colour, or one nobody drew on.
  startRow(area.top);
  const uint32_t first = value(0);
  bool flat = true;
  for (int y = area.top; y < area.bottom && flat; ++y) {
    startRow(y);
    for (int x = 0; x < w; ++x) {
      if (value(x) != first) {
        flat = false;
        break;
      }
    }
  }
  if (flat) {
    if (first == 0) {
      *out++ = kNothing;
    } else {
      *out++ = kFlat;
      PutWord(out, first);
    }
    return static_cast<size_t>(out - start);
  }
  *out++ = kCoded;
  uint32_t seen[64] = {};
  uint32_t prev = 0;
  int run = 0;
  for (int y = area.top; y < area.bottom; ++y) {
    startRow(y);
    for (int x = 0; x < w; ++x) {
      const uint32_t v = value(x);
      if (v == prev) {
        if (++run == kMaxRun) {
          *out++ = static_cast<uint8_t>(kRun | (run - 1));
          run = 0;
        }
        continue;
      }
      if (run > 0) {
        *out++ = static_cast<uint8_t>(kRun | (run - 1));
        run = 0;
      }
      PutPixel(out, v, prev, seen);
      prev = v;
    }
  }
  if (run > 0) *out++ = static_cast<uint8_t>(kRun | (run - 1));
  return static_cast<size_t>(out - start);
}

}  // namespace

void PackArea(const PixelBuffer& pixels, const PixelBuffer* reference, const base::PixelRect& area,
              std::vector<uint8_t>& out) {
  if (area.Empty()) return;
  const size_t at = out.size();
  out.resize(at + MaxPackedBytes(static_cast<size_t>(area.Area())));
  out.resize(at + PackAreaAt(pixels, reference, area, out.data() + at));
}

bool PackAreaInto(PackedBytes& out, const PixelBuffer& pixels, const PixelBuffer* reference,
                  const base::PixelRect& area) {
  if (area.Empty()) return true;
  return out.Write(MaxPackedBytes(static_cast<size_t>(area.Area())),
                   [&](uint8_t* at) { return PackAreaAt(pixels, reference, area, at); });
}

size_t UnpackArea(const uint8_t* in, size_t size, const PixelBuffer& pixels, const PixelBuffer* reference,
                  const base::PixelRect& area) {
  if (size < 1 || area.Empty()) return 0;
  const int w = area.right - area.left;
  // Writes `count` copies of `v` from (x, y) on, within one row.
  auto fill = [&](int x, int y, int count, uint32_t v) {
    uint32_t* out = RowOut(pixels, area.left + x, y);
    if (!reference) {
      std::fill(out, out + count, v);
      return;
    }
    const uint32_t* r = Row(*reference, area.left + x, y);
    if (v == 0) {
      std::memcpy(out, r, static_cast<size_t>(count) * sizeof(uint32_t));
      return;
    }
    for (int i = 0; i < count; ++i) out[i] = r[i] ^ v;
  };
  if (in[0] == kNothing || in[0] == kFlat) {
    if (in[0] == kFlat && size < 5) return 0;
    const uint32_t v = in[0] == kFlat ? GetWord(in + 1) : 0;
    for (int y = area.top; y < area.bottom; ++y) fill(0, y, w, v);
    return in[0] == kFlat ? 5 : 1;
  }
  if (in[0] != kCoded) return 0;
  size_t p = 1;
  uint32_t seen[64] = {};
  uint32_t prev = 0;
  int run = 0;  // copies of prev still to write
  for (int y = area.top; y < area.bottom; ++y) {
    int x = 0;
    while (x < w) {
      if (run > 0) {
        const int n = std::min(run, w - x);
        fill(x, y, n, prev);
        run -= n;
        x += n;
        continue;
      }
      if (p >= size) return 0;
      const uint8_t code = in[p++];
      uint32_t v;
      if (code == kWhole) {
        if (size - p < 4) return 0;
        v = GetWord(in + p);
        p += 4;
      } else if (code == kRgb) {
        if (size - p < 3) return 0;
        v = (prev & 0xFF000000u) | static_cast<uint32_t>(in[p]) << 16 | static_cast<uint32_t>(in[p + 1]) << 8 | in[p + 2];
        p += 3;
      } else {
        switch (code & 0xC0) {
          case kIndex:
            v = seen[code & 63];
            break;
          case kDiff: {
            const uint32_t r = ((prev >> 16) + ((code >> 4 & 3) - 2u)) & 0xFF;
            const uint32_t g = ((prev >> 8) + ((code >> 2 & 3) - 2u)) & 0xFF;
            const uint32_t b = (prev + ((code & 3) - 2u)) & 0xFF;
            v = (prev & 0xFF000000u) | r << 16 | g << 8 | b;
            break;
          }
          case kLuma: {
            if (p >= size) return 0;
            const uint8_t next = in[p++];
            const uint32_t dg = (code & 63) - 32u;
            const uint32_t r = ((prev >> 16) + dg + ((next >> 4) - 8u)) & 0xFF;
            const uint32_t g = ((prev >> 8) + dg) & 0xFF;
            const uint32_t b = (prev + dg + ((next & 15) - 8u)) & 0xFF;
            v = (prev & 0xFF000000u) | r << 16 | g << 8 | b;
            break;
          }
          default:  // a run
            run = (code & 63) + 1;
            continue;
        }
      }
      seen[Hash(v)] = v;
      prev = v;
      fill(x, y, 1, v);
      ++x;
    }
  }
  // A run that would go past the area's end is no packed area of this size.
  return run > 0 ? 0 : p;
}

}  // namespace imaging
