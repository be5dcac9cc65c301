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

// ---------------------------------------------------------------------------------------------
// ITTSEnumW: one mode is listed, the male voice; the female one is reached through Find and Select.

HRESULT STDMETHODCALLTYPE TEngITTSEnumW::Next(ULONG celt, PTTSMODEINFOW rgelt,
                                              ULONG* pceltFetched) {
  return ComEntry([&]() -> HRESULT {
    if (!rgelt || (celt != 1 && !pceltFetched)) return E_INVALIDARG;
    ULONG& position = FOwner.FPosition;
    for (ULONG k = 0; k < celt; ++k) rgelt[k] = TTSMODEINFOW{};
    if (position >= 1) {
      if (pceltFetched) *pceltFetched = 0;
      return S_FALSE;
    }
    const ULONG n = celt < 1 - position ? celt : 1 - position;
    if (n == 1) rgelt[0] = ModeInfoOfRow(VoiceModeTable[0]);
    position += n;
    if (pceltFetched) *pceltFetched = n;
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE TEngITTSEnumW::Skip(ULONG celt) {
  const ULONG p = FOwner.FPosition + celt;  // wraps as a 32-bit count does
  if (p <= 1) {
    FOwner.FPosition = p;
    return S_OK;
  }
  FOwner.FPosition = 1;
  return S_FALSE;
}

HRESULT STDMETHODCALLTYPE TEngITTSEnumW::Reset() {
  FOwner.FPosition = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TEngITTSEnumW::Clone(ITTSEnumW** ppenum) {
  return ComEntry([&]() -> HRESULT {
    if (!ppenum) return E_INVALIDARG;
    *ppenum = nullptr;
    CollectModes();
    auto* clone = new TEngineEnum(FOwner.FOnRelease);
    clone->FPosition = FOwner.FPosition;
    const HRESULT r = clone->QueryInterface(IID_ITTSEnumW, reinterpret_cast<void**>(ppenum));
    if (FAILED(r)) {
      delete clone;
      return r;
    }
    ObjectCreated();
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE TEngITTSEnumW::Select(GUID gModeID, ITTSCentralW** ppiTTSCentral,
                                                IUnknown* pIUnknownForAudio) {
  return ComEntry([&] { return SelectMode(gModeID, ppiTTSCentral, pIUnknownForAudio); });
}

// ---------------------------------------------------------------------------------------------
// ITTSEnumA

HRESULT STDMETHODCALLTYPE TEngITTSEnumA::Next(ULONG celt, PTTSMODEINFOA rgelt,
                                              ULONG* pceltFetched) {
  return ComEntry([&]() -> HRESULT {
    if (!rgelt || (celt != 1 && !pceltFetched)) return E_INVALIDARG;
    std::vector<TTSMODEINFOW> wide(celt);
    const HRESULT r = FOwner.FEnumW.Next(celt, wide.data(), pceltFetched);
    if (FAILED(r)) return r;
    for (ULONG k = 0; k < celt; ++k) rgelt[k] = TTSMODEINFOA{};
    if (r == S_OK) {
      const ULONG n = pceltFetched ? *pceltFetched : 1;
      for (ULONG k = 0; k < n && k < celt; ++k) rgelt[k] = ModeInfoToAnsi(wide[k]);
    }
    return r;
  });
}

HRESULT STDMETHODCALLTYPE TEngITTSEnumA::Skip(ULONG celt) {
  return FOwner.FEnumW.Skip(celt);
}

HRESULT STDMETHODCALLTYPE TEngITTSEnumA::Reset() {
  return FOwner.FEnumW.Reset();
}

HRESULT STDMETHODCALLTYPE TEngITTSEnumA::Clone(ITTSEnumA** ppenum) {
  return ComEntry([&]() -> HRESULT {
    if (!ppenum) return E_INVALIDARG;
    *ppenum = nullptr;
    ITTSEnumW* wide = nullptr;
    HRESULT r = FOwner.FEnumW.Clone(&wide);
    if (FAILED(r)) return r;
    r = wide->QueryInterface(IID_ITTSEnumA, reinterpret_cast<void**>(ppenum));
    wide->Release();
    return r;
  });
}

HRESULT STDMETHODCALLTYPE TEngITTSEnumA::Select(GUID gModeID, ITTSCentralA** ppiTTSCentral,
                                                IUnknown* pIUnknownForAudio) {
  return ComEntry([&]() -> HRESULT {
    if (!pIUnknownForAudio) return E_INVALIDARG;
    if (!VoiceModeRow(gModeID)) return TTSERR_INVALIDMODE;
    if (!ppiTTSCentral) return E_INVALIDARG;
    *ppiTTSCentral = nullptr;
    ITTSCentralW* wide = nullptr;
    HRESULT r = FOwner.FEnumW.Select(gModeID, &wide, pIUnknownForAudio);
    if (FAILED(r)) return r;
    r = wide->QueryInterface(IID_ITTSCentralA, reinterpret_cast<void**>(ppiTTSCentral));
    wide->Release();
    return r;
  });
}

// ---------------------------------------------------------------------------------------------
// ITTSFindW: of the criteria only the mode identifier and the mode name count; the male row wins
// when the criteria name one row by one field and the other by the other.

HRESULT STDMETHODCALLTYPE TEngITTSFindW::Find(PTTSMODEINFOW pCriteria, PTTSMODEINFORANK,
                                              PTTSMODEINFOW pFound) {
  return ComEntry([&]() -> HRESULT {
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
  });
}

HRESULT STDMETHODCALLTYPE TEngITTSFindW::Select(GUID gModeID, ITTSCentralW** ppiTTSCentral,
                                                IUnknown* pIUnknownForAudio) {
  if (!pIUnknownForAudio) return E_INVALIDARG;
  pIUnknownForAudio->AddRef();
  const HRESULT r = FOwner.FEnumW.Select(gModeID, ppiTTSCentral, pIUnknownForAudio);
  pIUnknownForAudio->Release();
  return r;
}

// ---------------------------------------------------------------------------------------------
// ITTSFindA

HRESULT STDMETHODCALLTYPE TEngITTSFindA::Find(PTTSMODEINFOA pCriteria, PTTSMODEINFORANK pRank,
                                              PTTSMODEINFOA pFound) {
  return ComEntry([&]() -> HRESULT {
    if (!pCriteria || !pFound) return E_INVALIDARG;
    TTSMODEINFOW criteria = ModeInfoToWide(*pCriteria);
    TTSMODEINFOW found{};
    const HRESULT r = FOwner.FFindW.Find(&criteria, pRank, &found);
    *pFound = TTSMODEINFOA{};
    if (r != S_OK) return r;
    *pFound = ModeInfoToAnsi(found);
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE TEngITTSFindA::Select(GUID gModeID, ITTSCentralA** ppiTTSCentral,
                                                IUnknown* pIUnknownForAudio) {
  if (!pIUnknownForAudio) return E_INVALIDARG;
  pIUnknownForAudio->AddRef();
  const HRESULT r = FOwner.FEnumA.Select(gModeID, ppiTTSCentral, pIUnknownForAudio);
  pIUnknownForAudio->Release();
  return r;
}

}  // namespace kalvor
