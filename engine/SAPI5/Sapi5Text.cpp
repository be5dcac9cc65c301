#include "Sapi5Text.h"

#include <algorithm>
#include <cmath>

#include "EngineText.h"
#include "StrPlaySP_Text.h"

namespace kalvor {
namespace {

// Engine text of a fragment with, for each of its bytes, the UTF-16 code units it came from.
struct TMappedText {
  std::string Bytes;
  std::vector<ULONG> From;   // first code unit
  std::vector<ULONG> Units;  // number of code units
};

TMappedText Convert(const WCHAR* text, ULONG length) {
  TMappedText m;
  m.Bytes = WideToEngineText(text, length);
  if (m.Bytes.size() == length) {  // one byte per code unit: the usual case
    m.From.resize(length);
    m.Units.assign(length, 1);
    for (ULONG i = 0; i < length; ++i) m.From[i] = i;
    return m;
  }
  // Some character took other than one byte (a surrogate pair): convert code point by code point.
  m.Bytes.clear();
  for (ULONG i = 0; i < length;) {
    ULONG n = 1;
    if (IS_HIGH_SURROGATE(text[i]) && i + 1 < length && IS_LOW_SURROGATE(text[i + 1])) n = 2;
    const std::string b = WideToEngineText(text + i, n);
    for (char c : b) {
      m.Bytes += c;
      m.From.push_back(i);
      m.Units.push_back(n);
    }
    i += n;
  }
  return m;
}

bool IsSign(const std::string& s, std::size_t i) {
  const char c = s[i];
  if (c == '+' || c == '%' || c == '=' || c == '/' || c == '@' || c == '(' || c == ')') return true;
  if (c != '-') return false;
  // A minus sign: a hyphen directly before a number (apostrophes between do not count).
  std::size_t k = i + 1;
  while (k < s.size() && s[k] == '\'') ++k;
  return k < s.size() && IsDigit(s[k]);
}

bool EndsSentence(const std::string& s, std::size_t i) {
  const char c = s[i];
  if (c == '!' || c == '?' || c == '\r' || c == '\n') return true;
  if (c != '.') return false;
  std::size_t k = i;
  while (k > 0 && s[k - 1] == '\'') --k;
  return !(k > 0 && IsDigit(s[k - 1]));
}

}  // namespace

std::int32_t SpokenLetters(TStrPlayer& scratch, std::string_view text) {
  // The unit steps of a word take it to its end, so its letters are the word's length.
  std::int32_t count = 0;
  scratch.BeginText(text);
  while (scratch.NextSentence())
    while (scratch.NextWord()) count += static_cast<std::int32_t>(scratch.Word().size());
  return count;
}

std::vector<TSapi5Sentence> CutText(const std::wstring& text, const std::vector<ULONG>& source,
                                    bool spell, TStrPlayer& scratch) {
  std::vector<TSapi5Sentence> out;
  if (text.empty() || source.size() != text.size()) return out;
  const TMappedText m = Convert(text.data(), static_cast<ULONG>(text.size()));
  const std::string& s = m.Bytes;
  const std::size_t n = s.size();
  auto span = [&](std::size_t b, std::size_t e, ULONG& pos, ULONG& len) {
    pos = source[m.From[b]];
    len = source[m.From[e - 1] + m.Units[e - 1] - 1] + 1 - pos;
  };

  if (spell) {
    for (std::size_t i = 0; i < n; ++i) {
      if (!IsLetterOrDigit(s[i])) continue;
      TSapi5Sentence one;
      one.Text.assign(1, s[i]);
      TSapi5Word w;
      span(i, i + 1, w.Pos, w.Len);
      w.Letters = SpokenLetters(scratch, one.Text);
      one.Pos = w.Pos;
      one.Len = w.Len;
      one.Words.push_back(w);
      out.push_back(std::move(one));
    }
    return out;
  }

  std::size_t b = 0;
  while (b < n) {
    std::size_t e = b;
    while (e < n && !EndsSentence(s, e)) ++e;
    if (e < n) ++e;  // the sentence keeps its mark
    TSapi5Sentence sentence;
    sentence.Text = s.substr(b, e - b);
    // Words: letters and digits, with an apostrophe or a decimal mark inside; each sign is a word
    // of its own, since the front end reads it as one.
    std::size_t first = e, last = b;
    for (std::size_t i = b; i < e;) {
      std::size_t j = i;
      if (IsSign(s, i)) {
        j = i + 1;
      } else if (IsLetterOrDigit(s[i])) {
        while (j < e) {
          if (IsLetterOrDigit(s[j])) {
            ++j;
          } else if (j + 1 < e && IsLetterOrDigit(s[j + 1]) &&
                     (s[j] == '\'' ||
                      (IsDecimalMark(s[j]) && IsDigit(s[j - 1]) && IsDigit(s[j + 1])))) {
            j += 2;
          } else {
            break;
          }
        }
      } else {
        ++i;
        continue;
      }
      TSapi5Word w;
      span(i, j, w.Pos, w.Len);
      w.Letters = SpokenLetters(scratch, std::string_view(s).substr(i, j - i));
      sentence.Words.push_back(w);
      first = std::min(first, i);
      last = std::max(last, j);
      i = j;
    }
    if (!sentence.Words.empty()) {
      // The sentence from its first word to its end mark (or last word).
      const std::size_t end =
          e > last && EndsSentence(s, e - 1) && s[e - 1] != '\r' && s[e - 1] != '\n' ? e : last;
      span(first, end, sentence.Pos, sentence.Len);
      out.push_back(std::move(sentence));
    }
    b = e;
  }
  return out;
}

std::int32_t HizForRate(long rate) {
  const long r = std::clamp(rate, -10L, 10L);
  return static_cast<std::int32_t>(std::lround(100.0 * std::exp2(static_cast<double>(r) / 10.0)));
}

void ScaleSamples(std::uint8_t* bytes, std::size_t size, unsigned volume) {
  if (volume >= 100) return;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const auto s = static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8));
    const auto v = static_cast<std::int16_t>(static_cast<std::int32_t>(s) *
                                             static_cast<std::int32_t>(volume) / 100);
    bytes[i] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) & 0xFF);
    bytes[i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8);
  }
}

}  // namespace kalvor
