// What the reader tests' fake SAPI 4 objects share: the QueryInterface of a one-interface object,
// the central methods the reader never calls, and attributes that clamp a request into the
// engine's range.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Speech.h"

namespace lumeko::test {

// QueryInterface for an object that offers one interface besides IUnknown.
template <class I>
HRESULT QueryOne(I* self, REFIID offered, REFIID iid, void** out) {
  if (iid != IID_IUnknown && iid != offered) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  *out = self;
  self->AddRef();
  return S_OK;
}

// IUnknown's counting for a fake made with new: it deletes itself with its last reference.
template <class Derived, class... Interfaces>
class SelfDeleting : public Interfaces... {
 public:
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG n = --refs_;
    if (n == 0) delete static_cast<Derived*>(this);
    return n;
  }

 private:
  ULONG refs_ = 1;
};

// An enumerator over a list of mode records, which may fail at one position; the fake that
// derives from it supplies IUnknown's methods and Select.
class FakeModeEnum : public ITTSEnumA {
 public:
  std::vector<TTSMODEINFOA> modes;
  int failNextAt = -1;  // the position at which Next fails
  std::size_t position = 0;

  HRESULT STDMETHODCALLTYPE Next(ULONG count, PTTSMODEINFOA out, ULONG* fetched) override {
    if (count != 1 || out == nullptr || fetched == nullptr) return E_INVALIDARG;
    if (static_cast<int>(position) == failNextAt) return E_FAIL;
    if (position >= modes.size()) {
      *fetched = 0;
      return S_FALSE;
    }
    *out = modes[position++];
    *fetched = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(ITTSEnumA**) override { return E_NOTIMPL; }

 protected:
  ~FakeModeEnum() = default;
};

// ITTSCentralA or ITTSCentralW with E_NOTIMPL for every method the reader does not use; a fake
// adds IUnknown's methods, TextData and AudioReset.
template <class Central, class Char, class ModeInfo>
struct CentralStubs : Central {
  HRESULT STDMETHODCALLTYPE Inject(const Char*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ModeGet(ModeInfo*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Phoneme(VOICECHARSET, DWORD, SDATA, PSDATA) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE PosnGet(PQWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ToFileTime(PQWORD, FILETIME*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AudioPause() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AudioResume() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Register(PVOID, IID, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UnRegister(DWORD) override { return E_NOTIMPL; }
};

// A fake mode's attribute values and the ranges it clamps requests into.
struct FakeAttributeValues {
  WORD pitch = 100, minPitch = 0, maxPitch = 65535;
  DWORD speed = 150, minSpeed = 10, maxSpeed = 400;
  DWORD volume = 1000, minVolume = 0, maxVolume = 0xFFFF;
};

// ITTSAttributesA over FakeAttributeValues, as an engine answers: a set stores the request clamped
// into its range. The fake that derives from it supplies IUnknown's methods and the values, and
// hears of every call ("PitchGet", "PitchSet 123"); what it answers is the call's result.
class FakeAttributes : public ITTSAttributesA {
 public:
  HRESULT STDMETHODCALLTYPE PitchGet(WORD* v) override {
    *v = Values().pitch;
    return Called("PitchGet");
  }
  HRESULT STDMETHODCALLTYPE PitchSet(WORD v) override {
    FakeAttributeValues& a = Values();
    return Set("Pitch", a.pitch, v, a.minPitch, a.maxPitch);
  }
  HRESULT STDMETHODCALLTYPE RealTimeGet(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RealTimeSet(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SpeedGet(DWORD* v) override {
    *v = Values().speed;
    return Called("SpeedGet");
  }
  HRESULT STDMETHODCALLTYPE SpeedSet(DWORD v) override {
    FakeAttributeValues& a = Values();
    return Set("Speed", a.speed, v, a.minSpeed, a.maxSpeed);
  }
  HRESULT STDMETHODCALLTYPE VolumeGet(DWORD* v) override {
    *v = Values().volume;
    return Called("VolumeGet");
  }
  HRESULT STDMETHODCALLTYPE VolumeSet(DWORD v) override {
    FakeAttributeValues& a = Values();
    return Set("Volume", a.volume, v, a.minVolume, a.maxVolume);
  }

 protected:
  ~FakeAttributes() = default;
  virtual FakeAttributeValues& Values() = 0;
  virtual HRESULT Called(const std::string& call) = 0;

 private:
  template <class T>
  HRESULT Set(const char* name, T& field, T value, T lo, T hi) {
    field = value < lo ? lo : value > hi ? hi : value;
    return Called(std::string(name) + "Set " + std::to_string(value));
  }
};

}  // namespace lumeko::test
