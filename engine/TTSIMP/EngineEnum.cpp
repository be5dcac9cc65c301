#include "EngineEnum.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ComEntry.h"
#include "EngineHost.h"
#include "EngineModule.h"
#include "SpcMode.h"
#include "VoiceModes.h"

namespace kalvor {
namespace {

// The voice's speech data file, from the module's own directory. A file that is missing or cannot
// be opened gives the system's reason; one that the loader refuses gives ERROR_BAD_FORMAT; a voice
// whose samples are not the 16 bits announced to the audio destination is refused too, since it
// would play as noise.
HRESULT LoadVoice(TSpcMode& mode, const TVoiceModeRow& row) {
  const std::filesystem::path path = host::ModuleDirectory() / row.DataFile;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return HRESULT_FROM_WIN32(error ? error : ERROR_FILE_NOT_FOUND);
  }
  CloseHandle(h);
  try {
    mode.Player().LoadData(path);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
  }
  if (mode.Player().DataSize() != 2) return TTSERR_WAVEFORMATNOTSUPPORTED;
  return S_OK;
}

// Select: creates the mode, initialises it, loads its voice and builds its record before anything
// is handed out, so that a failure at any step leaves nothing behind: no mode, no window, no open
// file, no count.
HRESULT SelectMode(GUID gModeID, ITTSCentralW** ppiTTSCentral, IUnknown* pIUnknownForAudio) {
  if (!pIUnknownForAudio) return E_INVALIDARG;
  const TVoiceModeRow* row = VoiceModeRow(gModeID);
  if (!row) return TTSERR_INVALIDMODE;
  if (!ppiTTSCentral) return E_INVALIDARG;
  *ppiTTSCentral = nullptr;
  CollectModes();

  auto mode = std::make_unique<TSpcMode>(pIUnknownForAudio, &ModeReleased);
  HRESULT r = mode->Init();
  if (FAILED(r)) return r;
  r = LoadVoice(*mode, *row);
  if (FAILED(r)) return r;
  mode->ModeInfo() = SelectedModeInfo(*row);

  ITTSCentralW* central = nullptr;
  r = mode->QueryInterface(IID_ITTSCentralW, reinterpret_cast<void**>(&central));
  if (FAILED(r) || !central) return FAILED(r) ? r : E_NOINTERFACE;
  ObjectCreated();
  AdoptMode(std::move(mode));
  *ppiTTSCentral = central;
  return S_OK;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Engine object

TEngineEnum::TEngineEnum(TReleaseNotify onRelease) : FOnRelease(onRelease) {}

HRESULT STDMETHODCALLTYPE TEngineEnum::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  void* p = nullptr;
  if (IsEqualIID(riid, IID_IUnknown))
    p = static_cast<IUnknown*>(this);
  else if (IsEqualIID(riid, IID_ITTSEnumW))
    p = static_cast<ITTSEnumW*>(&FEnumW);
  else if (IsEqualIID(riid, IID_ITTSEnumA))
    p = static_cast<ITTSEnumA*>(&FEnumA);
  else if (IsEqualIID(riid, IID_ITTSFindW))
    p = static_cast<ITTSFindW*>(&FFindW);
  else if (IsEqualIID(riid, IID_ITTSFindA))
    p = static_cast<ITTSFindA*>(&FFindA);
  *ppv = p;
  if (!p) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE TEngineEnum::AddRef() {
  return static_cast<ULONG>(++FRefCount);
}

ULONG STDMETHODCALLTYPE TEngineEnum::Release() {
  const LONG n = --FRefCount;
  if (n == 0) {
    if (FOnRelease) FOnRelease();
    delete this;
  }
  return static_cast<ULONG>(n);
}

HRESULT TEngineEnum::Next(ULONG celt, PTTSMODEINFOW rgelt, ULONG* pceltFetched) {
  if (!rgelt || (celt != 1 && !pceltFetched)) return E_INVALIDARG;
  for (ULONG k = 0; k < celt; ++k) rgelt[k] = TTSMODEINFOW{};
  if (FPosition >= 1) {
    if (pceltFetched) *pceltFetched = 0;
    return S_FALSE;
  }
  const ULONG n = celt < 1 - FPosition ? celt : 1 - FPosition;
  if (n == 1) rgelt[0] = ModeInfoOfRow(VoiceModeTable[0]);
  FPosition += n;
  if (pceltFetched) *pceltFetched = n;
  return S_OK;
}

HRESULT TEngineEnum::Skip(ULONG celt) {
  const ULONG p = FPosition + celt;  // wraps as a 32-bit count does
  if (p <= 1) {
    FPosition = p;
    return S_OK;
  }
  FPosition = 1;
  return S_FALSE;
}

HRESULT TEngineEnum::Reset() {
  FPosition = 0;
  return S_OK;
}

HRESULT TEngineEnum::Create(TReleaseNotify onRelease, REFIID iid, void** ppv, ULONG position) {
  CollectModes();
  auto* engine = new TEngineEnum(onRelease);
  engine->FPosition = position;
  const HRESULT r = engine->QueryInterface(iid, ppv);
  if (FAILED(r)) {
    // Never counted and never handed out: it goes without a release notification.
    delete engine;
    return r;
  }
  ObjectCreated();
  return S_OK;
}

HRESULT TEngineEnum::Clone(REFIID iid, void** ppv) {
  return Create(FOnRelease, iid, ppv, FPosition);
}

// ---------------------------------------------------------------------------------------------
// The facets. What differs between the wide and the ANSI side is in the overloads below.

namespace {

const IID& IidOf(ITTSEnumW*) {
  return IID_ITTSEnumW;
}
const IID& IidOf(ITTSEnumA*) {
  return IID_ITTSEnumA;
}

HRESULT NextAs(TEngineEnum& engine, ULONG celt, PTTSMODEINFOW rgelt, ULONG* pceltFetched) {
  return engine.Next(celt, rgelt, pceltFetched);
}

HRESULT NextAs(TEngineEnum& engine, ULONG celt, PTTSMODEINFOA rgelt, ULONG* pceltFetched) {
  if (!rgelt || (celt != 1 && !pceltFetched)) return E_INVALIDARG;
  std::vector<TTSMODEINFOW> wide(celt);
  const HRESULT r = engine.Next(celt, wide.data(), pceltFetched);
  if (FAILED(r)) return r;
  for (ULONG k = 0; k < celt; ++k) rgelt[k] = TTSMODEINFOA{};
  if (r == S_OK) {
    const ULONG n = pceltFetched ? *pceltFetched : 1;
    for (ULONG k = 0; k < n && k < celt; ++k) rgelt[k] = ModeInfoToAnsi(wide[k]);
  }
  return r;
}

HRESULT SelectAs(GUID gModeID, ITTSCentralW** ppiTTSCentral, IUnknown* pIUnknownForAudio) {
  return SelectMode(gModeID, ppiTTSCentral, pIUnknownForAudio);
}

HRESULT SelectAs(GUID gModeID, ITTSCentralA** ppiTTSCentral, IUnknown* pIUnknownForAudio) {
  if (!pIUnknownForAudio) return E_INVALIDARG;
  if (!VoiceModeRow(gModeID)) return TTSERR_INVALIDMODE;
  if (!ppiTTSCentral) return E_INVALIDARG;
  *ppiTTSCentral = nullptr;
  ITTSCentralW* wide = nullptr;
  HRESULT r = SelectMode(gModeID, &wide, pIUnknownForAudio);
  if (FAILED(r)) return r;
  r = wide->QueryInterface(IID_ITTSCentralA, reinterpret_cast<void**>(ppiTTSCentral));
  wide->Release();
  return r;
}

// Of the criteria only the mode identifier and the mode name count; the male row wins when the
// criteria name one row by one field and the other by the other.
HRESULT FindAs(PTTSMODEINFOW pCriteria, PTTSMODEINFOW pFound) {
  if (!pCriteria || !pFound) return E_INVALIDARG;
  // Names are compared as the engine stores them, in Windows-1254, byte for byte.
  std::string name;
  const bool named = FieldToCp1254(pCriteria->szModeName, TTSI_NAMELEN, name);
  const GUID wanted = pCriteria->gModeID;
  *pFound = TTSMODEINFOW{};
  for (const TVoiceModeRow& row : VoiceModeTable) {
    if (wanted == row.ModeID || (named && name == row.ModeName)) {
      *pFound = ModeInfoOfRow(row);
      return S_OK;
    }
  }
  return S_FALSE;
}

HRESULT FindAs(PTTSMODEINFOA pCriteria, PTTSMODEINFOA pFound) {
  if (!pCriteria || !pFound) return E_INVALIDARG;
  TTSMODEINFOW criteria = ModeInfoToWide(*pCriteria);
  TTSMODEINFOW found{};
  const HRESULT r = FindAs(&criteria, &found);
  *pFound = TTSMODEINFOA{};
  if (r != S_OK) return r;
  *pFound = ModeInfoToAnsi(found);
  return S_OK;
}

}  // namespace

template <class I, class ModeInfo, class Central>
HRESULT STDMETHODCALLTYPE TEngEnum<I, ModeInfo, Central>::Next(ULONG celt, ModeInfo* rgelt,
                                                               ULONG* pceltFetched) {
  return ComEntry([&] { return NextAs(this->FOwner, celt, rgelt, pceltFetched); });
}

template <class I, class ModeInfo, class Central>
HRESULT STDMETHODCALLTYPE TEngEnum<I, ModeInfo, Central>::Skip(ULONG celt) {
  return this->FOwner.Skip(celt);
}

template <class I, class ModeInfo, class Central>
HRESULT STDMETHODCALLTYPE TEngEnum<I, ModeInfo, Central>::Reset() {
  return this->FOwner.Reset();
}

template <class I, class ModeInfo, class Central>
HRESULT STDMETHODCALLTYPE TEngEnum<I, ModeInfo, Central>::Clone(I** ppenum) {
  return ComEntry([&]() -> HRESULT {
    if (!ppenum) return E_INVALIDARG;
    *ppenum = nullptr;
    return this->FOwner.Clone(IidOf(static_cast<I*>(nullptr)), reinterpret_cast<void**>(ppenum));
  });
}

template <class I, class ModeInfo, class Central>
HRESULT STDMETHODCALLTYPE TEngEnum<I, ModeInfo, Central>::Select(GUID gModeID,
                                                                 Central** ppiTTSCentral,
                                                                 IUnknown* pIUnknownForAudio) {
  return ComEntry([&] { return SelectAs(gModeID, ppiTTSCentral, pIUnknownForAudio); });
}

template class TEngEnum<ITTSEnumW, TTSMODEINFOW, ITTSCentralW>;
template class TEngEnum<ITTSEnumA, TTSMODEINFOA, ITTSCentralA>;

template <class I, class ModeInfo, class Central>
HRESULT STDMETHODCALLTYPE TEngFind<I, ModeInfo, Central>::Find(ModeInfo* pCriteria,
                                                               PTTSMODEINFORANK, ModeInfo* pFound) {
  return ComEntry([&] { return FindAs(pCriteria, pFound); });
}

// The audio object is held for the whole selection.
template <class I, class ModeInfo, class Central>
HRESULT STDMETHODCALLTYPE TEngFind<I, ModeInfo, Central>::Select(GUID gModeID,
                                                                 Central** ppiTTSCentral,
                                                                 IUnknown* pIUnknownForAudio) {
  if (!pIUnknownForAudio) return E_INVALIDARG;
  pIUnknownForAudio->AddRef();
  const HRESULT r = ComEntry([&] { return SelectAs(gModeID, ppiTTSCentral, pIUnknownForAudio); });
  pIUnknownForAudio->Release();
  return r;
}

template class TEngFind<ITTSFindW, TTSMODEINFOW, ITTSCentralW>;
template class TEngFind<ITTSFindA, TTSMODEINFOA, ITTSCentralA>;

}  // namespace kalvor
