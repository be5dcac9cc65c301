// The mode's speaking queue: what reaches the audio destination and the buffer sink for a text,
// pause, resume and reset from the client's message handlers, the destination's limits and
// failures, and the references the mode holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ModeFixture.h"
#include "EngineModule.h"

namespace kalvor::test {
namespace {

constexpr wchar_t kFourSentencesW[] =
    L"Bir. \u0130ki \u00FC\u00E7. D\u00F6rt be\u015F. Alt\u0131 yedi sekiz.";
constexpr char kFourSentences[] = "Bir. \xDDki \xFC\xE7. D\xF6rt be\xFE. Alt\xFD yedi sekiz.";

std::size_t CountOf(const std::vector<std::string>& v, const std::string& s) {
  return static_cast<std::size_t>(std::count(v.begin(), v.end(), s));
}

// Index of the first occurrence of s at or after from, or npos.
std::size_t IndexOf(const std::vector<std::string>& v, const std::string& s, std::size_t from = 0) {
  for (std::size_t i = from; i < v.size(); ++i)
    if (v[i] == s) return i;
  return std::string::npos;
}

void ExpectMarks(const std::vector<FakeAudioDest::Mark>& got,
                 const std::vector<FakeAudioDest::Mark>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].id, want[i].id) << "mark " << i;
    EXPECT_EQ(got[i].position, want[i].position) << "mark " << i;
  }
}

// A newer text that took over from an older one, given from a handler when writtenBefore bytes
// had been written: from there on the destination holds the newer text's audio, each text ended
// once, the older one before the newer started and the newer one last, the device is given back and
// each sink holds only the test's reference, which goes now.
void ExpectTakenOver(const FakeAudioDest& fake, const std::vector<std::uint8_t>& newerAudio,
                     const std::vector<std::string>& journal, std::size_t writtenBefore,
                     RecordingBufSink* older, RecordingBufSink* newer) {
  const std::vector<std::uint8_t> all = fake.Written();
  EXPECT_EQ(std::vector<std::uint8_t>(all.begin() + static_cast<std::ptrdiff_t>(writtenBefore),
                                      all.end()),
            newerAudio);
  EXPECT_EQ(CountOf(older->events, "Done 0"), 1u);
  EXPECT_EQ(CountOf(newer->events, "Done 0"), 1u);
  EXPECT_LT(IndexOf(journal, older->name + " Done 0"), IndexOf(journal, newer->name + " Started"));
  EXPECT_EQ(journal.back(), newer->name + " Done 0");
  EXPECT_FALSE(fake.Claimed());
  EXPECT_EQ(older->RefCount(), 1);
  EXPECT_EQ(newer->RefCount(), 1);
  older->Release();
  newer->Release();
}

// Posts call to the handler window ms from now, from a thread of its own: a user acting a while
// later, while the mode is inside its text.
std::thread PostLater(const HandlerWindow& handler, DWORD ms, std::function<void()> call) {
  return std::thread([&handler, ms, call = std::move(call)] {
    Sleep(ms);
    handler.Post(call);
  });
}

// The pace that makes the mode wait for room once per sentence: the pause of a sentence (9600
// bytes) fills the device, and the next one fits only once the device has played it.
void WaitOncePerSentence(FakeAudioDest& fake) {
  fake.config.capacity = 9700;
  fake.config.bytesPerMs = 2000;
}

// ---------------------------------------------------------------------------------------------

TEST_F(ModeTest, AnnouncesSixteenBitMonoAt16000) {
  const std::vector<std::uint8_t> f = fake->WaveFormat();
  ASSERT_EQ(f.size(), 18u);
  WAVEFORMATEX w;
  std::memcpy(&w, f.data(), sizeof w);
  EXPECT_EQ(w.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(w.nChannels, 1);
  EXPECT_EQ(w.nSamplesPerSec, 16000u);
  EXPECT_EQ(w.nAvgBytesPerSec, 32000u);
  EXPECT_EQ(w.nBlockAlign, 2);
  EXPECT_EQ(w.wBitsPerSample, 16);
  EXPECT_EQ(w.cbSize, 0);
}

// The destination receives exactly what the synthesizer makes of the text, in Windows-1254
// whatever the system's code page, at the rate the pitch selects, with the letters' bookmarks
// around each unit (as for kTwoSentencesMarks: the first two letters of a unit before its samples,
// the third after them, at the bytes written before the mark; in the units below, * stands for
// 0xDD, the dotted capital I, $ for 0xDE, + for 0xDC).
TEST_F(ModeTest, AudioAndBookmarksAreTheSynthesizersOutput) {
  struct Case {
    const wchar_t* w;
    const char* cp1254;
    WORD pitch;
    std::int32_t hiz;
    std::vector<FakeAudioDest::Mark> marks;
  };
  const Case cases[] = {
      {kTwoSentencesW, kTwoSentences, 128, 100, kTwoSentencesMarks},
      // Units $* _*$ L* *DE EG+ +ZE _EL B* *RI ILI IK% _%& LE _LE, a pause, NE EG+ +ZE _EL and a
      // pause ($ 0xDE, * 0xDD, + 0xDC, % 0xD6, & 0xD0).
      {L"\u015Ei\u015Fli'de g\u00FCzel bir \u0131l\u0131k \u00F6\u011Fle. Ne g\u00FCzel!",
       "\xDEi\xFEli'de g\xFCzel bir \xFDl\xFDk \xF6\xF0le. Ne g\xFCzel!",
       64,
       50,
       {{0xDE, 0},   {0xDD, 0},   {0xDD, 20},  {0xDE, 20},   {'L', 32},    {0xDD, 32},  {0xDD, 52},
        {'D', 52},   {'E', 72},   {'E', 72},   {'G', 72},    {0xDC, 84},   {0xDC, 84},  {'Z', 84},
        {'E', 104},  {'E', 104},  {'L', 104},  {'B', 124},   {0xDD, 124},  {0xDD, 144}, {'R', 144},
        {'I', 166},  {'I', 166},  {'L', 166},  {'I', 188},   {'I', 188},   {'K', 188},  {0xD6, 208},
        {0xD6, 208}, {0xD0, 208}, {'L', 228},  {'E', 228},   {'L', 240},   {'E', 240},  {'N', 5054},
        {'E', 5054}, {'E', 5066}, {'G', 5066}, {0xDC, 5078}, {0xDC, 5078}, {'Z', 5078}, {'E', 5098},
        {'E', 5098}, {'L', 5098}}},
      // Units SA AA _AT B* *NO OTU _UZ DA _DA *1 *K* *B* _*N BE _E$ Y+ _+Z K* *$* *GE _EL D* *M*
      // _M* and a pause.
      {L"Saat 10:30'da 2.500 ki\u015Fi geldi mi?",
       "Saat 10:30'da 2.500 ki\xFEi geldi mi?",
       255,
       199,
       {{'S', 0},    {'A', 0},    {'A', 4},   {'A', 4},    {'A', 8},   {'T', 8},   {'B', 14},
        {0xDD, 14},  {0xDD, 20},  {'N', 20},  {'O', 24},   {'O', 24},  {'T', 24},  {'U', 30},
        {'U', 30},   {'Z', 30},   {'D', 34},  {'A', 34},   {'D', 38},  {'A', 38},  {0xDD, 44},
        {'1', 44},   {0xDD, 48},  {'K', 48},  {0xDD, 52},  {0xDD, 52}, {'B', 52},  {0xDD, 56},
        {0xDD, 56},  {'N', 56},   {'B', 60},  {'E', 60},   {'E', 64},  {0xDE, 64}, {'Y', 70},
        {0xDC, 70},  {0xDC, 76},  {'Z', 76},  {'K', 80},   {0xDD, 80}, {0xDD, 86}, {0xDE, 86},
        {0xDD, 90},  {0xDD, 90},  {'G', 90},  {'E', 96},   {'E', 96},  {'L', 96},  {'D', 102},
        {0xDD, 102}, {0xDD, 108}, {'M', 108}, {0xDD, 112}, {'M', 112}, {0xDD, 112}}},
      // Units ^O _OK HI _IZ LI _LI and a pause (^ 0xC7).
      {L"\u00C7ok h\u0131zl\u0131.",
       "\xC7ok h\xFDzl\xFD.",
       300,
       200,
       {{0xC7, 0},
        {'O', 0},
        {'O', 4},
        {'K', 4},
        {'H', 10},
        {'I', 10},
        {'I', 16},
        {'Z', 16},
        {'L', 20},
        {'I', 20},
        {'L', 26},
        {'I', 26}}},
  };
  ITTSAttributesW* attributes = nullptr;
  ASSERT_EQ(mode->QueryInterface(IID_ITTSAttributesW, reinterpret_cast<void**>(&attributes)), S_OK);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cp1254);
    const std::size_t before = fake->Written().size();
    ASSERT_EQ(attributes->PitchSet(c.pitch), S_OK);
    const std::vector<RefEvent> ref = Reference(c.cp1254, c.hiz);
    ASSERT_FALSE(ref.empty());
    const std::size_t marksBefore = fake->Marks().size();
    EXPECT_EQ(Say(c.w), S_OK);
    const std::vector<std::uint8_t> all = fake->Written();
    const std::vector<std::uint8_t> written(all.begin() + static_cast<std::ptrdiff_t>(before),
                                            all.end());
    EXPECT_EQ(written, Concat(ref));
    std::vector<FakeAudioDest::Mark> marks = fake->Marks();
    marks.erase(marks.begin(), marks.begin() + static_cast<std::ptrdiff_t>(marksBefore));
    for (auto& m : marks) m.position -= before;
    ExpectMarks(marks, c.marks);
  }
  attributes->Release();
}

TEST_F(ModeTest, ATextClaimsStartsAndGivesBackTheDevice) {
  EXPECT_EQ(Say(L"Ali."), S_OK);
  const std::vector<std::string> calls = fake->Calls();
  const std::size_t claim = IndexOf(calls, "Claim");
  const std::size_t start = IndexOf(calls, "Start");
  const std::size_t data = IndexOf(calls, "DataSet");
  const std::size_t unclaim = IndexOf(calls, "UnClaim");
  ASSERT_NE(claim, std::string::npos);
  EXPECT_LT(claim, start);
  EXPECT_LT(start, data);
  EXPECT_LT(data, unclaim);
  EXPECT_EQ(CountOf(calls, "Claim"), 1u);
  EXPECT_EQ(CountOf(calls, "UnClaim"), 1u);
  EXPECT_FALSE(fake->Claimed());
}

// WordPosition 0 and TextDataStarted before the first audio, WordPosition with the count of
// unit-name characters after each sentence, TextDataDone at the end; time stamps from TotalGet.
TEST_F(ModeTest, BufferSinkHearsStartSentencesAndEnd) {
  // The first sentence's units (kTwoSentencesMarks) have 2 + 3 + 3 + 2 + 2 + 2 = 14 letters and
  // 56 bytes, the second's 15 more letters; each sentence ends with a pause of 9600 bytes.
  const std::vector<std::string> want = {"WordPosition 0", "Started", "WordPosition 14",
                                         "WordPosition 29", "Done 0"};
  const std::vector<QWORD> wantStamps = {0, 0, 56, 9716, 19316};
  ASSERT_EQ(std::count(want.begin(), want.end(), "Done 0"), 1);
  ASSERT_GE(want.size(), 5u) << "two sentences give two word positions after the start";

  auto* sink = new RecordingBufSink;
  std::size_t dataSetsAtStart = 99;
  sink->onStarted = [&] { dataSetsAtStart = fake->DataSetSizes().size(); };
  EXPECT_EQ(Say(kTwoSentencesW, sink), S_OK);
  EXPECT_EQ(sink->events, want);
  EXPECT_EQ(sink->stamps, wantStamps);
  EXPECT_EQ(dataSetsAtStart, 0u) << "TextDataStarted must come before the first audio";
  EXPECT_EQ(sink->RefCount(), 1);
  sink->Release();
}

// Unit names with the dotted I written as "0" and with the position marker "_".
TEST_F(ModeTest, BookmarksForTheLettersOf0LAAnd_AR) {
  TStrPlayer& player = mode->Player();
  const TStrPlayer::TPlaySylableEvent original = player.OnPlaySyl();
  int renamed = 0;
  player.SetOnPlaySyl([&, original](TStrPlayer& p, TStr3 syl, std::int32_t& hres) {
    if (!syl.Empty() && renamed < 2) syl = renamed++ == 0 ? "0LA" : "_AR";
    original(p, syl, hres);
  });
  auto* sink = new RecordingBufSink;
  EXPECT_EQ(Say(L"Ali geldi.", sink), S_OK);
  const std::vector<std::size_t> sizes = fake->DataSetSizes();
  ASSERT_GE(sizes.size(), 2u);
  const std::vector<FakeAudioDest::Mark> marks = fake->Marks();
  ASSERT_GE(marks.size(), 5u);
  const std::size_t first = sizes[0];
  EXPECT_EQ(marks[0].id, 221u);
  EXPECT_EQ(marks[0].position, 0u);
  EXPECT_EQ(marks[1].id, 76u);
  EXPECT_EQ(marks[1].position, 0u);
  EXPECT_EQ(marks[2].id, 65u);  // the third letter follows the unit's samples
  EXPECT_EQ(marks[2].position, first);
  EXPECT_EQ(marks[3].id, 65u);  // "_AR": the marker is no letter
  EXPECT_EQ(marks[3].position, first);
  EXPECT_EQ(marks[4].id, 82u);
  EXPECT_EQ(marks[4].position, first);
  // The word position after the sentence counts 3 for "0LA" and 2 for "_AR", then 3 + 2 + 2 + 2
  // for the units that follow (*GE _EL D* _D*, with * for the dotted capital I).
  ASSERT_GE(sink->events.size(), 3u);
  EXPECT_EQ(sink->events[2], "WordPosition 14");
  sink->Release();
}

// ---------------------------------------------------------------------------------------------
// Pause, resume, reset

TEST_F(ModeTest, PauseAndResumeFromHandlersLoseNothing) {
  WaitOncePerSentence(*fake);
  HRESULT paused = E_UNEXPECTED, resumed = E_UNEXPECTED;
  std::thread later;
  fake->onDataSet = [&](std::size_t n) {
    if (n != 3) return;
    handler.Post([&] {
      paused = central->AudioPause();
      // Resume from a handler a while later, as a user would.
      later = PostLater(handler, 150, [&] { resumed = central->AudioResume(); });
    });
  };
  auto* sink = new RecordingBufSink;
  EXPECT_EQ(Say(kFourSentencesW, sink), S_OK);
  if (later.joinable()) later.join();
  EXPECT_EQ(paused, S_OK);
  EXPECT_EQ(resumed, S_OK);
  EXPECT_EQ(fake->Written(), Concat(Reference(kFourSentences)));
  // Nothing was handed over between the pause and the resume.
  const std::vector<std::string> calls = fake->Calls();
  const std::size_t pauseAt = IndexOf(calls, "UnClaim");
  const std::size_t resumeAt = IndexOf(calls, "Claim", pauseAt);
  ASSERT_NE(pauseAt, std::string::npos);
  ASSERT_NE(resumeAt, std::string::npos);
  for (std::size_t i = pauseAt; i < resumeAt; ++i) EXPECT_NE(calls[i], "DataSet");
  EXPECT_EQ(CountOf(sink->events, "Done 0"), 1u);
  EXPECT_EQ(sink->events.back(), "Done 0");
  sink->Release();
}

TEST_F(ModeTest, PauseAndResumeAnswerTheirStates) {
  EXPECT_EQ(central->AudioResume(), TTSERR_NOTPAUSED);
  EXPECT_EQ(central->AudioPause(), S_OK);
  EXPECT_EQ(central->AudioPause(), TTSERR_ALREADYPAUSED);
  EXPECT_EQ(central->AudioResume(), S_OK);
  EXPECT_EQ(central->AudioResume(), TTSERR_NOTPAUSED);
}

// Between texts a resume has nothing to play: the device must not stay claimed.
TEST_F(ModeTest, ResumeBetweenTextsDoesNotHoldTheDevice) {
  EXPECT_EQ(Say(L"Ali."), S_OK);
  EXPECT_EQ(central->AudioPause(), S_OK);
  EXPECT_EQ(central->AudioResume(), S_OK);
  EXPECT_FALSE(fake->Claimed());
  const std::size_t before = fake->Written().size();
  EXPECT_EQ(Say(kTwoSentencesW), S_OK);
  EXPECT_EQ(fake->Written().size() - before, Concat(Reference(kTwoSentences)).size());
  EXPECT_FALSE(fake->Claimed());
}

// A text given while paused waits for the resume and is then spoken whole.
TEST_F(ModeTest, TextGivenWhilePausedWaitsForResume) {
  ASSERT_EQ(central->AudioPause(), S_OK);
  std::thread later = PostLater(handler, 100, [&] { EXPECT_EQ(central->AudioResume(), S_OK); });
  EXPECT_EQ(Say(kTwoSentencesW), S_OK);
  later.join();
  EXPECT_EQ(fake->Written(), Concat(Reference(kTwoSentences)));
}

TEST_F(ModeTest, ResetFromHandlerEndsTheTextAtOnce) {
  WaitOncePerSentence(*fake);
  HRESULT reset = E_UNEXPECTED;
  std::size_t writtenAtReset = 0;
  fake->onDataSet = [&](std::size_t n) {
    if (n == 3)
      handler.Post([&] {
        writtenAtReset = fake->Written().size();
        reset = central->AudioReset();
      });
  };
  auto* sink = new RecordingBufSink;
  EXPECT_EQ(Say(kFourSentencesW, sink), S_OK);
  EXPECT_EQ(reset, S_OK);
  EXPECT_EQ(fake->Written().size(), writtenAtReset) << "nothing after the reset";
  const std::vector<std::string> calls = fake->Calls();
  const std::size_t flush = IndexOf(calls, "Flush");
  ASSERT_NE(flush, std::string::npos);
  EXPECT_EQ(IndexOf(calls, "DataSet", flush), std::string::npos);
  EXPECT_EQ(CountOf(sink->events, "Done 0"), 1u);
  EXPECT_EQ(sink->events.back(), "Done 0");
  EXPECT_FALSE(fake->Claimed());

  // The stop the reset asked for belongs to that text only: the next one is spoken whole.
  fake->onDataSet = nullptr;
  const std::size_t before = fake->Written().size();
  EXPECT_EQ(Say(kTwoSentencesW), S_OK);
  const std::vector<std::uint8_t> all = fake->Written();
  EXPECT_EQ(std::vector<std::uint8_t>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
            Concat(Reference(kTwoSentences)));
  EXPECT_EQ(sink->RefCount(), 1);
  sink->Release();
}

// A reset while the text is held by a pause ends that text; the mode is then ready to speak, not
// left silent by the pause it was in.
TEST_F(ModeTest, ResetWhilePausedEndsTheTextAndClearsThePause) {
  WaitOncePerSentence(*fake);
  std::thread later;
  HRESULT reset = E_UNEXPECTED;
  std::size_t writtenAtPause = 0;
  fake->onDataSet = [&](std::size_t n) {
    if (n != 3) return;
    handler.Post([&] {
      EXPECT_EQ(central->AudioPause(), S_OK);
      writtenAtPause = fake->Written().size();
      later = PostLater(handler, 100, [&] { reset = central->AudioReset(); });
    });
  };
  auto* sink = new RecordingBufSink;
  EXPECT_EQ(Say(kFourSentencesW, sink), S_OK);
  if (later.joinable()) later.join();
  EXPECT_EQ(reset, S_OK);
  EXPECT_EQ(fake->Written().size(), writtenAtPause);
  EXPECT_EQ(CountOf(sink->events, "Done 0"), 1u);
  EXPECT_EQ(central->AudioResume(), TTSERR_NOTPAUSED);

  fake->onDataSet = nullptr;
  const std::size_t before = fake->Written().size();
  EXPECT_EQ(Say(kTwoSentencesW), S_OK);
  EXPECT_EQ(fake->Written().size() - before, Concat(Reference(kTwoSentences)).size());
  sink->Release();
}

// A reader that stops and reads again from one handler: the new text replaces the old one.
TEST_F(ModeTest, ResetAndNewTextFromOneHandler) {
  WaitOncePerSentence(*fake);
  std::vector<std::string> journal;
  auto [first, second] = JournaledSinks(journal, "first", "second");
  std::size_t writtenBefore = 0;
  HRESULT inner = E_UNEXPECTED;
  fake->onDataSet = [&](std::size_t n) {
    if (n == 3)
      handler.Post([&] {
        EXPECT_EQ(central->AudioReset(), S_OK);
        writtenBefore = fake->Written().size();
        inner = Say(kTwoSentencesW, second);
      });
  };
  EXPECT_EQ(Say(kFourSentencesW, first), S_OK);
  EXPECT_EQ(inner, S_OK);
  ExpectTakenOver(*fake, Concat(Reference(kTwoSentences)), journal, writtenBefore, first, second);
}

// A TextData from a handler while another text speaks: each entry completes once, the older one
// first, and the older text neither goes on afterwards nor speaks the newer one again.
TEST_F(ModeTest, NewTextFromHandlerTakesOver) {
  WaitOncePerSentence(*fake);
  std::vector<std::string> journal;
  auto [outer, inner] = JournaledSinks(journal, "outer", "inner");
  std::size_t writtenBefore = 0;
  HRESULT innerResult = E_UNEXPECTED;
  fake->onDataSet = [&](std::size_t n) {
    if (n == 3)
      handler.Post([&] {
        writtenBefore = fake->Written().size();
        innerResult = Say(kTwoSentencesW, inner);
      });
  };
  EXPECT_EQ(Say(kFourSentencesW, outer), S_OK);
  EXPECT_EQ(innerResult, S_OK);
  ASSERT_GT(writtenBefore, 0u);
  const std::vector<std::uint8_t> all = fake->Written();
  const std::vector<std::uint8_t> ref1 = Concat(Reference(kFourSentences));
  ASSERT_LE(writtenBefore, ref1.size());
  EXPECT_TRUE(std::equal(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(writtenBefore),
                         ref1.begin()));
  EXPECT_EQ(CountOf(inner->events, "Started"), 1u);
  ExpectTakenOver(*fake, Concat(Reference(kTwoSentences)), journal, writtenBefore, outer, inner);
}

// A program that quits while a text is spoken: the text ends and the quit reaches the program's
// own loop afterwards instead of vanishing in the mode's.
TEST_F(ModeTest, QuitDuringATextEndsItAndIsPassedOn) {
  WaitOncePerSentence(*fake);
  fake->onDataSet = [&](std::size_t n) {
    if (n == 3) handler.Post([] { PostQuitMessage(7); });
  };
  EXPECT_EQ(Say(kFourSentencesW), S_OK);
  EXPECT_LT(fake->Written().size(), Concat(Reference(kFourSentences)).size());
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

// ---------------------------------------------------------------------------------------------
// The destination's limits and failures

TEST_F(ModeTest, NoRoomAfter200WaitsEndsTheTextWithAFailure) {
  fake->config.freeSpace = 0;
  Ticker ticker(handler.Handle(), 2);
  auto* sink = new RecordingBufSink;
  EXPECT_EQ(Say(kTwoSentencesW, sink), E_FAIL);
  // The first batch waited 200 times; the closing pause of its sentence found the text ended.
  EXPECT_EQ(fake->FreeSpaceCalls(), 201u);
  EXPECT_TRUE(fake->Written().empty());
  EXPECT_EQ(sink->events, std::vector<std::string>{"Done 0"});
  EXPECT_FALSE(fake->Claimed());
  sink->Release();
}

TEST_F(ModeTest, FailingDestinationCallsEndTheTextAndAreReported) {
  struct Case {
    HRESULT FakeAudioDest::Config::*field;
    HRESULT code;
  };
  const HRESULT kDeviceError = static_cast<HRESULT>(0x80040399);
  const Case cases[] = {
      {&FakeAudioDest::Config::freeSpaceResult, kDeviceError},
      {&FakeAudioDest::Config::dataSetResult, kDeviceError},
      {&FakeAudioDest::Config::claimResult, TTSERR_WAVEDEVICEBUSY},
      {&FakeAudioDest::Config::unclaimResult, kDeviceError},
  };
  for (const Case& c : cases) {
    fake->config = {};
    fake->config.*c.field = c.code;
    auto* sink = new RecordingBufSink;
    EXPECT_EQ(Say(kTwoSentencesW, sink), c.code);
    EXPECT_LE(CountOf(sink->events, "Done 0"), 1u);
    EXPECT_FALSE(fake->Claimed());
    EXPECT_EQ(sink->RefCount(), 1);
    sink->Release();
  }
  fake->config = {};
}

TEST_F(ModeTest, EndOfFileSilencesTextsUntilResumeOrReset) {
  const std::vector<RefEvent> ref = Reference(kTwoSentences);
  fake->config.eofAfter = ref[0].bytes.size();
  auto* sink = new RecordingBufSink;
  EXPECT_EQ(Say(kTwoSentencesW, sink), S_OK);
  EXPECT_EQ(fake->Written(), ref[0].bytes);
  EXPECT_EQ(sink->events.back(), "Done 0");

  fake->config.eofAfter = UINT64_MAX;
  EXPECT_EQ(Say(kTwoSentencesW, sink), S_OK);
  EXPECT_EQ(fake->Written().size(), ref[0].bytes.size()) << "silent until resumed";
  EXPECT_EQ(CountOf(sink->events, "Done 0"), 2u);

  EXPECT_EQ(central->AudioPause(), S_OK);
  EXPECT_EQ(central->AudioResume(), S_OK);
  EXPECT_EQ(Say(kTwoSentencesW), S_OK);
  EXPECT_EQ(fake->Written().size(), ref[0].bytes.size() + Concat(ref).size());

  fake->config.eofAfter = 0;
  EXPECT_EQ(Say(kTwoSentencesW), S_OK);
  fake->config.eofAfter = UINT64_MAX;
  EXPECT_EQ(central->AudioReset(), S_OK);
  const std::size_t before = fake->Written().size();
  EXPECT_EQ(Say(kTwoSentencesW), S_OK);
  EXPECT_EQ(fake->Written().size() - before, Concat(ref).size()) << "a reset speaks again";
  EXPECT_EQ(sink->RefCount(), 1);
  sink->Release();
}

// A data file that cannot be read, or memory that runs out, inside Speak: the text ends, the
// failure is returned, the sink hears the end once and the device is given back.
TEST_F(ModeTest, ExceptionsInsideSpeakBecomeFailures) {
  auto* sink = new RecordingBufSink;
  sink->onStarted = [] { throw std::bad_alloc(); };
  EXPECT_EQ(Say(kTwoSentencesW, sink), E_OUTOFMEMORY);
  EXPECT_EQ(sink->events, (std::vector<std::string>{"WordPosition 0", "Started",
                                                    "Done " + std::to_string(TTSBNS_ABORTED)}));
  EXPECT_FALSE(fake->Claimed());
  EXPECT_EQ(sink->RefCount(), 1);
  sink->Release();

  std::vector<RawEntry> entries;
  for (const std::string& name : AllTurkishUnitNames())
    entries.push_back({StoredUnitName(name), 1 << 30, 64});
  TempDir dir;
  WriteFile(dir / "BROKEN.SPD",
            RawSpeechData(2, static_cast<std::int32_t>(entries.size()), entries));
  mode->Player().LoadData(dir / "BROKEN.SPD");
  sink = new RecordingBufSink;
  EXPECT_EQ(Say(kTwoSentencesW, sink), E_FAIL);
  EXPECT_EQ(sink->events.back(), "Done " + std::to_string(TTSBNS_ABORTED));
  EXPECT_EQ(CountOf(sink->events, "Done " + std::to_string(TTSBNS_ABORTED)), 1u);
  EXPECT_FALSE(fake->Claimed());
  EXPECT_EQ(sink->RefCount(), 1);
  sink->Release();
}

// ---------------------------------------------------------------------------------------------
// Arguments

TEST_F(ModeTest, RefusedTextsChangeNothing) {
  auto* sink = new RecordingBufSink;
  std::wstring text = L"Ali.";
  SDATA d{text.data(), static_cast<DWORD>((text.size() + 1) * 2)};
  struct Case {
    VOICECHARSET set;
    SDATA data;
    IUnknown* sink;
    IID iid;
    HRESULT want;
  };
  const Case cases[] = {
      {CHARSET_IPAPHONETIC, d, nullptr, IID_ITTSBufNotifySink, TTSERR_INVALIDCHAR},
      {CHARSET_ENGINEPHONETIC, d, sink, IID_ITTSBufNotifySink, TTSERR_INVALIDCHAR},
      {CHARSET_TEXT, d, sink, IID_IVTxtNotifySinkW, E_NOINTERFACE},
      {CHARSET_TEXT, d, sink, IID_ITTSNotifySinkA, E_NOINTERFACE},
      {CHARSET_TEXT, SDATA{nullptr, 8}, nullptr, IID_ITTSBufNotifySink, E_INVALIDARG},
      {CHARSET_TEXT, SDATA{nullptr, 0}, sink, IID_ITTSBufNotifySink, S_OK},  // empty: nothing
      {CHARSET_TEXT, SDATA{text.data(), 0}, sink, IID_ITTSBufNotifySink, S_OK},
  };
  ITTSCentralA* centralA = nullptr;
  ASSERT_EQ(mode->QueryInterface(IID_ITTSCentralA, reinterpret_cast<void**>(&centralA)), S_OK);
  std::string ansi = "Ali.";
  for (const Case& c : cases) {
    EXPECT_EQ(central->TextData(c.set, 0, c.data, c.sink, c.iid), c.want);
    SDATA a = c.data;
    if (a.pData == text.data()) a = SDATA{ansi.data(), a.dwSize ? 5u : 0u};
    EXPECT_EQ(centralA->TextData(c.set, 0, a, c.sink, c.iid), c.want);
  }
  centralA->Release();
  EXPECT_TRUE(sink->events.empty());
  EXPECT_EQ(sink->RefCount(), 1);
  EXPECT_TRUE(fake->Written().empty());
  EXPECT_EQ(IndexOf(fake->Calls(), "Claim"), std::string::npos);
  sink->Release();
}

// The voice-text identifiers queue an entry that has no sink to tell.
TEST_F(ModeTest, VoiceTextIdentifierWithoutSinkSpeaks) {
  EXPECT_EQ(Say(kTwoSentencesW, nullptr, IID_IVTxtNotifySinkA), S_OK);
  EXPECT_EQ(fake->Written(), Concat(Reference(kTwoSentences)));
}

// Sizes are honoured: a text without a terminator is read only as far as its size says.
TEST_F(ModeTest, TextsAreReadNoFurtherThanTheirSize) {
  const wchar_t wide[] = {L'A', L'l', L'i', L' ', L'g', L'e', L'l'};  // no terminator
  EXPECT_EQ(central->TextData(CHARSET_TEXT, 0, SDATA{const_cast<wchar_t*>(wide), 6}, nullptr,
                              IID_ITTSBufNotifySink),
            S_OK);
  EXPECT_EQ(fake->Written(), Concat(Reference("Ali")));

  ITTSCentralA* centralA = nullptr;
  ASSERT_EQ(mode->QueryInterface(IID_ITTSCentralA, reinterpret_cast<void**>(&centralA)), S_OK);
  char ansi[] = {'A', 'l', 'i', ' ', 'g', 'e', 'l'};
  const std::size_t before = fake->Written().size();
  EXPECT_EQ(centralA->TextData(CHARSET_TEXT, 0, SDATA{ansi, 3}, nullptr, IID_ITTSBufNotifySink),
            S_OK);
  EXPECT_EQ(fake->Written().size() - before, Concat(Reference("Ali")).size());
  centralA->Release();
}

TEST_F(ModeTest, NullPointersAreRefused) {
  ITTSCentralA* centralA = nullptr;
  ASSERT_EQ(mode->QueryInterface(IID_ITTSCentralA, reinterpret_cast<void**>(&centralA)), S_OK);
  auto* sink = new RecordingModeSink;
  DWORD key = 0;
  QWORD q = 5;
  FILETIME ft;
  EXPECT_EQ(central->Register(sink, IID_ITTSNotifySinkA, nullptr), E_INVALIDARG);
  EXPECT_EQ(central->Register(nullptr, IID_ITTSNotifySinkA, &key), E_INVALIDARG);
  EXPECT_EQ(central->ModeGet(nullptr), E_INVALIDARG);
  EXPECT_EQ(centralA->ModeGet(nullptr), E_INVALIDARG);
  EXPECT_EQ(central->PosnGet(nullptr), E_INVALIDARG);
  EXPECT_EQ(central->ToFileTime(nullptr, &ft), E_INVALIDARG);
  EXPECT_EQ(central->ToFileTime(&q, nullptr), E_INVALIDARG);
  // Passed through to the destination otherwise.
  EXPECT_EQ(central->ToFileTime(&q, &ft), S_OK);
  EXPECT_EQ(ft.dwLowDateTime, 5u);
  EXPECT_EQ(ft.dwHighDateTime, 1u);
  EXPECT_EQ(central->Inject(L"x"), E_NOTIMPL);
  EXPECT_EQ(centralA->Inject("x"), E_NOTIMPL);
  SDATA out{};
  EXPECT_EQ(central->Phoneme(CHARSET_TEXT, 0, SDATA{}, &out), E_NOTIMPL);
  EXPECT_EQ(sink->RefCount(), 1);
  sink->Release();
  centralA->Release();
}

TEST_F(ModeTest, RegisterGivesUniqueKeysAndUnRegisterTakesThemBack) {
  ITTSCentralA* centralA = nullptr;
  ASSERT_EQ(mode->QueryInterface(IID_ITTSCentralA, reinterpret_cast<void**>(&centralA)), S_OK);
  auto* a = new RecordingModeSink;
  auto* b = new RecordingModeSink;
  DWORD k1 = 0, k2 = 0, k3 = 0;
  EXPECT_EQ(central->Register(a, IID_ITTSNotifySinkW, &k1), E_NOINTERFACE);
  EXPECT_EQ(k1, 0u);
  ASSERT_EQ(central->Register(a, IID_ITTSNotifySinkA, &k1), S_OK);
  ASSERT_EQ(centralA->Register(b, IID_ITTSNotifySinkA, &k2), S_OK);
  ASSERT_EQ(central->Register(a, IID_ITTSNotifySinkA, &k3), S_OK);
  EXPECT_GE(k1, 2u);
  EXPECT_EQ(k2, k1 + 1);
  EXPECT_EQ(k3, k2 + 1);
  EXPECT_EQ(a->RefCount(), 3);
  EXPECT_EQ(b->RefCount(), 2);
  EXPECT_EQ(central->UnRegister(k1), S_OK);
  EXPECT_EQ(central->UnRegister(k1), TTSERR_INVALIDKEY);
  EXPECT_EQ(centralA->UnRegister(k2), S_OK);
  EXPECT_EQ(a->RefCount(), 2);
  EXPECT_EQ(b->RefCount(), 1);
  centralA->Release();
  // k3 stays registered: destroying the mode gives that reference back (checked below).
  central->Release();
  central = nullptr;
  delete mode;
  mode = nullptr;
  EXPECT_EQ(a->RefCount(), 1);
  a->Release();
  b->Release();
}

// ---------------------------------------------------------------------------------------------
// Records and conversions of the A side, under the system's ANSI code page

TEST_F(ModeTest, ModeGetAConvertsTheRecordWithTheAnsiCodePage) {
  TTSMODEINFOW& w = mode->ModeInfo();
  w.gModeID = IID_ITTSCentralW;  // any identifier
  wcscpy(w.szModeName, L"T\u00FCrk\u00E7e, Kad\u0131n, Nilvo (Kalvor)");
  wcscpy(w.language.szDialect, L"T\u00FCrk\u00E7e");
  w.language.LanguageID = 0x0409;
  w.dwInterfaces = 15;
  ITTSCentralA* centralA = nullptr;
  ASSERT_EQ(mode->QueryInterface(IID_ITTSCentralA, reinterpret_cast<void**>(&centralA)), S_OK);
  TTSMODEINFOA a;
  std::memset(&a, 0x55, sizeof a);
  ASSERT_EQ(centralA->ModeGet(&a), S_OK);
  // 1254 has the dotless i. 1252 has not: the system puts a look-alike or "?" in its place, but
  // never the byte 0xFD, which is another letter there.
  const std::string name = a.szModeName;
  if (GetACP() == 1254) {
    EXPECT_EQ(name,
              "T\xFCrk\xE7"
              "e, Kad\xFDn, Nilvo (Kalvor)");
  } else {
    ASSERT_EQ(name.size(), 29u);
    EXPECT_EQ(name.substr(0, 11),
              "T\xFCrk\xE7"
              "e, Kad");
    EXPECT_NE(name[11], '\xFD');
    EXPECT_EQ(name.substr(12), "n, Nilvo (Kalvor)");
  }
  EXPECT_EQ(std::string(a.language.szDialect),
            "T\xFCrk\xE7"
            "e");
  EXPECT_EQ(a.language.LanguageID, 0x0409);
  EXPECT_EQ(a.dwInterfaces, 15u);
  EXPECT_TRUE(IsEqualGUID(a.gModeID, IID_ITTSCentralW));
  EXPECT_EQ(a.szStyle[0], '\0');
  centralA->Release();
}

// An A client's text is in the system's code page; on a Turkish system that is Windows-1254
// itself, elsewhere the letters it shares with Turkish still arrive.
TEST_F(ModeTest, TextDataAReadsTheAnsiCodePage) {
  ITTSCentralA* centralA = nullptr;
  ASSERT_EQ(mode->QueryInterface(IID_ITTSCentralA, reinterpret_cast<void**>(&centralA)), S_OK);
  const std::string text = GetACP() == 1254 ? std::string(kTwoSentences)
                                            : std::string(
                                                  "G\xFCzel \xE7i\xE7"
                                                  "ek \xF6t\xFC.");
  std::string copy = text;
  auto* sink = new RecordingBufSink;
  EXPECT_EQ(
      centralA->TextData(CHARSET_TEXT, 0, SDATA{copy.data(), static_cast<DWORD>(copy.size() + 1)},
                         sink, IID_ITTSBufNotifySink),
      S_OK);
  EXPECT_EQ(fake->Written(), Concat(Reference(text)));
  EXPECT_EQ(sink->events.back(), "Done 0");
  centralA->Release();
  sink->Release();
}

// Characters Windows-1254 cannot hold become spaces, like the command line makes them.
TEST_F(ModeTest, CharactersOutsideWindows1254BecomeSpaces) {
  EXPECT_EQ(Say(L"Ali\u4E00geldi \u0101b."), S_OK);
  EXPECT_EQ(fake->Written(), Concat(Reference("Ali geldi  b.")));
}

// ---------------------------------------------------------------------------------------------
// Creation

// The second run of this program proves something only if the system code page really differs.
TEST(Locale, AnsiCodePageFollowsTheLocaleAskedFor) {
  const char* lc = std::getenv("LC_ALL");
  ASSERT_NE(lc, nullptr);
  if (std::strstr(lc, "en_US")) {
    EXPECT_EQ(GetACP(), 1252u);
  } else if (std::strstr(lc, "tr_TR")) {
    EXPECT_EQ(GetACP(), 1254u);
  }
}

TEST(ModeInit, RefusesAnAudioObjectThatIsNoDestination) {
  struct OnlyUnknown final : Counted<IUnknown> {};
  auto* object = new OnlyUnknown;
  {
    TSpcMode m(object, nullptr);
    EXPECT_EQ(m.Init(), E_NOINTERFACE);
  }
  EXPECT_EQ(object->RefCount(), 1);
  object->Release();

  auto* fake = new FakeAudioDest;
  fake->config.waveFormatSetResult = TTSERR_WAVEFORMATNOTSUPPORTED;
  {
    TSpcMode m(fake->Unknown(), nullptr);
    EXPECT_EQ(m.Init(), TTSERR_WAVEFORMATNOTSUPPORTED);
  }
  EXPECT_EQ(fake->RefCount(), 1);
  fake->Release();
}

TEST_F(ModeTest, OneInterfaceTableForTheModeAndItsFacets) {
  const IID* offered[] = {&IID_IUnknown,        &IID_ITTSCentralW,    &IID_ITTSCentralA,
                          &IID_ITTSAttributesW, &IID_ITTSAttributesA, &IID_ITTSDialogsW,
                          &IID_ITTSDialogsA};
  for (const IID* from : offered) {
    IUnknown* facet = nullptr;
    ASSERT_EQ(mode->QueryInterface(*from, reinterpret_cast<void**>(&facet)), S_OK);
    for (const IID* to : offered) {
      IUnknown* other = nullptr;
      EXPECT_EQ(facet->QueryInterface(*to, reinterpret_cast<void**>(&other)), S_OK);
      other->Release();
    }
    IUnknown* none = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(facet->QueryInterface(IID_IAudio, reinterpret_cast<void**>(&none)), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    // The identity is the mode's.
    IUnknown* identity = nullptr;
    facet->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
    EXPECT_EQ(identity, static_cast<IUnknown*>(mode));
    identity->Release();
    facet->Release();
  }
  EXPECT_EQ(mode->RefCount(), 1);  // only the fixture's central
  ITTSDialogsW* dialogs = nullptr;
  ASSERT_EQ(mode->QueryInterface(IID_ITTSDialogsW, reinterpret_cast<void**>(&dialogs)), S_OK);
  EXPECT_EQ(dialogs->GeneralDlg(nullptr, L"x"), S_OK);
  dialogs->Release();
}

}  // namespace
}  // namespace kalvor::test
