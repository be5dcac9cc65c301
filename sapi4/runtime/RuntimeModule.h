// Module-wide state of the stand-in SAPI 4 run time: the count of live objects and server locks
// that DllCanUnloadNow reports, and the guard that keeps C++ exceptions out of COM callers.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <new>
#include <string>

namespace sapi4rt {

void ObjectCreated();
void ObjectDestroyed();
LONG LiveObjects();

// Every COM method runs its body through ComGuard: the run time's callers are not C++ and could
// not catch what it throws.
template <class Body>
HRESULT ComGuard(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// Reads an environment variable of the process as it is now (the C runtime's getenv keeps a copy
// taken at start-up, which misses what a client sets before creating our objects).
bool EnvironmentValue(const wchar_t* name, std::wstring& value);

}  // namespace sapi4rt
