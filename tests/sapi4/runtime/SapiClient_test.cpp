// A SAPI 4 client's view, in a prefix where kalvor-reg registered Kalvor.dll and the stand-in run
// time: everything goes through CoCreateInstance(CLSID_TTSEnumerator) and the interfaces it hands
// out, as in a real SAPI 4 program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "ComSupport.h"
#include "ComTestSupport.h"
#include "EngineModule.h"
#include "Speech.h"

namespace {

namespace fs = std::filesystem;

const wchar_t kFemaleName[] = L"T\u00FCrk\u00E7e, Kad\u0131n, Nilvo (Kalvor)";
const wchar_t kMaleName[] = L"T\u00FCrk\u00E7e, Erkek, Tarpek (Kalvor)";
const GUID kUnknownMode = {
    0xE9214560, 0xA13D, 0x11D2, {0x91, 0x39, 0xB9, 0x5D, 0x81, 0x1E, 0x54, 0x03}};

const auto* const kApartment =
    ::testing::AddGlobalTestEnvironment(new kalvor::test::TComApartment(COINIT_APARTMENTTHREADED));

template <class I>
using Ptr = sapi4::TComRef<I>;
using kalvor::test::RefCount;

using kalvor::test::AllZero;

// A name field of a mode record.
std::wstring Field(const WCHAR* s) {
  return kalvor::test::Field(s, TTSI_NAMELEN);
}

void Pump(
    DWORD ms, const std::function<bool()>& done = [] { return false; }) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms && !done()) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(2);
  }
}

// A counted sink object of the test's own.
template <class I>
using Sink = kalvor::test::TStackObject<I>;

class BufSink final : public Sink<ITTSBufNotifySink> {
 public:
  HRESULT STDMETHODCALLTYPE TextDataDone(QWORD, DWORD flags) override {
    ++done;
    doneFlags = flags;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE TextDataStarted(QWORD) override {
    ++started;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE BookMark(QWORD, DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE WordPosition(QWORD, DWORD) override { return S_OK; }
  int started = 0, done = 0;
  DWORD doneFlags = 99;
};

class ModeSink final : public Sink<ITTSNotifySinkA> {
 public:
  HRESULT STDMETHODCALLTYPE AttribChanged(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE AudioStart(QWORD) override {
    ++starts;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE AudioStop(QWORD) override {
    ++stops;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Visual(QWORD, CHAR, CHAR engine, DWORD, PTTSMOUTH) override {
    letters += engine;
    return S_OK;
  }
  int starts = 0, stops = 0;
  std::string letters;
};

// Range probing, as the reader does for each advertised control: set the lowest, read, set the
// highest, read, put back what was there. The lowest must read below the highest, and what was
// there must come back.
template <class T, class Get, class Set>
void ProbeRange(Get get, Set set, T highest) {
  T value = 0, lowest = 0, top = 0, back = 0;
  ASSERT_EQ(get(&value), S_OK);
  ASSERT_EQ(set(0), S_OK);
  ASSERT_EQ(get(&lowest), S_OK);
  ASSERT_EQ(set(highest), S_OK);
  ASSERT_EQ(get(&top), S_OK);
  ASSERT_EQ(set(value), S_OK);
  ASSERT_EQ(get(&back), S_OK);
  EXPECT_LT(lowest, top);
  EXPECT_EQ(back, value);
}

// The run time's multimedia audio destination, writing into a WAV file as fast as it comes, or at
// `pace` times real time.
void CreateAudio(const fs::path& wav, Ptr<IUnknown>& audio, const wchar_t* pace = L"0") {
  SetEnvironmentVariableW(L"KALVOR_AUDIO_WAV", wav.c_str());
  SetEnvironmentVariableW(L"KALVOR_AUDIO_PACE", pace);
  ASSERT_EQ(CoCreateInstance(CLSID_MMAudioDest, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             audio.OutVoid()),
            S_OK);
  SetEnvironmentVariableW(L"KALVOR_AUDIO_WAV", nullptr);
  SetEnvironmentVariableW(L"KALVOR_AUDIO_PACE", nullptr);
}

class SapiClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const HRESULT r = CoCreateInstance(CLSID_TTSEnumerator, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_ITTSEnumW, enumW.OutVoid());
    ASSERT_EQ(r, S_OK) << "the stand-in run time is not registered in this prefix";
    temp = fs::temp_directory_path() / ("sapi-client-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(temp);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(temp, ec);
  }
  Ptr<ITTSEnumW> enumW;
  fs::path temp;
};

TEST_F(SapiClientTest, TheRunTimeListsTheMaleModeOfTheRegisteredEngine) {
  EXPECT_EQ(RefCount(enumW.Get()), 1u);
  std::vector<TTSMODEINFOW> modes(3);
  ULONG fetched = 0;
  EXPECT_EQ(enumW->Next(3, modes.data(), &fetched), S_FALSE) << "fewer than asked for";
  ASSERT_EQ(fetched, 1u);
  EXPECT_EQ(modes[0].gModeID, kalvor::KalvorModeMale);
  EXPECT_EQ(modes[0].gEngineID, kalvor::CLSID_KalvorEngine);
  EXPECT_EQ(Field(modes[0].szModeName), kMaleName);
  EXPECT_EQ(enumW->Next(1, modes.data(), &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(enumW->Next(2, modes.data(), nullptr), E_INVALIDARG);

  EXPECT_EQ(enumW->Reset(), S_OK);
  EXPECT_EQ(enumW->Skip(1), S_OK);
  Ptr<ITTSEnumW> clone;
  ASSERT_EQ(enumW->Clone(clone.Out()), S_OK);
  EXPECT_EQ(RefCount(clone.Get()), 1u);
  EXPECT_EQ(clone->Next(1, modes.data(), &fetched), S_FALSE) << "the clone starts at the source";
  EXPECT_EQ(clone->Reset(), S_OK);
  EXPECT_EQ(clone->Next(1, modes.data(), &fetched), S_OK);
  EXPECT_EQ(enumW->Next(1, modes.data(), &fetched), S_FALSE) << "the source did not move";
  EXPECT_EQ(enumW->Skip(5), S_FALSE);

  EXPECT_EQ(enumW->QueryInterface(IID_ITTSFindW, nullptr), E_POINTER);
  Ptr<ITTSEnumA> enumA;
  ASSERT_EQ(enumW->QueryInterface(IID_ITTSEnumA, enumA.OutVoid()), S_OK);
  enumA->Reset();
  TTSMODEINFOA a{};
  ASSERT_EQ(enumA->Next(1, &a, nullptr), S_OK);
  EXPECT_EQ(a.gModeID, kalvor::KalvorModeMale);
  EXPECT_STREQ(a.szSpeaker, "Tarpek");
}

TEST_F(SapiClientTest, FindReachesTheUnlistedFemaleModeByIdentifierOrName) {
  Ptr<ITTSFindW> find;
  ASSERT_EQ(enumW->QueryInterface(IID_ITTSFindW, find.OutVoid()), S_OK);
  TTSMODEINFOW criteria{}, found{};
  criteria.gModeID = kalvor::KalvorModeFemale;
  ASSERT_EQ(find->Find(&criteria, nullptr, &found), S_OK);
  EXPECT_EQ(Field(found.szModeName), kFemaleName);
  criteria = TTSMODEINFOW{};
  wcscpy(criteria.szModeName, kFemaleName);
  ASSERT_EQ(find->Find(&criteria, nullptr, &found), S_OK);
  EXPECT_EQ(found.gModeID, kalvor::KalvorModeFemale);
  criteria = TTSMODEINFOW{};
  criteria.gModeID = kUnknownMode;
  EXPECT_EQ(find->Find(&criteria, nullptr, &found), S_FALSE);
  EXPECT_TRUE(AllZero(found));
  EXPECT_EQ(find->Find(nullptr, nullptr, &found), E_INVALIDARG);

  Ptr<ITTSFindA> findA;
  ASSERT_EQ(enumW->QueryInterface(IID_ITTSFindA, findA.OutVoid()), S_OK);
  TTSMODEINFOA ca{}, fa{};
  ca.gModeID = kalvor::KalvorModeFemale;
  ASSERT_EQ(findA->Find(&ca, nullptr, &fa), S_OK);
  EXPECT_STREQ(fa.szSpeaker, "Nilvo");
}

// Select through the run time, speak into its audio destination, and hear of it through the
// sinks: the destination's notifications come from its own thread and reach the client's sink on
// the client's thread.
TEST_F(SapiClientTest, ASelectedModeSpeaksIntoTheRunTimesAudioDestination) {
  const fs::path wav = temp / "female.wav";
  Ptr<IUnknown> audio;
  CreateAudio(wav, audio);
  const ULONG audioRefs = RefCount(audio.Get());
  BufSink buf;
  ModeSink modeSink;
  {
    Ptr<ITTSCentralW> central;
    ASSERT_EQ(enumW->Select(kalvor::KalvorModeFemale, central.Out(), audio.Get()), S_OK);
    EXPECT_EQ(RefCount(central.Get()), 1u);
    TTSMODEINFOW info;
    ASSERT_EQ(central->ModeGet(&info), S_OK);
    EXPECT_EQ(Field(info.szSpeaker), L"Nilvo");
    DWORD key = 0;
    ASSERT_EQ(
        central->Register(static_cast<ITTSNotifySinkA*>(&modeSink), IID_ITTSNotifySinkA, &key),
        S_OK);
    const wchar_t text[] = L"Kadın sesiyle iki cümle. Ağaç gölgesi.";
    ASSERT_EQ(central->TextData(CHARSET_TEXT, 0, SDATA{const_cast<wchar_t*>(text), sizeof text},
                                static_cast<ITTSBufNotifySink*>(&buf), IID_ITTSBufNotifySink),
              S_OK);
    EXPECT_EQ(buf.started, 1);
    EXPECT_EQ(buf.done, 1);
    EXPECT_EQ(buf.doneFlags, 0u);
    EXPECT_EQ(buf.refs, 1) << "the text's sink was given back";
    Pump(5000, [&] { return modeSink.stops > 0; });
    EXPECT_GE(modeSink.starts, 1);
    EXPECT_GE(modeSink.stops, 1);
    EXPECT_NE(modeSink.letters.find('K'), std::string::npos) << modeSink.letters;
    EXPECT_EQ(central->UnRegister(key), S_OK);
    EXPECT_EQ(modeSink.refs, 1);
  }
  EXPECT_EQ(RefCount(audio.Get()), audioRefs) << "the mode went with its last release";
  audio.Reset();
  std::ifstream f(wav, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(f), {}};
  EXPECT_GT(bytes.size(), 44u + 16000u) << "less than half a second of speech";
}

TEST_F(SapiClientTest, TheAnsiSideSelectsAndRefusesLikeTheWideOne) {
  Ptr<IUnknown> audio;
  CreateAudio(temp / "male.wav", audio);
  Ptr<ITTSEnumA> enumA;
  ASSERT_EQ(enumW->QueryInterface(IID_ITTSEnumA, enumA.OutVoid()), S_OK);
  {
    Ptr<ITTSCentralA> central;
    ASSERT_EQ(enumA->Select(kalvor::KalvorModeMale, central.Out(), audio.Get()), S_OK);
    TTSMODEINFOA info;
    ASSERT_EQ(central->ModeGet(&info), S_OK);
    EXPECT_STREQ(info.szSpeaker, "Tarpek");
    const char text[] = "Merhaba.";
    EXPECT_EQ(central->TextData(CHARSET_TEXT, 0, SDATA{const_cast<char*>(text), sizeof text},
                                nullptr, IID_ITTSBufNotifySink),
              S_OK);
  }
  ITTSCentralA* none = nullptr;
  EXPECT_EQ(enumA->Select(kUnknownMode, &none, audio.Get()), TTSERR_INVALIDMODE);
  EXPECT_EQ(enumA->Select(kalvor::KalvorModeMale, &none, nullptr), E_INVALIDARG);
  EXPECT_EQ(enumA->Select(kalvor::KalvorModeMale, nullptr, audio.Get()), E_INVALIDARG);
  ITTSCentralW* noneW = nullptr;
  EXPECT_EQ(enumW->Select(kUnknownMode, &noneW, audio.Get()), TTSERR_INVALIDMODE);
  EXPECT_EQ(noneW, nullptr);
}

// ---------------------------------------------------------------------------------------------
// A screen reader: it speaks tagged text, learns where speech is from its marks, shows the
// controls the mode advertises, and stops and goes on.

// A buffer sink that keeps the order of everything it hears, the marks with their time stamps.
class ReaderSink final : public Sink<ITTSBufNotifySink> {
 public:
  HRESULT STDMETHODCALLTYPE TextDataDone(QWORD, DWORD) override {
    events.push_back(L"done");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE TextDataStarted(QWORD) override {
    events.push_back(L"started");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE BookMark(QWORD stamp, DWORD mark) override {
    events.push_back(L"mark " + std::to_wstring(mark));
    stamps.push_back(stamp);
    if (onMark) onMark(mark);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE WordPosition(QWORD, DWORD) override { return S_OK; }
  std::vector<std::wstring> Marks() const {
    std::vector<std::wstring> m;
    for (const std::wstring& e : events)
      if (e.rfind(L"mark", 0) == 0) m.push_back(e);
    return m;
  }
  long Count(const std::wstring& e) const { return std::count(events.begin(), events.end(), e); }
  std::vector<std::wstring> events;
  std::vector<QWORD> stamps;
  std::function<void(DWORD)> onMark;
};

// The reader's own window: its key handler is where a "stop" comes from.
class ReaderWindow {
 public:
  ReaderWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ScreenReaderTestWindow";
    RegisterClassW(&wc);
    hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            wc.hInstance, nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~ReaderWindow() { DestroyWindow(hwnd_); }
  ReaderWindow(const ReaderWindow&) = delete;
  ReaderWindow& operator=(const ReaderWindow&) = delete;
  void PostKey() { PostMessageW(hwnd_, WM_APP + 1, 0, 0); }
  std::function<void()> onKey;

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<ReaderWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (msg == WM_APP + 1 && self && self->onKey) {
      self->onKey();
      return 0;
    }
    return DefWindowProcW(h, msg, w, l);
  }
  HWND hwnd_ = nullptr;
};

HRESULT SayTagged(ITTSCentralW* central, const std::wstring& text, ITTSBufNotifySink* sink,
                  DWORD flags = TTSDATAFLAG_TAGGED) {
  std::wstring copy = text;
  return central->TextData(
      CHARSET_TEXT, flags,
      SDATA{copy.data(), static_cast<DWORD>((copy.size() + 1) * sizeof(wchar_t))}, sink,
      IID_ITTSBufNotifySink);
}

TEST_F(SapiClientTest, AScreenReadersSequence) {
  // The reader lists the modes and takes the features of the one it selects.
  TTSMODEINFOW info{};
  ASSERT_EQ(enumW->Reset(), S_OK);
  ASSERT_EQ(enumW->Next(1, &info, nullptr), S_OK);
  EXPECT_TRUE(info.dwFeatures & TTSFEATURE_TAGGED);
  EXPECT_TRUE(info.dwFeatures & TTSFEATURE_PITCH);
  EXPECT_TRUE(info.dwFeatures & TTSFEATURE_VOLUME);
  EXPECT_FALSE(info.dwFeatures & TTSFEATURE_SPEED) << "the speed changes nothing";

  // Played at four times real time, so that a long text is still playing when the reader stops.
  const fs::path wav = temp / "reader.wav";
  Ptr<IUnknown> audio;
  CreateAudio(wav, audio, L"4");
  ReaderSink sink;
  {
    Ptr<ITTSCentralW> central;
    ASSERT_EQ(enumW->Select(info.gModeID, central.Out(), audio.Get()), S_OK);
    TTSMODEINFOW selected{};
    ASSERT_EQ(central->ModeGet(&selected), S_OK);
    EXPECT_EQ(selected.dwFeatures, info.dwFeatures);

    // The pitch and the volume, probed as the reader probes them.
    Ptr<ITTSAttributesW> attributes;
    ASSERT_EQ(central->QueryInterface(IID_ITTSAttributesW, attributes.OutVoid()), S_OK);
    ITTSAttributesW* a = attributes.Get();
    ASSERT_NO_FATAL_FAILURE(ProbeRange<WORD>([&](WORD* v) { return a->PitchGet(v); },
                                             [&](WORD v) { return a->PitchSet(v); }, 0xFFFF));
    ASSERT_NO_FATAL_FAILURE(ProbeRange<DWORD>([&](DWORD* v) { return a->VolumeGet(v); },
                                              [&](DWORD v) { return a->VolumeSet(v); },
                                              0xFFFFFFFF));

    // An utterance with settings, marks, a pause, a pitch change, an escaped backslash and tags
    // the engine has no use for; the reader adds a mark at its end.
    Ptr<IAudio> device;
    ASSERT_EQ(audio->QueryInterface(IID_IAudio, device.OutVoid()), S_OK);
    QWORD before = 0;
    device->TotalGet(&before);
    ASSERT_EQ(
        SayTagged(central.Get(),
                  L"\\Pit=128\\\\Spd=100\\\\Mrk=1\\Merhaba d\u00FCnya. \\RmS=1\\C:\\\\Belgeler"
                  L" \\Chr=\"Normal\"\\klas\u00F6r\u00FC.\\Pau=300\\\\Pit=110\\\\Mrk=2\\"
                  L"Bir daha.\\Mrk=3\\",
                  &sink),
        S_OK);
    QWORD after = 0;
    device->TotalGet(&after);
    EXPECT_EQ(sink.events,
              (std::vector<std::wstring>{L"started", L"mark 1", L"mark 2", L"mark 3", L"done"}));
    ASSERT_EQ(sink.stamps.size(), 3u);
    EXPECT_EQ(sink.stamps[0], before);
    EXPECT_LT(sink.stamps[0], sink.stamps[1]);
    EXPECT_LT(sink.stamps[1], sink.stamps[2]);
    EXPECT_EQ(sink.stamps[2], after) << "the last mark comes after all of the text's audio";
    EXPECT_EQ(sink.refs, 1);

    // The reader stops in the middle of a long text, from its own key handler, and reads on.
    ReaderWindow window;
    HRESULT reset = E_UNEXPECTED;
    window.onKey = [&] { reset = central->AudioReset(); };
    sink.events.clear();
    sink.onMark = [&](DWORD mark) {
      if (mark == 2) window.PostKey();
    };
    std::wstring text = L"\\Mrk=1\\Uzun bir metnin ilk c\u00FCmlesi.\\Mrk=2\\";
    for (int i = 3; i < 12; ++i)
      text += L" Bu da " + std::to_wstring(i) + L". c\u00FCmle, biraz uzun olsun.\\Mrk=" +
              std::to_wstring(i) + L"\\";
    ASSERT_EQ(SayTagged(central.Get(), text, &sink), S_OK);
    sink.onMark = nullptr;
    EXPECT_EQ(reset, S_OK);
    Pump(500);
    EXPECT_EQ(sink.Marks(), (std::vector<std::wstring>{L"mark 1", L"mark 2"}))
        << "no mark of a stopped text comes after the stop";
    EXPECT_EQ(sink.Count(L"done"), 1);
    EXPECT_EQ(sink.Count(L"started"), 1);

    sink.events.clear();
    ASSERT_EQ(SayTagged(central.Get(), L"\\Mrk=20\\Devam.\\Mrk=21\\", &sink), S_OK);
    EXPECT_EQ(sink.events,
              (std::vector<std::wstring>{L"started", L"mark 20", L"mark 21", L"done"}));
    EXPECT_EQ(sink.refs, 1);
  }
  audio.Reset();
}

// An engine list entry that names nothing loadable is passed over: the other engines still show.
TEST(SapiClientRegistry, ABrokenEngineEntryHidesNoOtherEngine) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Voice\\TextToSpeech\\Engine", 0,
                            nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const wchar_t missing[] = L"{0BADF00D-0000-0000-0000-000000000001}";
  const wchar_t garbage[] = L"not a class identifier";
  RegSetValueExW(key, L"AAA Missing", 0, REG_SZ, reinterpret_cast<const BYTE*>(missing),
                 sizeof missing);
  RegSetValueExW(key, L"AAB Garbage", 0, REG_SZ, reinterpret_cast<const BYTE*>(garbage),
                 sizeof garbage);
  Ptr<ITTSEnumW> e;
  const HRESULT r = CoCreateInstance(CLSID_TTSEnumerator, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_ITTSEnumW, e.OutVoid());
  RegDeleteValueW(key, L"AAA Missing");
  RegDeleteValueW(key, L"AAB Garbage");
  RegCloseKey(key);
  ASSERT_EQ(r, S_OK);
  TTSMODEINFOW m;
  ASSERT_EQ(e->Next(1, &m, nullptr), S_OK);
  EXPECT_EQ(m.gModeID, kalvor::KalvorModeMale);
}

}  // namespace
