// Tagged text as screen readers send it: the tags are never spoken, the client's marks come back
// through its buffer sink when playback reaches them, pauses and attributes act at their places,
// and a reset drops the marks of the texts it ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ModeFixture.h"
#include "TaggedText.h"

namespace kalvor::test {
namespace {

TEST(TaggedText, TagsAreTakenOutAndKnownOnesKept) {
  struct Case {
    const wchar_t* text;
    const wchar_t* plain;
    std::vector<TTextTag> tags;
  };
  using T = TTextTag;
  const Case cases[] = {
      // A screen reader's utterance: settings first, a mark around the text, a pause at its end.
      {L"\\Pit=50\\\\Spd=100\\\\mrk=1\\Merhaba d\u00FCnya\\mrk=2\\\\PAU=1\\",
       L"Merhaba d\u00FCnya",
       {{T::Pitch, 50, 0},
        {T::Speed, 100, 0},
        {T::Mark, 1, 0},
        {T::Mark, 2, 13},
        {T::Pause, 1, 13}}},
      {L"C:\\\\Belgeler\\\\", L"C:\\Belgeler\\", {}},
      {L"\\\\\\Mrk=3\\\\\\", L"\\\\", {{T::Mark, 3, 1}}},
      // Tags the engine has no use for go without a trace.
      {L"\\RmS=1\\a\\Chr=\"Normal\"\\b\\Emp\\c\\Ctx=\"Address\"\\d\\Xyz=4\\", L"abcd", {}},
      // Names in any case, blanks around name and value, \Rst\ without a value.
      {L"x\\ vOl = 200 \\y\\RST\\", L"xy", {{T::Volume, 200, 1}, {T::Reset, 0, 2}}},
      // Unusable numbers drop the tag; a huge one is cut to 32 bits.
      {L"\\Mrk=abc\\\\Pau=-5\\\\Pit=\\a\\Mrk=99999999999999\\", L"a", {{T::Mark, 0xFFFFFFFF, 1}}},
      // A tag never closed hides the rest, not the text before it.
      {L"Merhaba \\Mrk=1 d\u00FCnya", L"Merhaba ", {}},
      {L"", L"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<const void*>(c.text));
    const TTaggedText t = ParseTaggedText(c.text);
    EXPECT_EQ(t.Plain, c.plain);
    ASSERT_EQ(t.Tags.size(), c.tags.size());
    for (std::size_t i = 0; i < c.tags.size(); ++i) {
      EXPECT_EQ(t.Tags[i].Kind, c.tags[i].Kind) << i;
      EXPECT_EQ(t.Tags[i].Value, c.tags[i].Value) << i;
      EXPECT_EQ(t.Tags[i].Position, c.tags[i].Position) << i;
    }
  }
}

class ModeTaggedTest : public ModeTest {
 protected:
  HRESULT SayTagged(std::wstring_view text, IUnknown* sink = nullptr) {
    std::wstring copy(text);
    SDATA d{copy.data(), static_cast<DWORD>((copy.size() + 1) * sizeof(wchar_t))};
    return central->TextData(CHARSET_TEXT, TTSDATAFLAG_TAGGED, d, sink, IID_ITTSBufNotifySink);
  }
  // Audio written since `from`.
  std::vector<std::uint8_t> WrittenSince(std::size_t from) const {
    const std::vector<std::uint8_t> all = fake->Written();
    return {all.begin() + static_cast<std::ptrdiff_t>(from), all.end()};
  }
  // The client's marks in the stream (the letters' marks left out).
  std::vector<FakeAudioDest::Mark> ClientMarks() const {
    std::vector<FakeAudioDest::Mark> m = fake->Marks();
    m.erase(std::remove_if(m.begin(), m.end(),
                           [](const FakeAudioDest::Mark& x) { return x.id < kFirstClientMarkId; }),
            m.end());
    return m;
  }
  std::vector<FakeAudioDest::Mark> LetterMarks() const {
    std::vector<FakeAudioDest::Mark> m = fake->Marks();
    m.erase(std::remove_if(m.begin(), m.end(),
                           [](const FakeAudioDest::Mark& x) { return x.id >= kFirstClientMarkId; }),
            m.end());
    return m;
  }
};

// Marks and unknown tags change nothing of the speech, nor the letters' marks; the client's marks
// come once each, in order, at their places, the last one after all of the audio and before the
// end of the text.
TEST_F(ModeTaggedTest, MarksComeInOrderAtTheirPlacesAndChangeNoSample) {
  const std::vector<RefEvent> ref = Reference(kTwoSentences);
  auto* modeSink = new RecordingModeSink;
  DWORD key = 0;
  ASSERT_EQ(central->Register(static_cast<ITTSNotifySinkA*>(modeSink), IID_ITTSNotifySinkA, &key),
            S_OK);
  auto* sink = new RecordingBufSink;
  EXPECT_EQ(SayTagged(L"\\Mrk=1\\Ali \\Chr=\"Normal\"\\geldi.\\Emp\\ Ay\u015Fe \\mrk=2\\gitti."
                      L"\\Mrk=3\\\\Xyz\\",
                      sink),
            S_OK);
  EXPECT_EQ(fake->Written(), Concat(ref));
  const std::vector<FakeAudioDest::Mark> letters = LetterMarks(), want = kTwoSentencesMarks;
  ASSERT_EQ(letters.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(letters[i].id, want[i].id);
    EXPECT_EQ(letters[i].position, want[i].position);
  }

  const std::vector<FakeAudioDest::Mark> client = ClientMarks();
  ASSERT_EQ(client.size(), 3u);
  const std::size_t total = Concat(ref).size();
  const std::size_t firstSentence = [&] {
    std::size_t n = 0;
    for (const RefEvent& e : ref) {
      n += e.bytes.size();
      if (e.syl.empty()) break;
    }
    return n;
  }();
  EXPECT_EQ(client[0].position, 0u);
  EXPECT_GT(client[1].position, firstSentence) << "\"gitti\" is after \"Ayse\"";
  EXPECT_LT(client[1].position, total);
  EXPECT_EQ(client[2].position, total);

  std::vector<std::string> marks;
  std::vector<QWORD> stamps;
  for (std::size_t i = 0; i < sink->events.size(); ++i)
    if (sink->events[i].rfind("BookMark", 0) == 0) {
      marks.push_back(sink->events[i]);
      stamps.push_back(sink->stamps[i]);
    }
  EXPECT_EQ(marks, (std::vector<std::string>{"BookMark 1", "BookMark 2", "BookMark 3"}));
  EXPECT_EQ(stamps, (std::vector<QWORD>{client[0].position, client[1].position, total}))
      << "a mark's time stamp is its place in the stream";
  ASSERT_GE(sink->events.size(), 2u);
  EXPECT_EQ(sink->events[sink->events.size() - 2], "BookMark 3");
  EXPECT_EQ(sink->events.back(), "Done 0");
  EXPECT_EQ(std::count(sink->events.begin(), sink->events.end(), "Started"), 1);
  EXPECT_LT(
      std::find(sink->events.begin(), sink->events.end(), "Started") - sink->events.begin(),
      std::find(sink->events.begin(), sink->events.end(), "BookMark 1") - sink->events.begin());
  EXPECT_EQ(sink->RefCount(), 1);
  sink->Release();

  // The mouth shapes are the letters' alone: a client's mark makes no visual notification.
  HandlerWindow::Pump(200, [&] { return modeSink->visuals.size() >= want.size(); });
  ASSERT_EQ(modeSink->visuals.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(modeSink->visuals[i].engine, want[i].id);
  EXPECT_EQ(central->UnRegister(key), S_OK);
  modeSink->Release();
}

// A pause tag is that much silence at its place; the pitch tags act as PitchSet from their place
// on, and \Rst\ goes back to the pitch the text began with.
TEST_F(ModeTaggedTest, PausesAndPitchActAtTheirPlaces) {
  const std::vector<RefEvent> at100 = Reference("Ali geldi."), at50 = Reference("Ali geldi.", 50);
  ASSERT_GT(at100.size(), 3u);
  // "Ali" is spoken by its first two units.
  std::vector<std::uint8_t> want;
  for (std::size_t i = 0; i < 2; ++i)
    want.insert(want.end(), at100[i].bytes.begin(), at100[i].bytes.end());
  want.insert(want.end(), 250 * 32, 0);  // 250 ms at 16000 samples of 2 bytes
  for (std::size_t i = 2; i < at50.size(); ++i)
    want.insert(want.end(), at50[i].bytes.begin(), at50[i].bytes.end());
  auto* sink = new RecordingBufSink;
  EXPECT_EQ(SayTagged(L"Ali \\Pau=250\\\\Pit=64\\geldi.", sink), S_OK);
  EXPECT_EQ(fake->Written(), want);
  // A tag's pause is no end of a sentence: one word position after the start, not two.
  EXPECT_EQ(std::count_if(sink->events.begin(), sink->events.end(),
                          [](const std::string& e) { return e.rfind("WordPosition", 0) == 0; }),
            2);

  ITTSAttributesW* attributes = nullptr;
  ASSERT_EQ(mode->QueryInterface(IID_ITTSAttributesW, reinterpret_cast<void**>(&attributes)), S_OK);
  WORD pitch = 0;
  ASSERT_EQ(attributes->PitchGet(&pitch), S_OK);
  EXPECT_EQ(pitch, 64) << "a pitch tag has the effect of PitchSet";

  // From pitch 64 the text goes to 128 and back to where it began.
  const std::size_t before = fake->Written().size();
  EXPECT_EQ(SayTagged(L"\\Pit=128\\Ali \\Rst\\geldi."), S_OK);
  want.clear();
  for (std::size_t i = 0; i < at100.size(); ++i) {
    const auto& e = i < 2 ? at100[i] : at50[i];
    want.insert(want.end(), e.bytes.begin(), e.bytes.end());
  }
  EXPECT_EQ(WrittenSince(before), want);
  ASSERT_EQ(attributes->PitchGet(&pitch), S_OK);
  EXPECT_EQ(pitch, 64);
  attributes->Release();
  sink->Release();
}

// The volume tag sets the device's level as VolumeSet does, once playback is there.
TEST_F(ModeTaggedTest, VolumeTagSetsTheLevel) {
  EXPECT_EQ(SayTagged(L"Ali \\Vol=100\\geldi."), S_OK);
  EXPECT_EQ(fake->Level(), 25500u * 65536 + 25500u);
  EXPECT_EQ(SayTagged(L"\\Vol=70000\\Ali."), S_OK);
  EXPECT_EQ(fake->Level(), 0xFFFFFFFFu);
}

// Without the flag a backslash is text like any other; with it and no sink the marks have nowhere
// to go, and the text is spoken all the same.
TEST_F(ModeTaggedTest, UntaggedTextAndTaggedTextWithoutSink) {
  EXPECT_EQ(Say(L"Ali\\Mrk=1\\geldi."), S_OK);
  EXPECT_EQ(fake->Written(), Concat(Reference("Ali\\Mrk=1\\geldi.")));
  const std::size_t before = fake->Written().size();
  EXPECT_EQ(SayTagged(L"Ali\\Mrk=1\\ geldi.\\Mrk=2\\"), S_OK);
  EXPECT_EQ(WrittenSince(before), Concat(Reference("Ali geldi.")));
  EXPECT_TRUE(ClientMarks().empty());
  // Only tags: nothing to hear, and the marks come at once, before the end.
  auto* sink = new RecordingBufSink;
  EXPECT_EQ(SayTagged(L"\\Mrk=7\\\\Pit=128\\\\Mrk=8\\", sink), S_OK);
  EXPECT_EQ(sink->events, (std::vector<std::string>{"BookMark 7", "BookMark 8", "Done 0"}));
  sink->Release();
}

// A screen reader's stop in the middle of a long text: the marks not reached yet never come, the
// text ends once, and the next text's marks come as usual.
TEST_F(ModeTaggedTest, ResetDropsThePendingMarksOfTheTextsItEnds) {
  fake->config.capacity = 9700;  // one sentence ahead of playback
  fake->config.bytesPerMs = 2000;
  auto* sink = new RecordingBufSink;
  sink->name = "first";
  HRESULT reset = E_UNEXPECTED;
  bool resetPosted = false;
  fake->onDataSet = [&](std::size_t n) {
    if (n == 6 && !resetPosted) {
      resetPosted = true;
      handler.Post([&] { reset = central->AudioReset(); });
    }
  };
  EXPECT_EQ(SayTagged(L"\\Mrk=1\\Bir. \\Mrk=2\\\u0130ki \u00FC\u00E7. \\Mrk=3\\D\u00F6rt be\u015F. "
                      L"\\Mrk=4\\Alt\u0131 yedi sekiz.\\Mrk=5\\",
                      sink),
            S_OK);
  EXPECT_EQ(reset, S_OK);
  HandlerWindow::Pump(300);
  EXPECT_EQ(std::count(sink->events.begin(), sink->events.end(), "Done 0"), 1);
  EXPECT_EQ(sink->events.back(), "Done 0");
  for (const char* late : {"BookMark 4", "BookMark 5"})
    EXPECT_EQ(std::count(sink->events.begin(), sink->events.end(), late), 0) << late;

  fake->onDataSet = nullptr;
  auto* next = new RecordingBufSink;
  EXPECT_EQ(SayTagged(L"\\Mrk=10\\Ali geldi.\\Mrk=11\\", next), S_OK);
  HandlerWindow::Pump(100);
  EXPECT_EQ(std::count(sink->events.begin(), sink->events.end(), "Done 0"), 1);
  std::vector<std::string> marks;
  for (const std::string& e : next->events)
    if (e.rfind("BookMark", 0) == 0) marks.push_back(e);
  EXPECT_EQ(marks, (std::vector<std::string>{"BookMark 10", "BookMark 11"}));
  EXPECT_EQ(next->events.back(), "Done 0");
  EXPECT_EQ(sink->RefCount(), 1);
  EXPECT_EQ(next->RefCount(), 1);
  sink->Release();
  next->Release();
}

// Pause and resume keep the marks: all of them come, in order.
TEST_F(ModeTaggedTest, PauseAndResumeKeepTheMarks) {
  fake->config.capacity = 9700;
  fake->config.bytesPerMs = 2000;
  fake->onDataSet = [&](std::size_t n) {
    if (n == 4)
      handler.Post([&] {
        EXPECT_EQ(central->AudioPause(), S_OK);
        handler.Post([&] { EXPECT_EQ(central->AudioResume(), S_OK); });
      });
  };
  auto* sink = new RecordingBufSink;
  EXPECT_EQ(SayTagged(L"\\Mrk=1\\Bir. \\Mrk=2\\\u0130ki \u00FC\u00E7.\\Mrk=3\\", sink), S_OK);
  std::vector<std::string> marks;
  for (const std::string& e : sink->events)
    if (e.rfind("BookMark", 0) == 0) marks.push_back(e);
  EXPECT_EQ(marks, (std::vector<std::string>{"BookMark 1", "BookMark 2", "BookMark 3"}));
  EXPECT_EQ(sink->events.back(), "Done 0");
  sink->Release();
}

// A screen reader reads on when it hears the last mark of a text: the next text, given from inside
// that mark's call, takes over; each text starts and ends once, and the marks of both come in
// order.
TEST_F(ModeTaggedTest, NextTextFromTheLastMarkReadsOn) {
  std::vector<std::string> journal;
  auto [first, second] = JournaledSinks(journal, "first", "second");
  HRESULT inner = E_UNEXPECTED;
  first->onBookMark = [&](DWORD mark) {
    if (mark == 2) inner = SayTagged(L"\\Mrk=3\\Ay\u015Fe gitti.\\Mrk=4\\", second);
  };
  EXPECT_EQ(SayTagged(L"\\Mrk=1\\Ali geldi.\\Mrk=2\\", first), S_OK);
  EXPECT_EQ(inner, S_OK);
  std::vector<std::string> seen;
  for (const std::string& e : journal)
    if (e.find("WordPosition") == std::string::npos) seen.push_back(e);
  EXPECT_EQ(seen, (std::vector<std::string>{"first Started", "first BookMark 1", "first BookMark 2",
                                            "first Done 0", "second Started", "second BookMark 3",
                                            "second BookMark 4", "second Done 0"}));
  EXPECT_EQ(first->RefCount(), 1);
  EXPECT_EQ(second->RefCount(), 1);
  first->Release();
  second->Release();
}

// A destination that never reports its bookmarks holds a text a few seconds at most: it ends
// once, without the marks, and none comes later.
TEST_F(ModeTaggedTest, MarksThatNeverComeBackDoNotHoldTheTextForEver) {
  fake->config.reportMarks = false;
  auto* sink = new RecordingBufSink;
  const DWORD start = GetTickCount();
  EXPECT_EQ(SayTagged(L"\\Mrk=1\\Ali geldi.\\Mrk=2\\", sink), S_OK);
  EXPECT_LT(GetTickCount() - start, 10000u);
  fake->config.reportMarks = true;
  HandlerWindow::Pump(100);
  EXPECT_EQ(std::count(sink->events.begin(), sink->events.end(), "Done 0"), 1);
  EXPECT_EQ(std::count_if(sink->events.begin(), sink->events.end(),
                          [](const std::string& e) { return e.rfind("BookMark", 0) == 0; }),
            0);
  sink->Release();
}

// A pause is at most a minute, whatever number the tag holds.
TEST_F(ModeTaggedTest, AHugePauseIsCutToAMinute) {
  EXPECT_EQ(SayTagged(L"\\Pau=4000000000\\"), S_OK);
  EXPECT_EQ(fake->Written().size(), 60000u * 32);
}

}  // namespace
}  // namespace kalvor::test
