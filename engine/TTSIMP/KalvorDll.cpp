// The entry points of Kalvor.dll. The module registers nothing itself (kalvor-reg does).
#include "ComEntry.h"
#include "EngClassFactory.h"
#include "EngineModule.h"

// Runs under the loader lock: no COM, no windows, nothing that could load another DLL or wait for
// another thread. Reading the module's path and the locale's separators is kernel32's own work.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    try {
      kalvor::InitEngineHost(instance);
    } catch (...) {
      // Out of memory this early: the defaults stand (voices beside the program, Turkish
      // separators), and Select reports a missing voice if it comes to that.
    }
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return kalvor::GetEngineClassObject(rclsid, riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return kalvor::ComEntry([] { return kalvor::CanUnloadNow(); });
}
