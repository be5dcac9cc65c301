// Lumeko's pictures, drawn in code when the program starts: the glyphs of the player's buttons,
// the tray and window icon and the logo of the about page. Drawing them here rather than shipping
// image files keeps every picture sharp at the size it is used and in one place to change.
//
// Pictures are 32-bit with premultiplied alpha, as AlphaBlend and icons take them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace lumeko::artwork {

// A picture in memory: rows from the top, pixels as 0xAARRGGBB with premultiplied colour.
struct TImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Pixels;

  std::uint32_t At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
};

enum class TGlyph { Play, Stop, Settings };

// One glyph of the player, its normal picture on the left and its disabled (grey) picture on the
// right of one image of 2 * size by size pixels.
TImage GlyphStrip(TGlyph glyph, int size);
// The program's icon: a speaker in front of a sheet of text, on a round blue badge.
TImage AppIcon(int size);
// The about page's logo: a clipboard whose sheet sends out sound waves, 56 x 61 at 96 DPI.
TImage Logo(int width, int height);

// The same pictures as Windows objects; the caller owns what it gets.
HBITMAP ToBitmap(const TImage& image);
HICON ToIcon(const TImage& image);

}  // namespace lumeko::artwork
