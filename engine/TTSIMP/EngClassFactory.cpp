#include "EngClassFactory.h"

#include "ComEntry.h"
#include "EngineEnum.h"
#include "EngineModule.h"
#include "Sapi5Engine.h"
#include "Sapi5Voices.h"

namespace kalvor {

TEngClassFactory::TEngClassFactory(const CLSID& clsid) : FClsid(clsid) {
  FactoryCreated();
}
TEngClassFactory::~TEngClassFactory() {
  FactoryReleased();
}

HRESULT STDMETHODCALLTYPE TEngClassFactory::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TEngClassFactory::AddRef() {
  return static_cast<ULONG>(++FRefCount);
}

ULONG STDMETHODCALLTYPE TEngClassFactory::Release() {
  const LONG n = --FRefCount;
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

HRESULT STDMETHODCALLTYPE TEngClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                           void** ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (pUnkOuter) return CLASS_E_NOAGGREGATION;
  if (IsEqualCLSID(FClsid, CLSID_KalvorSapi5Engine)) return CreateSapi5Engine(riid, ppv);
  return ComEntry([&] { return TEngineEnum::Create(&ObjectReleased, riid, ppv); });
}

HRESULT STDMETHODCALLTYPE TEngClassFactory::LockServer(BOOL fLock) {
  return kalvor::LockServer(fLock);
}

HRESULT GetEngineClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return ComEntry([&]() -> HRESULT {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, CLSID_KalvorEngine) && !IsEqualCLSID(rclsid, CLSID_KalvorSapi5Engine))
      return E_FAIL;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
      return E_NOINTERFACE;
    CollectModes();
    auto* factory = new TEngClassFactory(rclsid);
    factory->AddRef();
    *ppv = static_cast<IClassFactory*>(factory);
    return S_OK;
  });
}

}  // namespace kalvor
