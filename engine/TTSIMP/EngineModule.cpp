#include "EngineModule.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "EngineHost.h"
#include "EngineText.h"
#include "SpcMode.h"

namespace kalvor {
namespace {

// How often a mode that was released while speaking is looked at again.
constexpr UINT kCollectIntervalMs = 100;

std::atomic<HINSTANCE> gInstance{nullptr};
std::atomic<LONG> gObjectCount{0};
std::atomic<DWORD> gLastSinkKey{1};
std::atomic<LONG> gLockCount{0};
std::atomic<LONG> gFactories{0};

// The run time calls the module from one thread at a time; the modes live on that thread.
std::vector<TSpcMode*> gModes;
TSpcMode* gCurrentMode = nullptr;
UINT_PTR gCollectTimer = 0;
bool gCollecting = false;
bool gCollectAgain = false;

void CALLBACK CollectTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  CollectModes();
}

// One separator: the locale's character when it is a single one that Windows-1254 holds.
char SeparatorOf(const wchar_t* s, char fallback) {
  if (!s || s[0] == L'\0' || s[1] != L'\0') return fallback;
  char c = 0;
  BOOL usedDefault = FALSE;
  if (WideCharToMultiByte(kEngineCodePage, WC_NO_BEST_FIT_CHARS, s, 1, &c, 1, nullptr,
                          &usedDefault) != 1 ||
      usedDefault || c == 0)
    return fallback;
  return c;
}

}  // namespace

HINSTANCE ModuleInstance() {
  HINSTANCE h = gInstance.load();
  if (h) return h;
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&ModuleInstance), &self))
    self = GetModuleHandleW(nullptr);
  gInstance.store(self);
  return self;
}

void SetModuleInstance(HINSTANCE instance) {
  gInstance.store(instance);
}

LONG ObjectCount() {
  return gObjectCount.load();
}
void ObjectCreated() {
  ++gObjectCount;
}
void ObjectReleased() {
  --gObjectCount;
}

DWORD NextSinkKey() {
  return ++gLastSinkKey;
}

void SeparatorsFromLocale(const wchar_t* thousands, const wchar_t* decimal, char& thousandsOut,
                          char& decimalOut) {
  thousandsOut = SeparatorOf(thousands, ',');
  decimalOut = SeparatorOf(decimal, '.');
}

void InitEngineHost(HINSTANCE instance) {
  SetModuleInstance(instance);
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(instance, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) {
      path.clear();
      break;
    }
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  if (!path.empty()) host::SetModuleDirectory(std::filesystem::path(path).parent_path());

  const LCID locale = GetThreadLocale();
  wchar_t thousands[8] = {};
  wchar_t decimal[8] = {};
  if (!GetLocaleInfoW(locale, LOCALE_STHOUSAND, thousands, 8)) thousands[0] = 0;
  if (!GetLocaleInfoW(locale, LOCALE_SDECIMAL, decimal, 8)) decimal[0] = 0;
  char t = ',', d = '.';
  SeparatorsFromLocale(thousands, decimal, t, d);
  host::SetNumberSeparators(t, d);
}

LONG LockCount() {
  return gLockCount.load();
}

HRESULT LockServer(BOOL fLock) {
  if (fLock) {
    ++gLockCount;
    return S_OK;
  }
  if (gLockCount.load() == 0) return E_FAIL;
  --gLockCount;
  return S_OK;
}

void FactoryCreated() {
  ++gFactories;
}
void FactoryReleased() {
  --gFactories;
}

void AdoptMode(std::unique_ptr<TSpcMode> mode) {
  gModes.push_back(mode.get());
  gCurrentMode = mode.release();
}

TSpcMode* CurrentMode() {
  return gCurrentMode;
}
std::size_t LiveModes() {
  return gModes.size();
}

void ModeReleased() {
  ObjectReleased();
  CollectModes();
}

namespace {

// Destroys every mode that no client holds and that is not speaking; says whether one that no
// client holds is still speaking.
bool CollectOnce() {
  bool waiting = false;
  for (std::size_t i = 0; i < gModes.size();) {
    TSpcMode* m = gModes[i];
    if (m->RefCount() > 0) {
      ++i;
      continue;
    }
    if (m->Busy()) {  // its TextData is still on the stack: later
      waiting = true;
      ++i;
      continue;
    }
    gModes.erase(gModes.begin() + static_cast<std::ptrdiff_t>(i));
    if (gCurrentMode == m) gCurrentMode = nullptr;
    delete m;
  }
  return waiting;
}

}  // namespace

void CollectModes() {
  // A mode's destruction releases its audio objects and sinks, whose code may call back into the
  // module: one collection at a time, repeated when such a call asked for one.
  if (gCollecting) {
    gCollectAgain = true;
    return;
  }
  gCollecting = true;
  bool waiting = false;
  do {
    gCollectAgain = false;
    waiting = CollectOnce();
  } while (gCollectAgain);
  gCollecting = false;
  // The thread that speaks dispatches messages (it must, for the notifications); a timer brings
  // it back here once the TextData that held a released mode has returned.
  if (waiting && !gCollectTimer)
    gCollectTimer = SetTimer(nullptr, 0, kCollectIntervalMs, &CollectTimerProc);
  if (!waiting && gCollectTimer) {
    KillTimer(nullptr, gCollectTimer);
    gCollectTimer = 0;
  }
}

HRESULT CanUnloadNow() {
  CollectModes();
  const bool inUse =
      ObjectCount() != 0 || gLockCount.load() != 0 || gFactories.load() != 0 || !gModes.empty();
  return inUse ? S_FALSE : S_OK;
}

}  // namespace kalvor
