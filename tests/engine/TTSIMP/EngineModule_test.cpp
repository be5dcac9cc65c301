// The engine module through Kalvor.dll itself: a copy of the DLL is loaded from a folder of its own
// with synthetic voices beside it, and driven only through its two exports, as the SAPI 4 run
// time drives it. Reference counts and DllCanUnloadNow are checked after every call that hands
// out or takes back an interface.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ComSupport.h"
#include "EngineCopy.h"
#include "EngineModule.h"
#include "FakeAudioDest.h"
#include "Speech.h"

namespace {

namespace fs = std::filesystem;
using namespace kalvor::test;

constexpr HRESULT kFileNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
constexpr HRESULT kBadFormat = HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
const GUID kUnknownMode = {
    0xE9214560, 0xA13D, 0x11D2, {0x91, 0x39, 0xB9, 0x5D, 0x81, 0x1E, 0x54, 0x03}};

// The mode names as the engine stores them (Windows-1254) and as a client reads them (UTF-16).
const char kMaleName1254[] =
    "T\xFCrk\xE7"
    "e, Erkek, Tarpek (Kalvor)";
const wchar_t kMaleName[] = L"T\u00FCrk\u00E7e, Erkek, Tarpek (Kalvor)";
const wchar_t kFemaleName[] = L"T\u00FCrk\u00E7e, Kad\u0131n, Nilvo (Kalvor)";
const char kFemaleName1254[] =
    "T\xFCrk\xE7"
    "e, Kad\xFDn, Nilvo (Kalvor)";

SyntheticVoice TestVoice(std::uint8_t width = 2) {
  return SyntheticVoice::Covering(kalvor::test::AllTurkishUnitNames(), width);
}

// A copy of Kalvor.dll in a folder of its own, with the two voices, loaded for the whole program.
TEngineCopy* gDll = nullptr;

class DllEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { gDll = new TEngineCopy(TestVoice()); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new DllEnvironment);

template <class I>
using Ptr = sapi4::TComRef<I>;

HRESULT CanUnload() {
  return gDll->canUnloadNow();
}

// The hidden windows of the modes on this thread (their class is the mode window's).
BOOL CALLBACK CountModeWindow(HWND h, LPARAM p) {
  wchar_t name[64] = {};
  GetClassNameW(h, name, 64);
  if (std::wstring(name) == L"TPUtilWindow") ++*reinterpret_cast<int*>(p);
  return TRUE;
}

BOOL CALLBACK KeepWindow(HWND h, LPARAM p) {
  *reinterpret_cast<HWND*>(p) = h;
  return TRUE;
}

int ModeWindows() {
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), &CountModeWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

// Dispatches this thread's messages for ms milliseconds, as a client's message loop does.
void PumpFor(DWORD ms) {
  kalvor::test::HandlerWindow::Pump(ms);
}


class EngineModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(gDll->module, nullptr) << "Kalvor.dll did not load";
    ASSERT_NE(gDll->getClassObject, nullptr);
    ASSERT_NE(gDll->canUnloadNow, nullptr);
    ASSERT_EQ(CanUnload(), S_OK) << "an earlier test left objects behind";
    ASSERT_EQ(ModeWindows(), 0);
  }
  void TearDown() override {
    EXPECT_EQ(CanUnload(), S_OK) << "objects left behind";
    EXPECT_EQ(ModeWindows(), 0) << "mode windows left behind";
  }

  static void Factory(Ptr<IClassFactory>& out) {
    ASSERT_EQ(gDll->getClassObject(kalvor::CLSID_KalvorEngine, IID_IClassFactory, out.OutVoid()),
              S_OK);
  }
  template <class I>
  static void Engine(const IID& iid, Ptr<I>& out) {
    Ptr<IClassFactory> factory;
    Factory(factory);
    ASSERT_EQ(factory->CreateInstance(nullptr, iid, out.OutVoid()), S_OK);
  }
  // The male mode on audio, selected through a new engine object e.
  static void SelectMale(FakeAudioDest* audio, Ptr<ITTSEnumW>& e, ITTSCentralW*& central) {
    Engine(IID_ITTSEnumW, e);
    ASSERT_EQ(e->Select(kalvor::KalvorModeMale, &central, audio->Unknown()), S_OK);
  }
  // The mode's window is gone and every reference to the destination given back; then the
  // destination goes.
  static void ExpectModeGoneAndAudioBack(FakeAudioDest* audio) {
    EXPECT_EQ(ModeWindows(), 0);
    EXPECT_EQ(audio->RefCount(), 1);
    audio->onDataSet = nullptr;
    audio->Release();
  }
  // TextData of a terminated wide text, without a sink.
  static HRESULT Speak(ITTSCentralW* central, const wchar_t* text) {
    const SDATA d{const_cast<wchar_t*>(text),
                  static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t))};
    return central->TextData(CHARSET_TEXT, 0, d, nullptr, IID_ITTSBufNotifySink);
  }
};

// ---------------------------------------------------------------------------------------------
// Entry points and class factory

TEST_F(EngineModuleTest, DllGetClassObjectAnswersOnlyTheEngineClassAndTheFactoryInterfaces) {
  struct Case {
    const CLSID* clsid;
    const IID* iid;
    HRESULT expected;
  } cases[] = {
      {&kalvor::CLSID_KalvorEngine, &IID_IClassFactory, S_OK},
      {&kalvor::CLSID_KalvorEngine, &IID_IUnknown, S_OK},
      {&kalvor::CLSID_KalvorEngine, &IID_ITTSEnumW, E_NOINTERFACE},
      {&CLSID_TTSEnumerator, &IID_IClassFactory, E_FAIL},
      {&kalvor::KalvorModeMale, &IID_IClassFactory, E_FAIL},
  };
  for (const Case& c : cases) {
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(gDll->getClassObject(*c.clsid, *c.iid, &p), c.expected);
    if (c.expected == S_OK) {
      ASSERT_NE(p, nullptr);
      auto* unknown = static_cast<IUnknown*>(p);
      EXPECT_EQ(RefCount(unknown), 1u);
      EXPECT_EQ(CanUnload(), S_FALSE) << "a factory in a client's hands keeps the module";
      EXPECT_EQ(unknown->Release(), 0u);
    } else {
      EXPECT_EQ(p, nullptr);
    }
    EXPECT_EQ(CanUnload(), S_OK);
  }
  EXPECT_EQ(gDll->getClassObject(kalvor::CLSID_KalvorEngine, IID_IClassFactory, nullptr),
            E_INVALIDARG);
}

TEST_F(EngineModuleTest, EveryRequestGetsAFactoryOfItsOwn) {
  Ptr<IClassFactory> a, b;
  Factory(a);
  Factory(b);
  EXPECT_NE(a.Get(), b.Get());
  Ptr<IUnknown> unknown;
  ASSERT_EQ(a->QueryInterface(IID_IUnknown, unknown.OutVoid()), S_OK);
  EXPECT_EQ(RefCount(a.Get()), 2u);
  Ptr<ITTSEnumW> none;
  EXPECT_EQ(a->QueryInterface(IID_ITTSEnumW, none.OutVoid()), E_NOINTERFACE);
  EXPECT_EQ(none.Get(), nullptr);
}

TEST_F(EngineModuleTest, LockServerKeepsTheModuleAndRefusesAnUnlockTooMany) {
  Ptr<IClassFactory> factory;
  Factory(factory);
  EXPECT_EQ(factory->LockServer(FALSE), E_FAIL);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.Reset();
  EXPECT_EQ(CanUnload(), S_FALSE);
  Factory(factory);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), E_FAIL);
  factory.Reset();
  EXPECT_EQ(CanUnload(), S_OK);
}

TEST_F(EngineModuleTest, CreateInstanceRefusesAggregationAndUnknownInterfacesWithoutCounting) {
  Ptr<IClassFactory> factory;
  Factory(factory);
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_ITTSEnumW, &p), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(p, nullptr);
  p = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_ITTSCentralW, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  factory.Reset();
  EXPECT_EQ(CanUnload(), S_OK);
}

TEST_F(EngineModuleTest, TheEngineObjectAnswersItsFourInterfacesWithOneIdentity) {
  Ptr<IUnknown> engine;
  Engine(IID_IUnknown, engine);
  EXPECT_EQ(RefCount(engine.Get()), 1u) << "CreateInstance hands out exactly one reference";
  EXPECT_EQ(CanUnload(), S_FALSE);
  for (const IID* iid : {&IID_ITTSEnumW, &IID_ITTSEnumA, &IID_ITTSFindW, &IID_ITTSFindA}) {
    Ptr<IUnknown> facet, back;
    ASSERT_EQ(engine->QueryInterface(*iid, facet.OutVoid()), S_OK);
    EXPECT_EQ(RefCount(engine.Get()), 2u) << "facets count on the engine object";
    ASSERT_EQ(facet->QueryInterface(IID_IUnknown, back.OutVoid()), S_OK);
    EXPECT_EQ(back.Get(), engine.Get());
  }
  EXPECT_EQ(RefCount(engine.Get()), 1u);
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(engine->QueryInterface(IID_ITTSCentralW, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(engine.Detach()->Release(), 0u);
  EXPECT_EQ(CanUnload(), S_OK);
}

// ---------------------------------------------------------------------------------------------
// Enumeration

void ExpectMaleRow(const TTSMODEINFOW& m) {
  EXPECT_EQ(m.gEngineID, kalvor::CLSID_KalvorEngine);
  EXPECT_EQ(m.gModeID, kalvor::KalvorModeMale);
  EXPECT_EQ(Field(m.szMfgName, TTSI_NAMELEN), L"Kalvor");
  EXPECT_EQ(Field(m.szProductName, TTSI_NAMELEN), L"Kalvor Speech Products");
  EXPECT_EQ(Field(m.szModeName, TTSI_NAMELEN), kMaleName);
  EXPECT_EQ(m.language.LanguageID, 0x041F);
  EXPECT_EQ(Field(m.language.szDialect, LANG_LEN), L"T\u00FCrk\u00E7e");
  EXPECT_EQ(Field(m.szSpeaker, TTSI_NAMELEN), L"Tarpek");
  EXPECT_EQ(Field(m.szStyle, TTSI_STYLELEN), L"Business");
  EXPECT_EQ(m.wGender, GENDER_MALE);
  EXPECT_EQ(m.wAge, 30);
  // What works: any word, pitch, volume, tagged text (not the speed, which changes nothing).
  EXPECT_EQ(m.dwFeatures,
            TTSFEATURE_ANYWORD | TTSFEATURE_VOLUME | TTSFEATURE_PITCH | TTSFEATURE_TAGGED);
  EXPECT_EQ(m.dwInterfaces, 15u);
  EXPECT_EQ(m.dwEngineFeatures, 0u);
}

// One step of a walk over the enumerator: the call, and what it must give.
struct Step {
  enum Op { Next, Skip, Reset } op;
  ULONG count;
  HRESULT result;
  ULONG fetched;  // Next only
};

TEST_F(EngineModuleTest, TheEnumerationListsTheMaleModeOnly) {
  const struct Walk {
    const char* name;
    std::vector<Step> steps;
  } walks[] = {
      {"next, next", {{Step::Next, 1, S_OK, 1}, {Step::Next, 1, S_FALSE, 0}}},
      {"next two", {{Step::Next, 2, S_OK, 1}, {Step::Next, 2, S_FALSE, 0}}},
      {"nothing", {{Step::Next, 0, S_OK, 0}, {Step::Next, 1, S_OK, 1}}},
      {"skip one", {{Step::Skip, 1, S_OK, 0}, {Step::Next, 1, S_FALSE, 0}}},
      {"skip two", {{Step::Skip, 2, S_FALSE, 0}, {Step::Next, 1, S_FALSE, 0}}},
      {"skip past, reset",
       {{Step::Skip, 5, S_FALSE, 0}, {Step::Reset, 0, S_OK, 0}, {Step::Next, 1, S_OK, 1}}},
      // The position is a 32-bit count: from 1, skipping 0xFFFFFFFF comes back to 0.
      {"wrap",
       {{Step::Skip, 1, S_OK, 0}, {Step::Skip, 0xFFFFFFFF, S_OK, 0}, {Step::Next, 1, S_OK, 1}}},
      {"skip nothing at the end", {{Step::Next, 1, S_OK, 1}, {Step::Skip, 0, S_OK, 0}}},
  };
  for (const Walk& w : walks) {
    SCOPED_TRACE(w.name);
    Ptr<ITTSEnumW> e;
    Engine(IID_ITTSEnumW, e);
    for (const Step& s : w.steps) {
      if (s.op == Step::Next) {
        std::vector<TTSMODEINFOW> records(s.count + 1);
        std::memset(records.data(), 0x55, records.size() * sizeof(TTSMODEINFOW));
        ULONG fetched = 99;
        EXPECT_EQ(e->Next(s.count, records.data(), &fetched), s.result);
        EXPECT_EQ(fetched, s.fetched);
        if (s.fetched == 1) ExpectMaleRow(records[0]);
        for (ULONG k = s.fetched; k < s.count; ++k)
          EXPECT_TRUE(AllZero(records[k])) << "record " << k << " is not cleared";
      } else if (s.op == Step::Skip) {
        EXPECT_EQ(e->Skip(s.count), s.result);
      } else {
        EXPECT_EQ(e->Reset(), s.result);
      }
    }
  }
}

TEST_F(EngineModuleTest, NextRefusesMissingRecordsAndAMissingCountForMoreThanOne) {
  Ptr<ITTSEnumW> e;
  Engine(IID_ITTSEnumW, e);
  TTSMODEINFOW records[2];
  ULONG fetched = 0;
  EXPECT_EQ(e->Next(1, nullptr, &fetched), E_INVALIDARG);
  EXPECT_EQ(e->Next(2, records, nullptr), E_INVALIDARG);
  EXPECT_EQ(e->Next(1, records, nullptr), S_OK) << "one record needs no count";
  ExpectMaleRow(records[0]);
}

TEST_F(EngineModuleTest, ClonesMoveIndependentlyAndAreCountedObjects) {
  Ptr<ITTSEnumW> e;
  Engine(IID_ITTSEnumW, e);
  TTSMODEINFOW m;
  ULONG fetched = 0;
  ASSERT_EQ(e->Next(1, &m, &fetched), S_OK);
  Ptr<ITTSEnumW> clone;
  ASSERT_EQ(e->Clone(clone.Out()), S_OK);
  EXPECT_EQ(RefCount(clone.Get()), 1u);
  Ptr<IUnknown> a, b;
  e->QueryInterface(IID_IUnknown, a.OutVoid());
  clone->QueryInterface(IID_IUnknown, b.OutVoid());
  EXPECT_NE(a.Get(), b.Get()) << "a clone is an engine object of its own";
  EXPECT_EQ(clone->Next(1, &m, &fetched), S_FALSE) << "the clone starts where its source was";
  EXPECT_EQ(clone->Reset(), S_OK);
  EXPECT_EQ(e->Next(1, &m, &fetched), S_FALSE) << "resetting the clone moves only the clone";
  EXPECT_EQ(clone->Next(1, &m, &fetched), S_OK);
  e.Reset();
  a.Reset();
  EXPECT_EQ(CanUnload(), S_FALSE) << "the clone is still held";
  b.Reset();
  EXPECT_EQ(clone.Detach()->Release(), 0u);
  EXPECT_EQ(CanUnload(), S_OK);

  Ptr<ITTSEnumA> ansi;
  Engine(IID_ITTSEnumA, ansi);
  EXPECT_EQ(ansi->Clone(nullptr), E_INVALIDARG);
  Ptr<ITTSEnumA> ansiClone;
  ASSERT_EQ(ansi->Clone(ansiClone.Out()), S_OK);
  EXPECT_EQ(RefCount(ansiClone.Get()), 1u) << "the temporary wide clone was released";
}

TEST_F(EngineModuleTest, TheAnsiEnumeratorConvertsInTheSystemCodePage) {
  Ptr<ITTSEnumA> e;
  Engine(IID_ITTSEnumA, e);
  TTSMODEINFOA records[2];
  std::memset(records, 0x55, sizeof records);
  ULONG fetched = 0;
  ASSERT_EQ(e->Next(2, records, &fetched), S_OK);
  EXPECT_EQ(fetched, 1u);
  const TTSMODEINFOA& m = records[0];
  EXPECT_EQ(m.gModeID, kalvor::KalvorModeMale);
  EXPECT_EQ(m.gEngineID, kalvor::CLSID_KalvorEngine);
  // ü and ç have the same codes in 1254 and 1252, so the male name reads the same in both.
  EXPECT_EQ(Field(m.szModeName, TTSI_NAMELEN), kMaleName1254);
  EXPECT_EQ(Field(m.language.szDialect, LANG_LEN),
            "T\xFCrk\xE7"
            "e");
  EXPECT_EQ(Field(m.szSpeaker, TTSI_NAMELEN), "Tarpek");
  EXPECT_EQ(Field(m.szStyle, TTSI_STYLELEN), "Business");
  EXPECT_EQ(m.language.LanguageID, 0x041F);
  EXPECT_EQ(m.wGender, GENDER_MALE);
  EXPECT_EQ(m.wAge, 30);
  EXPECT_EQ(m.dwInterfaces, 15u);
  EXPECT_TRUE(AllZero(records[1]));
  EXPECT_EQ(e->Next(1, records, nullptr), S_FALSE);
  EXPECT_TRUE(AllZero(records[0]));
  EXPECT_EQ(e->Skip(1), S_FALSE);
  EXPECT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Next(1, records, nullptr), S_OK);
  EXPECT_EQ(e->Next(2, records, nullptr), E_INVALIDARG);
}

// ---------------------------------------------------------------------------------------------
// Find

TEST_F(EngineModuleTest, FindMatchesTheModeIdentifierOrTheExactName) {
  const struct Case {
    const char* what;
    GUID id;
    const wchar_t* name;
    HRESULT result;
    const GUID* found;
  } cases[] = {
      {"female identifier", kalvor::KalvorModeFemale, L"", S_OK, &kalvor::KalvorModeFemale},
      {"female name", GUID_NULL, kFemaleName, S_OK, &kalvor::KalvorModeFemale},
      {"male identifier", kalvor::KalvorModeMale, L"", S_OK, &kalvor::KalvorModeMale},
      {"male name", GUID_NULL, kMaleName, S_OK, &kalvor::KalvorModeMale},
      {"female identifier, male name: male wins", kalvor::KalvorModeFemale, kMaleName, S_OK,
       &kalvor::KalvorModeMale},
      {"other case", GUID_NULL, L"t\u00FCrk\u00E7e, kad\u0131n, nilvo (kalvor)", S_FALSE, nullptr},
      {"dotless i as plain i", GUID_NULL, L"T\u00FCrk\u00E7e, Kadin, Nilvo (Kalvor)", S_FALSE,
       nullptr},
      {"a letter 1254 lacks", GUID_NULL, L"T\u00FCrk\u00E7e, Kad\u0439n, Nilvo (Kalvor)", S_FALSE,
       nullptr},
      {"unknown identifier", kUnknownMode, L"", S_FALSE, nullptr},
      {"nothing", GUID_NULL, L"", S_FALSE, nullptr},
  };
  Ptr<ITTSFindW> find;
  Engine(IID_ITTSFindW, find);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TTSMODEINFOW criteria{}, found;
    std::memset(&found, 0x55, sizeof found);
    criteria.gModeID = c.id;
    wcsncpy(criteria.szModeName, c.name, TTSI_NAMELEN - 1);
    EXPECT_EQ(find->Find(&criteria, nullptr, &found), c.result);
    if (c.found) {
      EXPECT_EQ(found.gModeID, *c.found);
      const bool female = *c.found == kalvor::KalvorModeFemale;
      EXPECT_EQ(Field(found.szModeName, TTSI_NAMELEN), female ? kFemaleName : kMaleName);
      EXPECT_EQ(Field(found.szSpeaker, TTSI_NAMELEN), female ? L"Nilvo" : L"Tarpek");
      EXPECT_EQ(found.wGender, female ? GENDER_FEMALE : GENDER_MALE);
      EXPECT_EQ(found.language.LanguageID, 0x041F);
      EXPECT_EQ(found.wAge, 30);
    } else {
      EXPECT_TRUE(AllZero(found));
    }
  }
  TTSMODEINFOW record{};
  EXPECT_EQ(find->Find(nullptr, nullptr, &record), E_INVALIDARG);
  EXPECT_EQ(find->Find(&record, nullptr, nullptr), E_INVALIDARG);
}

TEST_F(EngineModuleTest, TheAnsiFindReadsNamesInTheSystemCodePage) {
  Ptr<ITTSFindA> find;
  Engine(IID_ITTSFindA, find);
  TTSMODEINFOA criteria{}, found{};
  criteria.gModeID = kalvor::KalvorModeFemale;
  ASSERT_EQ(find->Find(&criteria, nullptr, &found), S_OK);
  EXPECT_EQ(found.gModeID, kalvor::KalvorModeFemale);
  EXPECT_EQ(Field(found.szSpeaker, TTSI_NAMELEN), "Nilvo");

  // The 1254 bytes of the female name mean "Kadın" only where the system code page is 1254.
  criteria = TTSMODEINFOA{};
  std::strcpy(criteria.szModeName, kFemaleName1254);
  const HRESULT r = find->Find(&criteria, nullptr, &found);
  if (GetACP() == 1254) {
    EXPECT_EQ(r, S_OK);
    EXPECT_EQ(found.gModeID, kalvor::KalvorModeFemale);
    EXPECT_EQ(Field(found.szModeName, TTSI_NAMELEN), kFemaleName1254);
  } else {
    EXPECT_EQ(r, S_FALSE);
    EXPECT_TRUE(AllZero(found));
  }
  criteria = TTSMODEINFOA{};
  std::strcpy(criteria.szModeName, kMaleName1254);
  EXPECT_EQ(find->Find(&criteria, nullptr, &found), S_OK) << "ü and ç read alike in 1252";
  EXPECT_EQ(found.gModeID, kalvor::KalvorModeMale);
}

// ---------------------------------------------------------------------------------------------
// Select

struct ExpectedSelected {
  const GUID* mode;
  const wchar_t* name;
  const wchar_t* speaker;
};

void ExpectSelectedRecord(const TTSMODEINFOW& m, const ExpectedSelected& e) {
  EXPECT_EQ(m.gEngineID, kalvor::CLSID_KalvorEngine);
  EXPECT_EQ(m.gModeID, *e.mode);
  EXPECT_EQ(Field(m.szMfgName, TTSI_NAMELEN), L"Kalvor");
  EXPECT_EQ(Field(m.szProductName, TTSI_NAMELEN), L"Kalvor Speech Products");
  EXPECT_EQ(Field(m.szModeName, TTSI_NAMELEN), e.name);
  EXPECT_EQ(Field(m.szSpeaker, TTSI_NAMELEN), e.speaker);
  // A selected mode reports itself differently from the table, as it always has.
  EXPECT_EQ(m.language.LanguageID, 0x0409);
  EXPECT_EQ(Field(m.language.szDialect, LANG_LEN), L"T\u00FCrk\u00E7e");
  EXPECT_EQ(m.wGender, 0);
  EXPECT_EQ(m.wAge, 0);
  EXPECT_EQ(Field(m.szStyle, TTSI_STYLELEN), L"");
  EXPECT_EQ(m.dwFeatures,
            TTSFEATURE_ANYWORD | TTSFEATURE_VOLUME | TTSFEATURE_PITCH | TTSFEATURE_TAGGED);
  EXPECT_EQ(m.dwInterfaces, 15u);
  EXPECT_EQ(m.dwEngineFeatures, 0u);
}

TEST_F(EngineModuleTest, SelectCreatesTheModeWithItsVoiceAndRecord) {
  const ExpectedSelected cases[] = {
      {&kalvor::KalvorModeMale, kMaleName, L"Tarpek"},
      {&kalvor::KalvorModeFemale, kFemaleName, L"Nilvo"},
  };
  for (const ExpectedSelected& c : cases) {
    SCOPED_TRACE(c.mode == &kalvor::KalvorModeMale ? "male" : "female");
    auto* audio = new FakeAudioDest;
    {
      Ptr<ITTSEnumW> e;
      Engine(IID_ITTSEnumW, e);
      Ptr<ITTSCentralW> central;
      ASSERT_EQ(e->Select(*c.mode, central.Out(), audio->Unknown()), S_OK);
      EXPECT_EQ(RefCount(central.Get()), 1u);
      EXPECT_GT(audio->RefCount(), 1) << "the mode holds the audio object";
      EXPECT_EQ(ModeWindows(), 1);
      TTSMODEINFOW info;
      ASSERT_EQ(central->ModeGet(&info), S_OK);
      ExpectSelectedRecord(info, c);
      e.Reset();
      EXPECT_EQ(CanUnload(), S_FALSE) << "the mode is still held";
      // The voice file is open while the mode lives.
      const fs::path voice =
          gDll->dir / (c.mode == &kalvor::KalvorModeMale ? "ORVDAT1.SPD" : "ORVDAT2.SPD");
      EXPECT_FALSE(MoveFileW(voice.c_str(), (gDll->dir / "moved.SPD").c_str()));
      EXPECT_EQ(central.Detach()->Release(), 0u);
    }
    EXPECT_EQ(audio->RefCount(), 1) << "the mode went at its last release";
    EXPECT_EQ(ModeWindows(), 0);
    EXPECT_EQ(CanUnload(), S_OK);
    audio->Release();
  }
}

TEST_F(EngineModuleTest, SelectRefusesUnknownModesAndMissingArguments) {
  auto* audio = new FakeAudioDest;
  Ptr<ITTSEnumW> e;
  Engine(IID_ITTSEnumW, e);
  auto* untouched = reinterpret_cast<ITTSCentralW*>(0x1234);
  ITTSCentralW* central = untouched;
  EXPECT_EQ(e->Select(kUnknownMode, &central, audio->Unknown()), TTSERR_INVALIDMODE);
  EXPECT_EQ(central, untouched);
  EXPECT_EQ(e->Select(kalvor::KalvorModeMale, &central, nullptr), E_INVALIDARG);
  EXPECT_EQ(e->Select(kalvor::KalvorModeMale, nullptr, audio->Unknown()), E_INVALIDARG);
  Ptr<ITTSEnumA> a;
  Engine(IID_ITTSEnumA, a);
  ITTSCentralA* centralA = nullptr;
  EXPECT_EQ(a->Select(kUnknownMode, &centralA, audio->Unknown()), TTSERR_INVALIDMODE);
  EXPECT_EQ(a->Select(kalvor::KalvorModeMale, &centralA, nullptr), E_INVALIDARG);
  EXPECT_EQ(audio->RefCount(), 1);
  EXPECT_EQ(ModeWindows(), 0);
  audio->Release();
}

TEST_F(EngineModuleTest, EverySelectPathHandsOutACentralAndGivesTheAudioObjectBack) {
  auto* audio = new FakeAudioDest;
  Ptr<IUnknown> engine;
  Engine(IID_IUnknown, engine);
  Ptr<ITTSEnumA> enumA;
  Ptr<ITTSFindW> findW;
  Ptr<ITTSFindA> findA;
  engine->QueryInterface(IID_ITTSEnumA, enumA.OutVoid());
  engine->QueryInterface(IID_ITTSFindW, findW.OutVoid());
  engine->QueryInterface(IID_ITTSFindA, findA.OutVoid());
  {
    Ptr<ITTSCentralA> central;
    ASSERT_EQ(enumA->Select(kalvor::KalvorModeFemale, central.Out(), audio->Unknown()), S_OK);
    EXPECT_EQ(RefCount(central.Get()), 1u) << "the wide central in between was released";
    TTSMODEINFOA info;
    ASSERT_EQ(central->ModeGet(&info), S_OK);
    EXPECT_EQ(info.gModeID, kalvor::KalvorModeFemale);
    EXPECT_EQ(Field(info.szSpeaker, TTSI_NAMELEN), "Nilvo");
    EXPECT_EQ(info.language.LanguageID, 0x0409);
  }
  {
    Ptr<ITTSCentralW> central;
    ASSERT_EQ(findW->Select(kalvor::KalvorModeFemale, central.Out(), audio->Unknown()), S_OK);
    EXPECT_EQ(RefCount(central.Get()), 1u);
  }
  {
    Ptr<ITTSCentralA> central;
    ASSERT_EQ(findA->Select(kalvor::KalvorModeMale, central.Out(), audio->Unknown()), S_OK);
    EXPECT_EQ(RefCount(central.Get()), 1u);
  }
  EXPECT_EQ(audio->RefCount(), 1);
  EXPECT_EQ(ModeWindows(), 0);
  ITTSCentralW* central = nullptr;
  EXPECT_EQ(findW->Select(kalvor::KalvorModeMale, &central, nullptr), E_INVALIDARG);
  audio->Release();
}

// A voice file that is missing or refused: Select fails with the reason and leaves nothing behind.
TEST_F(EngineModuleTest, SelectFailsCleanlyWhenTheVoiceIsMissingOrRefused) {
  const fs::path voice = gDll->dir / "ORVDAT2.SPD";
  const fs::path kept = gDll->dir / "ORVDAT2.kept";
  ASSERT_TRUE(MoveFileW(voice.c_str(), kept.c_str()));
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;  // empty: no file at all
    HRESULT result;
  } cases[] = {
      {"missing", {}, kFileNotFound},
      {"not a speech data file", std::vector<std::uint8_t>(100, 0xAB), kBadFormat},
      {"one byte", {0}, kBadFormat},
      {"8-bit samples", TestVoice(1).Bytes(), TTSERR_WAVEFORMATNOTSUPPORTED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileW(voice.c_str());
    if (!c.bytes.empty()) kalvor::test::WriteFile(voice, c.bytes);
    auto* audio = new FakeAudioDest;
    for (bool ansi : {false, true}) {
      Ptr<IUnknown> engine;
      Engine(IID_IUnknown, engine);
      HRESULT r;
      void* central = reinterpret_cast<void*>(1);
      if (ansi) {
        Ptr<ITTSEnumA> e;
        engine->QueryInterface(IID_ITTSEnumA, e.OutVoid());
        r = e->Select(kalvor::KalvorModeFemale, reinterpret_cast<ITTSCentralA**>(&central),
                      audio->Unknown());
      } else {
        Ptr<ITTSEnumW> e;
        engine->QueryInterface(IID_ITTSEnumW, e.OutVoid());
        r = e->Select(kalvor::KalvorModeFemale, reinterpret_cast<ITTSCentralW**>(&central),
                      audio->Unknown());
      }
      EXPECT_EQ(r, c.result);
      EXPECT_EQ(central, nullptr);
      EXPECT_EQ(audio->RefCount(), 1) << "the failed mode kept the audio object";
      EXPECT_EQ(ModeWindows(), 0) << "the failed mode kept its window";
      engine.Reset();
      EXPECT_EQ(CanUnload(), S_OK);
    }
    audio->Release();
    // Nothing holds the file: it can be replaced at once.
    if (!c.bytes.empty()) {
      EXPECT_TRUE(DeleteFileW(voice.c_str()));
    }
  }
  DeleteFileW(voice.c_str());
  ASSERT_TRUE(MoveFileW(kept.c_str(), voice.c_str()));
  // The other voice was never affected.
  auto* audio = new FakeAudioDest;
  {
    Ptr<ITTSEnumW> e;
    Engine(IID_ITTSEnumW, e);
    Ptr<ITTSCentralW> central;
    EXPECT_EQ(e->Select(kalvor::KalvorModeFemale, central.Out(), audio->Unknown()), S_OK);
  }
  audio->Release();
}

// ---------------------------------------------------------------------------------------------
// Lifetime of modes

TEST_F(EngineModuleTest, AModePushedOutByALaterSelectGoesAtItsOwnLastRelease) {
  auto* first = new FakeAudioDest;
  auto* second = new FakeAudioDest;
  Ptr<ITTSEnumW> e;
  Engine(IID_ITTSEnumW, e);
  Ptr<ITTSCentralW> a, b;
  ASSERT_EQ(e->Select(kalvor::KalvorModeMale, a.Out(), first->Unknown()), S_OK);
  ASSERT_EQ(e->Select(kalvor::KalvorModeFemale, b.Out(), second->Unknown()), S_OK);
  EXPECT_EQ(ModeWindows(), 2);
  a.Reset();
  EXPECT_EQ(first->RefCount(), 1) << "the earlier mode was destroyed";
  EXPECT_EQ(ModeWindows(), 1);
  EXPECT_GT(second->RefCount(), 1) << "the current mode lives on";
  e.Reset();
  EXPECT_EQ(CanUnload(), S_FALSE);
  b.Reset();
  EXPECT_EQ(second->RefCount(), 1);
  EXPECT_EQ(CanUnload(), S_OK);
  first->Release();
  second->Release();
}

TEST_F(EngineModuleTest, ManySelectAndReleaseCyclesLeaveNoWindowsHandlesOrCounts) {
  auto* audio = new FakeAudioDest;
  Ptr<ITTSEnumW> e;
  Engine(IID_ITTSEnumW, e);
  for (int i = 0; i < 60; ++i) {
    Ptr<ITTSCentralW> central;
    const GUID& mode = i % 2 ? kalvor::KalvorModeFemale : kalvor::KalvorModeMale;
    ASSERT_EQ(e->Select(mode, central.Out(), audio->Unknown()), S_OK) << "cycle " << i;
    // The reader re-selects on every settings change: the new mode comes before the old goes.
    Ptr<ITTSCentralW> next;
    ASSERT_EQ(e->Select(mode, next.Out(), audio->Unknown()), S_OK);
  }
  EXPECT_EQ(ModeWindows(), 0);
  EXPECT_EQ(audio->RefCount(), 1);
  e.Reset();
  EXPECT_EQ(CanUnload(), S_OK);
  // No handle of a destroyed mode keeps a voice file open.
  for (const char* name : {"ORVDAT1.SPD", "ORVDAT2.SPD"}) {
    const fs::path voice = gDll->dir / name, moved = gDll->dir / "moved.SPD";
    EXPECT_TRUE(MoveFileW(voice.c_str(), moved.c_str())) << name;
    MoveFileW(moved.c_str(), voice.c_str());
  }
  audio->Release();
}

// A client lets go of the mode from inside its own text (the reader re-selects from a message
// handler that the mode's wait dispatches): the mode must live until the text has returned, and
// go soon after.
TEST_F(EngineModuleTest, AModeReleasedWhileSpeakingGoesOnlyOnceItsTextHasReturned) {
  auto* audio = new FakeAudioDest;
  Ptr<ITTSEnumW> e;
  ITTSCentralW* central = nullptr;
  SelectMale(audio, e, central);
  bool released = false;
  HRESULT duringText = E_FAIL;
  audio->onDataSet = [&](std::size_t) {
    if (released) return;
    released = true;
    EXPECT_EQ(central->Release(), 0u);
    duringText = CanUnload();
  };
  const HRESULT r = Speak(central, L"Ali topu at. Ela eve gel.");
  EXPECT_TRUE(SUCCEEDED(r)) << std::hex << r;
  EXPECT_TRUE(released);
  EXPECT_EQ(duringText, S_FALSE) << "the speaking mode was given up for unloading";
  e.Reset();
  EXPECT_EQ(CanUnload(), S_OK) << "once its text returned, the released mode goes";
  ExpectModeGoneAndAudioBack(audio);
}

TEST_F(EngineModuleTest, AModeReleasedWhileSpeakingAlsoGoesWhenTheClientOnlyPumpsMessages) {
  auto* audio = new FakeAudioDest;
  Ptr<ITTSEnumW> e;
  ITTSCentralW* central = nullptr;
  SelectMale(audio, e, central);
  e.Reset();
  audio->onDataSet = [&](std::size_t) {
    if (central) std::exchange(central, nullptr)->Release();
  };
  ITTSCentralW* speaking = central;
  Speak(speaking, L"Ali topu at.");
  EXPECT_EQ(central, nullptr);
  EXPECT_EQ(ModeWindows(), 1) << "still there right after its text";
  PumpFor(400);
  ExpectModeGoneAndAudioBack(audio);
}

// A client that lets go of the mode from inside one of the mode's own notifications: the mode is
// still delivering (its window procedure is on the stack), so it goes once the delivery is over.
class ReleasingModeSink final : public ITTSNotifySinkA {
 public:
  ITTSCentralW* central = nullptr;  // released at the first notification
  HWND window = nullptr;
  bool windowAfterRelease = false;
  int calls = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITTSNotifySinkA)) {
      *ppv = static_cast<ITTSNotifySinkA*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
  HRESULT STDMETHODCALLTYPE AttribChanged(DWORD) override { return Happened(); }
  HRESULT STDMETHODCALLTYPE AudioStart(QWORD) override { return Happened(); }
  HRESULT STDMETHODCALLTYPE AudioStop(QWORD) override { return Happened(); }
  HRESULT STDMETHODCALLTYPE Visual(QWORD, CHAR, CHAR, DWORD, PTTSMOUTH) override {
    return Happened();
  }
  LONG refs = 1;

 private:
  HRESULT Happened() {
    ++calls;
    if (central) {
      std::exchange(central, nullptr)->Release();
      windowAfterRelease = IsWindow(window) != FALSE;
    }
    return S_OK;
  }
};

TEST_F(EngineModuleTest, AModeReleasedFromItsOwnNotificationGoesOnceTheDeliveryIsOver) {
  auto* audio = new FakeAudioDest;
  Ptr<ITTSEnumW> e;
  ITTSCentralW* central = nullptr;
  SelectMale(audio, e, central);
  e.Reset();
  ReleasingModeSink sink;
  DWORD key = 0;
  ASSERT_EQ(central->Register(static_cast<ITTSNotifySinkA*>(&sink), IID_ITTSNotifySinkA, &key),
            S_OK);
  EnumThreadWindows(GetCurrentThreadId(), &KeepWindow, reinterpret_cast<LPARAM>(&sink.window));
  ASSERT_EQ(Speak(central, L"Ali topu at."), S_OK);
  sink.central = central;  // from now on the client holds no reference of its own but this one
  PumpFor(600);
  EXPECT_GT(sink.calls, 0) << "no notification arrived";
  EXPECT_EQ(sink.central, nullptr);
  EXPECT_TRUE(sink.windowAfterRelease) << "the mode was destroyed under its own delivery";
  EXPECT_EQ(ModeWindows(), 0);
  EXPECT_EQ(sink.refs, 1) << "the registration was given back";
  EXPECT_EQ(audio->RefCount(), 1);
  audio->Release();
}

// ---------------------------------------------------------------------------------------------
// Module start-up

// The entry point must not initialise COM (OleInitialize would make the loading thread a
// single-threaded apartment, under the loader lock): a thread that loads the engine can still
// choose its own apartment.
TEST(EngineModuleStartup, LoadingTheDllLeavesTheThreadsApartmentAlone) {
  TempDir dir;
  fs::copy_file(ProgramDir() / "Kalvor.dll", dir / "KalvorFresh.dll");
  HRESULT apartment = E_FAIL;
  bool loaded = false;
  std::thread t([&] {
    HMODULE m = LoadLibraryW((dir / "KalvorFresh.dll").c_str());
    loaded = m != nullptr;
    apartment = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(apartment)) CoUninitialize();
    if (m) FreeLibrary(m);
  });
  t.join();
  EXPECT_TRUE(loaded);
  EXPECT_EQ(apartment, S_OK) << "COM was already initialised on the loading thread";
}

TEST(EngineModuleStartup, SeparatorsComeFromTheLocaleWithCommaAndFullStopAsFallback) {
  const struct Case {
    const wchar_t* thousands;
    const wchar_t* decimal;
    char t, d;
  } cases[] = {
      {L".", L",", '.', ','},          // Turkish
      {L",", L".", ',', '.'},          // English
      {L"", L"", ',', '.'},            // the locale gives none
      {L"\u00A0", L",", '\xA0', ','},  // no-break space: Windows-1254 has it
      {L"\u202F", L",", ',', ','},     // narrow no-break space: it has not
      {L"'", L"..", '\'', '.'},        // more than one character
  };
  for (const Case& c : cases) {
    char t = 0, d = 0;
    kalvor::SeparatorsFromLocale(c.thousands, c.decimal, t, d);
    EXPECT_EQ(t, c.t);
    EXPECT_EQ(d, c.d);
  }
}

}  // namespace
