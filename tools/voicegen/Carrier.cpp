#include "Carrier.h"

#include <stdexcept>

#include "Letters.h"

namespace kalvor::voicegen {
namespace {

using namespace cp1254;

// Whether the vowel that colours a consonant at position i is a front vowel: the vowel after it,
// else the vowel before it, else the nearest one further on or back.
bool FrontContext(const std::string& w, std::size_t i) {
  if (i + 1 < w.size() && IsVowelLetter(w[i + 1])) return IsFrontVowel(w[i + 1]);
  if (i > 0 && IsVowelLetter(w[i - 1])) return IsFrontVowel(w[i - 1]);
  for (std::size_t j = i + 1; j < w.size(); ++j)
    if (IsVowelLetter(w[j])) return IsFrontVowel(w[j]);
  for (std::size_t j = i; j-- > 0;)
    if (IsVowelLetter(w[j])) return IsFrontVowel(w[j]);
  return false;
}

std::string VowelPhoneme(char v) {
  switch (v) {
    case 'A':
      return "a";
    case 'E':
      return "e";
    case 'I':
      return "@";
    case kIDot:
      return "i";
    case 'O':
      return "O";
    case kODiaeresis:
      return "W";
    case 'U':
      return "u";
    case kUDiaeresis:
      return "y";
  }
  throw std::invalid_argument("not a vowel");
}

}  // namespace

std::vector<std::vector<std::string>> PhonemesOf(const std::string& w) {
  std::vector<std::vector<std::string>> out(w.size());
  for (std::size_t i = 0; i < w.size(); ++i) {
    char c = w[i];
    bool prevVowel = i > 0 && IsVowelLetter(w[i - 1]);
    bool nextVowel = i + 1 < w.size() && IsVowelLetter(w[i + 1]);
    auto& p = out[i];
    if (IsVowelLetter(c)) {
      p = {VowelPhoneme(c)};
      continue;
    }
    switch (c) {
      case 'B':
        p = {"b"};
        break;
      case 'C':
        p = {"dZ"};
        break;
      case kCCedilla:
        p = {"tS"};
        break;
      case 'D':
        p = {"d"};
        break;
      case 'F':
        p = {"f"};
        break;
      case 'G':
        p = {FrontContext(w, i) ? "J" : "g"};
        break;
      case kGBreve:
        // After a back vowel the soft g only lengthens it; after a front vowel it is a glide.
        // Elsewhere (never in a Turkish word) it is silent.
        if (prevVowel && !IsFrontVowel(w[i - 1])) {
          out[i - 1][0] += ":";
        } else if (prevVowel) {
          p = {"j"};
        }
        break;
      case 'H':
        p = {"h"};
        break;
      case 'J':
        p = {"Z"};
        break;
      case 'K':
        p = {"k"};
        break;
      case 'L':
        // espeak-ng voices its dark L only as the glide into a back vowel; elsewhere it would be
        // silent, so the clear L stands there.
        p = {nextVowel && !IsFrontVowel(w[i + 1]) ? "L" : "l"};
        break;
      case 'M':
        p = {"m"};
        break;
      case 'N':
        p = {"n"};
        break;
      case 'P':
        p = {"p"};
        break;
      case 'R':
        p = {prevVowel && nextVowel ? "*" : "R"};
        break;
      case 'S':
        p = {"s"};
        break;
      case kSCedilla:
        p = {"S"};
        break;
      case 'T':
        p = {"t"};
        break;
      case 'V':
        p = {"v"};
        break;
      case 'Y':
        p = {"j"};
        break;
      case 'Z':
        p = {"z"};
        break;
      case 'X':
        p = {"k", "s"};
        break;
      default:
        throw std::invalid_argument("not a Turkish letter");
    }
  }
  return out;
}

std::string Carrier::PhonemeString() const {
  std::string s;
  for (std::size_t i = 0; i < phonemes.size(); ++i) {
    for (const std::string& p : phonemes[i]) {
      if (static_cast<int>(i) == stressed && IsVowelLetter(letters[i])) s += '\'';
      s += p;
    }
  }
  return s;
}

std::vector<int> Carrier::PhonemeLetters() const {
  std::vector<int> out;
  for (std::size_t i = 0; i < phonemes.size(); ++i)
    for (std::size_t k = 0; k < phonemes[i].size(); ++k) out.push_back(static_cast<int>(i));
  return out;
}

std::string LowerLetterUtf8(char c) {
  switch (c) {
    case 'I':
      return "\xC4\xB1";  // ı
    case kIDot:
      return "i";
    case kCCedilla:
      return "\xC3\xA7";  // ç
    case kGBreve:
      return "\xC4\x9F";  // ğ
    case kODiaeresis:
      return "\xC3\xB6";  // ö
    case kSCedilla:
      return "\xC5\x9F";  // ş
    case kUDiaeresis:
      return "\xC3\xBC";  // ü
  }
  if (c >= 'A' && c <= 'Z') return std::string(1, static_cast<char>(c - 'A' + 'a'));
  throw std::invalid_argument("not a Turkish letter");
}

Carrier MakeCarrier(const UnitName& unit) {
  const std::string& u = unit.letters;
  Carrier c;
  // What follows a unit's last consonant: a stop whose closure marks where the consonant ends,
  // not the same stop as the consonant itself.
  auto follower = [](char cons) -> std::string { return cons == 'T' || cons == 'D' ? "KA" : "TA"; };
  using K = PointKind;
  switch (unit.form) {
    case UnitForm::CV:
      c.letters = u + "TA";
      c.start = {K::ConsonantStart, 0};
      c.end = {K::VowelMiddle, 1};
      break;
    case UnitForm::VCV:
      c.letters = "T" + u + "TA";
      c.start = {K::VowelMiddle, 1};
      c.end = {K::VowelMiddle, 3};
      break;
    case UnitForm::ClosedVC:
      c.letters = "T" + u + follower(u[1]);
      c.start = {K::VowelMiddle, 1};
      // A plain stop closing the syllable ends the unit unreleased, with its closure: the stop
      // that follows it in a word (anlattı, gitti, bütçe) brings the one release, as espeak-ng
      // speaks a doubled stop with one long closure and one burst. Released, the two units would
      // burst twice. The price: the unit is the same at the end of a sentence (kitap.), where its
      // stop is now heard by its closure and the vowel's transition alone.
      c.end = {IsPlainStopLetter(u[1]) ? K::ClosureEnd : K::LetterEnd, 2};
      break;
    case UnitForm::VV:
      c.letters = "T" + u + "TA";
      c.start = {K::VowelMiddle, 1};
      c.end = {K::VowelMiddle, 2};
      break;
    case UnitForm::V1:
      c.letters = u + "TA";
      c.start = {K::VowelStart, 0};
      c.end = {K::VowelMiddle, 0};
      break;
    case UnitForm::C1:
      c.letters = u + follower(u[0]);
      c.start = {K::ConsonantStart, 0};
      c.end = {K::LetterEnd, 0};
      break;
    case UnitForm::X2:
      c.text = LowerLetterUtf8(u[0]);
      c.start = {K::SoundStart};
      c.end = {K::SoundEnd};
      return c;
    case UnitForm::FinalCV:
      c.letters = "TA" + u;
      c.stressed = 3;
      c.start = {K::VowelMiddle, 3};
      c.end = {K::SoundEnd};
      break;
    case UnitForm::V3:
      // The last vowel of a word without consonants follows another vowel.
      c.letters = std::string("T") + (u[0] == 'A' ? 'E' : 'A') + u;
      c.stressed = 2;
      c.start = {K::VowelMiddle, 2};
      c.end = {K::SoundEnd};
      break;
  }
  if (c.stressed < 0) c.stressed = static_cast<int>(c.letters.size()) - 1;
  c.phonemes = PhonemesOf(c.letters);
  return c;
}

}  // namespace kalvor::voicegen
