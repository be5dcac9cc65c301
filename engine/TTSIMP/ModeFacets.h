// The mode's COM facets: the central, attribute and dialog interfaces a client queries from the
// mode. They forward reference counting and interface queries to their mode, whose count alone
// decides the lifetime, and hold nothing but the link back. The wide and the ANSI facet of each
// interface are one template: only the central has anything to convert, and it converts the ANSI
// client's texts and records in the system ANSI code page, the A client's own, around the same
// call of the mode.
#pragma once

#include "ComEntry.h"
#include "Speech.h"

namespace kalvor {

class TSpcMode;

// Char and ModeInfo are the interface's string character and mode record (WCHAR, TTSMODEINFOW or
// CHAR, TTSMODEINFOA).
template <class I, class Char, class ModeInfo>
class TModeCentral final : public TFacet<TSpcMode, I> {
 public:
  using TFacet<TSpcMode, I>::TFacet;
  HRESULT STDMETHODCALLTYPE Inject(const Char* pszTag) override;
  HRESULT STDMETHODCALLTYPE ModeGet(ModeInfo* pttsInfo) override;
  HRESULT STDMETHODCALLTYPE Phoneme(VOICECHARSET eCharacterSet, DWORD dwFlags, SDATA dText,
                                    PSDATA pdPhoneme) override;
  HRESULT STDMETHODCALLTYPE PosnGet(PQWORD pqwTimeStamp) override;
  HRESULT STDMETHODCALLTYPE TextData(VOICECHARSET eCharacterSet, DWORD dwFlags, SDATA dText,
                                     PVOID pNotifyInterface, IID IIDNotifyInterface) override;
  HRESULT STDMETHODCALLTYPE ToFileTime(PQWORD pqTimeStamp, FILETIME* pFiletime) override;
  HRESULT STDMETHODCALLTYPE AudioPause() override;
  HRESULT STDMETHODCALLTYPE AudioResume() override;
  HRESULT STDMETHODCALLTYPE AudioReset() override;
  HRESULT STDMETHODCALLTYPE Register(PVOID pNotifyInterface, IID IIDNotifyInterface,
                                     DWORD* pdwKey) override;
  HRESULT STDMETHODCALLTYPE UnRegister(DWORD dwKey) override;
};

using TModeITTSCentralW = TModeCentral<ITTSCentralW, WCHAR, TTSMODEINFOW>;
using TModeITTSCentralA = TModeCentral<ITTSCentralA, CHAR, TTSMODEINFOA>;

template <class I>
class TModeAttributes final : public TFacet<TSpcMode, I> {
 public:
  using TFacet<TSpcMode, I>::TFacet;
  HRESULT STDMETHODCALLTYPE PitchGet(WORD* pwPitch) override;
  HRESULT STDMETHODCALLTYPE PitchSet(WORD wPitch) override;
  HRESULT STDMETHODCALLTYPE RealTimeGet(DWORD* pdwRealTime) override;
  HRESULT STDMETHODCALLTYPE RealTimeSet(DWORD dwRealTime) override;
  HRESULT STDMETHODCALLTYPE SpeedGet(DWORD* pdwSpeed) override;
  HRESULT STDMETHODCALLTYPE SpeedSet(DWORD dwSpeed) override;
  HRESULT STDMETHODCALLTYPE VolumeGet(DWORD* pdwVolume) override;
  HRESULT STDMETHODCALLTYPE VolumeSet(DWORD dwVolume) override;
};

using TModeITTSAttributesW = TModeAttributes<ITTSAttributesW>;
using TModeITTSAttributesA = TModeAttributes<ITTSAttributesA>;

// The engine has no dialogs: every dialog call succeeds without showing a window. The dialog
// objects are facets like the others, so that a client can query back from them to the mode.
template <class I, class Char>
class TModeDialogs final : public TFacet<TSpcMode, I> {
 public:
  using TFacet<TSpcMode, I>::TFacet;
  HRESULT STDMETHODCALLTYPE AboutDlg(HWND, const Char*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LexiconDlg(HWND, const Char*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GeneralDlg(HWND, const Char*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateDlg(HWND, const Char*) override { return S_OK; }
};

using TModeITTSDialogsW = TModeDialogs<ITTSDialogsW, WCHAR>;
using TModeITTSDialogsA = TModeDialogs<ITTSDialogsA, CHAR>;

}  // namespace kalvor
