// The SAPI 5 engine through Kalvor.dll itself (a copy with synthetic voices beside it), created
// through its class factory as SAPI creates it, given a voice token read from the registry, and
// speaking into our host double. The expected samples are what the synthesizer makes of the same
// text with the same voice (the command line's `kalvor say` is that synthesizer too).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ComEntry.h"
#include "EngineCopy.h"
#include "EngineModule.h"
#include "EngineText.h"
#include "Registration.h"
#include "Sapi5Host.h"
#include "Sapi5Text.h"
#include "Sapi5Voices.h"
#include "StrPlaySP.h"
#include "StrPlaySP_Text.h"

namespace {

namespace fs = std::filesystem;
using kalvor::TComRef;
using namespace kalvor::test;

const wchar_t kScratch[] = L"Software\\KalvorSapi5Test";

SyntheticVoice TestVoice() {
  return SyntheticVoice::Covering(kalvor::test::AllTurkishUnitNames(), 2);
}

// A copy of Kalvor.dll with the synthetic voice beside it under both names, its voice tokens
// registered (by kalvor-reg's code) in a scratch key of the current user.
struct EngineDll : TEngineCopy {
  kalvor::reg::TRegistryRoot root;

  EngineDll() : TEngineCopy(TestVoice()) {
    if (!module) return;
    root.Key = HKEY_CURRENT_USER;
    root.KeyName = L"HKEY_CURRENT_USER";
    root.Software = kScratch;
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    kalvor::reg::RegisterEngine(root, (dir / "Kalvor.dll").wstring());
  }
  ~EngineDll() { RegDeleteTreeW(HKEY_CURRENT_USER, kScratch); }
};

EngineDll* gDll = nullptr;

class DllEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // The expected samples are made in this program: with the number separators of the locale,
    // as the DLL takes them when it is loaded.
    kalvor::InitEngineHost(GetModuleHandleW(nullptr));
    gDll = new EngineDll;
  }
  void TearDown() override { delete gDll; }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new DllEnvironment);

// The engine's text positions and what it speaks are Windows-1254; the samples the synthesizer
// makes of a text with the test voice at a rate.
std::vector<std::uint8_t> Expected(const std::wstring& text, std::int32_t hiz = 100) {
  kalvor::TStrPlayer player;
  player.LoadData(gDll->dir / "ORVDAT1.SPD");
  player.SetHiz(hiz);
  std::vector<std::uint8_t> out;
  player.SetOnPlaySyl([&](kalvor::TStrPlayer& p, kalvor::TStr3, std::int32_t&) {
    const auto& b = p.OutputStream().Bytes();
    out.insert(out.end(), b.begin(), b.end());
  });
  player.Speak(kalvor::WideToEngineText(text.c_str(), text.size()));
  return out;
}

class Sapi5EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(gDll->module, nullptr);
    ASSERT_HRESULT_SUCCEEDED(gDll->getClassObject(kalvor::CLSID_KalvorSapi5Engine,
                                                  IID_IClassFactory, factory.OutVoid()));
    ASSERT_HRESULT_SUCCEEDED(
        factory->CreateInstance(nullptr, sapi5::IID_ISpTTSEngine, engine.OutVoid()));
    EXPECT_EQ(RefCount(engine.Get()), 1u);
  }
  void TearDown() override {
    engine.Reset();
    factory.Reset();
    EXPECT_EQ(gDll->canUnloadNow(), S_OK);
  }

  // Gives the engine the token of the voice at index, as SAPI does after creating it.
  HRESULT SetToken(std::size_t voice = 0) {
    TComRef<ISpObjectWithToken> with;
    EXPECT_HRESULT_SUCCEEDED(engine->QueryInterface(sapi5::IID_ISpObjectWithToken, with.OutVoid()));
    auto* token = new TRegistryToken(
        HKEY_CURRENT_USER,
        kalvor::reg::VoiceTokenKey(gDll->root, kalvor::kSapi5Voices[voice].TokenName));
    const HRESULT r = with->SetObjectToken(token);
    token->Release();
    return r;
  }

  HRESULT Speak(const std::vector<TFrag>& frags) {
    const TFragList list(frags);
    const WAVEFORMATEX f = kalvor::test::Pcm16k();
    const HRESULT r = engine->Speak(0, sapi5::SPDFID_WaveFormatEx, &f, list.Head(), &site);
    EXPECT_EQ(site.FRefs, 1u) << "the engine kept or dropped a reference to the site";
    return r;
  }

  // The name of the unit whose samples begin at a byte offset of the output (the test voice's
  // samples say which unit they belong to).
  std::string UnitAt(ULONGLONG offset) const {
    if (offset + 1 >= site.Audio.size()) return {};
    const unsigned sample = site.Audio[offset] | (site.Audio[offset + 1] << 8);
    const std::size_t unit = sample / 16;
    const auto& units = voice.Units();
    return unit >= 1 && unit <= units.size() ? units[unit - 1].name : std::string();
  }

  TComRef<IClassFactory> factory;
  TComRef<sapi5::ISpTTSEngine> engine;
  TFakeSite site;
  SyntheticVoice voice = TestVoice();
};

TEST_F(Sapi5EngineTest, PlainTextAtRateZeroGivesTheSynthesizersSamples) {
  ASSERT_HRESULT_SUCCEEDED(SetToken());
  for (const std::wstring text :
       {L"Ali geldi. Ay\u015Fe gitti.", L"Saat 14.30'da 2.500 ki\u015Fi geldi; 3,75 litre su!",
        L"\u00C7ok h\u0131zl\u0131 konu\u015Fuyor.\nS\u0131ra sende mi? Evet. 5. kat."}) {
    site = TFakeSite();
    ASSERT_HRESULT_SUCCEEDED(Speak({{SPVA_Speak, text}}));
    EXPECT_EQ(site.Audio, Expected(text)) << std::string(text.begin(), text.end());
  }
}

TEST_F(Sapi5EngineTest, SentenceAndWordEventsComeInOrderAtTheUnitThatStartsThem) {
  ASSERT_HRESULT_SUCCEEDED(SetToken());
  const std::wstring text = L"Ali geldi.  Ay\u015Fe eve gitti!";
  ASSERT_HRESULT_SUCCEEDED(Speak({{SPVA_Speak, text}}));

  const auto sentences = site.EventsOf(SPEI_SENTENCE_BOUNDARY);
  ASSERT_EQ(sentences.size(), 2u);
  EXPECT_EQ(sentences[0].LParam, 0);
  EXPECT_EQ(sentences[0].WParam, 10u);  // "Ali geldi."
  EXPECT_EQ(sentences[1].LParam, 12);
  EXPECT_EQ(sentences[1].WParam, 15u);  // "Ayşe eve gitti!"
  EXPECT_EQ(sentences[0].Offset, 0u);

  const auto words = site.EventsOf(SPEI_WORD_BOUNDARY);
  const std::vector<std::pair<LPARAM, WPARAM>> expected = {
      {0, 3}, {4, 5}, {12, 4}, {17, 3}, {21, 5}};
  ASSERT_EQ(words.size(), expected.size());
  for (std::size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(words[i].LParam, expected[i].first) << i;
    EXPECT_EQ(words[i].WParam, expected[i].second) << i;
    // The unit at the event's offset carries the word's first letter.
    const char first = kalvor::UpCaseTr(
        kalvor::WideToEngineText(&text[static_cast<std::size_t>(expected[i].first)], 1)[0]);
    const std::string unit = UnitAt(words[i].Offset);
    EXPECT_NE(unit.find(first), std::string::npos) << "word " << i << " at unit " << unit;
  }
  // In the order of the stream, each sentence before its first word.
  for (std::size_t i = 1; i < site.Events.size(); ++i)
    EXPECT_LE(site.Events[i - 1].Offset, site.Events[i].Offset);
  EXPECT_EQ(site.Events[0].Id, SPEI_SENTENCE_BOUNDARY);
  EXPECT_EQ(sentences[1].Offset, words[2].Offset);
  EXPECT_GT(sentences[1].Offset, words[1].Offset);
}

TEST_F(Sapi5EngineTest, EveryWordIsAnnouncedOnceWithNumbersAndSigns) {
  ASSERT_HRESULT_SUCCEEDED(SetToken());
  const std::wstring text = L"Saat 14.30'da 2.500 ki\u015Fi + 3 ki\u015Fi geldi; -5 derece.";
  ASSERT_HRESULT_SUCCEEDED(Speak({{SPVA_Speak, text}}));
  std::vector<std::wstring> got;
  ULONGLONG last = 0;
  for (const auto& e : site.EventsOf(SPEI_WORD_BOUNDARY)) {
    got.push_back(text.substr(static_cast<std::size_t>(e.LParam), e.WParam));
    EXPECT_GE(e.Offset, last);
    last = e.Offset;
  }
  const std::vector<std::wstring> words = {L"Saat", L"14.30'da", L"2.500",     L"ki\u015Fi",
                                           L"+",    L"3",        L"ki\u015Fi", L"geldi",
                                           L"-",    L"5",        L"derece"};
  EXPECT_EQ(got, words);
  EXPECT_LE(last, site.Audio.size());
}

TEST_F(Sapi5EngineTest, BookmarksAndSilencesSitBetweenTheFragmentsAroundThem) {
  ASSERT_HRESULT_SUCCEEDED(SetToken());
  ASSERT_HRESULT_SUCCEEDED(Speak({{SPVA_Speak, L"Bir iki."},
                                  {SPVA_Bookmark, L"17"},
                                  {SPVA_Silence, L"", 0, 100, 250},
                                  {SPVA_Bookmark, L"son"},
                                  {SPVA_Speak, L"\u00DC\u00E7."}}));
  const auto first = Expected(L"Bir iki."), second = Expected(L"\u00DC\u00E7.");
  std::vector<std::uint8_t> expected = first;
  expected.insert(expected.end(), 250 * 32, 0);
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(site.Audio, expected);

  const auto marks = site.EventsOf(SPEI_TTS_BOOKMARK);
  ASSERT_EQ(marks.size(), 2u);
  EXPECT_EQ(marks[0].Mark, L"17");
  EXPECT_EQ(marks[0].WParam, 17u);
  EXPECT_EQ(marks[0].Offset, first.size());
  EXPECT_EQ(marks[1].Mark, L"son");
  EXPECT_EQ(marks[1].WParam, 0u);
  EXPECT_EQ(marks[1].Offset, first.size() + 250 * 32);
  // The second fragment's words count from its own place in the whole text.
  const auto words = site.EventsOf(SPEI_WORD_BOUNDARY);
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(words[2].LParam, 8 + 2 + 3);
  EXPECT_EQ(words[2].Offset, first.size() + 250 * 32);
}

TEST_F(Sapi5EngineTest, FragmentsThatOnlyMarkUpASentenceAreSpokenAsOne) {
  ASSERT_HRESULT_SUCCEEDED(SetToken());
  // As <emph>geldi</emph> would split it: no pause inside the sentence.
  ASSERT_HRESULT_SUCCEEDED(
      Speak({{SPVA_Speak, L"Ali "}, {SPVA_Speak, L"geldi"}, {SPVA_Speak, L". Veli de."}}));
  EXPECT_EQ(site.Audio, Expected(L"Ali geldi. Veli de."));
  const auto words = site.EventsOf(SPEI_WORD_BOUNDARY);
  ASSERT_EQ(words.size(), 4u);
  EXPECT_EQ(words[1].LParam, 4);
  EXPECT_EQ(words[1].WParam, 5u);
  const auto sentences = site.EventsOf(SPEI_SENTENCE_BOUNDARY);
  ASSERT_EQ(sentences.size(), 2u);
  EXPECT_EQ(sentences[0].WParam, 10u);

  // Another rate is another piece.
  site = TFakeSite();
  ASSERT_HRESULT_SUCCEEDED(Speak({{SPVA_Speak, L"Ali "}, {SPVA_Speak, L"geldi.", 10}}));
  std::vector<std::uint8_t> expected = Expected(L"Ali ");
  const auto fast = Expected(L"geldi.", 200);
  expected.insert(expected.end(), fast.begin(), fast.end());
  EXPECT_EQ(site.Audio, expected);
}

TEST_F(Sapi5EngineTest, SpellOutSpeaksEachLetterAsAWordOfItsOwn) {
  ASSERT_HRESULT_SUCCEEDED(SetToken());
  ASSERT_HRESULT_SUCCEEDED(Speak({{SPVA_SpellOut, L"a\u015F-3"}}));
  std::vector<std::uint8_t> expected;
  for (const wchar_t* letter : {L"a", L"\u015F", L"3"}) {
    const auto e = Expected(letter);
    expected.insert(expected.end(), e.begin(), e.end());
  }
  EXPECT_EQ(site.Audio, expected);
  const auto words = site.EventsOf(SPEI_WORD_BOUNDARY);
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(words[1].LParam, 1);
  EXPECT_EQ(words[2].LParam, 3);
  EXPECT_TRUE(site.EventsOf(SPEI_SENTENCE_BOUNDARY).empty());
}

TEST_F(Sapi5EngineTest, AbortStopsBeforeTheNextUnit) {
  ASSERT_HRESULT_SUCCEEDED(SetToken());
  site.Actions = [](TFakeSite& s) { return s.Writes >= 3 ? DWORD{sapi5::SPVES_ABORT} : 0; };
  ASSERT_EQ(Speak({{SPVA_Speak, L"Uzun bir c\u00FCmle. Ve bir tane daha."},
                   {SPVA_Bookmark, L"1"},
                   {SPVA_Speak, L"Son."}}),
            S_OK);
  EXPECT_EQ(site.Writes, 3);
  EXPECT_EQ(site.WritesAfterAbort, 0);
  EXPECT_TRUE(site.EventsOf(SPEI_TTS_BOOKMARK).empty());
}

TEST_F(Sapi5EngineTest, SkipMovesOnBySentencesAndSaysHowMany) {
  ASSERT_HRESULT_SUCCEEDED(SetToken());
  // The host asks once, at the first write, to skip that many sentences.
  auto skipAtTheFirstWrite = [](TFakeSite& host, LONG count) {
    host.SkipCount = count;
    host.Actions = [asked = false](TFakeSite& s) mutable -> DWORD {
      if (s.Writes == 1 && !asked) {
        asked = true;
        return sapi5::SPVES_SKIP;
      }
      return 0;
    };
  };
  skipAtTheFirstWrite(site, 1);
  ASSERT_HRESULT_SUCCEEDED(Speak({{SPVA_Speak, L"Bir. \u0130ki. \u00DC\u00E7."}}));
  ASSERT_EQ(site.Completed, std::vector<LONG>{1});
  // One unit of the first sentence, then the rest from the second on.
  const auto rest = Expected(L"\u0130ki. \u00DC\u00E7.");
  ASSERT_GT(site.Audio.size(), rest.size());
  EXPECT_TRUE(std::equal(rest.begin(), rest.end(), site.Audio.end() - rest.size()));
  const auto firstUnit = Expected(L"Bir.");
  EXPECT_LT(site.Audio.size() - rest.size(), firstUnit.size());
  EXPECT_EQ(site.EventsOf(SPEI_SENTENCE_BOUNDARY).size(), 3u);

  // Past the end: as many as there were, and nothing more is spoken.
  site = TFakeSite();
  skipAtTheFirstWrite(site, 5);
  ASSERT_HRESULT_SUCCEEDED(Speak({{SPVA_Speak, L"Bir. \u0130ki. \u00DC\u00E7."}}));
  EXPECT_EQ(site.Completed, std::vector<LONG>{3});
  EXPECT_EQ(site.Writes, 1);
}

TEST_F(Sapi5EngineTest, RateStepsAreAConstantRatioAroundHiz100) {
  EXPECT_EQ(kalvor::HizForRate(0), 100);
  EXPECT_EQ(kalvor::HizForRate(10), 200);
  EXPECT_EQ(kalvor::HizForRate(-10), 50);
  EXPECT_EQ(kalvor::HizForRate(5), 141);
  EXPECT_EQ(kalvor::HizForRate(-5), 71);
  EXPECT_EQ(kalvor::HizForRate(30), 200);
  EXPECT_EQ(kalvor::HizForRate(-30), 50);

  ASSERT_HRESULT_SUCCEEDED(SetToken());
  const std::wstring text = L"H\u0131zl\u0131 konu\u015Fma.";
  // The fragment's own rate and the program's rate add up.
  site.Rate = 4;
  ASSERT_HRESULT_SUCCEEDED(Speak({{SPVA_Speak, text, 6}}));
  EXPECT_EQ(site.Audio, Expected(text, 200));

  // A rate change asked for in the middle takes effect from the next unit.
  site = TFakeSite();
  site.Actions = [](TFakeSite& s) -> DWORD {
    if (s.Writes == 2 && s.Rate == 0) {
      s.Rate = -10;
      return sapi5::SPVES_RATE;
    }
    return 0;
  };
  ASSERT_HRESULT_SUCCEEDED(Speak({{SPVA_Speak, text}}));
  const auto fast = Expected(text, 100), slow = Expected(text, 50);
  EXPECT_NE(site.Audio, fast);
  EXPECT_NE(site.Audio, slow);
  // The pause at the end is the slow rate's (3 x 50 ms).
  ASSERT_GE(site.Audio.size(), 150u * 32);
  EXPECT_TRUE(std::all_of(site.Audio.end() - 150 * 32, site.Audio.end(),
                          [](std::uint8_t b) { return b == 0; }));
}

TEST_F(Sapi5EngineTest, VolumeScalesTheSamples) {
  ASSERT_HRESULT_SUCCEEDED(SetToken());
  const std::wstring text = L"Ses.";
  const auto full = Expected(text);
  site.Volume = 50;
  ASSERT_HRESULT_SUCCEEDED(Speak({{SPVA_Speak, text, 0, 50}}));
  ASSERT_EQ(site.Audio.size(), full.size());
  for (std::size_t i = 0; i + 1 < full.size(); i += 2) {
    const auto s = static_cast<std::int16_t>(full[i] | (full[i + 1] << 8));
    const auto got = static_cast<std::int16_t>(site.Audio[i] | (site.Audio[i + 1] << 8));
    ASSERT_EQ(got, s * 25 / 100) << i;
  }
  // Silenced in the middle by the program.
  site = TFakeSite();
  site.Actions = [](TFakeSite& s) -> DWORD {
    if (s.Writes == 1 && s.Volume == 100) {
      s.Volume = 0;
      return sapi5::SPVES_VOLUME;
    }
    return 0;
  };
  ASSERT_HRESULT_SUCCEEDED(Speak({{SPVA_Speak, text}}));
  ASSERT_EQ(site.Audio.size(), full.size());
  EXPECT_NE(site.Audio, full);
  EXPECT_TRUE(
      std::all_of(site.Audio.end() - 32, site.Audio.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST_F(Sapi5EngineTest, TheOutputFormatIs16kHz16BitMono) {
  GUID id{};
  WAVEFORMATEX* f = nullptr;
  ASSERT_EQ(engine->GetOutputFormat(&sapi5::SPDFID_WaveFormatEx, nullptr, &id, &f), S_OK);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(IsEqualGUID(id, sapi5::SPDFID_WaveFormatEx));
  EXPECT_EQ(f->wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(f->nChannels, 1);
  EXPECT_EQ(f->nSamplesPerSec, 16000u);
  EXPECT_EQ(f->wBitsPerSample, 16);
  EXPECT_EQ(f->nBlockAlign, 2);
  EXPECT_EQ(f->nAvgBytesPerSec, 32000u);
  CoTaskMemFree(f);
  EXPECT_EQ(engine->GetOutputFormat(nullptr, nullptr, &id, nullptr), E_POINTER);
}

TEST_F(Sapi5EngineTest, TheTokenIsKeptOnlyWhenItsVoiceLoads) {
  // Without a token there is no voice to speak with.
  EXPECT_EQ(Speak({{SPVA_Speak, L"Ses."}}), sapi5::SPERR_UNINITIALIZED);

  TComRef<ISpObjectWithToken> with;
  ASSERT_HRESULT_SUCCEEDED(engine->QueryInterface(sapi5::IID_ISpObjectWithToken, with.OutVoid()));
  EXPECT_EQ(RefCount(engine.Get()), 2u);  // the facet counts for the engine

  // A token whose file is missing, and one whose file is no voice: refused, not kept.
  const std::wstring key = std::wstring(kScratch) + L"\\Bad";
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                            nullptr),
            ERROR_SUCCESS);
  auto setFile = [&](const std::wstring& file) {
    RegSetValueExW(h, kalvor::kVoiceFileValue, 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(file.c_str()),
                   static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
  };
  auto* bad = new TRegistryToken(HKEY_CURRENT_USER, key);
  EXPECT_HRESULT_FAILED(with->SetObjectToken(bad));  // no VoiceFile value at all
  setFile(L"NOSUCH.SPD");
  EXPECT_EQ(with->SetObjectToken(bad), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  kalvor::test::WriteFile(gDll->dir / "JUNK.SPD", {1, 2, 3, 4, 5});
  setFile((gDll->dir / "JUNK.SPD").wstring());
  EXPECT_EQ(with->SetObjectToken(bad), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
  RegCloseKey(h);
  EXPECT_EQ(bad->Refs(), 1u);
  ISpObjectToken* got = reinterpret_cast<ISpObjectToken*>(1);
  EXPECT_EQ(with->GetObjectToken(&got), S_FALSE);
  EXPECT_EQ(got, nullptr);

  // The female voice's token: kept, handed back counted, given back with the engine.
  auto* good = new TRegistryToken(
      HKEY_CURRENT_USER, kalvor::reg::VoiceTokenKey(gDll->root, kalvor::kSapi5Voices[1].TokenName));
  ASSERT_EQ(with->SetObjectToken(good), S_OK);
  EXPECT_EQ(good->Refs(), 2u);
  EXPECT_EQ(with->SetObjectToken(good), sapi5::SPERR_ALREADY_INITIALIZED);
  ASSERT_EQ(with->GetObjectToken(&got), S_OK);
  EXPECT_EQ(got, good);
  EXPECT_EQ(good->Refs(), 3u);
  got->Release();
  EXPECT_HRESULT_SUCCEEDED(Speak({{SPVA_Speak, L"Ses."}}));
  EXPECT_EQ(site.Audio, Expected(L"Ses."));
  with.Reset();
  engine.Reset();
  EXPECT_EQ(good->Refs(), 1u);
  good->Release();
  bad->Release();
}

TEST_F(Sapi5EngineTest, AFailingWriteEndsSpeakingWithItsCode) {
  ASSERT_HRESULT_SUCCEEDED(SetToken());
  site.WriteResult = E_ACCESSDENIED;
  EXPECT_EQ(Speak({{SPVA_Speak, L"Bir. \u0130ki."}}), E_ACCESSDENIED);
  EXPECT_TRUE(site.EventsOf(SPEI_SENTENCE_BOUNDARY).size() <= 1);
}

TEST(Sapi5Module, TheClassFactoryServesBothEnginesAndCountsThem) {
  ASSERT_NE(gDll->module, nullptr);
  TComRef<IClassFactory> f4, f5;
  ASSERT_EQ(gDll->getClassObject(kalvor::CLSID_KalvorSapi5Engine, IID_IClassFactory, f5.OutVoid()),
            S_OK);
  TComRef<IUnknown> unknown;
  EXPECT_EQ(f5->CreateInstance(nullptr, IID_IClassFactory, unknown.OutVoid()), E_NOINTERFACE);
  EXPECT_EQ(unknown.Get(), nullptr);
  TComRef<IUnknown> outer;
  EXPECT_EQ(
      f5->CreateInstance(reinterpret_cast<IUnknown*>(f5.Get()), IID_IUnknown, unknown.OutVoid()),
      CLASS_E_NOAGGREGATION);
  ASSERT_EQ(f5->CreateInstance(nullptr, IID_IUnknown, unknown.OutVoid()), S_OK);
  f5.Reset();
  EXPECT_EQ(gDll->canUnloadNow(), S_FALSE);  // the engine object lives
  TComRef<ISpObjectWithToken> with;
  ASSERT_EQ(unknown->QueryInterface(sapi5::IID_ISpObjectWithToken, with.OutVoid()), S_OK);
  TComRef<IUnknown> back;
  ASSERT_EQ(with->QueryInterface(IID_IUnknown, back.OutVoid()), S_OK);
  EXPECT_EQ(back.Get(), unknown.Get());
  EXPECT_EQ(RefCount(unknown.Get()), 3u);
  back.Reset();
  with.Reset();
  unknown.Reset();
  EXPECT_EQ(gDll->canUnloadNow(), S_OK);
  // The SAPI 4 class is still there, and other classes are not.
  EXPECT_EQ(gDll->getClassObject(kalvor::CLSID_KalvorEngine, IID_IClassFactory, f4.OutVoid()),
            S_OK);
  f4.Reset();
  EXPECT_EQ(gDll->getClassObject(IID_IUnknown, IID_IClassFactory, f4.OutVoid()), E_FAIL);
}

}  // namespace
