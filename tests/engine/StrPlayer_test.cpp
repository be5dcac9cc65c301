// The synthesis driver on synthetic voices: the exact events and bytes a handler is given, the
// pause after each sentence, the ways speaking ends (stop request, failure code, exception) and
// speaking on after a pause.
#include "StrPlaySP.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "StrPlaySP_Stages.h"
#include "SyntheticVoice.h"

namespace kalvor {

namespace {

using test::SyntheticVoice;
using test::TempDir;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005);

// Windows-1254 unit names of the example texts; "\xDD" is the dotted capital I.
const std::string KI = "K\xDD", ITA = "\xDDTA";

struct Event {
  std::string name;  // empty for a pause
  Bytes data;
  bool operator==(const Event&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Event& e) {
  return os << "{" << (e.name.empty() ? "pause" : e.name) << ", " << e.data.size() << " bytes}";
}

// A player on a synthetic voice that records every event and every end of data.
struct Rig {
  explicit Rig(const SyntheticVoice& v) : voice(v) {
    player.LoadData(voice.WriteTo(dir.Path()));
    player.SetOnPlaySyl([this](TStrPlayer& p, TStr3 syl, std::int32_t& hres) {
      EXPECT_EQ(&p, &player);
      EXPECT_EQ(p.OutputStream().Position(), p.OutputStream().Size());
      events.push_back({syl.Str(), p.OutputStream().Bytes()});
      if (onEvent) onEvent(syl.Str(), hres);
    });
    player.SetOnEndOfData([this](TStrPlayer& p) {
      EXPECT_EQ(&p, &player);
      ++ends;
    });
  }
  Event Unit(const std::string& name) const { return {name, voice.At100(name)}; }
  Event Pause(std::int32_t n) const {
    std::size_t w = player.DataSize();
    return {"", Bytes(static_cast<std::size_t>(n) * 8 * w * w, w == 1 ? 128 : 0)};
  }

  TempDir dir;
  SyntheticVoice voice;
  TStrPlayer player;
  std::vector<Event> events;
  int ends = 0;
  std::function<void(const std::string&, std::int32_t&)> onEvent;
};

SyntheticVoice Everything(std::uint8_t width = 2) {
  return SyntheticVoice::Covering(test::AllTurkishUnitNames(), width, 3);
}

TEST(StrPlayer, DefaultsAndLoadData) {
  TStrPlayer p;
  EXPECT_EQ(p.Hiz(), 100);
  EXPECT_EQ(p.KelimeArasiBekleme(), 150);
  EXPECT_EQ(p.Efekt(), 0);
  EXPECT_EQ(p.DataSize(), 0);
  EXPECT_FALSE(p.Paused());
  EXPECT_EQ(TStrPlayerStages::State(p), 0);

  TempDir dir;
  SyntheticVoice eight(1);
  eight.Add("KA", 2);
  p.LoadData(eight.WriteTo(dir.Path(), "eight.spd"));
  EXPECT_EQ(p.DataSize(), 1);
  test::WriteFile(dir / "bad.spd", Bytes{'K', 'a', 'l', 'v', 'o', 'r', 2, 0, 2});
  try {
    p.LoadData(dir / "bad.spd");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Version mismatch!");
  }
  EXPECT_EQ(p.DataSize(), 1);  // a failed load leaves it
}

TEST(StrPlayer, TextWithoutSentencesEndsAtOnce) {
  for (const char* text : {"", "   ", "\t\r\n \x01\x1F", "...", " ?! "}) {
    Rig r(Everything());
    EXPECT_EQ(r.player.Speak(text), 0) << text;
    EXPECT_TRUE(r.events.empty()) << text;
    EXPECT_EQ(r.ends, 1) << text;
  }
}

TEST(StrPlayer, OneSentenceGivesItsUnitsThenThePause) {
  Rig r(Everything());
  EXPECT_EQ(r.player.Speak("  kitap.  "), 0);
  std::vector<Event> want = {r.Unit(KI), r.Unit(ITA), r.Unit("_AP"), r.Pause(300)};
  EXPECT_EQ(r.events, want);
  EXPECT_EQ(r.events.back().data.size(), 9600u);  // 4800 samples: 300 ms at 16000 Hz
  EXPECT_EQ(r.ends, 1);
  EXPECT_EQ(TStrPlayerStages::State(r.player), 0);
}

TEST(StrPlayer, TwoNameStepReportsBothEachWithItsOwnSamples) {
  Rig r(Everything());
  r.player.Speak("ANNE.");
  std::vector<Event> want = {r.Unit("A1"), r.Unit("_AN"), r.Unit("NE"), r.Unit("_NE"),
                             r.Pause(300)};
  EXPECT_EQ(r.events, want);
}

TEST(StrPlayer, MissingUnitGivesAnEmptyBatchAndSpeakingGoesOn) {
  SyntheticVoice v(2);
  v.Add("K0", 4).Add("_AP", 5);  // no "İTA"
  Rig r(v);
  r.player.Speak("K\xDDTAP. K\xDDTAP.");
  Event ki = r.Unit(KI), gap = {ITA, {}}, ap = r.Unit("_AP"), pause = r.Pause(300);
  std::vector<Event> want = {ki, gap, ap, pause, ki, gap, ap, pause};
  EXPECT_EQ(r.events, want);
  EXPECT_EQ(r.ends, 1);
}

// Units at the rate Hiz, the pause 3 x Hiz x 8 samples, for both sample widths.
TEST(StrPlayer, RateAndPauseFollowHizForBothWidths) {
  struct Case {
    std::uint8_t width;
    std::int32_t hiz;
    std::vector<std::size_t> indices;  // of a 10-sample unit
    std::size_t pauseBytes;
  } cases[] = {
      {2, 100, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 9600},
      {2, 200, {0, 2, 4, 6, 8}, 19200},
      {2, 50, {0, 0, 1, 2, 2, 2, 3, 4, 4, 4, 5, 6, 6, 6, 7, 8, 8, 8, 9}, 4800},
      {1, 100, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 2400},
      {1, 200, {0, 2, 4, 6, 8}, 4800},
      // Hiz 0 speaks the units at the lowest speaking rate; the pause follows Hiz itself.
      {1,
       0,
       {0, 0, 0, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 4, 4, 4, 4, 4,
        5, 5, 5, 6, 6, 6, 6, 6, 7, 7, 7, 8, 8, 8, 8, 8, 9, 9, 9},
       0},
  };
  for (const auto& c : cases) {
    SyntheticVoice v(c.width);
    v.Add("K0", 10).Add("0TA", 10).Add("_AP", 10);
    Rig r(v);
    r.player.SetHiz(c.hiz);
    r.player.Speak("K\xDDTAP.");
    EXPECT_EQ(r.player.Hiz(), c.hiz);  // what was set, whatever rate the units were played at
    ASSERT_EQ(r.events.size(), 4u);
    EXPECT_EQ(r.events[0].data, v.Pick(KI, c.indices)) << int(c.width) << " " << c.hiz;
    EXPECT_EQ(r.events[2].data, v.Pick("_AP", c.indices)) << int(c.width) << " " << c.hiz;
    EXPECT_EQ(r.events[3], (Event{"", Bytes(c.pauseBytes, c.width == 1 ? 128 : 0)}))
        << int(c.width) << " " << c.hiz;
  }
}

// Hiz is read at every emission; KelimeArasiBekleme and Efekt are only stored.
TEST(StrPlayer, HizChangedWhileSpeakingAppliesFromTheNextUnit) {
  SyntheticVoice v(2);
  v.Add("K0", 10).Add("0TA", 10).Add("_AP", 10);
  Rig r(v);
  r.player.SetKelimeArasiBekleme(0);
  r.player.SetEfekt(77);
  r.onEvent = [&](const std::string& name, std::int32_t&) {
    if (name == KI) r.player.SetHiz(200);
  };
  r.player.Speak("K\xDDTAP.");
  ASSERT_EQ(r.events.size(), 4u);
  EXPECT_EQ(r.events[0].data, v.At100(KI));
  EXPECT_EQ(r.events[1].data, v.Pick(ITA, {0, 2, 4, 6, 8}));
  EXPECT_EQ(r.events[3].data.size(), 600u * 8 * 2 * 2);
}

// A failure code ends the unit steps of the sentence; the sentence's pause still comes, and the
// value the handler leaves there decides whether the next sentence is spoken.
TEST(StrPlayer, FailureCodeStopsAtTheNextTest) {
  struct Case {
    const char* what;
    std::string failAt;              // the event at which the handler stores kFail
    std::int32_t atPause;            // what it stores at the pause after that
    std::vector<std::string> names;  // "" = pause
    std::int32_t result;
  } cases[] = {
      {"code kept", ITA, kFail, {KI, ITA, ""}, kFail},
      {"code cleared at the pause", ITA, 0, {KI, ITA, "", "A1", "_AN", "NE", "_NE", ""}, 0},
      // Both names of one step are reported even when the first returned a failure.
      {"first of two names",
       "NE",
       kFail,
       {KI, ITA, "_AP", "", "A1", "_AN", "NE", "_NE", ""},
       kFail},
      {"cleared at the last pause",
       "_NE",
       0,
       {KI, ITA, "_AP", "", "A1", "_AN", "NE", "_NE", ""},
       0},
  };
  for (const auto& c : cases) {
    Rig r(Everything());
    bool failed = false;
    r.onEvent = [&](const std::string& name, std::int32_t& hres) {
      if (name == c.failAt && !failed) {
        failed = true;
        hres = kFail;
      } else if (failed && name.empty()) {
        hres = c.atPause;
      }
    };
    EXPECT_EQ(r.player.Speak("K\xDDTAP. ANNE."), c.result) << c.what;
    std::vector<std::string> got;
    for (const auto& e : r.events) got.push_back(e.name);
    EXPECT_EQ(got, c.names) << c.what;
    EXPECT_EQ(r.ends, 1) << c.what;
    // The next Speak starts afresh.
    r.events.clear();
    r.onEvent = nullptr;
    EXPECT_EQ(r.player.Speak("ANNE."), 0) << c.what;
    EXPECT_EQ(r.events.size(), 5u) << c.what;
  }
}

TEST(StrPlayer, StopFromAHandlerEndsAfterTheSentencePause) {
  Rig r(Everything());
  r.onEvent = [&](const std::string& name, std::int32_t&) {
    if (name == ITA) r.player.Stop();
  };
  EXPECT_EQ(r.player.Speak("K\xDDTAP. ANNE."), 0);
  std::vector<Event> want = {r.Unit(KI), r.Unit(ITA), r.Pause(300)};
  EXPECT_EQ(r.events, want);
  EXPECT_EQ(r.ends, 1);
  r.events.clear();
  r.onEvent = nullptr;
  r.player.Speak("ANNE.");  // the stop request does not outlive its Speak
  EXPECT_EQ(r.events.size(), 5u);
}

// Without a handler nothing is fetched: a voice whose every unit points outside its file would
// otherwise throw.
TEST(StrPlayer, WithoutHandlerNothingIsReadAndEndOfDataStillFires) {
  TempDir dir;
  test::WriteFile(dir / "v.spd", test::RawSpeechData(2, 1, {{"K0", 1000, 10}}));
  TStrPlayer p;
  p.LoadData(dir / "v.spd");
  int ends = 0;
  p.SetOnEndOfData([&](TStrPlayer&) { ++ends; });
  EXPECT_EQ(p.Speak("K\xDDTAP. ANNE."), 0);
  EXPECT_EQ(ends, 1);
}

// A unit that cannot be read ends Speak with the read error: state idle, no end of data, and the
// player speaks the next text normally.
TEST(StrPlayer, UnreadableUnitEndsSpeakWithTheException) {
  TempDir dir;
  int base = kalvor::spd::kHeaderSize + 2 * kalvor::spd::kEntrySize;
  test::WriteFile(dir / "v.spd",
                  test::RawSpeechData(2, 2, {{"K0", base, 4}, {"0TA", base, 400}}, {1, 0, 2, 0}));
  TStrPlayer p;
  p.LoadData(dir / "v.spd");
  std::vector<std::string> names;
  int ends = 0;
  p.SetOnPlaySyl([&](TStrPlayer&, TStr3 s, std::int32_t&) { names.push_back(s.Str()); });
  p.SetOnEndOfData([&](TStrPlayer&) { ++ends; });
  try {
    p.Speak("K\xDDTAP.");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
  EXPECT_EQ(names, std::vector<std::string>{KI});
  EXPECT_EQ(ends, 0);
  EXPECT_EQ(TStrPlayerStages::State(p), 0);
  names.clear();
  EXPECT_EQ(p.Speak("K\xDDM."), 0);
  EXPECT_EQ(ends, 1);
}

TEST(StrPlayer, ResumeWhenNotPausedDoesNothing) {
  Rig r(Everything());
  EXPECT_EQ(r.player.Resume(), 0);
  EXPECT_TRUE(r.events.empty());
  EXPECT_EQ(r.ends, 0);
}

// Paused in the middle of a word, speaking goes on from the next unit of that word, with the
// intonation of a resumed text: the first two words of a statement 3 points faster, a short pause
// after every word, 3 times that after every sentence.
TEST(StrPlayer, ResumeGoesOnWhereThePauseLeftOff) {
  SyntheticVoice v(2);
  for (const char* n : {"K0", "0TA", "_AP", "A1", "_AN", "NE", "_NE"}) v.Add(n, 10);
  Rig r(v);
  r.onEvent = [&](const std::string& name, std::int32_t&) {
    if (name == ITA) TStrPlayerStages::Pause(r.player);
  };
  EXPECT_EQ(r.player.Speak("K\xDDTAP. ANNE."), 0);
  EXPECT_TRUE(r.player.Paused());
  EXPECT_EQ(r.ends, 0);  // a paused text has not ended
  std::vector<Event> want = {r.Unit(KI), r.Unit(ITA), r.Pause(300)};
  EXPECT_EQ(r.events, want);

  r.events.clear();
  r.onEvent = nullptr;
  EXPECT_EQ(r.player.Resume(), 0);
  EXPECT_FALSE(r.player.Paused());
  auto at103 = [&](const std::string& n) {
    return Event{n, v.Pick(n, {0, 1, 2, 3, 4, 5, 6, 7, 8})};
  };
  want = {at103("_AP"), r.Pause(103), r.Pause(309), at103("A1"), at103("_AN"),
          at103("NE"),  at103("_NE"), r.Pause(103), r.Pause(309)};
  EXPECT_EQ(r.events, want);
  EXPECT_EQ(r.ends, 1);
  EXPECT_EQ(TStrPlayerStages::State(r.player), 0);
}

// ---------------------------------------------------------------------------------------------
// Cues: places in the text where the owner acts (a tagged text's marks, pauses, rate changes).

// Each event as the journal shows it, and "#k" where cue k fired.
std::vector<std::string> Journal(Rig& r, std::string_view text,
                                 const std::vector<std::size_t>& cues,
                                 const TStrPlayer::TCueEvent& also = {}) {
  std::vector<std::string> journal;
  r.onEvent = [&](const std::string& name, std::int32_t&) {
    journal.push_back(name.empty() ? "pause" : name);
  };
  r.player.Speak(text, cues, [&](TStrPlayer& p, std::size_t k) {
    journal.push_back("#" + std::to_string(k));
    if (also) also(p, k);
  });
  r.onEvent = nullptr;
  return journal;
}

// A cue at every byte of texts with numbers, signs, questions and long vowels: the speech stays
// byte for byte that of the text alone, and every cue fires once, in order.
TEST(StrPlayerCues, SpeechIsUnchangedAndEveryCueFiresOnceInOrder) {
  const SyntheticVoice v = Everything();
  for (const char* text :
       {"Ali geldi. Ay\xFE"
        "e gitti.",
        "Saat 10:30'da 2.500 ki\xFEi geldi mi?", "3+4=7 %5 -2 (kurabiye)!", "  bir  ", "", "..."}) {
    SCOPED_TRACE(text);
    Rig plain(v);
    plain.player.Speak(text);
    const std::string t = text;
    std::vector<std::size_t> cues;
    for (std::size_t i = 0; i <= t.size(); ++i) cues.push_back(i);
    Rig r(v);
    std::vector<std::size_t> fired;
    r.player.Speak(t, cues, [&](TStrPlayer&, std::size_t k) { fired.push_back(k); });
    EXPECT_EQ(r.events, plain.events);
    EXPECT_EQ(r.ends, 1);
    std::vector<std::size_t> all(cues.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    EXPECT_EQ(fired, all);
  }
}

// A cue fires right before the first unit that holds a letter after it; one between sentences
// after the first sentence's pause; one behind the last letter after all of the audio.
TEST(StrPlayerCues, CuesFireWhereTheirTextIsSpoken) {
  Rig r(Everything());
  const std::string text =
      "Ali geldi. Ay\xFE"
      "e gitti.";
  const std::vector<std::string> j = Journal(r, text, {0, 4, 11, text.size()});
  const std::vector<std::string> head = {"#0", "A1", "AL\xDD", "#1", "\xDDGE"};
  ASSERT_GE(j.size(), head.size());
  EXPECT_EQ(std::vector<std::string>(j.begin(), j.begin() + 5), head);
  const auto firstPause = std::find(j.begin(), j.end(), "pause");
  ASSERT_NE(firstPause, j.end());
  EXPECT_EQ(*(firstPause + 1), "#2");
  EXPECT_EQ(j.back(), "#3");
  EXPECT_EQ(j[j.size() - 2], "pause");
}

// A handler may change the rate, which the units after the cue take, and add a pause there.
TEST(StrPlayerCues, HandlerChangesTheRateAndAddsAPause) {
  const SyntheticVoice v = Everything();
  Rig at100(v), at200(v), r(v);
  at100.player.Speak("Ali geldi.");
  at200.player.SetHiz(200);
  at200.player.Speak("Ali geldi.");
  r.player.Speak("Ali geldi.", {4}, [](TStrPlayer& p, std::size_t) {
    p.SetHiz(200);
    p.EmitPause(50);
  });
  ASSERT_EQ(at100.events.size(), at200.events.size());
  ASSERT_EQ(r.events.size(), at100.events.size() + 1);
  // Two units before the cue at the voice's rate, the pause, the rest at rate 200.
  std::vector<Event> want(at100.events.begin(), at100.events.begin() + 2);
  want.push_back(r.Pause(50));
  want.insert(want.end(), at200.events.begin() + 2, at200.events.end());
  EXPECT_EQ(r.events, want);
}

// A text that is stopped does not fire the cues it did not reach.
TEST(StrPlayerCues, StoppedTextLeavesTheRestUnfired) {
  Rig r(Everything());
  std::vector<std::size_t> fired;
  r.onEvent = [&](const std::string& name, std::int32_t&) {
    if (name == "A1") r.player.Stop();
  };
  r.player.Speak(
      "Ali geldi. Ay\xFE"
      "e gitti.",
      {0, 11, 22}, [&](TStrPlayer&, std::size_t k) { fired.push_back(k); });
  EXPECT_EQ(fired, std::vector<std::size_t>{0});
  EXPECT_EQ(r.ends, 1);
}

}  // namespace
}  // namespace kalvor
