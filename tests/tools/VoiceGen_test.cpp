// The voice builder and the default voices it makes: every unit the front end can ask for is in
// them, they are the same bytes on every build, their units meet without clicks, and the letters
// reach espeak-ng as the Turkish sounds they stand for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "Carrier.h"
#include "Cp1254.h"
#include "JoinCheck.h"
#include "StrPlaySP.h"
#include "SyntheticVoice.h"
#include "UFonemSP_Format.h"
#include "UnitNames.h"

namespace kalvor::voicegen {
namespace {

namespace fs = std::filesystem;

const fs::path kVoices = KALVOR_VOICES_DIR;
const fs::path kData = KALVOR_TEST_DATA;

std::string ReadText(const fs::path& p, std::size_t limit = std::string::npos) {
  std::ifstream in(p, std::ios::binary);
  std::string s((std::istreambuf_iterator<char>(in)), {});
  if (s.size() > limit) {
    s.resize(limit);
    while (!s.empty() && (static_cast<unsigned char>(s.back()) & 0xC0) == 0x80) s.pop_back();
    if (!s.empty() && static_cast<unsigned char>(s.back()) >= 0xC0) s.pop_back();
  }
  return s;
}

// The unit names the front end yields for a text, in order, empty pauses left out.
std::vector<std::string> UnitsOf(const std::string& utf8) {
  TStrPlayer p;
  std::vector<std::string> names;
  p.SetOnPlaySyl([&](TStrPlayer&, TStr3 syl, std::int32_t&) {
    if (!syl.Empty()) names.push_back(syl.Str());
  });
  p.Speak(Utf8ToCp1254(utf8));
  return names;
}

std::string Show(const std::string& cp1254) {
  return Cp1254ToUtf8(cp1254);
}

TEST(UnitNames, EveryFormOverTheAlphabetOnceAndNothingElse) {
  auto names = AllUnitNames();
  // 22 consonants (X included), 8 vowels: CV, VCV, _VC, VV, V1, C1, X2, _CV, V3.
  EXPECT_EQ(names.size(), 176u + 1408 + 176 + 64 + 8 + 22 + 30 + 176 + 8);
  std::set<std::string> unique(names.begin(), names.end());
  EXPECT_EQ(unique.size(), names.size());
  for (const auto& n : names) {
    auto u = ParseUnitName(n);
    ASSERT_TRUE(u) << Show(n);
    EXPECT_EQ(u->letters.find_first_of("0123_"), std::string::npos) << Show(n);
  }
  // The test helpers list the same names from their own reading of the forms.
  auto theirs = test::AllTurkishUnitNames();
  EXPECT_EQ(unique, std::set<std::string>(theirs.begin(), theirs.end()));
}

TEST(UnitNames, ParsesTheFormsAndRefusesTheRest) {
  struct Case {
    std::string name;
    bool valid;
    UnitForm form;
    std::string letters;
  };
  const std::vector<Case> cases = {
      {"KA", true, UnitForm::CV, "KA"},
      {"\xDDTA", true, UnitForm::VCV, "\xDDTA"},
      {"0TA", true, UnitForm::VCV, "\xDDTA"},  // the stored spelling of İTA
      {"_AP", true, UnitForm::ClosedVC, "AP"},
      {"AE", true, UnitForm::VV, "AE"},
      {"A1", true, UnitForm::V1, "A"},
      {"\xDE\x31", true, UnitForm::C1, "\xDE"},  // Ş1
      {"X2", true, UnitForm::X2, "X"},
      {"A2", true, UnitForm::X2, "A"},
      {"_\xD0U", true, UnitForm::FinalCV, "\xD0U"},  // _ĞU
      {"\xDC\x33", true, UnitForm::V3, "\xDC"},      // Ü3
      {"KAA", false, {}, {}},
      {"K3", false, {}, {}},
      {"_KK", false, {}, {}},
      {"A", false, {}, {}},
      {"", false, {}, {}},
      {"1A", false, {}, {}},
      {"WA", false, {}, {}},  // W and Q are rewritten before the units are formed
      {"QA", false, {}, {}},
      {"ka", false, {}, {}},  // names are upper case
      {"_A1", false, {}, {}},
      {"AKAA", false, {}, {}},
  };
  for (const Case& c : cases) {
    auto u = ParseUnitName(c.name);
    ASSERT_EQ(u.has_value(), c.valid) << Show(c.name);
    if (!u) continue;
    EXPECT_EQ(u->form, c.form) << Show(c.name);
    EXPECT_EQ(u->letters, c.letters) << Show(c.name);
  }
}

TEST(UnitNames, CoverEveryUnitTheFrontEndYieldsForRealText) {
  std::string text = ReadText(kData / "paragraf.txt");
  const fs::path corpus = KALVOR_CORPUS;
  bool haveCorpus = fs::exists(corpus);
  if (haveCorpus) text += "\n" + ReadText(corpus, 100 * 1024);
  auto all = AllUnitNames();
  std::set<std::string> known(all.begin(), all.end()), used;
  for (const auto& n : UnitsOf(text)) {
    EXPECT_TRUE(known.count(n)) << "the front end yields " << Show(n);
    used.insert(n);
  }
  EXPECT_GT(used.size(), haveCorpus ? 700u : 150u);
}

TEST(Carrier, LettersBecomeTheTurkishSoundsOfEspeakNg) {
  // Word -> its phonemes, letter by letter ("|" between letters, "-" for a silent one).
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"GEL", "J|e|l"},  // G and L palatal beside a front vowel
      {"GAL", "g|a|l"},  // and velar beside a back one; the dark L stands only before a back
      {"ALA", "a|L|a"},  // vowel: espeak-ng voices it only as the glide into one
      {"LE", "l|e"},
      {"ARA", "a|*|a"},  // R is a tap between vowels
      {"TAR", "t|a|R"},  // and a trill elsewhere
      {"RT", "R|t"},
      {"DA\xD0", "d|a:|-"},               // DAĞ: Ğ lengthens a back vowel
      {"DE\xD0", "d|e|j"},                // DEĞ: and glides after a front one
      {"\xD0\x41", "-|a"},                // ĞA: silent where no vowel comes before
      {"AXA", "a|k s|a"},                 // X is /ks/
      {"\xC7\x41\x43\xDD", "tS|a|dZ|i"},  // ÇACİ
      {"\xDE\xDCJ\xD6", "S|y|Z|W"},       // ŞÜJÖ
      {"IOU", "@|O|u"},
  };
  for (const auto& [word, expect] : cases) {
    auto ph = PhonemesOf(word);
    std::string got;
    for (std::size_t i = 0; i < ph.size(); ++i) {
      std::string letter;
      for (const auto& p : ph[i]) letter += (letter.empty() ? "" : " ") + p;
      got += (i ? "|" : "") + (letter.empty() ? std::string("-") : letter);
    }
    EXPECT_EQ(got, expect) << Show(word);
  }
}

TEST(Carrier, EachFormIsCutWhereItsNeighboursMeetIt) {
  struct Case {
    std::string unit;
    std::string letters;  // of the carrier
    PointKind start, end;
  };
  using K = PointKind;
  const std::vector<Case> cases = {
      {"KA", "KATA", K::ConsonantStart, K::VowelMiddle},
      {"ATA", "TATATA", K::VowelMiddle, K::VowelMiddle},
      // A stop closing the syllable ends with its closure: the next stop brings the release.
      {"_AP", "TAPTA", K::VowelMiddle, K::ClosureEnd},
      {"_AT", "TATKA", K::VowelMiddle, K::ClosureEnd},  // the follower is never the same stop
      {"_AÇ", "TAÇTA", K::VowelMiddle, K::LetterEnd},   // an affricate keeps its fricative release
      {"_AS", "TASTA", K::VowelMiddle, K::LetterEnd},
      {"AE", "TAETA", K::VowelMiddle, K::VowelMiddle},
      {"A1", "ATA", K::VowelStart, K::VowelMiddle},
      {"S1", "STA", K::ConsonantStart, K::LetterEnd},
      {"_TA", "TATA", K::VowelMiddle, K::SoundEnd},
      {"A3", "TEA", K::VowelMiddle, K::SoundEnd},
  };
  for (const Case& c : cases) {
    Carrier k = MakeCarrier(*ParseUnitName(Utf8ToCp1254(c.unit)));
    EXPECT_EQ(Show(k.letters), c.letters) << c.unit;
    EXPECT_EQ(k.start.kind, c.start) << c.unit;
    EXPECT_EQ(k.end.kind, c.end) << c.unit;
    const std::string ph = k.PhonemeString();
    EXPECT_EQ(std::count(ph.begin(), ph.end(), '\''), 1) << c.unit << ": one stressed vowel";
  }
  Carrier x2 = MakeCarrier(*ParseUnitName("\xD0\x32"));  // Ğ2: the letter's name, read as text
  EXPECT_EQ(x2.text, "\xC4\x9F");
}

// 16-bit samples as a unit's bytes: n samples of value v.
void Put(std::vector<std::uint8_t>& b, std::size_t n, std::int16_t v) {
  for (std::size_t i = 0; i < n; ++i) {
    b.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) & 0xFF));
    b.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8));
  }
}
std::vector<std::uint8_t> Unit(std::initializer_list<std::pair<double, std::int16_t>> parts) {
  std::vector<std::uint8_t> b;
  for (auto [ms, v] : parts) Put(b, static_cast<std::size_t>(ms * 16), v);
  return b;
}

// The tail check finds a click after a gap at a unit's end, and only that: a stop's own closure
// and burst, a closure at the start and a short dip are no tails.
TEST(JoinMeasures, TailsAreSilenceThenAFragmentAtTheEnd) {
  test::TempDir dir;
  test::SyntheticVoice v(2);
  v.Add("_AT", Unit({{40, 3000}, {45, 0}, {0.5, 900}}));        // the click after a gap
  v.Add("_ET", Unit({{40, 3000}, {45, 0}, {3, 900}, {2, 0}}));  // one with silence behind it
  v.Add("_AP", Unit({{40, 3000}, {32, 0}, {14, 900}}));         // vowel, closure, burst
  v.Add("T1", Unit({{30, 0}, {40, 900}}));                      // closure, burst
  v.Add("_AK", Unit({{40, 3000}, {32, 0}}));                    // unreleased
  v.Add("_AS", Unit({{40, 3000}, {5, 0}, {2, 900}, {3, 0}, {2, 900}}));  // dips, no gap
  TailReport r = CheckTails(v.WriteTo(dir.Path()));
  EXPECT_EQ(r.units, 6u);
  EXPECT_EQ(r.tails, (std::vector<std::string>{"_AT", "_ET"}));
}

// Releases are the onsets after a closure of 25 ms or more, not counting the word's start.
TEST(JoinMeasures, ReleasesAreOnsetsAfterAClosureInsideTheWord) {
  test::TempDir dir;
  test::SyntheticVoice v(2);
  // ATTA as the front end cuts it: A1 _AT TA _TA.
  v.Add("A1", Unit({{40, 3000}}));
  v.Add("_AT", Unit({{40, 3000}, {30, 0}, {20, 900}}));  // released
  v.Add("TA", Unit({{30, 0}, {20, 900}, {40, 3000}}));
  v.Add("_TA", Unit({{40, 3000}}));
  // TAKA: TA AKA _KA, a velar burst pausing 16 ms before its vowel is one release.
  v.Add("AKA", Unit({{40, 3000}, {30, 0}, {20, 900}, {16, 0}, {40, 3000}}));
  v.Add("_KA", Unit({{40, 3000}}));
  auto counts = CountReleases(v.WriteTo(dir.Path()), {"ATTA", "TAKA", "A"});
  ASSERT_EQ(counts.size(), 3u);
  EXPECT_EQ(counts[0].releases, 2);  // the one release too many that the default voices mend
  EXPECT_EQ(counts[1].releases, 1);  // the word-initial stop does not count
  EXPECT_EQ(counts[2].releases, 0);
  EXPECT_EQ(FormatReleases(counts), "stop releases per word: ATTA 2 TAKA 1 A 0; 1.00 per word\n");
}

// The default voices as the build made them.
class DefaultVoice : public testing::TestWithParam<const char*> {
 protected:
  fs::path Path() const { return kVoices / GetParam(); }
};

TEST_P(DefaultVoice, HoldsEveryUnitWithSoundAndNoClipping) {
  SpeechDataFile f(Path());
  SpeechDataTable t = ReadSpeechDataTable(f);
  ASSERT_EQ(t.sampleWidth, 2);
  std::set<std::string> want;
  for (const auto& n : AllUnitNames()) want.insert(StoredUnitName(n));
  std::set<std::string> have;
  for (const auto& e : t.entries) {
    EXPECT_TRUE(have.insert(e.name).second) << "twice: " << e.name;
    auto s = ReadEntrySamples(f, e);
    auto u = ParseUnitName(e.name);
    ASSERT_TRUE(u) << e.name;
    const double ms = static_cast<double>(s.size()) / 2 / 16.0;
    if (e.name == "\xD0\x31") {  // Ğ1: a soft g between consonants has no sound of its own
      EXPECT_EQ(s.size(), 0u);
      continue;
    }
    EXPECT_GE(ms, 15) << e.name;
    EXPECT_LE(ms, u->form == UnitForm::X2 ? 1500 : 600) << e.name;
    int peak = 0;
    for (std::size_t i = 0; i + 1 < s.size(); i += 2)
      peak = std::max(peak, std::abs(static_cast<std::int16_t>(s[i] | (s[i + 1] << 8))));
    EXPECT_LT(peak, 32767) << e.name;
    EXPECT_GT(peak, 500) << e.name;
  }
  EXPECT_EQ(have, want);
}

TEST_P(DefaultVoice, UnitsMeetInVowelsAtTheSameLevelAndPhase) {
  SpeechDataFile f(Path());
  SpeechDataTable t = ReadSpeechDataTable(f);
  std::vector<double> startRms, endRms;
  for (const auto& e : t.entries) {
    auto u = ParseUnitName(e.name);
    auto b = ReadEntrySamples(f, e);
    std::vector<double> s;
    for (std::size_t i = 0; i + 1 < b.size(); i += 2)
      s.push_back(static_cast<std::int16_t>(b[i] | (b[i + 1] << 8)));
    if (s.size() < 400) continue;
    auto rms = [](auto from, auto to) {
      double a = 0;
      for (auto it = from; it != to; ++it) a += *it * *it;
      return std::sqrt(a / static_cast<double>(to - from));
    };
    const bool startsMid = u->form == UnitForm::VCV || u->form == UnitForm::VV ||
                           u->form == UnitForm::ClosedVC || u->form == UnitForm::FinalCV ||
                           u->form == UnitForm::V3;
    const bool endsMid = u->form == UnitForm::CV || u->form == UnitForm::VCV ||
                         u->form == UnitForm::VV || u->form == UnitForm::V1;
    // Cut on a rising zero crossing: a unit that starts in a vowel starts at or above zero, one
    // that ends in a vowel ends below it (or on a zero that rounding made of a small negative).
    if (startsMid) {
      EXPECT_GE(s.front(), 0) << e.name;
      startRms.push_back(rms(s.begin(), s.begin() + 200));
    }
    if (endsMid) {
      EXPECT_LE(s.back(), 0) << e.name;
      endRms.push_back(rms(s.end() - 200, s.end()));
    }
  }
  // Levels where units meet: the middle 90 % of both sides within a few dB of each other.
  auto spread = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return std::pair{v[v.size() / 20], v[v.size() - 1 - v.size() / 20]};
  };
  auto [s0, s1] = spread(startRms);
  auto [e0, e1] = spread(endRms);
  const double lo = std::min(s0, e0), hi = std::max(s1, e1);
  EXPECT_LT(20 * std::log10(hi / lo), 6.0) << "vowel levels at joins from " << lo << " to " << hi;
}

TEST_P(DefaultVoice, JoinsAreNoRougherThanTheSpeechInsideUnits) {
  JoinReport r = CheckJoins(Path(), Utf8ToCp1254(ReadText(kData / "paragraf.txt")));
  std::cout << GetParam() << ": " << FormatJoinReport(r);
  ASSERT_GT(r.joins.count, 200u);
  // A click is a jump that speech itself seldom makes: most joins must stay within what the
  // inside of units does 99 times out of 100, and none may exceed the largest jump inside.
  EXPECT_LE(r.joins.p95, r.inside.p99);
  EXPECT_LE(r.vowelJoins.p95, r.inside.p99);
  EXPECT_LE(r.joins.max, r.inside.max);
}

// No unit ends in a click after a gap, and a doubled stop after a vowel is one closure and one
// release, as espeak-ng speaks it.
TEST_P(DefaultVoice, CleanUnitEndsAndOneReleasePerDoubledStop) {
  TailReport tails = CheckTails(Path());
  EXPECT_GT(tails.units, 2000u);
  EXPECT_TRUE(tails.tails.empty()) << Show(FormatTailReport(tails));
  for (const ReleaseCount& c : CountReleases(Path(), DoubledStopWords()))
    EXPECT_EQ(c.releases, 1) << Show(c.word);
  // A stop that ends a word is unreleased now; the stop that ends the syllable before it still
  // has its own: kitap has the t of İTA only, kitapta one more for its pt.
  auto counts = CountReleases(Path(), {"K\xDDTAP", "K\xDDTAPTA"});
  EXPECT_EQ(counts[0].releases, 1);
  EXPECT_EQ(counts[1].releases, 2);
}

TEST_P(DefaultVoice, IsTheSameBytesWhenMadeAgain) {
  const std::string voice = std::string(GetParam()) == "ORVDAT1.SPD" ? "male" : "female";
  test::TempDir dir;
  const fs::path again = dir / "again.spd";
  const std::string cmd = std::string("\"") + KALVOR_VOICEGEN + "\" -q --voice " + voice +
                          " -o \"" + again.string() + "\"";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  std::ifstream a(Path(), std::ios::binary), b(again, std::ios::binary);
  std::string x((std::istreambuf_iterator<char>(a)), {}),
      y((std::istreambuf_iterator<char>(b)), {});
  EXPECT_EQ(x.size(), y.size());
  EXPECT_TRUE(x == y) << "the voice differs when made again";
}

INSTANTIATE_TEST_SUITE_P(MaleAndFemale, DefaultVoice,
                         testing::Values("ORVDAT1.SPD", "ORVDAT2.SPD"));

}  // namespace
}  // namespace kalvor::voicegen
