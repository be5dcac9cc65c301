// Cutting the prepared text into sentences, words and speech unit names. Each operation advances
// one cursor and leaves its result in the player's fields; the speaking loop nests them.
#include <string_view>
#include <vector>

#include "StrPlaySP.h"
#include "StrPlaySP_Chars.h"
#include "StrPlaySP_Text.h"

namespace kalvor {
namespace {

// Words whose vowel is long in speech. Doubling the vowel in the word makes the unit steps give a
// VV unit, which the voices hold for about the length of a long vowel. A row matches every word
// that begins with its prefix, so inflected forms are lengthened too.
struct LongVowelRow {
  std::string_view Prefix;
  char Letter1;
  std::uint8_t Pos1;
  char Letter2;  // 0: none
  std::uint8_t Pos2;
};

constexpr LongVowelRow LongVowelTable[88] = {
    {"KURAB\xDDYE", 'A', 4, 0, 0},  // KURABİYE
    {"UD\xDD", 'U', 1, 0, 0},       // UDİ
    {"\xDEUBE", 'U', 2, 0, 0},      // ŞUBE
    {"AB\xDD", 'A', 1, 0, 0},       // ABİ
    {"\xDE"
     "AK\xDDR",
     'A', 2, 0, 0},             // ŞAKİR
    {"FA\xDDZ", 'A', 2, 0, 0},  // FAİZ
    {"BAHANE", 'A', 4, 0, 0},
    {"\xDE"
     "AHANE",
     'A', 4, 0, 0},               // ŞAHANE
    {"HAR\xDDKA", 'A', 2, 0, 0},  // HARİKA
    {"CAM\xDD", 'A', 2, 0, 0},    // CAMİ
    {"GIDA", 'A', 4, 0, 0},
    {"CAM\xDD"
     "A",
     'A', 2, 0, 0},                 // CAMİA
    {"FENN\xDD", '\xDD', 5, 0, 0},  // FENNİ: İ
    {"M\xDC"
     "BALA",
     'A', 4, 0, 0},  // MÜBALA
    {"ASALET", 'A', 3, 0, 0},
    {"FUKARA", 'A', 6, 0, 0},
    {"BAK\xDD", 'A', 2, 0, 0},      // BAKİ
    {"EZEL\xDD", '\xDD', 5, 0, 0},  // EZELİ: İ
    {"DA\xDDM\xDD", 'A', 2, 0, 0},  // DAİMİ
    {"CEZA", 'A', 4, 0, 0},
    {"CAH\xDDL", 'A', 2, 0, 0},  // CAHİL
    {"CESARET", 'A', 4, 0, 0},
    {"BERABER", 'A', 4, 0, 0},
    {"EMANET", 'A', 2, 0, 0},
    {"ENAY\xDD", 'A', 2, 0, 0},   // ENAYİ
    {"SANAY\xDD", 'A', 4, 0, 0},  // SANAYİ
    {"SINAY\xDD", 'A', 4, 0, 0},  // SINAYİ
    {"SELAMET", 'A', 4, 0, 0},
    {"ELA", 'A', 3, 0, 0},
    {"REHAVET", 'A', 4, 0, 0},
    {"DEHA", 'A', 4, 0, 0},
    {"CEHALET", 'A', 4, 0, 0},
    {"KEFALET", 'A', 4, 0, 0},
    {"SEFALET", 'A', 4, 0, 0},
    {"EDA", 'A', 3, 0, 0},
    {"\xDE\xDCHEDA", 'A', 6, 0, 0},  // ŞÜHEDA
    {"NEBAT\xDD", 'A', 4, 0, 0},     // NEBATİ
    {"BAZEN", 'A', 2, 0, 0},
    {"PAZEN", 'A', 2, 0, 0},
    {"AZER\xDD", 'A', 1, 0, 0},  // AZERİ
    {"MAZUR", 'A', 2, 0, 0},
    {"AZA", 'A', 1, 0, 0},
    {"MAZ\xDD", 'A', 2, 0, 0},  // MAZİ
    {"AYET", 'A', 1, 0, 0},
    {"GAYET", 'A', 2, 0, 0},
    {"B\xDDLADER", 'A', 4, 0, 0},  // BİLADER
    {"AY\xDDN", 'A', 1, 0, 0},     // AYİN
    {"FAT\xDDH", 'A', 2, 0, 0},    // FATİH
    {"BANU", 'A', 2, 0, 0},
    {"SADUN", 'A', 2, 0, 0},
    {"KARUN", 'A', 2, 0, 0},
    {"KANUN", 'A', 2, 0, 0},
    {"AS\xDD", 'A', 1, 0, 0},  // ASİ
    {"KASE", 'A', 2, 0, 0},
    {"K\xDDRA", 'A', 4, 0, 0},      // KİRA
    {"AN\xDD", 'A', 1, '\xDD', 4},  // ANİ: A, then İ
    {"SAN\xDDYE", 'A', 2, 0, 0},    // SANİYE
    {"KAN\xDD", 'A', 2, 0, 0},      // KANİ
    {"AK\xDD"
     "DE",
     '\xDD', 3, 0, 0},          // AKİDE: İ
    {"BAK\xDD", 'A', 2, 0, 0},  // BAKİ (again; the first row always wins)
    {"SAK\xDD", 'A', 2, 0, 0},  // SAKİ
    {"YAKU", 'A', 2, 0, 0},
    {"ALEM", 'A', 1, 0, 0},
    {"AM\xDDN", 'A', 1, 0, 0},          // AMİN
    {"SAM\xDDM\xDD", '\xDD', 4, 0, 0},  // SAMİMİ: İ
    {"LAZIM", 'A', 2, 0, 0},
    {"DAVA", 'A', 2, 'A', 5},
    {"\xDDT\xDDLAF", '\xDD', 1, 0, 0},  // İTİLAF: İ
    {"HAL\xDD", 'A', 2, 0, 0},          // HALİ
    {"AHAL\xDD", 'A', 3, 0, 0},         // AHALİ
    {"TEL\xDD"
     "F",
     'E', 2, 0, 0},                 // TELİF
    {"\xDDMA", '\xDD', 1, 'A', 4},  // İMA: İ, then A
    {"VEYA", 'A', 4, 0, 0},
    {"ALET", 'A', 1, 0, 0},
    {"HAYALET", 'A', 4, 0, 0},
    {"EYALET", 'A', 3, 0, 0},
    {"C\xDDNAYET", 'A', 4, 0, 0},  // CİNAYET
    {"D\xDDRAYET", 'A', 4, 0, 0},  // DİRAYET
    {"DAH\xDD", 'A', 2, 0, 0},     // DAHİ
    {"AH\xDD", 'A', 1, 0, 0},      // AHİ
    {"VAL\xDD", 'A', 2, 0, 0},     // VALİ
    {"KAH\xDD", 'A', 2, 0, 0},     // KAHİ
    {"DA\xDD", 'A', 2, 0, 0},      // DAİ
    {"SAL\xDD", 'A', 2, 0, 0},     // SALİ
    {"\xDDT\xDD"
     "BAR",
     '\xDD', 1, 0, 0},          // İTİBAR: İ
    {"N\xDDHA", 'A', 4, 0, 0},  // NİHA
    {"KAF\xDD", 'A', 2, 0, 0},  // KAFİ
    {"TAT\xDD", 'A', 2, 0, 0},  // TATİ
};

// For each first letter, the rows that begin with it, in table order: a word is compared only
// with the few rows that can match it.
struct RowsByLetter {
  std::uint8_t Count[256] = {};
  std::uint8_t Rows[256][16] = {};
};
constexpr RowsByLetter IndexRows() {
  RowsByLetter x;
  for (std::uint8_t r = 0; r < 88; ++r) {
    auto first = static_cast<unsigned char>(LongVowelTable[r].Prefix[0]);
    if (x.Count[first] == 16) throw "more rows for one letter than the index holds";
    x.Rows[first][x.Count[first]++] = r;
  }
  return x;
}
constexpr RowsByLetter LongVowelIndex = IndexRows();

// The question particles, which stand at the end of a word once the sentence is rebuilt, and the
// question words, which begin one.
constexpr std::string_view QuestionSuffixes[4] = {"M\xDD", "MI", "MU", "M\xDC"};  // Mİ MI MU MÜ
constexpr std::string_view QuestionWords[6] = {
    "K\xDDM",  // KİM
    "NEDEN",
    "N\xDDYE",         // NİYE
    "N\xDD\xC7\xDDN",  // NİÇİN
    "NE",
    "NASIL",
};

inline std::int32_t Len(const std::string& s) {
  return static_cast<std::int32_t>(s.size());
}

// The 1-based position of the first letter or digit of s at or after from; past the end when
// there is none.
std::int32_t FirstLetterOrDigit(const std::string& s, std::int32_t from) {
  while (from <= Len(s) && !chars::LetterOrDigit(chars::At(s, from))) ++from;
  return from;
}

// out = s[first..last] (1-based, inclusive); empty when last < first.
void AssignRange(std::string& out, const std::string& s, std::int32_t first, std::int32_t last) {
  if (last >= first)
    out.assign(s, static_cast<std::size_t>(first - 1), static_cast<std::size_t>(last - first + 1));
  else
    out.clear();
}

}  // namespace

// The next word of the sentence on its own, without gluing: the part of NextWord that gluing
// repeats.
bool TStrPlayer::TakeWord() {
  ForgetPreviousLetters();
  const std::string& s = FSentence;
  const std::int32_t start = FirstLetterOrDigit(s, FSentencePos + 1);
  std::int32_t end = start;
  while (end <= Len(s) &&
         (chars::LetterOrDigit(chars::At(s, end)) ||
          (chars::DecimalMark(chars::At(s, end)) && chars::Digit(chars::At(s, end - 1)))))
    ++end;
  AssignRange(FWord, s, start, end - 1);
  ApplyLongVowels();
  FSentencePos = end;
  FWordPos = 0;
  return !FWord.empty();
}

namespace {

// A word shorter than four letters is spoken together with the next one, except the question
// particles (two letters beginning with M), which must stay at the end of their word.
bool IsGlued(const std::string& w) {
  return w.size() < 4 && !(w.size() == 2 && w[0] == 'M');
}

// A sentence is spoken as one connected stream of letters, so the separators between its words go.
// Only a separator directly before a digit (a number is read as a word of its own) or before the
// letter O stays, and a space directly after an O that ended a word. Scanned from the end with a
// flag Keep telling whether the character just looked at protects the separator before it:
//  - a separator that is not kept is deleted, and the scan looks again at the place it held, which
//    now holds the character that followed it (so of two separators in a row both go);
//  - otherwise the scan moves one place to the left;
//  - an O right before a deleted character gets a space put back after it.
// The processed tail is kept reversed on a stack, so every step is constant time: deleting and
// inserting in the middle of the string would make a long sentence quadratic.
void RemoveSpaces(std::string& s) {
  std::string head = s;    // 0-based here; position p of the scan is head[p - 1]
  std::vector<char> tail;  // characters right of p, the nearest on top
  tail.reserve(s.size() + 8);
  std::int32_t p = Len(s);
  bool keep = false;
  std::int32_t last = -1;  // position of the latest deletion, none yet
  while (p >= 1) {
    const char ch = head[static_cast<std::size_t>(p - 1)];
    const std::int32_t at = p;
    if (!chars::LetterOrDigit(ch) && !keep) {
      last = p;
      if (!tail.empty()) {
        head[static_cast<std::size_t>(p - 1)] =
            tail.back();  // the follower moves into the freed place
        tail.pop_back();
      } else {
        --p;  // it was the last character: go on with the new last one
      }
    } else {
      tail.push_back(ch);
      --p;
    }
    if (ch == 'O' && last == at + 1) {
      tail.back() = ' ';  // the O is on top: put the space between it and its follower
      tail.push_back('O');
      keep = true;
    } else {
      keep = chars::Digit(ch) || ch == 'O';
    }
  }
  s.assign(tail.rbegin(), tail.rend());
}

}  // namespace

void TStrPlayer::ApplyLongVowels() {
  if (FWord.empty()) return;
  const auto first = static_cast<unsigned char>(FWord[0]);
  for (std::uint8_t i = 0; i < LongVowelIndex.Count[first]; ++i) {
    const LongVowelRow& row = LongVowelTable[LongVowelIndex.Rows[first][i]];
    if (FWord.size() < row.Prefix.size() || FWord.compare(0, row.Prefix.size(), row.Prefix) != 0)
      continue;
    FWord.insert(FWord.begin() + (row.Pos1 - 1), row.Letter1);
    if (row.Letter2 != 0) FWord.insert(FWord.begin() + (row.Pos2 - 1), row.Letter2);
    return;
  }
}

bool TStrPlayer::NextWord() {
  if (!TakeWord()) return false;
  // Short words run into the next one, and through it into the ones after, until a word of four
  // or more letters (or a question particle) closes the chain. Walked as a loop: a sentence of
  // hundreds of one-letter words must not cost a stack frame each.
  if (IsGlued(FWord)) {
    std::string glued = std::move(FWord);
    while (TakeWord()) {
      bool more = IsGlued(FWord);
      glued += FWord;
      if (!more) break;
    }
    FWord = std::move(glued);
  }
  return true;
}

bool TStrPlayer::NextSentence() {
  ForgetPreviousLetters();
  const std::string& t = FText;
  const std::int32_t start = FirstLetterOrDigit(t, FTextPos + 1);

  // A full stop or comma after a digit belongs to the number (3.5, 1,25); every other punctuation
  // character ends the sentence. A sentence holds at most 601 characters.
  std::int32_t end = start;
  while (end <= Len(t) && end - start <= 600) {
    char c = chars::At(t, end);
    if (chars::Punctuation(c) && !(chars::DecimalMark(c) && chars::Digit(chars::At(t, end - 1))))
      break;
    ++end;
  }
  if (end - start > 600) {
    // Cut a long run at its last separator past the first 300 characters, so that a word is not
    // split when it can be helped.
    while (end > start + 300 && chars::LetterOrDigit(chars::At(t, end))) --end;
  }

  FSentenceKind = 0;
  std::int32_t b = start, e = end - 1;
  while (b <= e && chars::Blank(chars::At(t, b))) ++b;
  while (e >= b && chars::Blank(chars::At(t, e))) --e;
  AssignRange(FSentence, t, b, e);
  char stop = chars::At(t, end);
  if (stop == '?')
    FSentenceKind = 1;
  else if (stop == '!')
    FSentenceKind = 2;

  FTextPos = end;
  FSentencePos = 0;
  FWordPos = 0;
  if (FSentence.empty()) return false;

  // Rebuild the sentence from its words as the word steps see them (long vowels in, short words
  // glued), each after one space.
  std::string rebuilt;
  rebuilt.reserve(FSentence.size() + FSentence.size() / 4 + 8);
  while (NextWord()) {
    rebuilt += ' ';
    rebuilt += FWord;
  }
  FSentence = std::move(rebuilt);
  FSentencePos = 0;
  FWordPos = 0;

  RemoveSpaces(FSentence);
  ExpandNumbers();
  return true;
}

bool TStrPlayer::NextUnit() {
  FUnit1 = TStr3();
  FUnit2 = TStr3();
  const std::string& w = FWord;
  const std::int32_t L = Len(w);
  std::int32_t P = FWordPos + 1;
  while (P < L && !chars::LetterOrDigit(chars::At(w, P))) ++P;

  char ch = chars::At(w, P);
  if (ch == 0 || (!chars::LetterOrDigit(ch) && ch != '\'')) return false;

  // Units are built around vowels: a consonant goes with the vowel after it, and a consonant
  // between two vowels makes one vowel-consonant-vowel unit.
  auto name = [](char a, char b, char c = 0) {
    char buf[3] = {a, b, c};
    return TStr3(std::string_view(buf, c ? 3 : 2));
  };
  if (chars::LetterOrDigit(ch)) {
    FCurChar = ch;
    char next = chars::At(w, P + 1);
    // A consonant that opens a unit takes the vowel after it, or stands alone as "C1".
    auto openWith = [&] {
      FLastConsonant = ch;
      if (chars::Vowel(next)) {
        ++P;
        FUnit1 = name(ch, next);
        FCurChar = next;
      } else {
        FUnit1 = name(ch, '1');
      }
    };
    if (P == 1) {
      if (chars::Vowel(ch))
        FUnit1 = name(ch, '1');
      else
        openWith();
    } else if (chars::Vowel(FPrevChar)) {
      if (chars::Consonant(ch)) {
        FLastConsonant = ch;
        if (chars::Vowel(next)) {
          ++P;
          FUnit1 = name(FPrevChar, ch, next);
          FCurChar = next;
        } else {
          FUnit1 = name('_', FPrevChar, ch);
        }
      } else {
        FUnit1 = name(FPrevChar, ch);
      }
    } else if (chars::Consonant(ch)) {
      openWith();
    } else {
      FUnit1 = name(FPrevChar, ch);
    }
  }

  if (P == L) {
    if (P == 1)
      FUnit1 = name(FCurChar, '2');  // a word of one letter
    else if (chars::Vowel(FCurChar))
      FUnit2 = FLastConsonant != 0 ? name('_', FLastConsonant, FCurChar) : name(FCurChar, '3');
  }

  FPrevChar = FCurChar;
  bool advanced = P != FWordPos;
  FWordPos = P;
  return advanced;
}

void TStrPlayer::FindQuestionWord() {
  std::int32_t index = 0;
  bool found = false;
  while (!found && NextWord()) {
    found = IsQuestionWord(index);
    ++index;
  }
  if (!found && index > 0) FQuestionWord = index - 1;  // no mark: the question is on the last word
  FSentencePos = 0;
}

bool TStrPlayer::IsQuestionWord(std::int32_t Index) {
  std::string_view w = FWord;
  for (std::string_view suffix : QuestionSuffixes) {
    if (w.ends_with(suffix)) {
      // A particle in the first word leaves the mark as it was.
      if (Index > 0) FQuestionWord = Index;
      return true;
    }
  }
  for (std::string_view word : QuestionWords) {
    if (w.starts_with(word)) {
      FQuestionWord = Index;
      return true;
    }
  }
  return false;
}

}  // namespace kalvor
