// The COM plumbing shared by the engine, the stand-in run time, the reader and the tools: the
// guard every COM method runs its body through, the counted interface pointer, and the facet that
// gives an object one more interface.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <new>

namespace sapi4 {

// Every COM method runs its body through ComEntry, so that no C++ exception ever crosses into the
// caller: the run time and the clients are not C++ and could not catch it.
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
  TComRef() = default;
  explicit TComRef(I* p, bool addRef = true) : p_(p) {
    if (p_ && addRef) p_->AddRef();
  }
  ~TComRef() { Reset(); }
  TComRef(const TComRef&) = delete;
  TComRef& operator=(const TComRef&) = delete;
  I* operator->() const { return p_; }
  I* Get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For an out parameter that hands over a reference: the one held before is released first.
  I** Out() {
    Reset();
    return &p_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  // Takes over a reference the caller holds; the one held before is released first.
  void Attach(I* p) {
    Reset();
    p_ = p;
  }
  // Hands the reference to the caller.
  I* Detach() {
    I* p = p_;
    p_ = nullptr;
    return p;
  }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  I* p_ = nullptr;
};

// One more interface of a COM object: a member of its owner that passes QueryInterface and the
// reference counting on, so that the owner's count alone decides the lifetime.
template <class Owner, class I>
class TFacet : public I {
 public:
  explicit TFacet(Owner& owner) : FOwner(owner) {}
  TFacet(const TFacet&) = delete;
  TFacet& operator=(const TFacet&) = delete;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return FOwner.QueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return FOwner.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return FOwner.Release(); }

 protected:
  Owner& FOwner;
};

}  // namespace sapi4
