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

// A counted interface pointer held for a scope: it is released on every way out, exceptions
// included. With addRef false it takes over a reference the caller already holds.
template <class I>
class TComRef {
 public:
  explicit TComRef(I* p, bool addRef = true) : p_(p) {
    if (p_ && addRef) p_->AddRef();
  }
  ~TComRef() {
    if (p_) p_->Release();
  }
  TComRef(const TComRef&) = delete;
  TComRef& operator=(const TComRef&) = delete;
  I* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  I* p_;
};

}  // namespace kalvor
