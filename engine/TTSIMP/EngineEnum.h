// TEngineEnum: the engine object that a client (the SAPI 4 run time) creates through the class
// factory. It lists the voice modes (ITTSEnumW/A), finds them by identifier or name (ITTSFindW/A)
// and selects one, which creates the mode object that speaks. The four interfaces are facets that
// pass reference counting to the engine object, whose count alone decides its lifetime.
#pragma once

#include "ComEntry.h"
#include "Speech.h"

namespace kalvor {

class TEngineEnum;

template <class I>
using TEngFacet = TFacet<TEngineEnum, I>;

class TEngITTSEnumW final : public TEngFacet<ITTSEnumW> {
 public:
  using TFacet::TFacet;
  HRESULT STDMETHODCALLTYPE Next(ULONG celt, PTTSMODEINFOW rgelt, ULONG* pceltFetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(ITTSEnumW** ppenum) override;
  HRESULT STDMETHODCALLTYPE Select(GUID gModeID, ITTSCentralW** ppiTTSCentral,
                                   IUnknown* pIUnknownForAudio) override;
};

// The ANSI facets convert in the system ANSI code page (the A client's own) and pass on to the
// wide ones.
class TEngITTSEnumA final : public TEngFacet<ITTSEnumA> {
 public:
  using TFacet::TFacet;
  HRESULT STDMETHODCALLTYPE Next(ULONG celt, PTTSMODEINFOA rgelt, ULONG* pceltFetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(ITTSEnumA** ppenum) override;
  HRESULT STDMETHODCALLTYPE Select(GUID gModeID, ITTSCentralA** ppiTTSCentral,
                                   IUnknown* pIUnknownForAudio) override;
};

class TEngITTSFindW final : public TEngFacet<ITTSFindW> {
 public:
  using TFacet::TFacet;
  HRESULT STDMETHODCALLTYPE Find(PTTSMODEINFOW pCriteria, PTTSMODEINFORANK pRank,
                                 PTTSMODEINFOW pFound) override;
  HRESULT STDMETHODCALLTYPE Select(GUID gModeID, ITTSCentralW** ppiTTSCentral,
                                   IUnknown* pIUnknownForAudio) override;
};

class TEngITTSFindA final : public TEngFacet<ITTSFindA> {
 public:
  using TFacet::TFacet;
  HRESULT STDMETHODCALLTYPE Find(PTTSMODEINFOA pCriteria, PTTSMODEINFORANK pRank,
                                 PTTSMODEINFOA pFound) override;
  HRESULT STDMETHODCALLTYPE Select(GUID gModeID, ITTSCentralA** ppiTTSCentral,
                                   IUnknown* pIUnknownForAudio) override;
};

class TEngineEnum final : public IUnknown {
 public:
  // Called when the reference count falls to zero (the module's ObjectReleased).
  using TReleaseNotify = void (*)();

  // Reference count 0; the caller's QueryInterface gives the first reference.
  explicit TEngineEnum(TReleaseNotify onRelease);
  // Public for the creators' failure paths only: an engine object that was handed out goes at its
  // last Release.
  ~TEngineEnum() = default;
  TEngineEnum(const TEngineEnum&) = delete;
  TEngineEnum& operator=(const TEngineEnum&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

 private:
  friend class TEngITTSEnumW;
  friend class TEngITTSEnumA;
  friend class TEngITTSFindW;
  friend class TEngITTSFindA;

  LONG FRefCount = 0;
  TReleaseNotify FOnRelease;
  TEngITTSEnumW FEnumW{*this};
  TEngITTSEnumA FEnumA{*this};
  TEngITTSFindW FFindW{*this};
  TEngITTSFindA FFindA{*this};
  ULONG FPosition = 0;  // shared by both enumerators
};

}  // namespace kalvor
