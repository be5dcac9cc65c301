// The attribute facets and the dialog facets of the mode.
//
// The SAPI pitch drives the synthesizer's rate Hiz (pitch 128 is Hiz 100, the voice's own speed);
// speed and real time are kept and reported but change nothing; volume is the audio object's
// level. Every setter tells the registered sinks, also when the value stays the same.
#include "ComEntry.h"
#include "SpcMode.h"

namespace kalvor {

WORD TSpcMode::PitchGet() const {
  return static_cast<WORD>(RoundHalfEven(std::int64_t{FPlayer->Hiz()} * 128, 100));
}

void TSpcMode::PitchSet(WORD wPitch) {
  // Above 255 the rate is doubled, which PitchGet reports as 256.
  const std::int64_t hiz = wPitch > 255 ? 200 : RoundHalfEven(std::int64_t{wPitch} * 100, 128);
  FPlayer->SetHiz(static_cast<std::int32_t>(hiz));
  PostToWindow(WM_TTS_ATTRIBCHANGED, TTSNSAC_PITCH, 0);
}

void TSpcMode::SpeedSet(DWORD dwSpeed) {
  FSpeed = dwSpeed < 256 ? dwSpeed : 255;
  PostToWindow(WM_TTS_ATTRIBCHANGED, TTSNSAC_SPEED, 0);
}

DWORD TSpcMode::VolumeLevel(DWORD dwVolume) {
  // 0..255 on both channels (low word left, high word right); above that, full level.
  if (dwVolume > 255) return 0xFFFFFFFF;
  const DWORD v = dwVolume * 255;
  return v * 65536 + v;
}

HRESULT STDMETHODCALLTYPE TModeITTSAttributesW::PitchGet(WORD* pwPitch) {
  return ComEntry([&]() -> HRESULT {
    if (!pwPitch) return E_INVALIDARG;
    *pwPitch = FOwner.PitchGet();
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE TModeITTSAttributesW::PitchSet(WORD wPitch) {
  return ComEntry([&]() -> HRESULT {
    FOwner.PitchSet(wPitch);
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE TModeITTSAttributesW::RealTimeGet(DWORD* pdwRealTime) {
  if (!pdwRealTime) return E_INVALIDARG;
  *pdwRealTime = FOwner.FRealTime;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TModeITTSAttributesW::RealTimeSet(DWORD dwRealTime) {
  FOwner.FRealTime = dwRealTime;
  FOwner.PostToWindow(WM_TTS_ATTRIBCHANGED, TTSNSAC_REALTIME, 0);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TModeITTSAttributesW::SpeedGet(DWORD* pdwSpeed) {
  if (!pdwSpeed) return E_INVALIDARG;
  *pdwSpeed = FOwner.FSpeed;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TModeITTSAttributesW::SpeedSet(DWORD dwSpeed) {
  FOwner.SpeedSet(dwSpeed);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TModeITTSAttributesW::VolumeGet(DWORD* pdwVolume) {
  return ComEntry([&]() -> HRESULT {
    if (!pdwVolume) return E_INVALIDARG;
    DWORD level = 0;
    const HRESULT r = FOwner.FAudio->LevelGet(&level);
    if (r == 0) *pdwVolume = (level & 0xFFFF) / 255;
    return r;
  });
}

HRESULT STDMETHODCALLTYPE TModeITTSAttributesW::VolumeSet(DWORD dwVolume) {
  return ComEntry([&]() -> HRESULT {
    const HRESULT r = FOwner.FAudio->LevelSet(TSpcMode::VolumeLevel(dwVolume));
    FOwner.PostToWindow(WM_TTS_ATTRIBCHANGED, TTSNSAC_VOLUME, 0);
    return r;
  });
}

// The A facet has nothing to convert.
HRESULT STDMETHODCALLTYPE TModeITTSAttributesA::PitchGet(WORD* pwPitch) {
  return FOwner.FAttributesW.PitchGet(pwPitch);
}
HRESULT STDMETHODCALLTYPE TModeITTSAttributesA::PitchSet(WORD wPitch) {
  return FOwner.FAttributesW.PitchSet(wPitch);
}
HRESULT STDMETHODCALLTYPE TModeITTSAttributesA::RealTimeGet(DWORD* pdwRealTime) {
  return FOwner.FAttributesW.RealTimeGet(pdwRealTime);
}
HRESULT STDMETHODCALLTYPE TModeITTSAttributesA::RealTimeSet(DWORD dwRealTime) {
  return FOwner.FAttributesW.RealTimeSet(dwRealTime);
}
HRESULT STDMETHODCALLTYPE TModeITTSAttributesA::SpeedGet(DWORD* pdwSpeed) {
  return FOwner.FAttributesW.SpeedGet(pdwSpeed);
}
HRESULT STDMETHODCALLTYPE TModeITTSAttributesA::SpeedSet(DWORD dwSpeed) {
  return FOwner.FAttributesW.SpeedSet(dwSpeed);
}
HRESULT STDMETHODCALLTYPE TModeITTSAttributesA::VolumeGet(DWORD* pdwVolume) {
  return FOwner.FAttributesW.VolumeGet(pdwVolume);
}
HRESULT STDMETHODCALLTYPE TModeITTSAttributesA::VolumeSet(DWORD dwVolume) {
  return FOwner.FAttributesW.VolumeSet(dwVolume);
}

HRESULT STDMETHODCALLTYPE TModeITTSDialogsW::AboutDlg(HWND, const WCHAR*) {
  return S_OK;
}
HRESULT STDMETHODCALLTYPE TModeITTSDialogsW::LexiconDlg(HWND, const WCHAR*) {
  return S_OK;
}
HRESULT STDMETHODCALLTYPE TModeITTSDialogsW::GeneralDlg(HWND, const WCHAR*) {
  return S_OK;
}
HRESULT STDMETHODCALLTYPE TModeITTSDialogsW::TranslateDlg(HWND, const WCHAR*) {
  return S_OK;
}
HRESULT STDMETHODCALLTYPE TModeITTSDialogsA::AboutDlg(HWND, const CHAR*) {
  return S_OK;
}
HRESULT STDMETHODCALLTYPE TModeITTSDialogsA::LexiconDlg(HWND, const CHAR*) {
  return S_OK;
}
HRESULT STDMETHODCALLTYPE TModeITTSDialogsA::GeneralDlg(HWND, const CHAR*) {
  return S_OK;
}
HRESULT STDMETHODCALLTYPE TModeITTSDialogsA::TranslateDlg(HWND, const CHAR*) {
  return S_OK;
}

}  // namespace kalvor
