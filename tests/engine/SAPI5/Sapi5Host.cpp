#include "Sapi5Host.h"

#include <cstring>

namespace kalvor::test {

TFragList::TFragList(const std::vector<TFrag>& frags) {
  FNodes.resize(frags.size());
  ULONG offset = 0;
  for (std::size_t i = 0; i < frags.size(); ++i) {
    const TFrag& f = frags[i];
    sapi5::SPVTEXTFRAG& n = FNodes[i];
    n = {};
    n.State.eAction = f.Action;
    n.State.LangID = 0x41F;
    n.State.RateAdj = f.RateAdj;
    n.State.Volume = f.Volume;
    n.State.SilenceMSecs = f.SilenceMs;
    // Not terminated, as SAPI's fragments point into the whole text.
    FTexts.push_back(f.Text + L"#");
    n.pTextStart = f.Text.empty() ? nullptr : FTexts.back().c_str();
    n.ulTextLen = static_cast<ULONG>(f.Text.size());
    n.ulTextSrcOffset = offset;
    offset += n.ulTextLen;
    n.pNext = i + 1 < frags.size() ? &FNodes[i + 1] : nullptr;
  }
}

HRESULT STDMETHODCALLTYPE TFakeSite::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, sapi5::IID_ISpEventSink) ||
      IsEqualIID(riid, sapi5::IID_ISpTTSEngineSite)) {
    *ppv = static_cast<sapi5::ISpTTSEngineSite*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE TFakeSite::AddEvents(const SPEVENT* events, ULONG count) {
  if (!events) return E_POINTER;
  for (ULONG i = 0; i < count; ++i) {
    TRecordedEvent r;
    r.Id = static_cast<SPEVENTENUM>(events[i].eEventId);
    r.Offset = events[i].ullAudioStreamOffset;
    r.WParam = events[i].wParam;
    r.LParam = events[i].lParam;
    if (events[i].elParamType == SPET_LPARAM_IS_STRING && events[i].lParam)
      r.Mark = reinterpret_cast<const wchar_t*>(events[i].lParam);
    Events.push_back(r);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TFakeSite::GetEventInterest(ULONGLONG* interest) {
  if (!interest) return E_POINTER;
  *interest = ~0ULL;
  return S_OK;
}

DWORD STDMETHODCALLTYPE TFakeSite::GetActions() {
  const DWORD a = Actions ? Actions(*this) : 0;
  if ((a & sapi5::SPVES_ABORT) && WritesAfterAbort < 0) WritesAfterAbort = 0;
  return a;
}

HRESULT STDMETHODCALLTYPE TFakeSite::Write(const void* data, ULONG size, ULONG* written) {
  if (FAILED(WriteResult)) return WriteResult;
  ++Writes;
  if (WritesAfterAbort >= 0) ++WritesAfterAbort;
  const auto* p = static_cast<const std::uint8_t*>(data);
  Audio.insert(Audio.end(), p, p + size);
  if (written) *written = size;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TFakeSite::GetRate(LONG* rate) {
  if (!rate) return E_POINTER;
  *rate = Rate;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TFakeSite::GetVolume(USHORT* volume) {
  if (!volume) return E_POINTER;
  *volume = Volume;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TFakeSite::GetSkipInfo(sapi5::SPVSKIPTYPE* type, LONG* count) {
  if (!type || !count) return E_POINTER;
  *type = sapi5::SPVST_SENTENCE;
  *count = SkipCount;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TFakeSite::CompleteSkip(LONG skipped) {
  Completed.push_back(skipped);
  return S_OK;
}

std::vector<TRecordedEvent> TFakeSite::EventsOf(SPEVENTENUM id) const {
  std::vector<TRecordedEvent> out;
  for (const TRecordedEvent& e : Events)
    if (e.Id == id) out.push_back(e);
  return out;
}

// ---------------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE TRegistryToken::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, sapi5::IID_ISpObjectToken)) {
    *ppv = static_cast<ISpObjectToken*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TRegistryToken::Release() {
  const ULONG n = --FRefs;
  if (n == 0) delete this;
  return n;
}

HRESULT STDMETHODCALLTYPE TRegistryToken::GetStringValue(LPCWSTR name, LPWSTR* value) {
  if (!value) return E_POINTER;
  *value = nullptr;
  HKEY h = nullptr;
  if (RegOpenKeyExW(FRoot, FKey.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  DWORD type = 0, size = 0;
  LONG r = RegQueryValueExW(h, name, nullptr, &type, nullptr, &size);
  if (r == ERROR_SUCCESS && type == REG_SZ) {
    auto* buf = static_cast<wchar_t*>(CoTaskMemAlloc(size + sizeof(wchar_t)));
    std::memset(buf, 0, size + sizeof(wchar_t));
    r = RegQueryValueExW(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    *value = buf;
  } else if (r == ERROR_SUCCESS) {
    r = ERROR_INVALID_DATA;
  }
  RegCloseKey(h);
  // SAPI's own answer for a missing value.
  return r == ERROR_SUCCESS ? S_OK : static_cast<HRESULT>(0x8004503A);
}

HRESULT STDMETHODCALLTYPE TRegistryToken::OpenKey(LPCWSTR name, ISpDataKey** key) {
  if (!key || !name) return E_POINTER;
  HKEY h = nullptr;
  const std::wstring sub = FKey + L"\\" + name;
  if (RegOpenKeyExW(FRoot, sub.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) {
    *key = nullptr;
    return static_cast<HRESULT>(0x8004503A);
  }
  RegCloseKey(h);
  *key = new TRegistryToken(FRoot, sub);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TRegistryToken::GetId(LPWSTR* id) {
  if (!id) return E_POINTER;
  const std::size_t bytes = (FKey.size() + 1) * sizeof(wchar_t);
  *id = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
  std::memcpy(*id, FKey.c_str(), bytes);
  return S_OK;
}

}  // namespace kalvor::test
