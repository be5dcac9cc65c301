// TSapi5Engine: Kalvor's SAPI 5 text-to-speech engine (ISpTTSEngine + ISpObjectWithToken), a
// sibling of the SAPI 4 mode object over the same synthesizer. SAPI creates one per voice token,
// hands it the token (which names the voice's speech data file) and then calls Speak on a thread
// of its own with the parsed text as a list of fragments; the engine writes 16 kHz 16-bit mono
// samples and events to the site SAPI gives it, and asks the site between units whether to stop,
// skip or change rate or volume. It keeps no thread affinity (no windows, nothing per thread), so
// it is registered for both threading models: SAPI creates it on one thread and speaks with it on
// another.
#pragma once

#include <memory>
#include <string>

#include "ComEntry.h"
#include "SapiDdk.h"
#include "StrPlaySP.h"

namespace kalvor {

class TSapi5Engine;

class TSapi5TokenFacet final : public TFacet<TSapi5Engine, ISpObjectWithToken> {
 public:
  using TFacet::TFacet;
  HRESULT STDMETHODCALLTYPE SetObjectToken(ISpObjectToken* pToken) override;
  HRESULT STDMETHODCALLTYPE GetObjectToken(ISpObjectToken** ppToken) override;
};

class TSapi5Engine final : public sapi5::ISpTTSEngine {
 public:
  TSapi5Engine();
  ~TSapi5Engine();
  TSapi5Engine(const TSapi5Engine&) = delete;
  TSapi5Engine& operator=(const TSapi5Engine&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE Speak(DWORD dwSpeakFlags, REFGUID rguidFormatId,
                                  const WAVEFORMATEX* pWaveFormatEx,
                                  const sapi5::SPVTEXTFRAG* pTextFragList,
                                  sapi5::ISpTTSEngineSite* pOutputSite) override;
  HRESULT STDMETHODCALLTYPE GetOutputFormat(const GUID* pTargetFmtId,
                                            const WAVEFORMATEX* pTargetWaveFormatEx,
                                            GUID* pOutputFormatId,
                                            WAVEFORMATEX** ppCoMemOutputWaveFormatEx) override;

 private:
  friend class TSapi5TokenFacet;
  HRESULT SetObjectToken(ISpObjectToken* token);
  HRESULT GetObjectToken(ISpObjectToken** token);

  LONG FRefCount = 0;
  TSapi5TokenFacet FTokenFacet{*this};
  ISpObjectToken* FToken = nullptr;      // counted, once its voice is loaded
  std::unique_ptr<TStrPlayer> FPlayer;   // loaded with the token's voice
  std::unique_ptr<TStrPlayer> FScratch;  // front end only: counts the letters of words
};

// The class factory's part: a new engine object, counted in the module's objects, queried for riid.
HRESULT CreateSapi5Engine(REFIID riid, void** ppv);

// The voice file a token names, as the engine loads it: a bare name lies beside the engine DLL.
std::wstring VoiceFilePath(const std::wstring& tokenValue);

}  // namespace kalvor
