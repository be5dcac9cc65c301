#include "Sapi5Say.h"

#include <stdexcept>

#include "ComEntry.h"
#include "Sapi5Engine.h"
#include "Sapi5Host.h"
#include "Sapi5Text.h"
#include "Sapi5Voices.h"
#include "SpcMode.h"

namespace kalvor::test {

std::optional<std::vector<std::uint8_t>> SpeakThroughSapi5(const std::string& voice, WORD pitch,
                                                           const std::wstring& text) {
  // The SAPI 4 attribute's rate for the pitch (above 255 the top rate), and the SAPI 5 rate
  // that gives the same.
  const std::int64_t hiz = pitch > 255 ? 200 : DivideRoundHalfEven(std::int64_t{pitch} * 100, 128);
  std::optional<long> rate;
  for (long r = -10; r <= 10; ++r)
    if (HizForRate(r) == hiz) rate = r;
  if (!rate) return std::nullopt;

  const wchar_t key[] = L"Software\\KalvorSapi5Say";
  HKEY h = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) !=
      ERROR_SUCCESS)
    throw std::runtime_error("cannot make the scratch token key");
  const std::wstring file(voice.begin(), voice.end());
  RegSetValueExW(h, kVoiceFileValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                 static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);

  TComRef<sapi5::ISpTTSEngine> engine;
  if (FAILED(CreateSapi5Engine(sapi5::IID_ISpTTSEngine, engine.OutVoid())))
    throw std::runtime_error("the SAPI 5 engine could not be made");
  TComRef<ISpObjectWithToken> with;
  engine->QueryInterface(sapi5::IID_ISpObjectWithToken, with.OutVoid());
  auto* token = new TRegistryToken(HKEY_CURRENT_USER, key);
  const HRESULT loaded = with->SetObjectToken(token);
  token->Release();
  RegDeleteTreeW(HKEY_CURRENT_USER, key);
  if (loaded != S_OK) throw std::runtime_error("the SAPI 5 engine refused the voice " + voice);

  TFakeSite site;
  site.Rate = *rate;
  const TFragList list({{SPVA_Speak, text}});
  WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, 16000, 32000, 2, 16, 0};
  const HRESULT r = engine->Speak(0, sapi5::SPDFID_WaveFormatEx, &f, list.Head(), &site);
  if (r != S_OK) throw std::runtime_error("Speak failed: " + std::to_string(r));
  return site.Audio;
}

}  // namespace kalvor::test
