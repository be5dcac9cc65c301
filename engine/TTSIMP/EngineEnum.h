// TEngineEnum: the engine object that a client (the SAPI 4 run time) creates through the class
// factory. It lists the voice modes (ITTSEnumW/A), finds them by identifier or name (ITTSFindW/A)
// and selects one, which creates the mode object that speaks. The four interfaces are facets that
// pass reference counting to the engine object, whose count alone decides its lifetime.
#pragma once

#include "ComEntry.h"
#include "Speech.h"

namespace kalvor {

class TEngineEnum;

// The wide and the ANSI facet of each interface are one template: the ANSI one converts the mode
// records in the system ANSI code page (the A client's own) around the same calls of the engine
// object. ModeInfo and Central are the interface's mode record and central (TTSMODEINFOW,
// ITTSCentralW or TTSMODEINFOA, ITTSCentralA).
template <class I, class ModeInfo, class Central>
class TEngEnum final : public TFacet<TEngineEnum, I> {
 public:
  using TFacet<TEngineEnum, I>::TFacet;
  HRESULT STDMETHODCALLTYPE Next(ULONG celt, ModeInfo* rgelt, ULONG* pceltFetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(I** ppenum) override;
  HRESULT STDMETHODCALLTYPE Select(GUID gModeID, Central** ppiTTSCentral,
                                   IUnknown* pIUnknownForAudio) override;
};

using TEngITTSEnumW = TEngEnum<ITTSEnumW, TTSMODEINFOW, ITTSCentralW>;
using TEngITTSEnumA = TEngEnum<ITTSEnumA, TTSMODEINFOA, ITTSCentralA>;

template <class I, class ModeInfo, class Central>
class TEngFind final : public TFacet<TEngineEnum, I> {
 public:
  using TFacet<TEngineEnum, I>::TFacet;
  HRESULT STDMETHODCALLTYPE Find(ModeInfo* pCriteria, PTTSMODEINFORANK pRank,
                                 ModeInfo* pFound) override;
  HRESULT STDMETHODCALLTYPE Select(GUID gModeID, Central** ppiTTSCentral,
                                   IUnknown* pIUnknownForAudio) override;
};

using TEngITTSFindW = TEngFind<ITTSFindW, TTSMODEINFOW, ITTSCentralW>;
using TEngITTSFindA = TEngFind<ITTSFindA, TTSMODEINFOA, ITTSCentralA>;

class TEngineEnum final : public IUnknown {
 public:
  // Called when the reference count falls to zero (the module's ObjectReleased).
  using TReleaseNotify = void (*)();

  // A new engine object at the given place of the enumeration, handed out as iid and counted as a
  // live object of the module (the class factory's and Clone's way to make one).
  static HRESULT Create(TReleaseNotify onRelease, REFIID iid, void** ppv, ULONG position = 0);
  TEngineEnum(const TEngineEnum&) = delete;
  TEngineEnum& operator=(const TEngineEnum&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // The enumeration, shared by both enumerators: one mode is listed, the male voice; the female
  // one is reached through Find and Select.
  HRESULT Next(ULONG celt, PTTSMODEINFOW rgelt, ULONG* pceltFetched);
  HRESULT Skip(ULONG celt);
  HRESULT Reset();
  // A new engine object at the same place of the enumeration, as the interface iid.
  HRESULT Clone(REFIID iid, void** ppv);

 private:
  // Reference count 0: Create's QueryInterface gives the first reference. The object goes at its
  // last Release.
  explicit TEngineEnum(TReleaseNotify onRelease);
  ~TEngineEnum() = default;

  LONG FRefCount = 0;
  TReleaseNotify FOnRelease;
  TEngITTSEnumW FEnumW{*this};
  TEngITTSEnumA FEnumA{*this};
  TEngITTSFindW FFindW{*this};
  TEngITTSFindA FFindA{*this};
  ULONG FPosition = 0;  // shared by both enumerators
};

}  // namespace kalvor
