// Character classes, Turkish upper-casing, the string helpers and the preparation of a text.
#include <gtest/gtest.h>

#include <functional>

#include "FastStrings.h"
#include "FrontEnd_Support.h"
#include "StrPlaySP_Stages.h"
#include "StrPlaySP_Text.h"

namespace kalvor {
namespace {

using test::Tr;
using test::Utf;

int CountMembers(const std::function<bool(char)>& test) {
  int n = 0;
  for (int b = 0; b < 256; ++b) n += test(static_cast<char>(b));
  return n;
}

TEST(CharClasses, SetsHaveTheirSizesAndNoByteIsBothVowelAndConsonant) {
  EXPECT_EQ(CountMembers(IsDigit), 10);
  EXPECT_EQ(CountMembers(IsLetterOrDigit), 74);
  EXPECT_EQ(CountMembers(IsVowel), 16);
  EXPECT_EQ(CountMembers(IsConsonant), 48);
  EXPECT_EQ(CountMembers(IsPunctuation), 23);
  EXPECT_EQ(CountMembers(IsDecimalMark), 2);
  for (int b = 0; b < 256; ++b) {
    char c = static_cast<char>(b);
    EXPECT_FALSE(IsVowel(c) && IsConsonant(c)) << b;
    // Letters and digits are exactly the vowels, the consonants and the digits.
    EXPECT_EQ(IsLetterOrDigit(c), IsVowel(c) || IsConsonant(c) || IsDigit(c)) << b;
    EXPECT_FALSE(IsLetterOrDigit(c) && IsPunctuation(c)) << b;
  }
}

TEST(CharClasses, TurkishLettersInBothCasesAndNothingElse) {
  for (std::string_view v : {"İ", "ı", "Ö", "ö", "Ü", "ü", "I", "i"})
    EXPECT_TRUE(IsVowel(Tr(v)[0])) << v;
  for (std::string_view c : {"Ç", "ç", "Ğ", "ğ", "Ş", "ş", "Q", "W", "X", "x"})
    EXPECT_TRUE(IsConsonant(Tr(c)[0])) << c;
  // Circumflex and other accented letters are not in the alphabet: they separate words.
  for (std::string_view c : {"â", "Â", "î", "Î", "û", "Û", "é", "É", "ß"})
    EXPECT_FALSE(IsLetterOrDigit(Tr(c)[0])) << c;
  // Colon, percent, ampersand, space, tab and NUL cut nothing and are no letters.
  for (char c : {':', '%', '&', ' ', '\t', '\0'}) {
    EXPECT_FALSE(IsLetterOrDigit(c)) << int(c);
    EXPECT_FALSE(IsPunctuation(c)) << int(c);
  }
  for (char c : std::string_view(".,;=\"'+-/*!?[]@{}()<>\r\n")) EXPECT_TRUE(IsPunctuation(c)) << c;
}

TEST(CharAt, OneBasedAndZeroOutside) {
  EXPECT_EQ(CharAt("AB", 1), 'A');
  EXPECT_EQ(CharAt("AB", 2), 'B');
  EXPECT_EQ(CharAt("AB", 3), 0);
  EXPECT_EQ(CharAt("AB", 0), 0);
  EXPECT_EQ(CharAt("", 1), 0);
}

TEST(UpCaseTr, TurkishPairsAndEveryOtherByteUnchanged) {
  const std::pair<std::string_view, std::string_view> kPairs[] = {
      {"i", "İ"}, {"ı", "I"}, {"ç", "Ç"}, {"ğ", "Ğ"}, {"ö", "Ö"}, {"ü", "Ü"},
      {"ş", "Ş"}, {"a", "A"}, {"z", "Z"}, {"q", "Q"}, {"w", "W"}};
  for (auto [from, to] : kPairs) EXPECT_EQ(Utf(std::string(1, UpCaseTr(Tr(from)[0]))), to) << from;
  for (int b = 0; b < 256; ++b) {
    char c = static_cast<char>(b);
    bool mapped = (b >= 'a' && b <= 'z') || b == 0xFD || b == 0xE7 || b == 0xF0 || b == 0xF6 ||
                  b == 0xFC || b == 0xFE;
    if (!mapped) {
      EXPECT_EQ(UpCaseTr(c), c) << b;
    }
  }
  EXPECT_EQ(Utf(UpperCaseTr(Tr("istanbul ılık âşık"))), "İSTANBUL ILIK âŞIK");
}

// Accented letters outside the Turkish alphabet fold to their base letters before upper-casing;
// the Turkish letters and every byte that is no letter stay.
TEST(FoldAccent, AccentedLettersBecomeTheirBaseLettersAndNothingElseChanges) {
  const std::pair<std::string_view, std::string_view> kFolds[] = {
      {"âàáãäå", "aaaaaa"}, {"ÂÀÁÃÄÅ", "AAAAAA"}, {"éèêë", "eeee"},   {"ÉÈÊË", "EEEE"},
      {"îìíï", "iiii"},     {"ÎÌÍÏ", "İİİİ"},     {"ôòóõø", "ooooo"}, {"ÔÒÓÕØ", "OOOOO"},
      {"ûùú", "uuu"},       {"ÛÙÚ", "UUU"},       {"ñÑ", "nN"},       {"šŠ", "sS"},
      {"ÿŸ", "yY"}};
  std::string folded(256, '\0');
  for (auto [from, to] : kFolds) {
    const std::string f = Tr(from), t = Tr(to);
    ASSERT_EQ(f.size(), t.size()) << from;
    for (std::size_t i = 0; i < f.size(); ++i) {
      EXPECT_EQ(Utf(std::string(1, FoldAccent(f[i]))), Utf(std::string(1, t[i]))) << from;
      folded[static_cast<unsigned char>(f[i])] = 1;
    }
  }
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    if (folded[b]) {
      EXPECT_TRUE(IsLetterOrDigit(FoldAccent(c))) << b;  // a letter of the front end, no separator
    } else {
      EXPECT_EQ(FoldAccent(c), c) << b;
    }
  }
  EXPECT_EQ(Utf(FoldUpperCaseTr(Tr("çğıöşü ÇĞİÖŞÜ i I"))), "ÇĞIÖŞÜ ÇĞİÖŞÜ İ I");
}

TEST(FoldAccent, CircumflexedAndForeignWordsAreReadWhole) {
  const std::string kWant = ".\tKAĞITHALAMİLLİHÜKUMETKAZIMCAFE";
  EXPECT_EQ(test::SentencesOf("kâğıt hâlâ millî hükûmet Kâzım café"), std::vector{kWant});
  EXPECT_EQ(test::SentencesOf("KÂĞIT HÂLÂ MİLLÎ HÜKÛMET KÂZIM CAFÉ"), std::vector{kWant});
  EXPECT_EQ(test::SentencesOf("Îrân'a 3 kâr. Müller & Núñez!"),
            (std::vector<std::string>{".\tİRANA ÜÇKAR", "!\tMÜLLERNUNEZ"}));
  EXPECT_EQ(test::UnitsOf("Kâzım"), (std::vector<std::string>{"KA", "AZI", "_IM", ""}));
}

TEST(PosFrom, FindsAtOrAfterStart) {
  EXPECT_EQ(PosFrom("ABCA", 'A', 1), 1);
  EXPECT_EQ(PosFrom("ABCA", 'A', 2), 4);
  EXPECT_EQ(PosFrom("ABCA", 'C', 3), 3);
  EXPECT_EQ(PosFrom("ABCA", 'A', 5), 0);  // start beyond the end
  EXPECT_EQ(PosFrom("ABCA", 'D', 1), 0);
  EXPECT_EQ(PosFrom("", 'A', 1), 0);
  EXPECT_EQ(PosFrom(Tr("ĞİŞ"), Tr("Ş")[0], 1), 3);  // bytes above 127 compare as bytes
}

TEST(ReplaceAll, LeftToRightWithoutOverlapOrRescan) {
  struct Case {
    std::string_view s, pattern, replacement, expected;
  } const kCases[] = {
      {"aXbXc", "X", "YY", "aYYbYYc"},
      {"aa", "a", "aa", "aaaa"},                  // inserted text is not searched again
      {"aaa", "aa", "b", "ba"},                   // no overlapping matches
      {"abc", "x", "yyy", "abc"},                 // nothing to replace
      {"", "x", "y", ""},                         // empty text
      {"abcabcab", "abc", "WXYZ", "WXYZWXYZab"},  // outgrows its first reservation
      {"(a)", "(", " A\xC7PARANTEZ ", " A\xC7PARANTEZ a)"},
      {"x--y", "--", "", "xy"},
  };
  for (const Case& c : kCases)
    EXPECT_EQ(ReplaceAll(c.s, c.pattern, c.replacement), c.expected) << c.s << " / " << c.pattern;
}

TEST(PrepareText, SignsBecomeWordsAndForeignLettersTurkish) {
  struct Case {
    std::string_view upper, expected;
  } const kCases[] = {
      {"-5 DERECE", " EKSİ 5 DERECE"},
      {"A-B", "A-B"},  // a hyphen between words stays, to cut the sentence
      {"5-", "5-"},
      {"X-5", "X EKSİ 5"},  // a minus before the last character of the text
      {"-'5", " EKSİ 5"},   // apostrophes go before minus signs are looked for
      {"3+4=7", "3 ARTI 4 EŞİTTİR 7"},
      {"(KISA)", " AÇPARANTEZ KISA KAPAPARANTEZ "},
      {"AHMET'İN", "AHMETİN"},
      {"WEB QUIZ", "VEB KUIZ"},
      {"%50 A/B C@D", " YÜZDE 50 A TAKSİM B C ED D"},
  };
  for (const Case& c : kCases) {
    TStrPlayer p;
    TStrPlayerStages::Text(p) = Tr(c.upper);
    p.PrepareText();
    EXPECT_EQ(Utf(p.Text()), c.expected) << c.upper;
  }
}

// The preparation runs as one pass; it must give what its steps give one after the other.
TEST(PrepareText, OnePassEqualsTheStepsInOrder) {
  auto stepwise = [](std::string t) {
    t = ReplaceAll(t, "'", "");
    t = ReplaceAll(t, "W", "V");
    t = ReplaceAll(t, "Q", "K");
    for (std::size_t i = 0; i + 1 < t.size(); ++i)
      if (t[i] == '-' && IsDigit(t[i + 1])) t[i] = '\'';
    const char* kSigns[][2] = {{"'", " EKS\xDD "},       {"+", " ARTI "},
                               {"%", " Y\xDCZDE "},      {"=", " E\xDE\xDDTT\xDDR "},
                               {"/", " TAKS\xDDM "},     {"@", " ED "},
                               {"(", " A\xC7PARANTEZ "}, {")", " KAPAPARANTEZ "}};
    for (auto& s : kSigns) t = ReplaceAll(t, s[0], s[1]);
    return t;
  };
  const std::string_view kAlphabet = "'-+%=/@()WQ05A ";
  std::uint32_t seed = 12345;
  for (int n = 0; n < 2000; ++n) {
    std::string text;
    for (int i = n % 13; i > 0; --i) {
      seed = seed * 1103515245u + 12345u;
      text += kAlphabet[(seed >> 16) % kAlphabet.size()];
    }
    TStrPlayer p;
    TStrPlayerStages::Text(p) = text;
    p.PrepareText();
    ASSERT_EQ(p.Text(), stepwise(text)) << text;
  }
}

TEST(BeginText, TrimsUpperCasesAndPrepares) {
  TStrPlayer p;
  TStrPlayerStages::TextPos(p) = 7;
  TStrPlayerStages::SentencePos(p) = 3;
  TStrPlayerStages::WordPos(p) = 2;
  p.BeginText(Tr(" \t\r\n istanbul'da -3° \x01\x1F"));
  EXPECT_EQ(Utf(p.Text()), "İSTANBULDA  EKSİ 3°");
  EXPECT_EQ(p.TextPos(), 0);
  EXPECT_EQ(p.SentencePos(), 0);
  EXPECT_EQ(p.WordPos(), 0);
  // Only codes up to the space are trimmed: a no-break space (0xA0) is kept.
  p.BeginText(
      "\xA0"
      "a\xA0");
  EXPECT_EQ(p.Text(),
            "\xA0"
            "A\xA0");
  p.BeginText(" \x01 ");
  EXPECT_EQ(p.Text(), "");
}

}  // namespace
}  // namespace kalvor
