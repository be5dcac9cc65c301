#include "Cp1254.h"

#include <array>
#include <cstdint>

#include "UserError.h"

namespace kalvor {
namespace {

// 0x80..0x9F; 0 marks the five unassigned codes.
constexpr char32_t kHigh80[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0,      0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0,      0x0178};

// A0..FF is Latin-1 but for the six Turkish letters.
struct TurkishLetter {
  unsigned char code;
  char32_t letter;
};
constexpr TurkishLetter kTurkish[] = {{0xD0, 0x011E} /* Ğ */, {0xDD, 0x0130} /* İ */,
                                      {0xDE, 0x015E} /* Ş */, {0xF0, 0x011F} /* ğ */,
                                      {0xFD, 0x0131} /* ı */, {0xFE, 0x015F} /* ş */};

char32_t ToUnicode(unsigned char b) {
  if (b < 0x80) return b;
  if (b < 0xA0) return kHigh80[b - 0x80];
  for (const TurkishLetter& t : kTurkish)
    if (t.code == b) return t.letter;
  return b;
}

// Every character of the code page lies below U+2200: one table look-up per character.
constexpr char32_t kReverseLimit = 0x2200;

struct ReverseTable {
  std::array<std::int16_t, kReverseLimit> code{};
  ReverseTable() {
    code.fill(-1);
    for (int b = 0; b <= 0xFF; ++b) {
      char32_t c = ToUnicode(static_cast<unsigned char>(b));
      if (b == 0 || c != 0) code[c] = static_cast<std::int16_t>(b);
    }
  }
};

int FromUnicode(char32_t c) {
  static const ReverseTable table;
  return c < kReverseLimit ? table.code[c] : -1;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string Utf8ToCp1254(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  std::size_t i = 0;
  while (i < in.size()) {
    auto b = static_cast<unsigned char>(in[i]);
    char32_t c;
    std::size_t n;
    if (b < 0x80) {
      c = b;
      n = 1;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1F;
      n = 2;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0F;
      n = 3;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07;
      n = 4;
    } else {
      throw UserError("the text is not UTF-8 (byte " + std::to_string(i) + ")");
    }
    if (i + n > in.size()) throw UserError("the text is not UTF-8 (it ends inside a character)");
    for (std::size_t k = 1; k < n; ++k) {
      auto cb = static_cast<unsigned char>(in[i + k]);
      if ((cb & 0xC0) != 0x80)
        throw UserError("the text is not UTF-8 (byte " + std::to_string(i + k) + ")");
      c = (c << 6) | (cb & 0x3F);
    }
    bool overlong = (n == 2 && c < 0x80) || (n == 3 && c < 0x800) || (n == 4 && c < 0x10000);
    if (overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
      throw UserError("the text is not UTF-8 (byte " + std::to_string(i) + ")");
    if (c == 0xFEFF && i == 0) {  // byte order mark
      i += n;
      continue;
    }
    int mapped = FromUnicode(c);
    out += mapped < 0 ? ' ' : static_cast<char>(mapped);
    i += n;
  }
  return out;
}

std::string Cp1254ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char ch : text) {
    char32_t c = ToUnicode(static_cast<unsigned char>(ch));
    AppendUtf8(out, c == 0 ? 0xFFFD : c);
  }
  return out;
}

}  // namespace kalvor
