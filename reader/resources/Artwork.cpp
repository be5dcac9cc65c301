#include "Artwork.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <utility>

#include "Framework.h"

namespace lumeko::artwork {

namespace {

// Straight (not premultiplied) colour with alpha, 0..1 each.
struct TColor {
  float R, G, B, A;
};

constexpr TColor Rgb(std::uint32_t rgb, float alpha = 1.0f) {
  return {static_cast<float>((rgb >> 16) & 0xFF) / 255.0f,
          static_cast<float>((rgb >> 8) & 0xFF) / 255.0f, static_cast<float>(rgb & 0xFF) / 255.0f,
          alpha};
}

// Tells whether a point (in pixels, 0,0 the top-left corner of the top-left pixel) is inside.
using TShape = std::function<bool(float x, float y)>;

// A tiny anti-aliased painter: every pixel is sampled on a 4 x 4 grid, and each shape is laid
// over what is already there with its coverage as opacity.
class TCanvas {
 public:
  TCanvas(int width, int height, float scale)
      : FWidth(width), FHeight(height), FScale(scale), FPixels(width * height) {}

  // Shapes are given in design units; Scale maps them onto the pixels.
  void Fill(const TShape& shape, TColor color) {
    constexpr int kGrid = 4;
    for (int y = 0; y < FHeight; ++y)
      for (int x = 0; x < FWidth; ++x) {
        int hits = 0;
        for (int sy = 0; sy < kGrid; ++sy)
          for (int sx = 0; sx < kGrid; ++sx) {
            float px = (static_cast<float>(x) + (static_cast<float>(sx) + 0.5f) / kGrid) / FScale;
            float py = (static_cast<float>(y) + (static_cast<float>(sy) + 0.5f) / kGrid) / FScale;
            hits += shape(px, py) ? 1 : 0;
          }
        if (hits == 0) continue;
        float a = color.A * static_cast<float>(hits) / (kGrid * kGrid);
        Pixel& p = FPixels[static_cast<std::size_t>(y) * FWidth + x];
        // Premultiplied "over".
        p.R = color.R * a + p.R * (1 - a);
        p.G = color.G * a + p.G * (1 - a);
        p.B = color.B * a + p.B * (1 - a);
        p.A = a + p.A * (1 - a);
      }
  }

  TImage Image() const {
    TImage image{FWidth, FHeight, std::vector<std::uint32_t>(FPixels.size())};
    auto byte = [](float v) {
      return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
    };
    for (std::size_t i = 0; i < FPixels.size(); ++i) {
      const Pixel& p = FPixels[i];
      image.Pixels[i] = byte(p.A) << 24 | byte(p.R) << 16 | byte(p.G) << 8 | byte(p.B);
    }
    return image;
  }

 private:
  struct Pixel {
    float R = 0, G = 0, B = 0, A = 0;  // premultiplied
  };
  int FWidth, FHeight;
  float FScale;
  std::vector<Pixel> FPixels;
};

TShape Circle(float cx, float cy, float r) {
  return [=](float x, float y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

TShape RoundRect(float left, float top, float right, float bottom, float radius) {
  return [=](float x, float y) {
    if (x < left || x > right || y < top || y > bottom) return false;
    float dx = std::max({left + radius - x, 0.0f, x - (right - radius)});
    float dy = std::max({top + radius - y, 0.0f, y - (bottom - radius)});
    return dx * dx + dy * dy <= radius * radius;
  };
}

// Even-odd rule, so that any simple polygon works.
TShape Polygon(std::vector<std::pair<float, float>> points) {
  return [points = std::move(points)](float x, float y) {
    bool inside = false;
    for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
      auto [xi, yi] = points[i];
      auto [xj, yj] = points[j];
      if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
    }
    return inside;
  };
}

// A band between two radii, within the angles (degrees, 0 pointing right, clockwise on screen).
TShape Arc(float cx, float cy, float inner, float outer, float fromDeg, float toDeg) {
  return [=](float x, float y) {
    float d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
    if (d2 < inner * inner || d2 > outer * outer) return false;
    float deg = std::atan2(y - cy, x - cx) * 180.0f / std::numbers::pi_v<float>;
    return deg >= fromDeg && deg <= toDeg;
  };
}

TShape Gear(float cx, float cy, int teeth, float inner, float outer, float hole) {
  return [=](float x, float y) {
    float d = std::hypot(x - cx, y - cy);
    if (d < hole || d > outer) return false;
    if (d <= inner) return true;
    // Each tooth takes the middle 45 per cent of its sector.
    float turn = std::atan2(y - cy, x - cx) / (2 * std::numbers::pi_v<float>)+1.0f;
    float sector = std::fmod(turn * static_cast<float>(teeth), 1.0f);
    return std::fabs(sector - 0.5f) < 0.225f;
  };
}

TShape Minus(TShape a, TShape b) {
  return [a = std::move(a), b = std::move(b)](float x, float y) { return a(x, y) && !b(x, y); };
}

// Glyphs are designed on a 16 x 16 grid.
void DrawGlyph(TCanvas& canvas, TGlyph glyph) {
  switch (glyph) {
    case TGlyph::Play:
      canvas.Fill(Polygon({{3.5f, 1.5f}, {14.5f, 8.0f}, {3.5f, 14.5f}}), Rgb(0x1B6E2A));
      canvas.Fill(Polygon({{4.8f, 3.8f}, {12.2f, 8.0f}, {4.8f, 12.2f}}), Rgb(0x3DB854));
      break;
    case TGlyph::Stop:
      canvas.Fill(RoundRect(2.5f, 2.5f, 13.5f, 13.5f, 1.8f), Rgb(0x8E1B12));
      canvas.Fill(RoundRect(3.8f, 3.8f, 12.2f, 12.2f, 1.0f), Rgb(0xE0483A));
      break;
    case TGlyph::Settings:
      canvas.Fill(Gear(8.0f, 8.0f, 8, 5.0f, 7.4f, 2.4f), Rgb(0x34465E));
      canvas.Fill(Minus(Circle(8.0f, 8.0f, 4.0f), Circle(8.0f, 8.0f, 2.4f)), Rgb(0x7E93B0));
      break;
  }
}

// The disabled look: the same shape in a flat light grey, so that it reads as "not now".
std::uint32_t Greyed(std::uint32_t pixel) {
  std::uint32_t a = pixel >> 24;
  if (a == 0) return 0;
  float r = static_cast<float>((pixel >> 16) & 0xFF), g = static_cast<float>((pixel >> 8) & 0xFF),
        b = static_cast<float>(pixel & 0xFF);
  // Premultiplied in, premultiplied out: the grey level is taken of the straight colour.
  float alpha = static_cast<float>(a) / 255.0f;
  float luminance = (0.30f * r + 0.59f * g + 0.11f * b) / alpha;
  float grey = 150.0f + luminance * 0.30f;
  auto v = static_cast<std::uint32_t>(std::lround(std::min(grey, 255.0f) * alpha));
  return a << 24 | v << 16 | v << 8 | v;
}

}  // namespace

TImage GlyphStrip(TGlyph glyph, int size) {
  TCanvas canvas(size, size, static_cast<float>(size) / 16.0f);
  DrawGlyph(canvas, glyph);
  TImage one = canvas.Image();
  TImage strip{2 * size, size,
               std::vector<std::uint32_t>(static_cast<std::size_t>(2) * size * size)};
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      std::uint32_t p = one.At(x, y);
      strip.Pixels[static_cast<std::size_t>(y) * strip.Width + x] = p;
      strip.Pixels[static_cast<std::size_t>(y) * strip.Width + size + x] = Greyed(p);
    }
  return strip;
}

TImage AppIcon(int size) {
  // Designed on a 32 x 32 grid.
  TCanvas canvas(size, size, static_cast<float>(size) / 32.0f);
  canvas.Fill(Circle(16, 16, 15.5f), Rgb(0x0F4C9E));
  canvas.Fill(Circle(16, 16, 14.0f), Rgb(0x2F80E4));
  const TColor white = Rgb(0xFFFFFF);
  canvas.Fill(RoundRect(6.5f, 12.5f, 11.5f, 19.5f, 1.0f), white);
  canvas.Fill(Polygon({{10.5f, 12.5f}, {17.0f, 7.0f}, {17.0f, 25.0f}, {10.5f, 19.5f}}), white);
  canvas.Fill(Arc(17.0f, 16.0f, 3.6f, 5.4f, -50, 50), white);
  canvas.Fill(Arc(17.0f, 16.0f, 7.2f, 9.0f, -50, 50), white);
  return canvas.Image();
}

TImage Logo(int width, int height) {
  // Designed on the 56 x 61 grid of the about page.
  TCanvas canvas(width, height, static_cast<float>(width) / 56.0f);
  canvas.Fill(RoundRect(3.0f, 6.0f, 53.0f, 60.5f, 4.0f), Rgb(0x6B4423));
  canvas.Fill(RoundRect(4.5f, 7.5f, 51.5f, 59.0f, 3.0f), Rgb(0xA8713F));
  canvas.Fill(RoundRect(9.0f, 13.0f, 47.0f, 55.0f, 1.0f), Rgb(0xFBFBF7));
  canvas.Fill(RoundRect(18.0f, 1.5f, 38.0f, 12.5f, 3.0f), Rgb(0x5E6670));
  canvas.Fill(RoundRect(19.5f, 3.0f, 36.5f, 11.0f, 2.0f), Rgb(0xA9B2BC));
  canvas.Fill(Circle(28.0f, 5.5f, 1.8f), Rgb(0x5E6670));
  // Lines of text on the sheet.
  const TColor ink = Rgb(0x8A94A0);
  canvas.Fill(RoundRect(13.0f, 18.0f, 42.0f, 20.0f, 1.0f), ink);
  canvas.Fill(RoundRect(13.0f, 23.5f, 38.0f, 25.5f, 1.0f), ink);
  canvas.Fill(RoundRect(13.0f, 29.0f, 43.0f, 31.0f, 1.0f), ink);
  // The sheet speaks: a speaker and its waves.
  const TColor blue = Rgb(0x1F6FD6);
  canvas.Fill(RoundRect(13.0f, 39.5f, 17.0f, 46.5f, 0.8f), blue);
  canvas.Fill(Polygon({{16.0f, 39.5f}, {22.0f, 35.0f}, {22.0f, 51.0f}, {16.0f, 46.5f}}), blue);
  canvas.Fill(Arc(22.5f, 43.0f, 4.0f, 5.8f, -55, 55), blue);
  canvas.Fill(Arc(22.5f, 43.0f, 8.5f, 10.3f, -55, 55), blue);
  canvas.Fill(Arc(22.5f, 43.0f, 13.0f, 14.8f, -55, 55), blue);
  return canvas.Image();
}

namespace {

HBITMAP NewDib(int width, int height, void** bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down, as TImage
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
  if (bitmap == nullptr)
    throw kalvor::Exception("Cannot create a " + std::to_string(width) + " x " +
                            std::to_string(height) + " picture (error " +
                            std::to_string(GetLastError()) + ")");
  return bitmap;
}

}  // namespace

HBITMAP ToBitmap(const TImage& image) {
  void* bits = nullptr;
  HBITMAP bitmap = NewDib(image.Width, image.Height, &bits);
  std::copy(image.Pixels.begin(), image.Pixels.end(), static_cast<std::uint32_t*>(bits));
  GdiFlush();
  return bitmap;
}

HICON ToIcon(const TImage& image) {
  // Icons take straight alpha in their colour bitmap.
  TImage straight = image;
  for (auto& p : straight.Pixels) {
    std::uint32_t a = p >> 24;
    if (a == 0 || a == 255) continue;
    auto un = [a](std::uint32_t c) { return std::min<std::uint32_t>(255, (c * 255 + a / 2) / a); };
    p = a << 24 | un((p >> 16) & 0xFF) << 16 | un((p >> 8) & 0xFF) << 8 | un(p & 0xFF);
  }
  HBITMAP color = ToBitmap(straight);
  // The mask is ignored for 32-bit colour with alpha, but must exist.
  std::vector<std::uint8_t> zeros(static_cast<std::size_t>((image.Width + 15) / 16) * 2 *
                                  image.Height);
  HBITMAP mask = CreateBitmap(image.Width, image.Height, 1, 1, zeros.data());
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = color;
  info.hbmMask = mask;
  HICON icon = CreateIconIndirect(&info);
  DWORD error = GetLastError();
  DeleteObject(color);
  if (mask != nullptr) DeleteObject(mask);
  if (icon == nullptr)
    throw kalvor::Exception("Cannot create the program icon (error " + std::to_string(error) + ")");
  return icon;
}

}  // namespace lumeko::artwork
