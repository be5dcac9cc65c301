#include "ModeFixture.h"

#include "EngineModule.h"

namespace kalvor::test {

std::vector<RefEvent> ReferenceEvents(const std::filesystem::path& voice, std::string_view text,
                                      std::int32_t hiz) {
  TStrPlayer player;
  player.LoadData(voice);
  player.SetHiz(hiz);
  std::vector<RefEvent> events;
  player.SetOnPlaySyl([&](TStrPlayer& p, TStr3 syl, std::int32_t& hres) {
    events.push_back({syl.Str(), p.OutputStream().Bytes()});
    hres = 0;
  });
  player.Speak(text);
  return events;
}

std::vector<std::uint8_t> Concat(const std::vector<RefEvent>& events) {
  std::vector<std::uint8_t> all;
  for (const RefEvent& e : events) all.insert(all.end(), e.bytes.begin(), e.bytes.end());
  return all;
}

std::pair<RecordingBufSink*, RecordingBufSink*> JournaledSinks(std::vector<std::string>& journal,
                                                               const char* first,
                                                               const char* second) {
  auto* a = new RecordingBufSink;
  auto* b = new RecordingBufSink;
  a->journal = b->journal = &journal;
  a->name = first;
  b->name = second;
  return {a, b};
}

const std::vector<FakeAudioDest::Mark> kTwoSentencesMarks = {
    {'A', 0},     {'1', 0},    {'A', 8},     {'L', 8},    {0xDD, 14},   {0xDD, 14},
    {'G', 14},    {'E', 24},   {'E', 24},    {'L', 24},   {'D', 34},    {0xDD, 34},
    {'D', 44},    {0xDD, 44},  {'A', 9656},  {'1', 9656}, {'A', 9664},  {'Y', 9664},
    {0xDE, 9676}, {'E', 9676}, {'E', 9682},  {'G', 9682}, {0xDD, 9688}, {0xDD, 9688},
    {'T', 9688},  {'T', 9694}, {0xDD, 9694}, {'T', 9704}, {0xDD, 9704}};

std::unique_ptr<TempDir> ModeTest::dir_;
std::filesystem::path ModeTest::voice_;

void ModeTest::SetUpTestSuite() {
  dir_ = std::make_unique<TempDir>();
  voice_ = SyntheticVoice::Covering(AllTurkishUnitNames()).WriteTo(dir_->Path());
}

void ModeTest::TearDownTestSuite() {
  dir_.reset();
}

const std::filesystem::path& ModeTest::VoicePath() {
  return voice_;
}

void ModeTest::SetUp() {
  fake = new FakeAudioDest;
  // As Select does: the mode counts as a live object of the module until its last Release.
  objectsBefore_ = ObjectCount();
  ObjectCreated();
  mode = new TSpcMode(fake->Unknown(), &ObjectReleased);
  ASSERT_EQ(mode->Init(), S_OK);
  mode->Player().LoadData(voice_);
  ASSERT_EQ(mode->QueryInterface(IID_ITTSCentralW, reinterpret_cast<void**>(&central)), S_OK);
}

void ModeTest::TearDown() {
  if (central) central->Release();
  if (mode) {
    EXPECT_EQ(mode->RefCount(), 0);
    EXPECT_EQ(ObjectCount(), objectsBefore_) << "the last Release must notify the module";
    delete mode;
  }
  if (fake) {
    // Every reference the mode took to the destination and its interfaces is given back, and the
    // notify sink withdrawn.
    EXPECT_EQ(fake->RefCount(), 1);
    EXPECT_FALSE(fake->HasNotifySink());
    EXPECT_FALSE(fake->Claimed());
    fake->Release();
  }
}

HRESULT ModeTest::Say(std::wstring_view text, IUnknown* sink, const IID& iid) {
  std::wstring copy(text);
  SDATA d{copy.data(), static_cast<DWORD>((copy.size() + 1) * sizeof(wchar_t))};
  return central->TextData(CHARSET_TEXT, 0, d, sink, iid);
}

}  // namespace kalvor::test
