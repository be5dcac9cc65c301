// A SAPI 5 host of our own for the engine's tests (Wine's SpVoice does not speak): it builds the
// fragment list SAPI would parse from a marked-up text, plays the engine site (records every write
// and event, answers rate and volume, and asks to abort, skip or change rate at chosen points),
// and gives voice tokens read from a registry key, as SAPI's own tokens are.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <vector>

#include "SapiDdk.h"

namespace kalvor::test {

// One fragment as the host's parser would make it.
struct TFrag {
  SPVACTIONS Action = SPVA_Speak;
  std::wstring Text;
  LONG RateAdj = 0;
  ULONG Volume = 100;
  ULONG SilenceMs = 0;
};

// The linked list of SPVTEXTFRAG records for some fragments, with source offsets as if their
// texts followed each other in the application's text.
class TFragList {
 public:
  explicit TFragList(const std::vector<TFrag>& frags);
  const sapi5::SPVTEXTFRAG* Head() const { return FNodes.empty() ? nullptr : &FNodes.front(); }

 private:
  std::list<std::wstring> FTexts;
  std::vector<sapi5::SPVTEXTFRAG> FNodes;
};

struct TRecordedEvent {
  SPEVENTENUM Id{};
  ULONGLONG Offset = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  std::wstring Mark;  // the bookmark's text, copied while the event was added
};

class TFakeSite final : public sapi5::ISpTTSEngineSite {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
  ULONG STDMETHODCALLTYPE Release() override { return --FRefs; }  // lives on the test's stack
  HRESULT STDMETHODCALLTYPE AddEvents(const SPEVENT* events, ULONG count) override;
  HRESULT STDMETHODCALLTYPE GetEventInterest(ULONGLONG* interest) override;
  DWORD STDMETHODCALLTYPE GetActions() override;
  HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG size, ULONG* written) override;
  HRESULT STDMETHODCALLTYPE GetRate(LONG* rate) override;
  HRESULT STDMETHODCALLTYPE GetVolume(USHORT* volume) override;
  HRESULT STDMETHODCALLTYPE GetSkipInfo(sapi5::SPVSKIPTYPE* type, LONG* count) override;
  HRESULT STDMETHODCALLTYPE CompleteSkip(LONG skipped) override;

  // What the engine gave.
  std::vector<std::uint8_t> Audio;
  std::vector<TRecordedEvent> Events;
  int Writes = 0;
  int WritesAfterAbort = -1;    // counted from the first GetActions that said abort
  std::vector<LONG> Completed;  // CompleteSkip arguments
  ULONG FRefs = 1;

  // What the host answers.
  LONG Rate = 0;
  USHORT Volume = 100;
  LONG SkipCount = 0;
  HRESULT WriteResult = S_OK;
  // Asked at every GetActions with the number of writes so far; returns the actions to report.
  std::function<DWORD(TFakeSite&)> Actions;

  std::vector<TRecordedEvent> EventsOf(SPEVENTENUM id) const;
};

// An ISpObjectToken over a registry key (values, and subkeys as data keys), as SAPI's tokens read
// the voice list. Counts its references for the tests.
class TRegistryToken final : public ISpObjectToken {
 public:
  TRegistryToken(HKEY root, std::wstring key) : FRoot(root), FKey(std::move(key)) {}
  ULONG Refs() const { return FRefs; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE SetData(LPCWSTR, ULONG, const BYTE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetData(LPCWSTR, ULONG*, BYTE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStringValue(LPCWSTR, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetStringValue(LPCWSTR name, LPWSTR* value) override;
  HRESULT STDMETHODCALLTYPE SetDWORD(LPCWSTR, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDWORD(LPCWSTR, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OpenKey(LPCWSTR name, ISpDataKey** key) override;
  HRESULT STDMETHODCALLTYPE CreateKey(LPCWSTR, ISpDataKey**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteKey(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteValue(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumKeys(ULONG, LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumValues(ULONG, LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetId(LPCWSTR, LPCWSTR, WINBOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetId(LPWSTR* id) override;
  HRESULT STDMETHODCALLTYPE GetCategory(ISpObjectTokenCategory**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, DWORD, REFIID, void**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetStorageFileName(REFCLSID, LPCWSTR, LPCWSTR, ULONG,
                                               LPWSTR*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RemoveStorageFileName(REFCLSID, LPCWSTR, WINBOOL) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Remove(const CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsUISupported(LPCWSTR, void*, ULONG, IUnknown*, WINBOOL*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DisplayUI(HWND, LPCWSTR, LPCWSTR, void*, ULONG, IUnknown*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE MatchesAttributes(LPCWSTR, WINBOOL*) override { return E_NOTIMPL; }

 private:
  HKEY FRoot;
  std::wstring FKey;
  ULONG FRefs = 1;  // the test's own
};

}  // namespace kalvor::test
