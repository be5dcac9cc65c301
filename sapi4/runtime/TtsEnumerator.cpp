#include "TtsEnumerator.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "ModeRecord.h"
#include "RuntimeModule.h"
#include "Speech.h"

namespace sapi4rt {
namespace {

// A broken engine that never ends its enumeration must not hang the client.
constexpr ULONG kMaxModesPerEngine = 1000;

template <class I>
void ReleaseAndClear(I*& p) {
  if (p) p->Release();
  p = nullptr;
}

// One registered engine, as its class object created it.
struct TEngine {
  CLSID Clsid{};
  ITTSEnumW* EnumW = nullptr;
  ITTSEnumA* EnumA = nullptr;
  ITTSFindW* FindW = nullptr;  // optional
  ITTSFindA* FindA = nullptr;  // optional

  TEngine() = default;
  TEngine(const TEngine&) = delete;
  TEngine& operator=(const TEngine&) = delete;
  ~TEngine() {
    ReleaseAndClear(FindA);
    ReleaseAndClear(FindW);
    ReleaseAndClear(EnumA);
    ReleaseAndClear(EnumW);
  }
};

struct TListedMode {
  std::size_t Engine;
  TTSMODEINFOW W;
  TTSMODEINFOA A;
};

// The engines and the modes they list, taken once when the enumerator is created and shared by
// its clones.
struct TEngineSet {
  std::vector<std::unique_ptr<TEngine>> Engines;
  std::vector<TListedMode> Modes;
};

// The wide or the ANSI side of an engine and of a listed mode, chosen by the record a client uses.
ITTSFindW* FinderOf(const TEngine& e, const TTSMODEINFOW&) {
  return e.FindW;
}
ITTSFindA* FinderOf(const TEngine& e, const TTSMODEINFOA&) {
  return e.FindA;
}
const TTSMODEINFOW& RecordOf(const TListedMode& m, const TTSMODEINFOW&) {
  return m.W;
}
const TTSMODEINFOA& RecordOf(const TListedMode& m, const TTSMODEINFOA&) {
  return m.A;
}
bool SameName(const WCHAR* a, const WCHAR* b) {
  return wcsncmp(a, b, TTSI_NAMELEN) == 0;
}
bool SameName(const CHAR* a, const CHAR* b) {
  return strncmp(a, b, TTSI_NAMELEN) == 0;
}

std::vector<CLSID> RegisteredEngines() {
  std::vector<CLSID> out;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEngineListKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return out;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLen = 256;
    wchar_t data[64] = {};
    DWORD type = 0;
    DWORD dataLen = sizeof data - sizeof(wchar_t);
    const LONG r = RegEnumValueW(key, i, name, &nameLen, nullptr, &type,
                                 reinterpret_cast<BYTE*>(data), &dataLen);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS || type != REG_SZ) continue;  // not an engine entry
    CLSID clsid;
    if (FAILED(CLSIDFromString(data, &clsid))) continue;
    if (std::none_of(out.begin(), out.end(), [&](const CLSID& c) { return c == clsid; }))
      out.push_back(clsid);
  }
  RegCloseKey(key);
  return out;
}

// An engine that cannot be loaded is left out, so that one broken installation does not hide the
// others.
std::unique_ptr<TEngine> LoadEngine(const CLSID& clsid) {
  auto e = std::make_unique<TEngine>();
  e->Clsid = clsid;
  IClassFactory* factory = nullptr;
  if (FAILED(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                              reinterpret_cast<void**>(&factory))) ||
      !factory)
    return nullptr;
  const HRESULT r =
      factory->CreateInstance(nullptr, IID_ITTSEnumW, reinterpret_cast<void**>(&e->EnumW));
  factory->Release();
  if (FAILED(r) || !e->EnumW) {
    e->EnumW = nullptr;
    return nullptr;
  }
  if (FAILED(e->EnumW->QueryInterface(IID_ITTSEnumA, reinterpret_cast<void**>(&e->EnumA))))
    e->EnumA = nullptr;
  if (FAILED(e->EnumW->QueryInterface(IID_ITTSFindW, reinterpret_cast<void**>(&e->FindW))))
    e->FindW = nullptr;
  if (FAILED(e->EnumW->QueryInterface(IID_ITTSFindA, reinterpret_cast<void**>(&e->FindA))))
    e->FindA = nullptr;
  return e;
}

void ListModes(TEngineSet& set, std::size_t index) {
  TEngine& e = *set.Engines[index];
  std::vector<TTSMODEINFOW> wide;
  e.EnumW->Reset();
  for (ULONG i = 0; i < kMaxModesPerEngine; ++i) {
    TTSMODEINFOW w{};
    ULONG got = 0;
    if (e.EnumW->Next(1, &w, &got) != S_OK || got != 1) break;
    wide.push_back(w);
  }
  e.EnumW->Reset();
  // The ANSI records are the engine's own when it offers them for the same modes.
  std::vector<TTSMODEINFOA> ansi;
  if (e.EnumA) {
    e.EnumA->Reset();
    for (std::size_t i = 0; i < wide.size(); ++i) {
      TTSMODEINFOA a{};
      ULONG got = 0;
      if (e.EnumA->Next(1, &a, &got) != S_OK || got != 1 || a.gModeID != wide[i].gModeID) break;
      ansi.push_back(a);
    }
    e.EnumA->Reset();
  }
  for (std::size_t i = 0; i < wide.size(); ++i)
    set.Modes.push_back(
        {index, wide[i], ansi.size() == wide.size() ? ansi[i] : sapi4::ModeInfoToAnsi(wide[i])});
}

std::shared_ptr<TEngineSet> LoadEngineSet() {
  auto set = std::make_shared<TEngineSet>();
  for (const CLSID& clsid : RegisteredEngines()) {
    if (auto e = LoadEngine(clsid)) {
      set->Engines.push_back(std::move(e));
      ListModes(*set, set->Engines.size() - 1);
    }
  }
  return set;
}

class TTtsEnumerator final : public TComObject<ITTSEnumW, ITTSEnumA, ITTSFindW, ITTSFindA> {
 public:
  TTtsEnumerator(std::shared_ptr<TEngineSet> set, std::size_t position)
      : FSet(std::move(set)), FPosition(position) {
    ObjectCreated();
  }

  // Enumeration with the usual meaning: S_FALSE when fewer than celt modes were left.
  HRESULT STDMETHODCALLTYPE Next(ULONG celt, PTTSMODEINFOW rgelt, ULONG* pceltFetched) override {
    return NextOf(celt, rgelt, pceltFetched);
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG celt, PTTSMODEINFOA rgelt, ULONG* pceltFetched) override {
    return NextOf(celt, rgelt, pceltFetched);
  }

  HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
    const std::size_t left = FSet->Modes.size() - FPosition;
    if (celt > left) {
      FPosition = FSet->Modes.size();
      return S_FALSE;
    }
    FPosition += celt;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Reset() override {
    FPosition = 0;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Clone(ITTSEnumW** ppenum) override { return CloneAs(ppenum); }
  HRESULT STDMETHODCALLTYPE Clone(ITTSEnumA** ppenum) override { return CloneAs(ppenum); }

  HRESULT STDMETHODCALLTYPE Select(GUID gModeID, ITTSCentralW** ppiTTSCentral,
                                   IUnknown* pIUnknownForAudio) override {
    return ComEntry([&]() -> HRESULT {
      if (!ppiTTSCentral || !pIUnknownForAudio) return E_INVALIDARG;
      *ppiTTSCentral = nullptr;
      for (std::size_t i : EngineOrder(gModeID)) {
        const HRESULT r =
            FSet->Engines[i]->EnumW->Select(gModeID, ppiTTSCentral, pIUnknownForAudio);
        if (r != TTSERR_INVALIDMODE) return r;
      }
      return TTSERR_INVALIDMODE;
    });
  }

  HRESULT STDMETHODCALLTYPE Select(GUID gModeID, ITTSCentralA** ppiTTSCentral,
                                   IUnknown* pIUnknownForAudio) override {
    return ComEntry([&]() -> HRESULT {
      if (!ppiTTSCentral || !pIUnknownForAudio) return E_INVALIDARG;
      *ppiTTSCentral = nullptr;
      for (std::size_t i : EngineOrder(gModeID)) {
        TEngine& e = *FSet->Engines[i];
        HRESULT r;
        if (e.EnumA) {
          r = e.EnumA->Select(gModeID, ppiTTSCentral, pIUnknownForAudio);
        } else {
          // An engine without the ANSI enumerator may still speak through an ANSI central.
          ITTSCentralW* w = nullptr;
          r = e.EnumW->Select(gModeID, &w, pIUnknownForAudio);
          if (SUCCEEDED(r) && w) {
            r = w->QueryInterface(IID_ITTSCentralA, reinterpret_cast<void**>(ppiTTSCentral));
            w->Release();
          }
        }
        if (r != TTSERR_INVALIDMODE) return r;
      }
      return TTSERR_INVALIDMODE;
    });
  }

  HRESULT STDMETHODCALLTYPE Find(PTTSMODEINFOW pCriteria, PTTSMODEINFORANK pRank,
                                 PTTSMODEINFOW pFound) override {
    return FindAs(pCriteria, pRank, pFound);
  }
  HRESULT STDMETHODCALLTYPE Find(PTTSMODEINFOA pCriteria, PTTSMODEINFORANK pRank,
                                 PTTSMODEINFOA pFound) override {
    return FindAs(pCriteria, pRank, pFound);
  }

 private:
  ~TTtsEnumerator() override { ObjectDestroyed(); }

  static bool MatchesId(const GUID& wanted, const GUID& id) {
    return wanted != GUID_NULL && wanted == id;
  }

  // The first engine that knows a mode for the criteria answers; an engine without ITTSFind is
  // searched in the modes it lists, by identifier or by exact name.
  template <class Record>
  HRESULT FindAs(Record* pCriteria, PTTSMODEINFORANK pRank, Record* pFound) {
    return ComEntry([&]() -> HRESULT {
      if (!pCriteria || !pFound) return E_INVALIDARG;
      TTSMODEINFORANK rank{};
      if (pRank) rank = *pRank;
      for (std::size_t i = 0; i < FSet->Engines.size(); ++i) {
        auto* finder = FinderOf(*FSet->Engines[i], *pCriteria);
        Record found{};
        if (finder ? finder->Find(pCriteria, &rank, &found) == S_OK
                   : FindListed(i, *pCriteria, found)) {
          *pFound = found;
          return S_OK;
        }
      }
      *pFound = Record{};
      return S_FALSE;
    });
  }

  template <class Record>
  bool FindListed(std::size_t engine, const Record& c, Record& found) const {
    for (const TListedMode& m : FSet->Modes) {
      const Record& listed = RecordOf(m, c);
      if (m.Engine == engine && (MatchesId(c.gModeID, listed.gModeID) ||
                                 (c.szModeName[0] && SameName(c.szModeName, listed.szModeName)))) {
        found = listed;
        return true;
      }
    }
    return false;
  }

  // The engine that lists the mode first, then the others: an engine may offer modes that it
  // does not list.
  std::vector<std::size_t> EngineOrder(const GUID& mode) const {
    std::vector<std::size_t> order;
    for (const TListedMode& m : FSet->Modes)
      if (m.W.gModeID == mode) {
        order.push_back(m.Engine);
        break;
      }
    for (std::size_t i = 0; i < FSet->Engines.size(); ++i)
      if (std::find(order.begin(), order.end(), i) == order.end()) order.push_back(i);
    return order;
  }

  template <class Record>
  HRESULT NextOf(ULONG celt, Record* rgelt, ULONG* pceltFetched) {
    if (!rgelt || (celt != 1 && !pceltFetched)) return E_INVALIDARG;
    const std::size_t left = FSet->Modes.size() - FPosition;
    const ULONG n = static_cast<ULONG>(std::min<std::size_t>(celt, left));
    for (ULONG k = 0; k < n; ++k) rgelt[k] = RecordOf(FSet->Modes[FPosition + k], *rgelt);
    FPosition += n;
    if (pceltFetched) *pceltFetched = n;
    return n == celt ? S_OK : S_FALSE;
  }

  template <class I>
  HRESULT CloneAs(I** ppenum) {
    return ComEntry([&]() -> HRESULT {
      if (!ppenum) return E_INVALIDARG;
      *ppenum = nullptr;
      return HandOut(new TTtsEnumerator(FSet, FPosition), __uuidof(I),
                     reinterpret_cast<void**>(ppenum));
    });
  }

  std::shared_ptr<TEngineSet> FSet;
  std::size_t FPosition;
};

}  // namespace

HRESULT CreateTtsEnumerator(REFIID riid, void** ppv) {
  return ComEntry(
      [&]() -> HRESULT { return HandOut(new TTtsEnumerator(LoadEngineSet(), 0), riid, ppv); });
}

}  // namespace sapi4rt
