// Attributes, the audio destination's notifications and their delivery to the registered sinks,
// and the mouth shapes.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "ModeFixture.h"
#include "MouthShape.h"

namespace kalvor::test {
namespace {

bool SameMouth(const TTSMOUTH& a, const TTSMOUTH& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

class ModeNotifyTest : public ModeTest {
 protected:
  void SetUp() override {
    ModeTest::SetUp();
    ASSERT_EQ(mode->QueryInterface(IID_ITTSAttributesW, reinterpret_cast<void**>(&attributes)),
              S_OK);
    sink = new RecordingModeSink;
    ASSERT_EQ(central->Register(sink, IID_ITTSNotifySinkA, &key), S_OK);
  }
  void TearDown() override {
    attributes->Release();
    EXPECT_EQ(central->UnRegister(key), S_OK);
    EXPECT_EQ(sink->RefCount(), 1);
    sink->Release();
    ModeTest::TearDown();
  }

  ITTSAttributesW* attributes = nullptr;
  RecordingModeSink* sink = nullptr;
  DWORD key = 0;
};

TEST_F(ModeNotifyTest, PitchDrivesTheRateRoundingHalvesToEven) {
  struct Case {
    WORD set;
    std::int32_t hiz;
    WORD get;
  };
  const Case cases[] = {
      {0, 0, 0},       {1, 1, 1},       {16, 12, 15},    {48, 38, 49},       {64, 50, 64},
      {128, 100, 128}, {255, 199, 255}, {256, 200, 256}, {0xFFFF, 200, 256},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(attributes->PitchSet(c.set), S_OK);
    EXPECT_EQ(mode->Player().Hiz(), c.hiz) << "pitch " << c.set;
    WORD got = 0;
    ASSERT_EQ(attributes->PitchGet(&got), S_OK);
    EXPECT_EQ(got, c.get) << "pitch " << c.set;
  }
}

TEST_F(ModeNotifyTest, SpeedAndRealTimeAreKeptButChangeNothing) {
  DWORD v = 0;
  ASSERT_EQ(attributes->SpeedGet(&v), S_OK);
  EXPECT_EQ(v, 100u);
  ASSERT_EQ(attributes->RealTimeGet(&v), S_OK);
  EXPECT_EQ(v, 0u);
  const std::pair<DWORD, DWORD> speeds[] = {{0xFFFFFFFF, 255}, {256, 255}, {255, 255}, {0, 0}};
  for (auto [set, want] : speeds) {
    ASSERT_EQ(attributes->SpeedSet(set), S_OK);
    ASSERT_EQ(attributes->SpeedGet(&v), S_OK);
    EXPECT_EQ(v, want);
  }
  ASSERT_EQ(attributes->RealTimeSet(0x12345678), S_OK);
  ASSERT_EQ(attributes->RealTimeGet(&v), S_OK);
  EXPECT_EQ(v, 0x12345678u);
  EXPECT_EQ(attributes->SpeedGet(nullptr), E_INVALIDARG);
  EXPECT_EQ(attributes->PitchGet(nullptr), E_INVALIDARG);

  EXPECT_EQ(Say(L"Ali geldi."), S_OK);
  EXPECT_EQ(fake->Written(), Concat(Reference("Ali geldi.")));
}

TEST_F(ModeNotifyTest, VolumeIsTheDevicesLevelOnBothChannels) {
  struct Case {
    DWORD set;
    DWORD level;
    DWORD get;
  };
  const Case cases[] = {{0xFFFFFFFF, 0xFFFFFFFF, 257},
                        {256, 0xFFFFFFFF, 257},
                        {255, 65025u * 65536 + 65025, 255},
                        {1, 255u * 65536 + 255, 1},
                        {0, 0, 0}};
  for (const Case& c : cases) {
    ASSERT_EQ(attributes->VolumeSet(c.set), S_OK);
    EXPECT_EQ(fake->Level(), c.level) << c.set;
    DWORD v = 12345;
    ASSERT_EQ(attributes->VolumeGet(&v), S_OK);
    EXPECT_EQ(v, c.get) << c.set;
  }
  // The device's failures come back, and a failed read leaves the value alone.
  fake->config.levelResult = E_ACCESSDENIED;
  DWORD v = 12345;
  EXPECT_EQ(attributes->VolumeGet(&v), E_ACCESSDENIED);
  EXPECT_EQ(v, 12345u);
  EXPECT_EQ(attributes->VolumeSet(3), E_ACCESSDENIED);
}

// Every setter tells the sinks, also when the value stays; the A facet does the same.
TEST_F(ModeNotifyTest, EverySetterReachesTheSinksWhenMessagesAreDispatched) {
  ITTSAttributesA* attributesA = nullptr;
  ASSERT_EQ(mode->QueryInterface(IID_ITTSAttributesA, reinterpret_cast<void**>(&attributesA)),
            S_OK);
  auto* second = new RecordingModeSink;
  DWORD key2 = 0;
  ASSERT_EQ(central->Register(second, IID_ITTSNotifySinkA, &key2), S_OK);
  for (int i = 0; i < 3; ++i) attributes->PitchSet(128);
  for (int i = 0; i < 3; ++i) attributesA->SpeedSet(100);
  for (int i = 0; i < 3; ++i) attributes->RealTimeSet(0);
  for (int i = 0; i < 3; ++i) attributesA->VolumeSet(200);
  EXPECT_TRUE(sink->attribs.empty()) << "delivered only on the mode's thread, from its messages";
  HandlerWindow::Pump(200, [&] { return second->attribs.size() >= 12; });
  const std::vector<DWORD> want = {1, 1, 1, 2, 2, 2, 0, 0, 0, 3, 3, 3};
  EXPECT_EQ(sink->attribs, want);
  EXPECT_EQ(second->attribs, want);

  // An unregistered sink hears nothing more.
  EXPECT_EQ(central->UnRegister(key2), S_OK);
  attributes->PitchSet(10);
  HandlerWindow::Pump(100, [&] { return sink->attribs.size() >= 13; });
  EXPECT_EQ(sink->attribs.size(), 13u);
  EXPECT_EQ(second->attribs.size(), 12u);
  EXPECT_EQ(second->RefCount(), 1);
  second->Release();
  attributesA->Release();
}

// The destination calls its sink from its own thread; the time stamp it has then reaches the
// sinks unchanged, on the mode's thread.
TEST_F(ModeNotifyTest, AudioStartAndStopFromAnotherThread) {
  const QWORD stamp = (QWORD{5} << 32) + 7;
  fake->config.totalGet = stamp;
  IAudioDestNotifySink* notify = fake->NotifySink();
  ASSERT_NE(notify, nullptr);
  const DWORD modeThread = GetCurrentThreadId();
  DWORD calledOn = modeThread;
  std::thread device([&] {
    calledOn = GetCurrentThreadId();
    notify->AudioStart();
    notify->AudioStop(IANSRSN_NODATA);
    notify->FreeSpace(100, FALSE);
  });
  device.join();
  EXPECT_NE(calledOn, modeThread);
  HandlerWindow::Pump(500, [&] { return !sink->stops.empty(); });
  EXPECT_EQ(sink->starts, std::vector<QWORD>{stamp});
  EXPECT_EQ(sink->stops, std::vector<QWORD>{stamp});
}

// Each letter of each unit comes back as a Visual with its mouth shape when the device plays its
// mark; the sinks are called while the mode waits inside the text or after it.
TEST_F(ModeNotifyTest, VisualsCarryTheLettersAndTheirMouthShapes) {
  ASSERT_EQ(Say(L"\u015Eeker ve \u0131s\u0131k."), S_OK);
  ASSERT_TRUE(fake->WaitPlayed());
  // The units are $E EKE _ER VE EI ISI _IK and a pause ($ for 0xDE): two marks before each, the
  // third letter's after it.
  const std::vector<FakeAudioDest::Mark> marks = {
      {0xDE, 0}, {'E', 0},  {'E', 6},  {'K', 6},  {'E', 16}, {'E', 16}, {'R', 16}, {'V', 26},
      {'E', 26}, {'E', 32}, {'I', 32}, {'I', 44}, {'S', 44}, {'I', 56}, {'I', 56}, {'K', 56}};
  HandlerWindow::Pump(1000, [&] { return sink->visuals.size() >= marks.size(); });
  ASSERT_EQ(sink->visuals.size(), marks.size());
  bool sawSh = false;
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const auto& v = sink->visuals[i];
    EXPECT_EQ(v.ipa, marks[i].id);
    EXPECT_EQ(v.engine, marks[i].id);
    EXPECT_EQ(v.hints, TTSNSHINT_COMMAND);
    EXPECT_TRUE(SameMouth(v.mouth, MouthShapeOf(static_cast<std::uint8_t>(marks[i].id))));
    sawSh = sawSh || v.ipa == 0xDE;
  }
  EXPECT_TRUE(sawSh) << "the text starts with the letter Ş";
}

TEST(MouthShape, RowsFollowTurkishUpperCasing) {
  struct Case {
    std::uint8_t c;
    TTSMOUTH want;
  };
  const TTSMOUTH A = {167, 148, 128, 0, 128, 177, 1, 20};
  const TTSMOUTH I = {9, 74, 55, 0, 150, 182, 141, 17};
  const TTSMOUTH IDot = {9, 74, 55, 0, 248, 182, 141, 17};
  const TTSMOUTH Sh = {12, 82, 173, 0, 128, 208, 191, 3};
  const TTSMOUTH E = {117, 148, 225, 0, 128, 208, 135, 0};
  const TTSMOUTH K = {36, 148, 224, 0, 128, 253, 142, 0};
  const TTSMOUTH Ue = {160, 21, 225, 0, 0, 255, 144, 183};
  const TTSMOUTH G = {16, 153, 215, 0, 218, 249, 12, 13};
  const TTSMOUTH Other = {0, 192, 128, 0, 0, 0, 0, 0};
  const Case cases[] = {
      {'A', A},   {'a', A},   {'I', I},     {0xFD, I},    {'i', IDot},   {0xDD, IDot},
      {0xDE, Sh}, {0xFE, Sh}, {'E', E},     {'K', K},     {0xFC, Ue},    {0xDC, Ue},
      {0xF0, G},  {0xD0, G},  {'5', Other}, {' ', Other}, {0xE9, Other}, {0, Other},
  };
  for (const Case& c : cases)
    EXPECT_TRUE(SameMouth(MouthShapeOf(c.c), c.want)) << "code " << int{c.c};
  for (const TMouthRow& row : MouthShapeTable) EXPECT_EQ(row.Mouth.bJawOpen, 0);
}

// The notify sink is the destination's to hold: it lives on after the mode went, and a late call
// reaches nothing of the mode.
TEST(ModeNotifyLifetime, OutlivesTheModeSafely) {
  auto* fake = new FakeAudioDest;
  IAudioDestNotifySink* notify = nullptr;
  {
    TSpcMode mode(fake->Unknown(), nullptr);
    ASSERT_EQ(mode.Init(), S_OK);
    IAudioDestNotifySink* held = fake->NotifySink();
    ASSERT_NE(held, nullptr);
    IUnknown* same = nullptr;
    ASSERT_EQ(held->QueryInterface(IID_IAudioDestNotifySink, reinterpret_cast<void**>(&same)),
              S_OK);
    EXPECT_EQ(same, static_cast<IUnknown*>(held));
    notify = held;  // keep the reference the query added
    EXPECT_EQ(held->QueryInterface(IID_IAudio, reinterpret_cast<void**>(&same)), E_NOINTERFACE);
    EXPECT_EQ(same, nullptr);
  }
  EXPECT_FALSE(fake->HasNotifySink());
  EXPECT_EQ(notify->AudioStart(), S_OK);
  EXPECT_EQ(notify->BookMark(65, FALSE), S_OK);
  EXPECT_EQ(notify->Release(), 0u);
  EXPECT_EQ(fake->RefCount(), 1);
  fake->Release();
}

}  // namespace
}  // namespace kalvor::test
