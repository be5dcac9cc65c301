// The SAPI 5 declarations an engine needs beyond what MinGW-w64's <sapi.h> brings. <sapi.h> has the
// client side (tokens, data keys, events, SPVSTATE, SpVoice); the engine side (ISpTTSEngine, its
// site and the text fragment list) lives in the DDK header sapiddk.h, which MinGW-w64 does not
// ship, so it is declared here in the published slot order. The identifiers are constants of our
// own because MinGW's import libraries define none of SAPI's.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <mmsystem.h>
#include <sapi.h>

namespace sapi5 {

// What the site asks the engine to do, from GetActions.
enum SPVESACTIONS : DWORD {
  SPVES_CONTINUE = 0,
  SPVES_ABORT = 1 << 0,
  SPVES_SKIP = 1 << 1,
  SPVES_RATE = 1 << 2,
  SPVES_VOLUME = 1 << 3,
};

enum SPVSKIPTYPE { SPVST_SENTENCE = 1 << 0 };

// One piece of the text with the state (action, rate, volume...) the markup gave it.
struct SPVTEXTFRAG {
  SPVTEXTFRAG* pNext;
  SPVSTATE State;
  LPCWSTR pTextStart;
  ULONG ulTextLen;
  ULONG ulTextSrcOffset;  // of pTextStart in the text the application gave
};

class ISpTTSEngineSite : public ISpEventSink {
 public:
  virtual DWORD STDMETHODCALLTYPE GetActions() = 0;
  virtual HRESULT STDMETHODCALLTYPE Write(const void* pBuff, ULONG cb, ULONG* pcbWritten) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRate(LONG* pRateAdjust) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVolume(USHORT* pusVolume) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSkipInfo(SPVSKIPTYPE* peType, LONG* plNumItems) = 0;
  virtual HRESULT STDMETHODCALLTYPE CompleteSkip(LONG ulNumSkipped) = 0;
};

class ISpTTSEngine : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE Speak(DWORD dwSpeakFlags, REFGUID rguidFormatId,
                                          const WAVEFORMATEX* pWaveFormatEx,
                                          const SPVTEXTFRAG* pTextFragList,
                                          ISpTTSEngineSite* pOutputSite) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOutputFormat(const GUID* pTargetFmtId,
                                                    const WAVEFORMATEX* pTargetWaveFormatEx,
                                                    GUID* pOutputFormatId,
                                                    WAVEFORMATEX** ppCoMemOutputWaveFormatEx) = 0;
};

inline constexpr IID IID_ISpTTSEngine = {
    0xA74D7C8E, 0x4CC5, 0x4F2F, {0xA6, 0xEB, 0x80, 0x4D, 0xEE, 0x18, 0x50, 0x0E}};
inline constexpr IID IID_ISpTTSEngineSite = {
    0x9880499B, 0xCCE9, 0x11D2, {0xB5, 0x03, 0x00, 0xC0, 0x4F, 0x79, 0x73, 0x96}};
inline constexpr IID IID_ISpEventSink = {
    0xBE7A9CC9, 0x5F9E, 0x11D2, {0x96, 0x0F, 0x00, 0xC0, 0x4F, 0x8E, 0xE6, 0x28}};
inline constexpr IID IID_ISpObjectWithToken = {
    0x5B559F40, 0xE952, 0x11D2, {0xBB, 0x91, 0x00, 0xC0, 0x4F, 0x8E, 0xE6, 0xC0}};
inline constexpr IID IID_ISpObjectToken = {
    0x14056589, 0xE16C, 0x11D2, {0xBB, 0x90, 0x00, 0xC0, 0x4F, 0x8E, 0xE6, 0xC0}};
inline constexpr IID IID_ISpObjectTokenCategory = {
    0x2D3D3845, 0x39AF, 0x4850, {0xBB, 0xF9, 0x40, 0xB4, 0x97, 0x80, 0x01, 0x1D}};
inline constexpr IID IID_ISpVoice = {
    0x6C44DF74, 0x72B9, 0x4992, {0xA1, 0xEC, 0xEF, 0x99, 0x6E, 0x04, 0x22, 0xD4}};
inline constexpr IID IID_ISpStream = {
    0x12E3CCA9, 0x7518, 0x44C5, {0xA5, 0xE7, 0xBA, 0x5A, 0x79, 0xCB, 0x92, 0x9E}};
inline constexpr CLSID CLSID_SpVoice = {
    0x96749377, 0x3391, 0x11D2, {0x9E, 0xE3, 0x00, 0xC0, 0x4F, 0x79, 0x73, 0x96}};
inline constexpr CLSID CLSID_SpStream = {
    0x715D9C59, 0x4442, 0x11D2, {0x96, 0x05, 0x00, 0xC0, 0x4F, 0x8E, 0xE6, 0x28}};
inline constexpr CLSID CLSID_SpObjectTokenCategory = {
    0xA910187F, 0x0C7A, 0x45AC, {0x92, 0xCC, 0x59, 0xED, 0xAF, 0xB7, 0x7B, 0x53}};
inline constexpr CLSID CLSID_SpObjectToken = {
    0xEF411752, 0x3736, 0x4CB4, {0x9C, 0x8C, 0x8E, 0xF4, 0xCC, 0xB5, 0x8E, 0xFE}};
// The wave format family of SAPI's stream formats.
inline constexpr GUID SPDFID_WaveFormatEx = {
    0xC31ADBAE, 0x527F, 0x4FF5, {0xA2, 0x30, 0xF6, 0x2B, 0xB6, 0x1F, 0xF7, 0x0C}};
inline constexpr GUID SPDFID_Text = {
    0x7CEEF9F9, 0x3D13, 0x11D2, {0x9E, 0xE7, 0x00, 0xC0, 0x4F, 0x79, 0x73, 0x96}};

// SAPI's own failure codes that an engine reports.
inline constexpr HRESULT SPERR_UNINITIALIZED = static_cast<HRESULT>(0x80045001);
inline constexpr HRESULT SPERR_ALREADY_INITIALIZED = static_cast<HRESULT>(0x80045002);

// Where the voices are listed, below HKEY_LOCAL_MACHINE\SOFTWARE.
inline constexpr wchar_t kVoiceTokensKey[] = L"Microsoft\\Speech\\Voices\\Tokens";

}  // namespace sapi5
