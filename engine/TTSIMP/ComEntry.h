// Every COM method of the engine runs its body through ComEntry, so that no C++ exception ever
// crosses into the caller: the run time and the clients are not C++ and could not catch it.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <new>

namespace kalvor {

template <class Body>
HRESULT ComEntry(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace kalvor
