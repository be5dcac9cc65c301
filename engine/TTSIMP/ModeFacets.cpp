// The central and attribute facets: each call enters the mode through the COM entry guard. The
// ANSI central converts the client's text and the mode record and calls the same mode methods.
#include "ModeFacets.h"

#include <cstring>
#include <string>
#include <type_traits>

#include "SpcMode.h"
#include "VoiceModes.h"

namespace kalvor {
namespace {

HRESULT ModeGetFor(TSpcMode& mode, PTTSMODEINFOW info) {
  return mode.ModeGet(info);
}

HRESULT ModeGetFor(TSpcMode& mode, PTTSMODEINFOA info) {
  if (!info) return E_INVALIDARG;
  TTSMODEINFOW w;
  const HRESULT r = mode.ModeGet(&w);
  if (FAILED(r)) return r;
  *info = ModeInfoToAnsi(w);
  return S_OK;
}

// An ANSI client's text in the system ANSI code page, handed to the mode as a terminated wide
// text. Up to the terminator, never beyond dwSize bytes; an empty text stops as a wide one does.
HRESULT AnsiTextData(TSpcMode& mode, VOICECHARSET eCharacterSet, DWORD dwFlags, SDATA dText,
                     PVOID pNotifyInterface, const IID& iid) {
  if (dText.dwSize == 0) return mode.TextData(eCharacterSet, dwFlags, dText, pNotifyInterface, iid);
  if (!dText.pData) return E_INVALIDARG;
  const auto* ansi = static_cast<const CHAR*>(dText.pData);
  const int length = static_cast<int>(strnlen(ansi, dText.dwSize));
  std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
  int l = 0;
  if (length > 0) {
    l = MultiByteToWideChar(CP_ACP, 0, ansi, length, wide.data(), length);
    if (l <= 0) return E_FAIL;
  }
  wide[static_cast<std::size_t>(l)] = L'\0';
  // The wide size counts the terminator, as the ANSI size of a terminated text does.
  const SDATA w{wide.data(), static_cast<DWORD>(2 * (l + 1))};
  return mode.TextData(eCharacterSet, dwFlags, w, pNotifyInterface, iid);
}

// A kept attribute into the client's variable.
HRESULT CopyOut(DWORD* out, DWORD value) {
  if (!out) return E_INVALIDARG;
  *out = value;
  return S_OK;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Central

template <class I, class Char, class ModeInfo>
HRESULT STDMETHODCALLTYPE TModeCentral<I, Char, ModeInfo>::Inject(const Char*) {
  return E_NOTIMPL;
}

template <class I, class Char, class ModeInfo>
HRESULT STDMETHODCALLTYPE TModeCentral<I, Char, ModeInfo>::ModeGet(ModeInfo* pttsInfo) {
  return ComEntry([&] { return ModeGetFor(this->FOwner, pttsInfo); });
}

template <class I, class Char, class ModeInfo>
HRESULT STDMETHODCALLTYPE TModeCentral<I, Char, ModeInfo>::Phoneme(VOICECHARSET, DWORD, SDATA,
                                                                   PSDATA) {
  return E_NOTIMPL;
}

template <class I, class Char, class ModeInfo>
HRESULT STDMETHODCALLTYPE TModeCentral<I, Char, ModeInfo>::PosnGet(PQWORD pqwTimeStamp) {
  return ComEntry([&] { return this->FOwner.PosnGet(pqwTimeStamp); });
}

template <class I, class Char, class ModeInfo>
HRESULT STDMETHODCALLTYPE TModeCentral<I, Char, ModeInfo>::TextData(VOICECHARSET eCharacterSet,
                                                                    DWORD dwFlags, SDATA dText,
                                                                    PVOID pNotifyInterface,
                                                                    IID IIDNotifyInterface) {
  return ComEntry([&] {
    if constexpr (std::is_same_v<Char, CHAR>)
      return AnsiTextData(this->FOwner, eCharacterSet, dwFlags, dText, pNotifyInterface,
                          IIDNotifyInterface);
    else
      return this->FOwner.TextData(eCharacterSet, dwFlags, dText, pNotifyInterface,
                                   IIDNotifyInterface);
  });
}

template <class I, class Char, class ModeInfo>
HRESULT STDMETHODCALLTYPE TModeCentral<I, Char, ModeInfo>::ToFileTime(PQWORD pqTimeStamp,
                                                                      FILETIME* pFiletime) {
  return ComEntry([&] { return this->FOwner.ToFileTime(pqTimeStamp, pFiletime); });
}

template <class I, class Char, class ModeInfo>
HRESULT STDMETHODCALLTYPE TModeCentral<I, Char, ModeInfo>::AudioPause() {
  return ComEntry([&] { return this->FOwner.AudioPause(); });
}

template <class I, class Char, class ModeInfo>
HRESULT STDMETHODCALLTYPE TModeCentral<I, Char, ModeInfo>::AudioResume() {
  return ComEntry([&] { return this->FOwner.AudioResume(); });
}

template <class I, class Char, class ModeInfo>
HRESULT STDMETHODCALLTYPE TModeCentral<I, Char, ModeInfo>::AudioReset() {
  return ComEntry([&] { return this->FOwner.AudioReset(); });
}

template <class I, class Char, class ModeInfo>
HRESULT STDMETHODCALLTYPE TModeCentral<I, Char, ModeInfo>::Register(PVOID pNotifyInterface,
                                                                    IID IIDNotifyInterface,
                                                                    DWORD* pdwKey) {
  return ComEntry(
      [&] { return this->FOwner.Register(pNotifyInterface, IIDNotifyInterface, pdwKey); });
}

template <class I, class Char, class ModeInfo>
HRESULT STDMETHODCALLTYPE TModeCentral<I, Char, ModeInfo>::UnRegister(DWORD dwKey) {
  return ComEntry([&] { return this->FOwner.UnRegister(dwKey); });
}

template class TModeCentral<ITTSCentralW, WCHAR, TTSMODEINFOW>;
template class TModeCentral<ITTSCentralA, CHAR, TTSMODEINFOA>;

// ---------------------------------------------------------------------------------------------
// Attributes: nothing to convert on either side.

template <class I>
HRESULT STDMETHODCALLTYPE TModeAttributes<I>::PitchGet(WORD* pwPitch) {
  return ComEntry([&]() -> HRESULT {
    if (!pwPitch) return E_INVALIDARG;
    *pwPitch = this->FOwner.PitchGet();
    return S_OK;
  });
}

template <class I>
HRESULT STDMETHODCALLTYPE TModeAttributes<I>::PitchSet(WORD wPitch) {
  return ComEntry([&]() -> HRESULT {
    this->FOwner.PitchSet(wPitch);
    return S_OK;
  });
}

template <class I>
HRESULT STDMETHODCALLTYPE TModeAttributes<I>::RealTimeGet(DWORD* pdwRealTime) {
  return CopyOut(pdwRealTime, this->FOwner.RealTimeGet());
}

template <class I>
HRESULT STDMETHODCALLTYPE TModeAttributes<I>::RealTimeSet(DWORD dwRealTime) {
  this->FOwner.RealTimeSet(dwRealTime);
  return S_OK;
}

template <class I>
HRESULT STDMETHODCALLTYPE TModeAttributes<I>::SpeedGet(DWORD* pdwSpeed) {
  return CopyOut(pdwSpeed, this->FOwner.SpeedGet());
}

template <class I>
HRESULT STDMETHODCALLTYPE TModeAttributes<I>::SpeedSet(DWORD dwSpeed) {
  this->FOwner.SpeedSet(dwSpeed);
  return S_OK;
}

template <class I>
HRESULT STDMETHODCALLTYPE TModeAttributes<I>::VolumeGet(DWORD* pdwVolume) {
  return ComEntry([&]() -> HRESULT {
    if (!pdwVolume) return E_INVALIDARG;
    return this->FOwner.VolumeGet(*pdwVolume);
  });
}

template <class I>
HRESULT STDMETHODCALLTYPE TModeAttributes<I>::VolumeSet(DWORD dwVolume) {
  return ComEntry([&] { return this->FOwner.VolumeSet(dwVolume); });
}

template class TModeAttributes<ITTSAttributesW>;
template class TModeAttributes<ITTSAttributesA>;

}  // namespace kalvor
