// The SAPI 4 client against a fake engine of our own: the fake enumerator and audio device are
// registered as this process's class objects for the run time's class identifiers, so the
// component reaches them through CoCreateInstance as it would the real run time. The fakes record
// every call and can fail at any step.
#include "OrvelSpeech.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "FakeSapiParts.h"
#include "TestWindows.h"

namespace lumeko {
namespace {

using test::CentralStubs;
using test::FakeAttributes;
using test::FakeAttributeValues;
using test::FakeModeEnum;
using test::QueryOne;

// ---- Fake engine ----

// A mode object: ITTSCentralA, optionally ITTSCentralW, and ITTSAttributesA, as facets of one
// object with one reference count.
class FakeMode {
 public:
  struct TextCall {
    bool wide;
    VOICECHARSET charset;
    DWORD flags;
    std::vector<BYTE> bytes;  // dwSize bytes from pData
    PVOID sink;
    IID sinkId;
  };

  bool offerWide = true;
  bool offerAttributes = true;
  LONG refs = 1;
  std::vector<TextCall> texts;
  int resets = 0;
  std::vector<std::string> attributeCalls;
  // The engine clamps every request into these ranges.
  FakeAttributeValues values{.pitch = 100,
                             .minPitch = 50,
                             .maxPitch = 300,
                             .speed = 150,
                             .minSpeed = 30,
                             .maxSpeed = 400,
                             .volume = 1000,
                             .minVolume = 10,
                             .maxVolume = 0xFFFF};
  HRESULT attributeResult = S_OK;

  HRESULT QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_ITTSCentralA)
      *out = static_cast<ITTSCentralA*>(&centralA_);
    else if (iid == IID_ITTSCentralW && offerWide)
      *out = static_cast<ITTSCentralW*>(&centralW_);
    else if (iid == IID_ITTSAttributesA && offerAttributes)
      *out = static_cast<ITTSAttributesA*>(&attributes_);
    else
      return E_NOINTERFACE;
    ++refs;
    return S_OK;
  }
  ITTSCentralA* CentralA() { return &centralA_; }

 private:
  // One facet of the mode: its IUnknown methods are the mode's.
  template <class Base>
  struct Facet : Base {
    explicit Facet(FakeMode* o) : owner(o) {}
    FakeMode* owner;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      return owner->QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++owner->refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --owner->refs; }
  };

  template <class Iface, class Char, class Info, bool Wide>
  struct Central : Facet<CentralStubs<Iface, Char, Info>> {
    using Facet<CentralStubs<Iface, Char, Info>>::Facet;
    HRESULT STDMETHODCALLTYPE TextData(VOICECHARSET charset, DWORD flags, SDATA text, PVOID sink,
                                       IID sinkId) override {
      const BYTE* p = static_cast<const BYTE*>(text.pData);
      this->owner->texts.push_back(
          {Wide, charset, flags, std::vector<BYTE>(p, p + text.dwSize), sink, sinkId});
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AudioReset() override {
      ++this->owner->resets;
      return S_OK;
    }
  };

  struct Attributes : Facet<FakeAttributes> {
    using Facet::Facet;
    FakeAttributeValues& Values() override { return owner->values; }
    HRESULT Called(const std::string& call) override {
      owner->attributeCalls.push_back(call);
      return owner->attributeResult;
    }
  };

  Central<ITTSCentralA, CHAR, TTSMODEINFOA, false> centralA_{this};
  Central<ITTSCentralW, WCHAR, TTSMODEINFOW, true> centralW_{this};
  Attributes attributes_{this};
};

class FakeAudio : public IAudioMultiMediaDevice {
 public:
  LONG refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return QueryOne(this, IID_IAudioMultiMediaDevice, iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE CustomMessage(UINT, SDATA) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeviceNumGet(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeviceNumSet(DWORD) override { return E_NOTIMPL; }
};

class FakeEnum final : public FakeModeEnum {
 public:
  struct SelectCall {
    GUID modeId;
    IUnknown* audio;
  };
  LONG refs = 1;
  HRESULT selectResult = S_OK;
  FakeMode* mode = nullptr;
  std::vector<SelectCall> selects;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return QueryOne(this, IID_ITTSEnumA, iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE Select(GUID modeId, ITTSCentralA** central, IUnknown* audio) override {
    selects.push_back({modeId, audio});
    if (FAILED(selectResult)) return selectResult;
    *central = mode->CentralA();
    (*central)->AddRef();
    return S_OK;
  }
};

// A class object that hands out whatever the test says, or fails as it says.
class FakeFactory : public IClassFactory {
 public:
  std::function<HRESULT(REFIID, void**)> create;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return QueryOne(this, IID_IClassFactory, iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return create(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

TTSMODEINFOA Mode(const char* name, BYTE idTag, WORD gender = GENDER_MALE) {
  TTSMODEINFOA m{};
  m.gEngineID = GUID{0x1A2B3C4D, 0x5E6F, 0x7A8B, {0x9C, 0xAD, 0xBE, 0xCF, 0xD0, 0xE1, 0xF2, 0x03}};
  m.gModeID = GUID{0xABCDEF01, 0x2345, 0x6789, {0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, idTag}};
  std::strcpy(m.szModeName, name);
  std::strcpy(m.szMfgName, "Verdanis");
  std::strcpy(m.szProductName, "Kalvor Test");
  std::strcpy(m.szSpeaker, "Ali");
  std::strcpy(m.szStyle, "D\xFCz");  // "Düz" in Windows-1254
  std::strcpy(m.language.szDialect,
              "Standart T\xFCrk\xE7"
              "e");
  m.language.LanguageID = 0x041F;
  m.wGender = gender;
  m.wAge = TTSAGE_ADULT;
  m.dwFeatures = TTSFEATURE_PITCH | TTSFEATURE_SPEED | TTSFEATURE_VOLUME;
  m.dwInterfaces = TTSI_ITTSCENTRAL | TTSI_ITTSATTRIBUTES;
  m.dwEngineFeatures = 0x12345678;
  // Bytes after the name's NUL must not leak into the name.
  m.szModeName[std::strlen(name) + 1] = 'X';
  return m;
}

template <class E>
std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const E& e) {
    return e.what();
  } catch (const std::exception& e) {
    return std::string("wrong exception type: ") + e.what();
  }
  return "no exception";
}

class OrvelSpeechTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ASSERT_EQ(GetACP(), 1254u) << "the Wine runner sets a Turkish locale";
    enum_.modes = {Mode("Kalvor Erkek", 1), Mode("Alfa", 2, GENDER_FEMALE), Mode("ALFA", 3),
                   Mode("T\xFCrk\xE7"
                        "e Ses",
                        4, GENDER_NEUTRAL)};
    enum_.mode = &mode_;
    enumFactory_.create = [this](REFIID iid, void** out) {
      return FAILED(enumCreateResult_) ? enumCreateResult_ : enum_.QueryInterface(iid, out);
    };
    audioFactory_.create = [this](REFIID iid, void** out) {
      return FAILED(audioCreateResult_) ? audioCreateResult_ : audio_.QueryInterface(iid, out);
    };
    ASSERT_EQ(CoRegisterClassObject(CLSID_TTSEnumerator, &enumFactory_, CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &enumCookie_),
              S_OK);
    ASSERT_EQ(CoRegisterClassObject(CLSID_MMAudioDest, &audioFactory_, CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &audioCookie_),
              S_OK);
  }
  void TearDown() override {
    speech_.reset();
    // Every reference the component took has been given back.
    EXPECT_EQ(enum_.refs, 1);
    EXPECT_EQ(mode_.refs, 1);
    EXPECT_EQ(audio_.refs, 1);
    CoRevokeClassObject(enumCookie_);
    CoRevokeClassObject(audioCookie_);
    CoUninitialize();
  }

  TOrvelSpeech& Loaded() {
    speech_->LoadEngines();
    EXPECT_TRUE(speech_->EnginesLoaded());
    return *speech_;
  }
  TOrvelSpeech& Selected(const std::wstring& name = L"Kalvor Erkek") {
    Loaded().SelectEngine(name);
    EXPECT_TRUE(speech_->EngineSelected());
    return *speech_;
  }

  FakeEnum enum_;
  FakeMode mode_;
  FakeAudio audio_;
  FakeFactory enumFactory_, audioFactory_;
  HRESULT enumCreateResult_ = S_OK, audioCreateResult_ = S_OK;
  DWORD enumCookie_ = 0, audioCookie_ = 0;
  std::unique_ptr<TOrvelSpeech> speech_ = std::make_unique<TOrvelSpeech>();
};

const char kNotLoaded[] = "Konuşma Motoru yüklenedi";
const char kNotFound[] = "Belirtilen Konuşma Motoru bulunamadı";
const char kNotSelected[] = "Konuşma Motoru seçilmedi";
const char kNoEngine[] = "Sentezleme motoru seçilemedi!";

TEST_F(OrvelSpeechTest, ListsTheModesInTheRunTimesOrder) {
  Loaded();
  EXPECT_EQ(speech_->Engines,
            (std::vector<std::wstring>{L"Kalvor Erkek", L"Alfa", L"ALFA", L"Türkçe Ses"}));
  EXPECT_FALSE(speech_->EngineSelected());
  EXPECT_EQ(speech_->Version(), L"Lumeko 0.1");
  speech_->SetVersion(L"2.0");
  EXPECT_EQ(speech_->Version(), L"Lumeko 0.1");
}

TEST_F(OrvelSpeechTest, BrokenEnumeratorLeavesNothingLoaded) {
  struct Case {
    HRESULT create;
    int failNextAt;
    std::size_t namesKept;
  };
  const Case cases[] = {
      {REGDB_E_CLASSNOTREG, -1, 0},  // no run time
      {S_OK, 0, 0},                  // fails on the first mode
      {S_OK, 2, 2},                  // fails half-way: the names so far stay
  };
  for (const auto& c : cases) {
    speech_ = std::make_unique<TOrvelSpeech>();
    enumCreateResult_ = c.create;
    enum_.failNextAt = c.failNextAt;
    speech_->LoadEngines();
    EXPECT_FALSE(speech_->EnginesLoaded());
    EXPECT_EQ(speech_->Engines.size(), c.namesKept);
    EXPECT_EQ(MessageOf<EOrvelSpeechException>([&] { speech_->SelectEngine(L"Alfa"); }),
              kNotLoaded);
    speech_->Text = {L"metin"};
    EXPECT_EQ(MessageOf<EOrvelSpeechException>([&] { speech_->Speak(); }), kNotLoaded);
    speech_->Stop();
    EXPECT_TRUE(enum_.selects.empty());
  }
}

TEST_F(OrvelSpeechTest, SelectsTheFirstModeOfTheNameInAnyLetterCase) {
  const std::pair<const wchar_t*, BYTE> cases[] = {
      {L"alfa", 2}, {L"ALFA", 2}, {L"kalvor ERKEK", 1}, {L"TÜRKÇE SES", 4}};
  Loaded();
  for (const auto& [name, tag] : cases) {
    enum_.selects.clear();
    speech_->SelectEngine(name);
    EXPECT_TRUE(speech_->EngineSelected()) << Narrow(name);
    ASSERT_EQ(enum_.selects.size(), 1u);
    EXPECT_EQ(enum_.selects[0].modeId.Data4[7], tag);
    // The device created for this selection is the audio destination handed to the engine.
    EXPECT_EQ(enum_.selects[0].audio, static_cast<IUnknown*>(&audio_));
    // One reference for the central interface, one for the attributes: the earlier mode's are
    // given back.
    EXPECT_EQ(mode_.refs, 3);
  }
}

TEST_F(OrvelSpeechTest, KeepsTheSelectedModesRecordAndDescribesIt) {
  Selected(L"ALFA");
  ASSERT_NE(speech_->ModeInfo(), nullptr);
  EXPECT_EQ(std::memcmp(speech_->ModeInfo(), &enum_.modes[1], sizeof(TTSMODEINFOA)), 0);
  static_assert(sizeof(TTSMODEINFOA) == 1424);

  const TOrvelSpeechEngineInfo& info = speech_->EngineInfo();
  EXPECT_EQ(info.ModeName, L"Alfa");
  EXPECT_EQ(info.Dialect, L"Standart Türkçe");
  EXPECT_EQ(info.MfgName, L"Verdanis");
  EXPECT_EQ(info.ProductName, L"Kalvor Test");
  EXPECT_EQ(info.ModeID, L"{ABCDEF01-2345-6789-ABCD-EF0123456702}");
  EXPECT_EQ(info.EngineID, L"{1A2B3C4D-5E6F-7A8B-9CAD-BECFD0E1F203}");
  EXPECT_EQ(info.Speaker, L"Ali");
  EXPECT_EQ(info.Style, L"Düz");
  EXPECT_EQ(info.Gender, L"KADIN");
  EXPECT_EQ(info.Age, TTSAGE_ADULT);
  EXPECT_EQ(info.Features, TTSFEATURE_PITCH | TTSFEATURE_SPEED | TTSFEATURE_VOLUME);
  EXPECT_EQ(info.Interfaces, TTSI_ITTSCENTRAL | TTSI_ITTSATTRIBUTES);
}

TEST_F(OrvelSpeechTest, ProbesTheRangesAndPutsTheSettingsBack) {
  Selected();
  const TOrvelSpeechEngineInfo& info = speech_->EngineInfo();
  EXPECT_EQ(info.MinPitch, 50);
  EXPECT_EQ(info.MaxPitch, 300);
  EXPECT_EQ(info.MinSpeed, 30u);
  EXPECT_EQ(info.MaxSpeed, 400u);
  EXPECT_EQ(info.MinVolume, 10u);
  EXPECT_EQ(info.MaxVolume, 0xFFFFu);
  EXPECT_EQ(mode_.values.pitch, 100);
  EXPECT_EQ(mode_.values.speed, 150u);
  EXPECT_EQ(mode_.values.volume, 1000u);
  const std::vector<std::string> expected = {
      "PitchGet",  "PitchSet 65535",       "PitchGet",  "PitchSet 0",
      "PitchGet",  "PitchSet 100",         "SpeedGet",  "SpeedSet 4294967295",
      "SpeedGet",  "SpeedSet 0",           "SpeedGet",  "SpeedSet 150",
      "VolumeGet", "VolumeSet 4294967295", "VolumeGet", "VolumeSet 0",
      "VolumeGet", "VolumeSet 1000"};
  EXPECT_EQ(mode_.attributeCalls, expected);
}

TEST_F(OrvelSpeechTest, GenderCodesGiveTurkishWords) {
  // An unknown code says nothing new: the text of the mode before stays.
  const std::pair<WORD, const wchar_t*> cases[] = {{GENDER_NEUTRAL, L"TARAFSIZ"},
                                                   {GENDER_FEMALE, L"KADIN"},
                                                   {GENDER_MALE, L"ERKEK"},
                                                   {3, L"ERKEK"}};
  Loaded();
  for (const auto& [code, text] : cases) {
    enum_.modes[0].wGender = code;
    speech_->SelectEngine(L"Kalvor Erkek");
    EXPECT_EQ(speech_->EngineInfo().Gender, text) << code;
  }
}

TEST_F(OrvelSpeechTest, UnknownNameSelectsNothing) {
  Selected();
  EXPECT_EQ(MessageOf<EOrvelSpeechException>([&] { speech_->SelectEngine(L"Beta"); }), kNotFound);
  EXPECT_FALSE(speech_->EngineSelected());
  EXPECT_EQ(mode_.refs, 1);  // the previous mode was let go
}

TEST_F(OrvelSpeechTest, FailureInsideTheRunTimeLeavesNoModeSelected) {
  enum Step { kAudio, kSelect, kAttributes };
  for (Step step : {kAudio, kSelect, kAttributes}) {
    speech_ = std::make_unique<TOrvelSpeech>();
    Selected();  // a working mode first: the failed selection must not keep it
    audioCreateResult_ = step == kAudio ? E_OUTOFMEMORY : S_OK;
    enum_.selectResult = step == kSelect ? TTSERR_WAVEDEVICEBUSY : S_OK;
    mode_.offerAttributes = step != kAttributes;
    mode_.texts.clear();

    EXPECT_NO_THROW(speech_->SelectEngine(L"Alfa")) << step;
    EXPECT_FALSE(speech_->EngineSelected()) << step;
    for (const auto& attribute : std::vector<std::function<void()>>{
             [&] { speech_->Pitch(); }, [&] { speech_->SetPitch(1); }, [&] { speech_->Speed(); },
             [&] { speech_->SetSpeed(1); }, [&] { speech_->Volume(); },
             [&] { speech_->SetVolume(1); }}) {
      EXPECT_EQ(MessageOf<kalvor::Exception>(attribute), kNoEngine) << step;
      EXPECT_THROW(attribute(), kalvor::Exception);
    }
    // The attribute error is the general one, not the component's own.
    EXPECT_EQ(MessageOf<EOrvelSpeechException>([&] { speech_->Pitch(); }),
              std::string("wrong exception type: ") + kNoEngine);
    speech_->Text = {L"metin"};
    EXPECT_EQ(MessageOf<EOrvelSpeechException>([&] { speech_->Speak(); }), kNotSelected) << step;
    const int resets = mode_.resets;
    speech_->Stop();
    EXPECT_EQ(mode_.resets, resets);
    EXPECT_TRUE(mode_.texts.empty());

    audioCreateResult_ = S_OK;
    enum_.selectResult = S_OK;
    mode_.offerAttributes = true;
  }
}

TEST_F(OrvelSpeechTest, TextGoesAsLinesEndedByCrLfAndANul) {
  struct Case {
    std::vector<std::wstring> lines;
    std::wstring sent;  // without the NUL
  };
  const Case cases[] = {
      {{L"abc"}, L"abc\r\n"},
      {{L"bir", L"", L"iki"}, L"bir\r\n\r\niki\r\n"},
      {{L""}, L"\r\n"},
      {{L"Işık ğüşçö İ"}, L"Işık ğüşçö İ\r\n"},
  };
  Selected();
  for (bool wide : {true, false}) {
    mode_.offerWide = wide;
    for (const auto& c : cases) {
      mode_.texts.clear();
      speech_->Text = c.lines;
      speech_->Speak();
      ASSERT_EQ(mode_.texts.size(), 1u);
      const auto& call = mode_.texts[0];
      EXPECT_EQ(call.wide, wide);
      EXPECT_EQ(call.charset, CHARSET_TEXT);
      EXPECT_EQ(call.flags, 0u);
      EXPECT_EQ(call.sink, nullptr);
      EXPECT_TRUE(call.sinkId == IID_ITTSBufNotifySink);
      std::vector<BYTE> expected;
      if (wide) {
        // UTF-16 as it is: the letters do not depend on the system's code page.
        const BYTE* p = reinterpret_cast<const BYTE*>(c.sent.c_str());
        expected.assign(p, p + (c.sent.size() + 1) * sizeof(wchar_t));
      } else {
        // Windows-1254 here (the Turkish system): one byte a letter, and the NUL counted.
        char ansi[64] = {};
        int n =
            WideCharToMultiByte(1254, 0, c.sent.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
        expected.assign(ansi, ansi + n);
        EXPECT_EQ(call.bytes.size(), c.sent.size() + 1);
      }
      EXPECT_EQ(call.bytes, expected) << (wide ? "wide " : "ansi ") << Narrow(c.sent);
    }
  }
  EXPECT_EQ(mode_.resets, 0);  // speaking never stops what is being said
}

TEST_F(OrvelSpeechTest, EmptyTextSendsNothingButStillChecksTheEngine) {
  EXPECT_EQ(MessageOf<EOrvelSpeechException>([&] { speech_->Speak(); }), kNotLoaded);
  Loaded();
  EXPECT_EQ(MessageOf<EOrvelSpeechException>([&] { speech_->Speak(); }), kNotSelected);
  speech_->SelectEngine(L"Alfa");
  speech_->Text.clear();
  speech_->Speak();
  EXPECT_TRUE(mode_.texts.empty());
}

TEST_F(OrvelSpeechTest, StopResetsOnlyASelectedMode) {
  speech_->Stop();  // nothing loaded
  Loaded();
  speech_->Stop();  // nothing selected
  EXPECT_EQ(mode_.resets, 0);
  speech_->SelectEngine(L"Alfa");
  speech_->Stop();
  EXPECT_EQ(mode_.resets, 1);
}

TEST_F(OrvelSpeechTest, AttributesGoStraightThroughAndTheirErrorsAreIgnored) {
  Selected();
  speech_->SetPitch(120);
  speech_->SetSpeed(5000);  // the engine clamps
  speech_->SetVolume(500);
  EXPECT_EQ(speech_->Pitch(), 120);
  EXPECT_EQ(speech_->Speed(), 400u);
  EXPECT_EQ(speech_->Volume(), 500u);
  mode_.attributeResult = E_FAIL;
  EXPECT_NO_THROW(speech_->SetPitch(60));
  EXPECT_EQ(speech_->Pitch(), 60);
}

}  // namespace
}  // namespace lumeko
