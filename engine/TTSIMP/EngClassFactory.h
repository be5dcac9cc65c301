// TEngClassFactory: the class object DllGetClassObject hands out; it creates engine objects of its
// class (TEngineEnum for SAPI 4, TSapi5Engine for SAPI 5) and keeps the module loaded through
// LockServer.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <unknwn.h>

namespace kalvor {

class TEngClassFactory final : public IClassFactory {
 public:
  explicit TEngClassFactory(const CLSID& clsid);
  TEngClassFactory(const TEngClassFactory&) = delete;
  TEngClassFactory& operator=(const TEngClassFactory&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

 private:
  ~TEngClassFactory();
  LONG FRefCount = 0;
  CLSID FClsid;
};

// DllGetClassObject and DllCanUnloadNow, behind the exports of the DLL.
HRESULT GetEngineClassObject(REFCLSID rclsid, REFIID riid, void** ppv);

}  // namespace kalvor
