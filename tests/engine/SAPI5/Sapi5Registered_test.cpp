// The voices as kalvor-reg registered them in a fresh Wine prefix (registered.sh does that first):
// SAPI's own token category lists them with their attributes, and the class each token names
// loads Kalvor.dll from the registry, takes SAPI's token and speaks into our host double.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "ComEntry.h"
#include "ComTestSupport.h"
#include "EngineText.h"
#include "Sapi5Host.h"
#include "Sapi5Voices.h"
#include "StrPlaySP.h"

namespace {

using kalvor::TComRef;
using kalvor::test::TFakeSite;
using kalvor::test::TFrag;
using kalvor::test::TFragList;

const auto* const kApartment =
    ::testing::AddGlobalTestEnvironment(new kalvor::test::TComApartment(COINIT_MULTITHREADED));

std::wstring StringOf(ISpDataKey* key, const wchar_t* name) {
  WCHAR* s = nullptr;
  if (FAILED(key->GetStringValue(name, &s)) || !s) return L"(none)";
  std::wstring w = s;
  CoTaskMemFree(s);
  return w;
}

// Our tokens as SAPI lists them, by their Name attribute, counted.
struct TListed {
  std::wstring Name, Gender, Language, Age, Vendor;
  ISpObjectToken* Token = nullptr;
};

class Sapi5Registered : public ::testing::Test {
 protected:
  void SetUp() override {
    TComRef<ISpObjectTokenCategory> category;
    const HRESULT r = CoCreateInstance(sapi5::CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL,
                                       sapi5::IID_ISpObjectTokenCategory, category.OutVoid());
    if (FAILED(r)) GTEST_SKIP() << "this SAPI 5 has no token category";
    ASSERT_HRESULT_SUCCEEDED(category->SetId(SPCAT_VOICES, FALSE));
    TComRef<IEnumSpObjectTokens> tokens;
    ASSERT_HRESULT_SUCCEEDED(category->EnumTokens(nullptr, nullptr, tokens.Out()));
    for (;;) {
      ISpObjectToken* token = nullptr;
      if (tokens->Next(1, &token, nullptr) != S_OK || !token) break;
      TComRef<ISpDataKey> a;
      if (FAILED(token->OpenKey(L"Attributes", a.Out())) ||
          StringOf(a.Get(), L"Vendor") != L"Kalvor") {
        token->Release();
        continue;
      }
      listed.push_back({StringOf(a.Get(), L"Name"), StringOf(a.Get(), L"Gender"),
                        StringOf(a.Get(), L"Language"), StringOf(a.Get(), L"Age"),
                        StringOf(a.Get(), L"Vendor"), token});
    }
  }
  void TearDown() override {
    for (TListed& l : listed) l.Token->Release();
  }
  const TListed* Find(const wchar_t* name) const {
    for (const TListed& l : listed)
      if (l.Name == name) return &l;
    return nullptr;
  }
  std::vector<TListed> listed;
};

TEST_F(Sapi5Registered, SapisTokenCategoryListsBothVoicesWithTheirAttributes) {
  ASSERT_EQ(listed.size(), 2u);
  for (const kalvor::TSapi5Voice& v : kalvor::kSapi5Voices) {
    const TListed* l = Find(v.Name);
    ASSERT_NE(l, nullptr) << "no token named " << std::string(v.TokenName, v.TokenName + 6);
    EXPECT_EQ(l->Gender, v.Gender);
    EXPECT_EQ(l->Language, L"41F");
    EXPECT_EQ(l->Age, L"Adult");
  }
}

TEST_F(Sapi5Registered, EachTokensClassSpeaksItsVoiceFromTheRegisteredDll) {
  ASSERT_EQ(listed.size(), 2u);
  for (const kalvor::TSapi5Voice& v : kalvor::kSapi5Voices) {
    const TListed* l = Find(v.Name);
    ASSERT_NE(l, nullptr);
    // SAPI's own token where it gives the token's values; Wine 8.0's gives none, and then the
    // same registry key is read through our token double.
    ISpObjectToken* token = l->Token;
    std::wstring clsidText = StringOf(token, L"CLSID");
    TComRef<ISpObjectToken> ours;
    if (clsidText == L"(none)") {
      *ours.Out() = new kalvor::test::TRegistryToken(
          HKEY_LOCAL_MACHINE,
          std::wstring(L"SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens\\") + v.TokenName);
      token = ours.Get();
      clsidText = StringOf(token, L"CLSID");
      std::cout << "SAPI's token gives no values here: the registry key is read directly\n";
    }
    CLSID clsid{};
    ASSERT_HRESULT_SUCCEEDED(CLSIDFromString(clsidText.c_str(), &clsid));
    TComRef<sapi5::ISpTTSEngine> engine;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                                              sapi5::IID_ISpTTSEngine, engine.OutVoid()));
    TComRef<ISpObjectWithToken> with;
    ASSERT_HRESULT_SUCCEEDED(engine->QueryInterface(sapi5::IID_ISpObjectWithToken, with.OutVoid()));
    ASSERT_EQ(with->SetObjectToken(token), S_OK);

    TFakeSite site;
    const std::wstring text = L"Merhaba d\u00FCnya.";
    const TFragList list({{SPVA_Speak, text}});
    const WAVEFORMATEX f = kalvor::test::Pcm16k();
    ASSERT_EQ(engine->Speak(0, sapi5::SPDFID_WaveFormatEx, &f, list.Head(), &site), S_OK);
    EXPECT_EQ(site.EventsOf(SPEI_SENTENCE_BOUNDARY).size(), 1u);
    EXPECT_EQ(site.EventsOf(SPEI_WORD_BOUNDARY).size(), 2u);

    // The voice file beside the registered DLL, spoken by the synthesizer itself.
    kalvor::TStrPlayer player;
    player.LoadData(kalvor::test::ProgramDir() / v.VoiceFile);
    std::vector<std::uint8_t> expected;
    player.SetOnPlaySyl([&](kalvor::TStrPlayer& p, kalvor::TStr3, std::int32_t&) {
      const auto& b = p.OutputStream().Bytes();
      expected.insert(expected.end(), b.begin(), b.end());
    });
    player.Speak(kalvor::WideToEngineText(text.c_str(), text.size()));
    EXPECT_GT(site.Audio.size(), 16000u);
    EXPECT_EQ(site.Audio, expected) << "voice " << std::string(v.TokenName, v.TokenName + 10);
  }
}

}  // namespace
