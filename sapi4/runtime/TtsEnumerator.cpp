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

class TTtsEnumerator final : public ITTSEnumW,
                             public ITTSEnumA,
                             public ITTSFindW,
                             public ITTSFindA {
 public:
  TTtsEnumerator(std::shared_ptr<TEngineSet> set, std::size_t position)
      : FSet(std::move(set)), FPosition(position) {
    ObjectCreated();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    void* p = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITTSEnumW))
      p = static_cast<ITTSEnumW*>(this);
    else if (IsEqualIID(riid, IID_ITTSEnumA))
      p = static_cast<ITTSEnumA*>(this);
    else if (IsEqualIID(riid, IID_ITTSFindW))
      p = static_cast<ITTSFindW*>(this);
    else if (IsEqualIID(riid, IID_ITTSFindA))
      p = static_cast<ITTSFindA*>(this);
    *ppv = p;
    if (!p) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++FRefCount); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG n = --FRefCount;
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

  // Enumeration with the usual meaning: S_FALSE when fewer than celt modes were left.
  HRESULT STDMETHODCALLTYPE Next(ULONG celt, PTTSMODEINFOW rgelt, ULONG* pceltFetched) override {
    return NextOf(celt, rgelt, pceltFetched, [](const TListedMode& m) { return m.W; });
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG celt, PTTSMODEINFOA rgelt, ULONG* pceltFetched) override {
    return NextOf(celt, rgelt, pceltFetched, [](const TListedMode& m) { return m.A; });
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

  // The first engine that knows a mode for the criteria answers; an engine without ITTSFind is
  // searched in the modes it lists, by identifier or by exact name.
  HRESULT STDMETHODCALLTYPE Find(PTTSMODEINFOW pCriteria, PTTSMODEINFORANK pRank,
                                 PTTSMODEINFOW pFound) override {
    return ComEntry([&]() -> HRESULT {
      if (!pCriteria || !pFound) return E_INVALIDARG;
      TTSMODEINFORANK rank{};
      if (pRank) rank = *pRank;
      for (std::size_t i = 0; i < FSet->Engines.size(); ++i) {
        TEngine& e = *FSet->Engines[i];
        TTSMODEINFOW found{};
        if (e.FindW ? e.FindW->Find(pCriteria, &rank, &found) == S_OK
                    : FindListed(i, *pCriteria, found)) {
          *pFound = found;
          return S_OK;
        }
      }
      *pFound = TTSMODEINFOW{};
      return S_FALSE;
    });
  }

  HRESULT STDMETHODCALLTYPE Find(PTTSMODEINFOA pCriteria, PTTSMODEINFORANK pRank,
                                 PTTSMODEINFOA pFound) override {
    return ComEntry([&]() -> HRESULT {
      if (!pCriteria || !pFound) return E_INVALIDARG;
      TTSMODEINFORANK rank{};
      if (pRank) rank = *pRank;
      for (std::size_t i = 0; i < FSet->Engines.size(); ++i) {
        TEngine& e = *FSet->Engines[i];
        TTSMODEINFOA found{};
        bool hit = false;
        if (e.FindA) {
          hit = e.FindA->Find(pCriteria, &rank, &found) == S_OK;
        } else {
          for (const TListedMode& m : FSet->Modes)
            if (m.Engine == i &&
                (MatchesId(pCriteria->gModeID, m.A.gModeID) ||
                 (pCriteria->szModeName[0] &&
                  strncmp(pCriteria->szModeName, m.A.szModeName, TTSI_NAMELEN) == 0))) {
              found = m.A;
              hit = true;
              break;
            }
        }
        if (hit) {
          *pFound = found;
          return S_OK;
        }
      }
      *pFound = TTSMODEINFOA{};
      return S_FALSE;
    });
  }

 private:
  ~TTtsEnumerator() { ObjectDestroyed(); }

  static bool MatchesId(const GUID& wanted, const GUID& id) {
    return wanted != GUID_NULL && wanted == id;
  }

  bool FindListed(std::size_t engine, const TTSMODEINFOW& c, TTSMODEINFOW& found) const {
    for (const TListedMode& m : FSet->Modes)
      if (m.Engine == engine &&
          (MatchesId(c.gModeID, m.W.gModeID) ||
           (c.szModeName[0] && wcsncmp(c.szModeName, m.W.szModeName, TTSI_NAMELEN) == 0))) {
        found = m.W;
        return true;
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

  template <class Record, class Pick>
  HRESULT NextOf(ULONG celt, Record* rgelt, ULONG* pceltFetched, Pick pick) {
    if (!rgelt || (celt != 1 && !pceltFetched)) return E_INVALIDARG;
    const std::size_t left = FSet->Modes.size() - FPosition;
    const ULONG n = static_cast<ULONG>(std::min<std::size_t>(celt, left));
    for (ULONG k = 0; k < n; ++k) rgelt[k] = pick(FSet->Modes[FPosition + k]);
    FPosition += n;
    if (pceltFetched) *pceltFetched = n;
    return n == celt ? S_OK : S_FALSE;
  }

  template <class I>
  HRESULT CloneAs(I** ppenum) {
    return ComEntry([&]() -> HRESULT {
      if (!ppenum) return E_INVALIDARG;
      *ppenum = nullptr;
      auto* clone = new TTtsEnumerator(FSet, FPosition);
      clone->AddRef();
      const HRESULT r = clone->QueryInterface(__uuidof(I), reinterpret_cast<void**>(ppenum));
      clone->Release();
      return r;
    });
  }

  std::atomic<LONG> FRefCount{0};
  std::shared_ptr<TEngineSet> FSet;
  std::size_t FPosition;
};

}  // namespace

HRESULT CreateTtsEnumerator(REFIID riid, void** ppv) {
  return ComEntry([&]() -> HRESULT {
    auto* e = new TTtsEnumerator(LoadEngineSet(), 0);
    e->AddRef();
    const HRESULT r = e->QueryInterface(riid, ppv);
    e->Release();
    return r;
  });
}

}  // namespace sapi4rt
