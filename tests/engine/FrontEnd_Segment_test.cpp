// Sentences, words and unit names: how a text is cut for speaking.
#include <gtest/gtest.h>

#include "FrontEnd_Support.h"
#include "StrPlaySP_Stages.h"
#include "StrPlaySP_Text.h"

namespace kalvor {
namespace {

using test::SentencesOf;
using test::Tr;
using test::UnitsOf;
using test::Utf;
using Lines = std::vector<std::string>;

struct TextCase {
  std::string_view text;
  Lines expected;
};

TEST(Units, WordsGiveTheirUnitsInOrder) {
  const TextCase kCases[] = {
      {"kitap", {"Kİ", "İTA", "_AP", ""}},
      {"anne", {"A1", "_AN", "NE", "_NE", ""}},  // a closing vowel adds _CV
      {"elma", {"E1", "_EL", "MA", "_MA", ""}},
      {"aile", {"A1", "Aİ", "İLE", "_LE", ""}},
      {"saat", {"SA", "AA", "_AT", ""}},
      {"stres", {"S1", "T1", "RE", "_ES", ""}},  // consonant clusters
      {"a e", {"A1", "AE", "E3", ""}},           // no consonant in the word: V3
      {"O.", {"O2", ""}},                        // a word of one letter
      {"O geldi", {"O1", "OGE", "_EL", "Dİ", "_Dİ", ""}},
      {"Bu bir ev", {"BU", "UBİ", "İRE", "_EV", ""}},
      {"Kitap. Ev!", {"Kİ", "İTA", "_AP", "", "E1", "_EV", ""}},  // a pause after each sentence
  };
  for (const TextCase& c : kCases) EXPECT_EQ(UnitsOf(c.text), c.expected) << c.text;
}

TEST(Units, LongVowelsAreDoubledAgainWhenSpoken) {
  const TextCase kCases[] = {
      {"kanunlar", {"KA", "AA", "ANU", "_UN", "LA", "_AR", ""}},  // KAANUNLAR
      {"ani", {"A1", "AA", "ANİ", "İİ", "_Nİ", ""}},              // AANİİ
      {"dava", {"DA", "AA", "AVA", "AA", "_VA", ""}},             // DAAVAA
      // ELA is lengthened when the sentence is rebuilt and once more when it is spoken.
      {"ela", {"E1", "ELA", "AA", "AA", "_LA", ""}},
  };
  for (const TextCase& c : kCases) EXPECT_EQ(UnitsOf(c.text), c.expected) << c.text;
}

TEST(Sentences, RebuiltAsOneStreamOfLetters) {
  const TextCase kCases[] = {
      {"O geldi.", {".\t OGELDİ"}},  // the space before an O stays
      {"Bu bir ev.", {".\tBUBİREV"}},
      {"Piyano çal.", {".\tPİYANO ÇAL"}},  // and the space after a word-final O
      {"Ahmet'in kitabı", {".\tAHMETİNKİTABI"}},
      {"web quiz", {".\tVEBKUİZ"}},  // lower-case i is the dotted one
      {"istanbul ılık", {".\tİSTANBULILIK"}},
      {"(kısa)", {".\tAÇPARANTEZKISAKAPAPARANTEZ"}},
      {"kâğıt", {".\tKAĞIT"}},  // the circumflex folds away before upper-casing
      {"A: B", {".\tAB"}},      // a colon does not cut
      {"A&B", {".\tAB"}},
  };
  for (const TextCase& c : kCases) EXPECT_EQ(SentencesOf(c.text), c.expected) << c.text;
}

TEST(Sentences, CutAtPunctuationWithTheirKind) {
  const TextCase kCases[] = {
      {"Geldi mi?", {"?\tGELDİMİ"}},
      {"Dur! Bak.", {"!\tDUR", ".\tBAK"}},
      {"A,B", {".\tA", ".\tB"}},  // a comma after a letter cuts
      {"A-B", {".\tA", ".\tB"}},  // so does a hyphen that is no minus sign
      {"bir\niki\r\nüç", {".\tBİR", ".\tİKİ", ".\tÜÇ"}},
      {"\"Evet\" dedi; gitti.", {".\tEVET", ".\tDEDİ", ".\tGİTTİ"}},
      {"...?!", {}},  // no letters, no sentence
      {"", {}},
      {"   \t ", {}},
  };
  for (const TextCase& c : kCases) EXPECT_EQ(SentencesOf(c.text), c.expected) << c.text;
}

TEST(Sentences, NumbersAreReadInPlace) {
  const TextCase kCases[] = {
      {"Saat 3.", {".\tSAAT ÜÇ"}},  // a full stop after a digit does not cut
      {"1, 2, 3", {".\t BİRVİRGÜLİKİVİRGÜLÜÇ"}},
      {"2005. okul", {".\t İKİBİNBEŞOKUL"}},  // two separators together both go
      {"-5 derece", {".\tEKSİ BEŞDERECE"}},
      {"3+4=7", {".\t ÜÇARTI DÖRTEŞİTTİR YEDİ"}},
      {"%50 indirim", {".\tYÜZDE ELLİİNDİRİM"}},
      {"Fiyatı 1.250,75 lira.", {".\tFİYATI BİNİKİYÜZELLİVİRGÜLYETMİŞBEŞLİRA"}},
  };
  for (const TextCase& c : kCases) EXPECT_EQ(SentencesOf(c.text), c.expected) << c.text;
}

TEST(Sentences, LongRunsAreCutAfterAtMost601Characters) {
  // No separator at all: 300 letters, the 301st is lost at the cut, the rest goes on.
  Lines expected = {".\t" + std::string(300, 'B'), ".\t" + std::string(300, 'B'),
                    ".\t" + std::string(398, 'B')};
  EXPECT_EQ(SentencesOf(std::string(1000, 'b')), expected);
  // The cut goes back to the last separator that lies more than 300 characters in.
  std::string text = std::string(400, 'B') + " " + std::string(400, 'C');
  EXPECT_EQ(SentencesOf(text),
            (Lines{".\t" + std::string(400, 'B'), ".\t" + std::string(400, 'C')}));
  // A separator too early is not used; the sentence ends at 300 characters.
  text = std::string(200, 'B') + " " + std::string(500, 'C');
  EXPECT_EQ(SentencesOf(text), (Lines{".\t" + std::string(200, 'B') + std::string(99, 'C'),
                                      ".\t" + std::string(400, 'C')}));
  // A separator at the limit itself is where the sentence ends: 601 characters.
  text = std::string(601, 'B') + " " + std::string(10, 'C');
  EXPECT_EQ(SentencesOf(text),
            (Lines{".\t" + std::string(601, 'B'), ".\t" + std::string(10, 'C')}));
  // Exactly 601 letters to the end of the text fit into one sentence.
  EXPECT_EQ(SentencesOf(std::string(601, 'B')), (Lines{".\t" + std::string(601, 'B')}));
}

TEST(Sentences, ManyShortWordsAreGluedIntoOne) {
  std::string text;
  for (int i = 0; i < 280; ++i) text += "o ";
  auto s = SentencesOf(text);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0], ".\t " + std::string(280, 'O'));
}

TEST(ApplyLongVowels, EveryRowOfTheTable) {
  // Each prefix with its lengthened form; rows 24 and 25 insert before the consonant, as the
  // table has always had them.
  const std::pair<std::string_view, std::string_view> kRows[] = {
      {"KURABİYE", "KURAABİYE"}, {"UDİ", "UUDİ"},         {"ŞUBE", "ŞUUBE"},
      {"ABİ", "AABİ"},           {"ŞAKİR", "ŞAAKİR"},     {"FAİZ", "FAAİZ"},
      {"BAHANE", "BAHAANE"},     {"ŞAHANE", "ŞAHAANE"},   {"HARİKA", "HAARİKA"},
      {"CAMİ", "CAAMİ"},         {"GIDA", "GIDAA"},       {"CAMİA", "CAAMİA"},
      {"FENNİ", "FENNİİ"},       {"MÜBALA", "MÜBAALA"},   {"ASALET", "ASAALET"},
      {"FUKARA", "FUKARAA"},     {"BAKİ", "BAAKİ"},       {"EZELİ", "EZELİİ"},
      {"DAİMİ", "DAAİMİ"},       {"CEZA", "CEZAA"},       {"CAHİL", "CAAHİL"},
      {"CESARET", "CESAARET"},   {"BERABER", "BERAABER"}, {"EMANET", "EAMANET"},
      {"ENAYİ", "EANAYİ"},       {"SANAYİ", "SANAAYİ"},   {"SINAYİ", "SINAAYİ"},
      {"SELAMET", "SELAAMET"},   {"ELA", "ELAA"},         {"REHAVET", "REHAAVET"},
      {"DEHA", "DEHAA"},         {"CEHALET", "CEHAALET"}, {"KEFALET", "KEFAALET"},
      {"SEFALET", "SEFAALET"},   {"EDA", "EDAA"},         {"ŞÜHEDA", "ŞÜHEDAA"},
      {"NEBATİ", "NEBAATİ"},     {"BAZEN", "BAAZEN"},     {"PAZEN", "PAAZEN"},
      {"AZERİ", "AAZERİ"},       {"MAZUR", "MAAZUR"},     {"AZA", "AAZA"},
      {"MAZİ", "MAAZİ"},         {"AYET", "AAYET"},       {"GAYET", "GAAYET"},
      {"BİLADER", "BİLAADER"},   {"AYİN", "AAYİN"},       {"FATİH", "FAATİH"},
      {"BANU", "BAANU"},         {"SADUN", "SAADUN"},     {"KARUN", "KAARUN"},
      {"KANUN", "KAANUN"},       {"ASİ", "AASİ"},         {"KASE", "KAASE"},
      {"KİRA", "KİRAA"},         {"ANİ", "AANİİ"},        {"SANİYE", "SAANİYE"},
      {"KANİ", "KAANİ"},         {"AKİDE", "AKİİDE"},     {"SAKİ", "SAAKİ"},
      {"YAKU", "YAAKU"},         {"ALEM", "AALEM"},       {"AMİN", "AAMİN"},
      {"SAMİMİ", "SAMİİMİ"},     {"LAZIM", "LAAZIM"},     {"DAVA", "DAAVAA"},
      {"İTİLAF", "İİTİLAF"},     {"HALİ", "HAALİ"},       {"AHALİ", "AHAALİ"},
      {"TELİF", "TEELİF"},       {"İMA", "İİMAA"},        {"VEYA", "VEYAA"},
      {"ALET", "AALET"},         {"HAYALET", "HAYAALET"}, {"EYALET", "EYAALET"},
      {"CİNAYET", "CİNAAYET"},   {"DİRAYET", "DİRAAYET"}, {"DAHİ", "DAAHİ"},
      {"AHİ", "AAHİ"},           {"VALİ", "VAALİ"},       {"KAHİ", "KAAHİ"},
      {"DAİ", "DAAİ"},           {"SALİ", "SAALİ"},       {"İTİBAR", "İİTİBAR"},
      {"NİHA", "NİHAA"},         {"KAFİ", "KAAFİ"},       {"TATİ", "TAATİ"},
  };
  TStrPlayer p;
  for (auto [prefix, lengthened] : kRows) {
    TStrPlayerStages::Word(p) = Tr(prefix);
    p.ApplyLongVowels();
    EXPECT_EQ(Utf(p.Word()), lengthened) << prefix;
    // Inflected forms match too: the row is a prefix.
    TStrPlayerStages::Word(p) = Tr(prefix) + "LER";
    p.ApplyLongVowels();
    EXPECT_EQ(Utf(p.Word()), std::string(lengthened) + "LER") << prefix;
  }
  for (std::string_view plain : {"KİTAP", "KA", "", "BAK", "ZZZ"}) {
    TStrPlayerStages::Word(p) = Tr(plain);
    p.ApplyLongVowels();
    EXPECT_EQ(Utf(p.Word()), plain);
  }
}

TEST(FindQuestionWord, MarksTheWordThatCarriesTheQuestion) {
  struct Case {
    std::string_view text;
    std::int32_t mark;
  } const kCases[] = {
      {"Geldi mi?", -1},      // a particle in the first word leaves no mark
      {"Nerede?", 0},         // NE by prefix
      {"Sen neredesin?", 0},  // one word after the rebuild, nothing found: the last word
      {"Saat 5 mi?", 1},      // SAAT BEŞMİ: the particle in the second word
      {"Piyano ne?", 1},      // PİYANO NE: a question word in the second word
      {"Saat 5 oldu?", 1},    // nothing found: the last of two words
      {"Kim 5 aldı?", 0},    {"Niçin?", 0},
  };
  for (const Case& c : kCases) {
    TStrPlayer p;
    p.BeginText(Tr(c.text));
    ASSERT_TRUE(p.NextSentence()) << c.text;
    ASSERT_EQ(p.SentenceKind(), 1) << c.text;
    TStrPlayerStages::QuestionWord(p) = -1;
    p.FindQuestionWord();
    EXPECT_EQ(p.QuestionWord(), c.mark) << c.text << " -> " << Utf(p.Sentence());
    EXPECT_EQ(p.SentencePos(), 0);  // the words are taken again from the start
  }
}

TEST(IsQuestionWord, SuffixesAndPrefixes) {
  struct Case {
    std::string_view word;
    std::int32_t index;
    bool match;
    std::int32_t mark;
  } const kCases[] = {
      {"GELDİMİ", 0, true, -1}, {"GELDİMİ", 2, true, 2}, {"OLDUMU", 1, true, 1},
      {"GÜZELMÜ", 1, true, 1},  {"VARMI", 3, true, 3},   {"NASILSIN", 0, true, 0},
      {"KİMSE", 4, true, 4},    {"NİYE", 1, true, 1},    {"KİTAP", 1, false, -1},
      {"MİLLET", 1, false, -1},
  };
  for (const Case& c : kCases) {
    TStrPlayer p;
    TStrPlayerStages::QuestionWord(p) = -1;
    TStrPlayerStages::Word(p) = Tr(c.word);
    EXPECT_EQ(p.IsQuestionWord(c.index), c.match) << c.word;
    EXPECT_EQ(p.QuestionWord(), c.mark) << c.word;
  }
}

TEST(Stepping, CursorsKeepThePlaceAndEndCleanly) {
  TStrPlayer p;
  p.BeginText(Tr("Kitap. Ev."));
  ASSERT_TRUE(p.NextSentence());
  EXPECT_EQ(p.TextPos(), 6);  // at the full stop that cut it
  ASSERT_TRUE(p.NextWord());
  EXPECT_EQ(Utf(p.Word()), "KİTAP");
  TStrPlayerStages::PrevChar(p) = 0;
  ASSERT_TRUE(p.NextUnit());
  EXPECT_EQ(p.WordPos(), 2);  // KI took two letters
  EXPECT_TRUE(p.Unit2().Empty());
  // The second sentence can be taken before the first one is finished.
  ASSERT_TRUE(p.NextSentence());
  EXPECT_EQ(Utf(p.Sentence()), "EV");
  EXPECT_EQ(p.SentencePos(), 0);
  EXPECT_EQ(p.WordPos(), 0);
  EXPECT_FALSE(p.NextSentence());
  EXPECT_FALSE(p.NextSentence());  // and keeps saying so
  EXPECT_TRUE(p.Sentence().empty());
}

}  // namespace
}  // namespace kalvor
