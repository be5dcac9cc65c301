// The stand-in run time's multimedia audio destination, through sapi4rt.dll itself (its class
// factory needs no registration): the bounded buffer, the consuming thread and its notifications,
// the pace, and the WAV file it writes instead of playing.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "ComTestSupport.h"
#include "Speech.h"

namespace {

namespace fs = std::filesystem;

using kalvor::test::Pcm16k;

kalvor::test::TComServerDll& Dll() {
  static kalvor::test::TComServerDll dll(kalvor::test::ProgramDir() / "sapi4rt.dll");
  return dll;
}

// A temporary folder for the WAV files, removed at the end.
struct TempFolder {
  fs::path path;
  TempFolder() {
    path = fs::temp_directory_path() / ("sapi4rt-test-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(path);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

// The environment the destination reads when it is created; restored afterwards.
class Settings {
 public:
  Settings(const wchar_t* wav, const wchar_t* pace, const wchar_t* bufferMs) {
    Set(L"KALVOR_AUDIO_WAV", wav);
    Set(L"KALVOR_AUDIO_PACE", pace);
    Set(L"KALVOR_AUDIO_BUFFER_MS", bufferMs);
  }
  ~Settings() {
    for (const wchar_t* n : {L"KALVOR_AUDIO_WAV", L"KALVOR_AUDIO_PACE", L"KALVOR_AUDIO_BUFFER_MS"})
      SetEnvironmentVariableW(n, nullptr);
  }
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

 private:
  static void Set(const wchar_t* name, const wchar_t* value) {
    SetEnvironmentVariableW(name, value);
  }
};

HRESULT CreateDest(IAudio** audio) {
  *audio = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT r = Dll().getClassObject(CLSID_MMAudioDest, IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory));
  if (FAILED(r)) return r;
  r = factory->CreateInstance(nullptr, IID_IAudio, reinterpret_cast<void**>(audio));
  factory->Release();
  return r;
}

IAudioDest* DestOf(IAudio* audio) {
  IAudioDest* dest = nullptr;
  audio->QueryInterface(IID_IAudioDest, reinterpret_cast<void**>(&dest));
  return dest;
}

HRESULT SetFormat(IAudio* audio, WAVEFORMATEX f) {
  return audio->WaveFormatSet(SDATA{&f, sizeof f});
}

// What the destination reports, with the thread it came from and the position at that moment.
class RecordingSink final : public kalvor::test::TStackObject<IAudioDestNotifySink> {
 public:
  struct Event {
    std::string what;
    DWORD value;
    BOOL flag;
    DWORD thread;
    QWORD posn;
  };
  IAudio* audio = nullptr;  // not counted: the test holds it

  HRESULT STDMETHODCALLTYPE AudioStop(WORD reason) override { return Add("Stop", reason, FALSE); }
  HRESULT STDMETHODCALLTYPE AudioStart() override { return Add("Start", 0, FALSE); }
  HRESULT STDMETHODCALLTYPE FreeSpace(DWORD bytes, BOOL eof) override {
    return Add("Free", bytes, eof);
  }
  HRESULT STDMETHODCALLTYPE BookMark(DWORD id, BOOL flushed) override {
    return Add("Mark", id, flushed);
  }

  std::vector<Event> Events() {
    std::lock_guard<std::mutex> lock(m_);
    return events_;
  }
  // Waits for an event of that kind (and value, when given).
  bool WaitFor(const std::string& what, DWORD ms = 5000, long value = -1) {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] {
      for (const Event& e : events_)
        if (e.what == what && (value < 0 || e.value == static_cast<DWORD>(value))) return true;
      return false;
    });
  }
  std::vector<Event> Of(const std::string& what) {
    std::vector<Event> out;
    for (const Event& e : Events())
      if (e.what == what) out.push_back(e);
    return out;
  }

 private:
  HRESULT Add(const char* what, DWORD value, BOOL flag) {
    QWORD posn = 0;
    if (audio) audio->PosnGet(&posn);  // the destination calls us outside its lock
    std::lock_guard<std::mutex> lock(m_);
    events_.push_back({what, value, flag, GetCurrentThreadId(), posn});
    cv_.notify_all();
    return S_OK;
  }
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<Event> events_;
};

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t seed) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(seed + i * 7);
  return v;
}

std::vector<std::uint8_t> ReadFileBytes(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

bool WaitPlayed(IAudio* audio, DWORD ms = 5000) {
  const DWORD start = GetTickCount();
  for (;;) {
    QWORD posn = 0, total = 0;
    audio->PosnGet(&posn);
    audio->TotalGet(&total);
    if (posn == total) return true;
    if (GetTickCount() - start > ms) return false;
    Sleep(2);
  }
}

class AudioDestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Dll().module, nullptr) << "sapi4rt.dll did not load";
    ASSERT_EQ(Dll().canUnloadNow(), S_OK);
  }
  void TearDown() override { EXPECT_EQ(Dll().canUnloadNow(), S_OK) << "objects left behind"; }

  // A new destination (with the settings in force) and its IAudioDest, told of the sink when one
  // is given, in 16 kHz 16-bit mono; the test releases both.
  static void Open(IAudio*& audio, IAudioDest*& dest, RecordingSink* sink = nullptr) {
    ASSERT_EQ(CreateDest(&audio), S_OK);
    dest = DestOf(audio);
    if (sink) {
      ASSERT_EQ(audio->PassNotify(sink, IID_IAudioDestNotifySink), S_OK);
    }
    ASSERT_EQ(SetFormat(audio, Pcm16k()), S_OK);
  }

  TempFolder temp;
};

TEST_F(AudioDestTest, OneObjectAnswersTheThreeInterfaces) {
  Settings s(nullptr, nullptr, nullptr);
  IAudio* audio = nullptr;
  ASSERT_EQ(CreateDest(&audio), S_OK);
  EXPECT_EQ(Dll().canUnloadNow(), S_FALSE);
  for (const IID* iid : {&IID_IAudioDest, &IID_IAudioMultiMediaDevice, &IID_IUnknown}) {
    IUnknown* p = nullptr;
    ASSERT_EQ(audio->QueryInterface(*iid, reinterpret_cast<void**>(&p)), S_OK);
    IUnknown* back = nullptr;
    p->QueryInterface(IID_IAudio, reinterpret_cast<void**>(&back));
    EXPECT_EQ(back, static_cast<IUnknown*>(audio));
    back->Release();
    p->Release();
  }
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(audio->QueryInterface(IID_ITTSCentralW, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(audio->Release(), 0u);
}

// COM's rules at the DLL's edge: a null out-pointer is E_POINTER wherever an interface is handed
// out, and an object made for an interface it does not have goes again at once (nothing is left
// behind for DllCanUnloadNow, which the fixture checks).
TEST_F(AudioDestTest, TheFactoryAndItsObjectsKeepCOMsRulesForOutPointers) {
  Settings s(nullptr, nullptr, nullptr);
  EXPECT_EQ(Dll().getClassObject(CLSID_MMAudioDest, IID_IClassFactory, nullptr), E_POINTER);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(Dll().getClassObject(CLSID_MMAudioDest, IID_IClassFactory,
                                 reinterpret_cast<void**>(&factory)),
            S_OK);
  EXPECT_EQ(factory->QueryInterface(IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IAudio, nullptr), E_POINTER);
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_ITTSCentralW, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  IAudio* audio = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IAudio, reinterpret_cast<void**>(&audio)), S_OK);
  EXPECT_EQ(audio->QueryInterface(IID_IAudioDest, nullptr), E_POINTER);
  EXPECT_EQ(audio->Release(), 0u);
  EXPECT_EQ(factory->Release(), 0u);
}

TEST_F(AudioDestTest, OnlyPlainPcmFormatsAreTaken) {
  Settings s(nullptr, nullptr, nullptr);
  IAudio* audio = nullptr;
  ASSERT_EQ(CreateDest(&audio), S_OK);
  SDATA got{};
  EXPECT_EQ(audio->WaveFormatGet(&got), AUDERR_NEEDWAVEFORMAT);
  const struct Case {
    const char* what;
    void (*edit)(WAVEFORMATEX&);
    HRESULT result;
  } cases[] = {
      {"16 kHz mono 16-bit", [](WAVEFORMATEX&) {}, S_OK},
      {"8-bit",
       [](WAVEFORMATEX& f) { f.wBitsPerSample = 8, f.nBlockAlign = 1, f.nAvgBytesPerSec = 16000; },
       S_OK},
      {"not PCM", [](WAVEFORMATEX& f) { f.wFormatTag = 3; }, TTSERR_WAVEFORMATNOTSUPPORTED},
      {"24-bit",
       [](WAVEFORMATEX& f) { f.wBitsPerSample = 24, f.nBlockAlign = 3, f.nAvgBytesPerSec = 48000; },
       TTSERR_WAVEFORMATNOTSUPPORTED},
      {"block align that lies", [](WAVEFORMATEX& f) { f.nBlockAlign = 4; },
       TTSERR_WAVEFORMATNOTSUPPORTED},
      {"byte rate that lies", [](WAVEFORMATEX& f) { f.nAvgBytesPerSec = 1; },
       TTSERR_WAVEFORMATNOTSUPPORTED},
      {"no channels", [](WAVEFORMATEX& f) { f.nChannels = 0; }, TTSERR_WAVEFORMATNOTSUPPORTED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WAVEFORMATEX f = Pcm16k();
    c.edit(f);
    EXPECT_EQ(SetFormat(audio, f), c.result);
  }
  EXPECT_EQ(audio->WaveFormatSet(SDATA{nullptr, 18}), E_INVALIDARG);
  WAVEFORMATEX f = Pcm16k();
  EXPECT_EQ(audio->WaveFormatSet(SDATA{&f, 8}), E_INVALIDARG);
  ASSERT_EQ(SetFormat(audio, Pcm16k()), S_OK);
  ASSERT_EQ(audio->WaveFormatGet(&got), S_OK);
  ASSERT_EQ(got.dwSize, sizeof(WAVEFORMATEX));
  EXPECT_EQ(std::memcmp(got.pData, &f, sizeof f), 0);
  CoTaskMemFree(got.pData);
  audio->Release();
}

TEST_F(AudioDestTest, DataNeedsAClaimAndAClaimNeedsAFormat) {
  Settings s((temp.path / "claim.wav").c_str(), L"0", nullptr);
  IAudio* audio = nullptr;
  ASSERT_EQ(CreateDest(&audio), S_OK);
  IAudioDest* dest = DestOf(audio);
  std::uint8_t data[4] = {};
  EXPECT_EQ(audio->Claim(), AUDERR_NEEDWAVEFORMAT);
  ASSERT_EQ(SetFormat(audio, Pcm16k()), S_OK);
  EXPECT_EQ(dest->DataSet(data, 4), AUDERR_NOTCLAIMED);
  EXPECT_EQ(audio->UnClaim(), AUDERR_NOTCLAIMED);
  EXPECT_EQ(audio->Claim(), S_OK);
  EXPECT_EQ(audio->Claim(), AUDERR_ALREADYCLAIMED);
  EXPECT_EQ(SetFormat(audio, Pcm16k()), AUDERR_ALREADYCLAIMED);
  EXPECT_EQ(dest->DataSet(data, 4), S_OK);
  EXPECT_EQ(dest->DataSet(data, 0), S_OK);
  EXPECT_EQ(audio->UnClaim(), S_OK);
  dest->Release();
  audio->Release();
}

// The whole life of a text, as an engine gives it: everything arrives in the file unchanged, and
// the notifications come from the destination's own thread, each bookmark once playback reached
// its place.
TEST_F(AudioDestTest, AWavFileGetsEveryByteAndBookmarksComeFromTheDevicesThread) {
  const fs::path wav = temp.path / "text.wav";
  Settings s(wav.c_str(), L"0", nullptr);
  IAudio* audio = nullptr;
  IAudioDest* dest = nullptr;
  RecordingSink sink;
  ASSERT_NO_FATAL_FAILURE(Open(audio, dest, &sink));
  sink.audio = audio;
  EXPECT_EQ(audio->PassNotify(&sink, IID_ITTSNotifySinkA), E_NOINTERFACE);
  ASSERT_EQ(audio->Claim(), S_OK);
  ASSERT_EQ(audio->Start(), S_OK);
  EXPECT_EQ(audio->Start(), S_OK) << "starting a started destination is harmless";

  std::vector<std::uint8_t> expected;
  std::vector<QWORD> markAt;
  for (int i = 0; i < 20; ++i) {
    const auto batch = Bytes(200 + 2 * i, static_cast<std::uint8_t>(i));
    ASSERT_EQ(dest->BookMark(100 + i), S_OK);
    markAt.push_back(expected.size());
    ASSERT_EQ(
        dest->DataSet(const_cast<std::uint8_t*>(batch.data()), static_cast<DWORD>(batch.size())),
        S_OK);
    expected.insert(expected.end(), batch.begin(), batch.end());
  }
  ASSERT_EQ(audio->UnClaim(), S_OK);
  ASSERT_TRUE(sink.WaitFor("Stop", 5000, IANSRSN_NODATA)) << "no AudioStop after the claim ended";
  QWORD total = 0;
  audio->TotalGet(&total);
  EXPECT_EQ(total, expected.size());

  const auto events = sink.Events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().what, "Start");
  EXPECT_EQ(events.back().what, "Stop");
  for (const auto& e : events) EXPECT_NE(e.thread, GetCurrentThreadId()) << e.what;
  const auto marks = sink.Of("Mark");
  ASSERT_EQ(marks.size(), markAt.size());
  for (std::size_t i = 0; i < marks.size(); ++i) {
    EXPECT_EQ(marks[i].value, 100 + i);
    EXPECT_FALSE(marks[i].flag);
    EXPECT_GE(marks[i].posn, markAt[i]) << "mark " << i << " came before playback reached it";
  }
  for (const auto& e : sink.Of("Free")) EXPECT_LE(e.value, 32000u);

  ASSERT_EQ(audio->PassNotify(nullptr, IID_IAudioDestNotifySink), S_OK);
  // A delivery under way when the sink was taken back ends with its Release.
  for (int i = 0; i < 200 && sink.refs != 1; ++i) Sleep(5);
  EXPECT_EQ(sink.refs, 1) << "the destination gave the sink back";
  dest->Release();
  audio->Release();

  const auto file = ReadFileBytes(wav);
  ASSERT_EQ(file.size(), 44 + expected.size());
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
  EXPECT_EQ(U32(file, 4), 36 + expected.size());
  EXPECT_EQ(U32(file, 24), 16000u);
  EXPECT_EQ(U32(file, 28), 32000u);
  EXPECT_EQ(U32(file, 40), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), file.begin() + 44));
}

TEST_F(AudioDestTest, EveryClaimAppendsToTheSameFile) {
  const fs::path wav = temp.path / "two.wav";
  Settings s(wav.c_str(), L"0", nullptr);
  IAudio* audio = nullptr;
  IAudioDest* dest = nullptr;
  ASSERT_NO_FATAL_FAILURE(Open(audio, dest));
  std::vector<std::uint8_t> expected;
  for (int text = 0; text < 2; ++text) {
    ASSERT_EQ(audio->Claim(), S_OK);
    audio->Start();
    auto batch = Bytes(1000, static_cast<std::uint8_t>(text * 50));
    ASSERT_EQ(dest->DataSet(batch.data(), 1000), S_OK);
    expected.insert(expected.end(), batch.begin(), batch.end());
    ASSERT_EQ(audio->UnClaim(), S_OK);
    ASSERT_TRUE(WaitPlayed(audio));
    // Complete after each text, not only once the destination is gone.
    const auto file = ReadFileBytes(wav);
    EXPECT_EQ(U32(file, 40), expected.size());
  }
  dest->Release();
  audio->Release();
  const auto file = ReadFileBytes(wav);
  ASSERT_EQ(file.size(), 44 + expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), file.begin() + 44));
}

TEST_F(AudioDestTest, TheBufferIsBoundedAndABatchTooBigIsRefusedWhole) {
  Settings s((temp.path / "bounded.wav").c_str(), L"0", L"100");  // 3200 bytes at 16 kHz 16-bit
  IAudio* audio = nullptr;
  IAudioDest* dest = nullptr;
  ASSERT_NO_FATAL_FAILURE(Open(audio, dest));
  ASSERT_EQ(audio->Claim(), S_OK);  // not started: nothing drains
  DWORD free = 0;
  BOOL eof = TRUE;
  ASSERT_EQ(dest->FreeSpace(&free, &eof), S_OK);
  EXPECT_EQ(free, 3200u);
  EXPECT_FALSE(eof);
  auto batch = Bytes(3202, 1);
  EXPECT_EQ(dest->DataSet(batch.data(), 3202), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(dest->DataSet(batch.data(), 3000), S_OK);
  dest->FreeSpace(&free, &eof);
  EXPECT_EQ(free, 200u);
  EXPECT_EQ(dest->DataSet(batch.data(), 201), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  Sleep(50);
  QWORD posn = 1;
  audio->PosnGet(&posn);
  EXPECT_EQ(posn, 0u) << "a destination that was not started plays nothing";
  ASSERT_EQ(audio->Start(), S_OK);
  ASSERT_TRUE(WaitPlayed(audio));
  dest->FreeSpace(&free, &eof);
  EXPECT_EQ(free, 3200u);
  audio->UnClaim();
  dest->Release();
  audio->Release();
}

TEST_F(AudioDestTest, FlushDropsWhatWasNotPlayedAndReportsItsBookmarksAsFlushed) {
  const fs::path wav = temp.path / "flush.wav";
  Settings s(wav.c_str(), L"0", nullptr);
  IAudio* audio = nullptr;
  IAudioDest* dest = nullptr;
  RecordingSink sink;
  ASSERT_NO_FATAL_FAILURE(Open(audio, dest, &sink));
  ASSERT_EQ(audio->Claim(), S_OK);
  auto batch = Bytes(1000, 3);
  dest->DataSet(batch.data(), 1000);
  dest->BookMark(7);
  dest->DataSet(batch.data(), 1000);
  ASSERT_EQ(audio->Flush(), S_OK);
  ASSERT_TRUE(sink.WaitFor("Mark"));
  const auto marks = sink.Of("Mark");
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ(marks[0].value, 7u);
  EXPECT_TRUE(marks[0].flag);
  QWORD posn = 0, total = 0;
  audio->PosnGet(&posn);
  audio->TotalGet(&total);
  EXPECT_EQ(total, 2000u);
  EXPECT_EQ(posn, total) << "flushed audio counts as passed";
  audio->Start();
  audio->UnClaim();
  audio->PassNotify(nullptr, IID_IAudioDestNotifySink);
  dest->Release();
  audio->Release();
  EXPECT_EQ(ReadFileBytes(wav).size(), 44u) << "flushed audio reached the file";
}

// At pace 1 the destination takes as long as the audio lasts; at pace 4, a quarter of it.
TEST_F(AudioDestTest, ThePaceFollowsTheClock) {
  for (const wchar_t* pace : {L"1", L"4"}) {
    Settings s((temp.path / "paced.wav").c_str(), pace, L"100");
    IAudio* audio = nullptr;
    IAudioDest* dest = nullptr;
    ASSERT_NO_FATAL_FAILURE(Open(audio, dest));
    ASSERT_EQ(audio->Claim(), S_OK);
    audio->Start();
    auto batch = Bytes(1600, 5);  // 50 ms
    const DWORD start = GetTickCount();
    for (int i = 0; i < 12;) {  // 600 ms of audio
      DWORD free = 0;
      BOOL eof = FALSE;
      dest->FreeSpace(&free, &eof);
      if (free >= batch.size()) {
        ASSERT_EQ(dest->DataSet(batch.data(), 1600), S_OK);
        ++i;
      } else {
        Sleep(5);
      }
    }
    audio->UnClaim();
    ASSERT_TRUE(WaitPlayed(audio));
    const DWORD elapsed = GetTickCount() - start;
    if (pace[0] == L'1') {
      EXPECT_GE(elapsed, 520u);
      EXPECT_LE(elapsed, 2000u);
    } else {
      EXPECT_GE(elapsed, 100u);
      EXPECT_LE(elapsed, 450u);
    }
    dest->Release();
    audio->Release();
  }
}

TEST_F(AudioDestTest, SettingsThatMakeNoSenseAreRefusedAtCreation) {
  const struct Case {
    const wchar_t* pace;
    const wchar_t* buffer;
  } cases[] = {{L"fast", nullptr},
               {L"-1", nullptr},
               {nullptr, L"10"},
               {nullptr, L"1.5"},
               {nullptr, L"100000"}};
  for (const Case& c : cases) {
    Settings s(nullptr, c.pace, c.buffer);
    IAudio* audio = nullptr;
    EXPECT_EQ(CreateDest(&audio), E_INVALIDARG);
    EXPECT_EQ(audio, nullptr);
  }
}

// Without a WAV file the destination plays through waveOut; a machine without a sound device
// says so at the claim.
TEST_F(AudioDestTest, WithoutAFileItPlaysThroughTheWaveDevice) {
  Settings s(nullptr, nullptr, nullptr);
  IAudio* audio = nullptr;
  IAudioDest* dest = nullptr;
  ASSERT_NO_FATAL_FAILURE(Open(audio, dest));
  const HRESULT claim = audio->Claim();
  if (FAILED(claim)) {
    EXPECT_TRUE(claim == HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_AVAILABLE) ||
                claim == TTSERR_WAVEDEVICEBUSY)
        << std::hex << claim;
    dest->Release();
    audio->Release();
    GTEST_SKIP() << "no wave device here";
  }
  RecordingSink sink;
  audio->PassNotify(&sink, IID_IAudioDestNotifySink);
  audio->Start();
  auto batch = Bytes(3200, 0);  // 100 ms
  ASSERT_EQ(dest->DataSet(batch.data(), 3200), S_OK);
  dest->BookMark(1);
  audio->UnClaim();
  EXPECT_TRUE(WaitPlayed(audio, 5000));
  EXPECT_TRUE(sink.WaitFor("Stop"));
  EXPECT_EQ(sink.Of("Mark").size(), 1u);
  audio->PassNotify(nullptr, IID_IAudioDestNotifySink);
  dest->Release();
  audio->Release();
}

}  // namespace
