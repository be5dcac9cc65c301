// The COM plumbing shared by the engine, the stand-in run time, the reader and the tools: the
// guard every COM method runs its body through, the counted interface pointer, the reference
// count and QueryInterface of an object, and the facet that gives an object one more interface.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objbase.h>
#include <unknwn.h>

#include <atomic>
#include <new>
#include <tuple>

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

// The IUnknown of a COM object that implements its interfaces itself: QueryInterface answers for
// each of them (the first also stands for IUnknown, the object's identity), and the last Release
// deletes the object. A new object's count is 0, and whoever creates it takes the first reference
// (HandOut below); a test double that the test holds from the start begins at 1.
template <class... Interfaces>
class TComObject : public Interfaces... {
 public:
  TComObject(const TComObject&) = delete;
  TComObject& operator=(const TComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = InterfaceFor(riid);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++FRefCount); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG n = --FRefCount;
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }
  // The count as it is now, for tests and diagnostics.
  LONG RefCount() const { return FRefCount.load(); }

 protected:
  explicit TComObject(LONG initialCount = 0) : FRefCount(initialCount) {}
  // Virtual, so that the last Release deletes the whole object.
  virtual ~TComObject() = default;

 private:
  using TIdentity = std::tuple_element_t<0, std::tuple<Interfaces...>>;

  template <class I>
  void Offer(REFIID riid, void*& found) {
    if (!found && IsEqualIID(riid, __uuidof(I))) found = static_cast<I*>(this);
  }
  void* InterfaceFor(REFIID riid) {
    if (IsEqualIID(riid, IID_IUnknown)) return static_cast<TIdentity*>(this);
    void* found = nullptr;
    (Offer<Interfaces>(riid, found), ...);
    return found;
  }

  std::atomic<LONG> FRefCount;
};

// Hands a new object to its creator as the interface asked for, or deletes it again when it has
// no such interface (or ppv is null): the object never lingers without an owner.
template <class Object>
HRESULT HandOut(Object* object, REFIID riid, void** ppv) {
  object->AddRef();
  const HRESULT r = object->QueryInterface(riid, ppv);
  object->Release();
  return r;
}

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
