// Entry points of the stand-in run time DLL (sapi4rt.dll): one class factory per class, for the
// TTS enumerator and the multimedia audio destination.
#include "RuntimeModule.h"

#include <atomic>

#include "MMAudioDest.h"
#include "Speech.h"
#include "TtsEnumerator.h"

namespace sapi4rt {
namespace {

std::atomic<LONG> gObjects{0};
std::atomic<LONG> gLocks{0};

using TCreate = HRESULT (*)(REFIID riid, void** ppv);

class TClassFactory final : public sapi4::TComObject<IClassFactory> {
 public:
  explicit TClassFactory(TCreate create) : FCreate(create) {}

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return FCreate(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++gLocks;
      return S_OK;
    }
    if (gLocks.load() <= 0) return E_FAIL;
    --gLocks;
    return S_OK;
  }

 private:
  ~TClassFactory() override { ObjectDestroyed(); }
  TCreate FCreate;
};

}  // namespace

// Factories count as objects here: a client holding one keeps the DLL loaded.
void ObjectCreated() {
  ++gObjects;
}
void ObjectDestroyed() {
  --gObjects;
}
LONG LiveObjects() {
  return gObjects.load();
}

bool EnvironmentValue(const wchar_t* name, std::wstring& value) {
  DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return false;
  std::wstring buf(n, L'\0');
  n = GetEnvironmentVariableW(name, buf.data(), n);
  buf.resize(n);
  value = buf;
  return true;
}

}  // namespace sapi4rt

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  // Nothing here that the loader lock forbids: the objects set themselves up when created.
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return sapi4rt::ComEntry([&]() -> HRESULT {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    sapi4rt::TCreate create = nullptr;
    if (IsEqualCLSID(rclsid, CLSID_TTSEnumerator)) create = &sapi4rt::CreateTtsEnumerator;
    if (IsEqualCLSID(rclsid, CLSID_MMAudioDest)) create = &sapi4rt::CreateMMAudioDest;
    if (!create) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new sapi4rt::TClassFactory(create);
    sapi4rt::ObjectCreated();
    return sapi4::HandOut(factory, riid, ppv);
  });
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return sapi4rt::LiveObjects() == 0 && sapi4rt::gLocks.load() == 0 ? S_OK : S_FALSE;
}
