// Number reading: every run of digits in a sentence becomes Turkish number words, written together
// without spaces so that the unit steps read a number like any other run of letters.
#include <string_view>
#include <vector>

#include "EngineHost.h"
#include "StrPlaySP.h"
#include "StrPlaySP_Chars.h"
#include "StrPlaySP_Text.h"

namespace kalvor {
namespace {

constexpr std::string_view kOnes[10] = {
    "",
    "B\xDDR",     // BİR
    "\xDDK\xDD",  // İKİ
    "\xDC\xC7",   // ÜÇ
    "D\xD6RT",    // DÖRT
    "BE\xDE",     // BEŞ
    "ALTI",
    "YED\xDD",   // YEDİ
    "SEK\xDDZ",  // SEKİZ
    "DOKUZ",
};
constexpr std::string_view kTens[10] = {
    "",
    "ON",
    "Y\xDDRM\xDD",  // YİRMİ
    "OTUZ",
    "KIRK",
    "ELL\xDD",       // ELLİ
    "ALTMI\xDE",     // ALTMIŞ
    "YETM\xDD\xDE",  // YETMİŞ
    "SEKSEN",
    "DOKSAN",
};
constexpr std::string_view kHundred = "Y\xDCZ";  // YÜZ
constexpr std::string_view kZero = "SIFIR";
constexpr std::string_view kComma = "V\xDDRG\xDCL";  // VİRGÜL
constexpr std::string_view kPoint = "NOKTA";
// Scale words of the five groups of three digits, from the left of a 15-digit number.
constexpr std::string_view kScale[5] = {
    "TR\xDDLYON",  // TRİLYON
    "M\xDDLYAR",   // MİLYAR
    "M\xDDLYON",   // MİLYON
    "B\xDDN",      // BİN
    "",
};

// The groups of three know no scale beyond the trillions; a longer number is read digit by digit
// rather than cut, so that nothing of the text is lost or said as a different number.
constexpr std::size_t kGroupedDigits = 15;

// Reads a string of digits that has no leading zero (they are spoken before it is called).
void AppendInteger(std::string& out, std::string_view digits) {
  if (digits.size() > kGroupedDigits) {
    for (char d : digits) out += d == '0' ? kZero : kOnes[d - '0'];
    return;
  }
  std::string padded = PadLeft(digits, kGroupedDigits, '0');
  for (std::size_t g = 0; g < 5; ++g) {
    int h = padded[g * 3] - '0', t = padded[g * 3 + 1] - '0', o = padded[g * 3 + 2] - '0';
    if (h == 0 && t == 0 && o == 0) continue;
    if (h == 1)
      out += kHundred;  // 100 is YÜZ, never BİRYÜZ
    else if (h > 1)
      (out += kOnes[h]) += kHundred;
    out += kTens[t];
    // 1000 is BİN, not BİRBİN; 21000 keeps its BİR.
    if (o != 1 || g != 3 || h + t >= 1) out += kOnes[o];
    out += kScale[g];
  }
}

// The integer part, after its leading zeros. Only digits reach it under the usual separators;
// with separators other than the full stop and the comma, a full stop or comma can stand inside
// the integer part, and is then kept as a separator between two numbers read on their own.
void AppendIntegerPart(std::string& out, std::string_view s) {
  bool first = true;
  while (true) {
    std::size_t i = 0;
    if (!first) {
      // Each later piece speaks its own leading zeros, as a number of its own does.
      while (i < s.size() && s[i] == '0') {
        out += kZero;
        ++i;
      }
    } else {
      while (i < s.size() && s[i] == '0') ++i;  // already spoken as SIFIR
    }
    std::size_t end = i;
    while (end < s.size() && chars::Digit(s[end])) ++end;
    AppendInteger(out, s.substr(i, end - i));
    if (end >= s.size()) return;
    while (end < s.size() && !chars::Digit(s[end])) out += s[end++];
    s = s.substr(end);
    first = false;
  }
}

}  // namespace

std::string RemoveChar(std::string_view s, char c) {
  std::string out;
  out.reserve(s.size());
  for (char x : s)
    if (x != c && x != '\0') out += x;
  return out;
}

std::string PadLeft(std::string_view s, std::size_t length, char fill) {
  if (s.size() >= length) return std::string(s);
  std::string out(length - s.size(), fill);
  out.append(s);
  return out;
}

std::string ReadNumber(std::string_view input) {
  const char thousands = host::ThousandsSeparator();
  const char decimal = host::DecimalSeparator();
  std::string out;
  // A decimal part is read as a number of its own, and it may hold a decimal separator again
  // (1,2,3): each level ends with its suffix, after everything of the deeper levels. Walked as a
  // loop so that a long chain of separators cannot exhaust the stack.
  std::vector<std::string> suffixes;
  std::string s = RemoveChar(RemoveChar(input, thousands), ' ');
  while (true) {
    std::size_t b = 0, e = s.size();
    while (b < e && !chars::Digit(s[b])) out += s[b++];
    for (std::size_t z = b; z < e && s[z] == '0'; ++z) out += kZero;
    while (e > b && !chars::Digit(s[e - 1])) --e;
    suffixes.emplace_back(s, e, std::string::npos);

    std::string_view body(s.data() + b, e - b);
    std::size_t sep = body.find(decimal);
    std::string frac;
    if (sep != std::string_view::npos) {
      frac.assign(body.substr(sep + 1));
      body = body.substr(0, sep);
    }
    AppendIntegerPart(out, body);
    if (frac.empty()) break;
    out += decimal == ',' ? kComma : kPoint;
    s = std::move(frac);
  }
  for (auto it = suffixes.rbegin(); it != suffixes.rend(); ++it) out += *it;
  return out;
}

void TStrPlayer::ExpandNumbers() {
  // The words hold no digits, so one pass from left to right replaces every run in turn.
  const std::string& s = FSentence;
  std::size_t first = 0;
  while (first < s.size() && !chars::Digit(s[first])) ++first;
  if (first == s.size()) return;
  std::string out(s, 0, first);
  std::size_t i = first;
  while (i < s.size()) {
    if (!chars::Digit(s[i])) {
      out += s[i++];
      continue;
    }
    std::size_t end = i;
    while (end < s.size() && (chars::Digit(s[end]) || chars::DecimalMark(s[end]))) ++end;
    out += ReadNumber(std::string_view(s).substr(i, end - i));
    i = end;
  }
  FSentence = std::move(out);
}

}  // namespace kalvor
