// A fake SAPI 4 run time for the settings window's tests: an enumerator with a few modes and a
// mode object that records the texts, stops and attribute calls it receives, registered as this
// process's class objects for the run time's class identifiers, so that the program reaches them
// through CoCreateInstance as it reaches the real run time. Each selection makes a fresh mode
// with the engine's default attributes, as a real engine does.
#pragma once

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Speech.h"

namespace lumeko::test {

class FakeSapiEngine {
 public:
  // What every mode object of this engine received, in order, across selections.
  struct Log {
    std::vector<std::wstring> texts;  // TextData, as UTF-16 (from either interface)
    std::vector<std::string> calls;   // "Text", "Reset", "PitchSet 123", ... in order
  };

  struct Limits {
    WORD pitch = 100, minPitch = 0, maxPitch = 65535;
    DWORD speed = 150, minSpeed = 10, maxSpeed = 400;
    DWORD volume = 1000, minVolume = 0, maxVolume = 0xFFFF;
  };

  explicit FakeSapiEngine(std::vector<std::string> modeNames) : names_(std::move(modeNames)) {
    enumFactory_.owner = this;
    audioFactory_.owner = this;
    audioFactory_.audio = true;
    CoRegisterClassObject(CLSID_TTSEnumerator, &enumFactory_, CLSCTX_INPROC_SERVER,
                          REGCLS_MULTIPLEUSE, &enumCookie_);
    CoRegisterClassObject(CLSID_MMAudioDest, &audioFactory_, CLSCTX_INPROC_SERVER,
                          REGCLS_MULTIPLEUSE, &audioCookie_);
  }
  ~FakeSapiEngine() {
    CoRevokeClassObject(enumCookie_);
    CoRevokeClassObject(audioCookie_);
  }
  FakeSapiEngine(const FakeSapiEngine&) = delete;
  FakeSapiEngine& operator=(const FakeSapiEngine&) = delete;

  Log log;
  Limits defaults;
  bool failSelect = false;
  // As on a machine without a SAPI 4 run time: the enumerator's class is not registered.
  bool noRunTime = false;
  int selections = 0;
  std::string selectedName;

  std::vector<std::string> Calls(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const auto& c : log.calls)
      if (c.compare(0, prefix.size(), prefix) == 0) found.push_back(c);
    return found;
  }

 private:
  // One selected mode: central (A and W) and attributes.
  class Mode final : public ITTSCentralA, public ITTSAttributesA {
   public:
    Mode(FakeSapiEngine& engine) : engine_(engine), limits_(engine.defaults), wide_(*this) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      *out = nullptr;
      if (iid == IID_IUnknown || iid == IID_ITTSCentralA)
        *out = static_cast<ITTSCentralA*>(this);
      else if (iid == IID_ITTSAttributesA)
        *out = static_cast<ITTSAttributesA*>(this);
      else if (iid == IID_ITTSCentralW)
        *out = &wide_;
      else
        return E_NOINTERFACE;
      AddRef();
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
      ULONG n = --refs_;
      if (n == 0) delete this;
      return n;
    }
    HRESULT STDMETHODCALLTYPE Inject(const CHAR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ModeGet(PTTSMODEINFOA) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Phoneme(VOICECHARSET, DWORD, SDATA, PSDATA) override {
      return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PosnGet(PQWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TextData(VOICECHARSET, DWORD, SDATA text, PVOID, IID) override {
      const char* p = static_cast<const char*>(text.pData);
      std::wstring wide;
      for (DWORD i = 0; i < text.dwSize && p[i] != 0; ++i)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(p[i]));
      engine_.log.texts.push_back(L"A:" + wide);
      engine_.log.calls.push_back("Text");
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ToFileTime(PQWORD, FILETIME*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AudioPause() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AudioResume() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AudioReset() override {
      engine_.log.calls.push_back("Reset");
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Register(PVOID, IID, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnRegister(DWORD) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE PitchGet(WORD* v) override {
      *v = limits_.pitch;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PitchSet(WORD v) override {
      engine_.log.calls.push_back("PitchSet " + std::to_string(v));
      limits_.pitch = v < limits_.minPitch   ? limits_.minPitch
                      : v > limits_.maxPitch ? limits_.maxPitch
                                             : v;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RealTimeGet(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RealTimeSet(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpeedGet(DWORD* v) override {
      *v = limits_.speed;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SpeedSet(DWORD v) override {
      engine_.log.calls.push_back("SpeedSet " + std::to_string(v));
      limits_.speed = v < limits_.minSpeed   ? limits_.minSpeed
                      : v > limits_.maxSpeed ? limits_.maxSpeed
                                             : v;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE VolumeGet(DWORD* v) override {
      *v = limits_.volume;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE VolumeSet(DWORD v) override {
      engine_.log.calls.push_back("VolumeSet " + std::to_string(v));
      limits_.volume = v < limits_.minVolume   ? limits_.minVolume
                       : v > limits_.maxVolume ? limits_.maxVolume
                                               : v;
      return S_OK;
    }

   private:
    struct Wide : ITTSCentralW {
      explicit Wide(Mode& m) : mode(m) {}
      Mode& mode;
      HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return mode.QueryInterface(iid, out);
      }
      ULONG STDMETHODCALLTYPE AddRef() override { return mode.AddRef(); }
      ULONG STDMETHODCALLTYPE Release() override { return mode.Release(); }
      HRESULT STDMETHODCALLTYPE Inject(const WCHAR*) override { return E_NOTIMPL; }
      HRESULT STDMETHODCALLTYPE ModeGet(PTTSMODEINFOW) override { return E_NOTIMPL; }
      HRESULT STDMETHODCALLTYPE Phoneme(VOICECHARSET, DWORD, SDATA, PSDATA) override {
        return E_NOTIMPL;
      }
      HRESULT STDMETHODCALLTYPE PosnGet(PQWORD) override { return E_NOTIMPL; }
      HRESULT STDMETHODCALLTYPE TextData(VOICECHARSET, DWORD, SDATA text, PVOID, IID) override {
        const wchar_t* p = static_cast<const wchar_t*>(text.pData);
        mode.engine_.log.texts.push_back(std::wstring(p, wcsnlen(p, text.dwSize / 2)));
        mode.engine_.log.calls.push_back("Text");
        return S_OK;
      }
      HRESULT STDMETHODCALLTYPE ToFileTime(PQWORD, FILETIME*) override { return E_NOTIMPL; }
      HRESULT STDMETHODCALLTYPE AudioPause() override { return E_NOTIMPL; }
      HRESULT STDMETHODCALLTYPE AudioResume() override { return E_NOTIMPL; }
      HRESULT STDMETHODCALLTYPE AudioReset() override { return mode.AudioReset(); }
      HRESULT STDMETHODCALLTYPE Register(PVOID, IID, DWORD*) override { return E_NOTIMPL; }
      HRESULT STDMETHODCALLTYPE UnRegister(DWORD) override { return E_NOTIMPL; }
    };
    FakeSapiEngine& engine_;
    Limits limits_;
    Wide wide_;
    ULONG refs_ = 1;
  };

  // Enumerator and audio device: plain objects that never die before the engine.
  class Enum final : public ITTSEnumA {
   public:
    explicit Enum(FakeSapiEngine& engine) : engine_(engine) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      *out = nullptr;
      if (iid != IID_IUnknown && iid != IID_ITTSEnumA) return E_NOINTERFACE;
      *out = this;
      AddRef();
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
      ULONG n = --refs_;
      if (n == 0) delete this;
      return n;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG, PTTSMODEINFOA out, ULONG* fetched) override {
      if (position_ >= engine_.names_.size()) {
        *fetched = 0;
        return S_FALSE;
      }
      *out = TTSMODEINFOA{};
      std::strncpy(out->szModeName, engine_.names_[position_].c_str(), TTSI_NAMELEN - 1);
      out->gModeID.Data1 = static_cast<DWORD>(position_ + 1);
      out->wGender = GENDER_MALE;
      ++position_;
      *fetched = 1;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override {
      position_ = 0;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(ITTSEnumA**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Select(GUID modeId, ITTSCentralA** central, IUnknown*) override {
      if (engine_.failSelect) return E_FAIL;
      ++engine_.selections;
      engine_.selectedName = engine_.names_.at(modeId.Data1 - 1);
      *central = new Mode(engine_);
      return S_OK;
    }

   private:
    FakeSapiEngine& engine_;
    std::size_t position_ = 0;
    ULONG refs_ = 1;
  };

  class Audio final : public IAudioMultiMediaDevice {
   public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      *out = nullptr;
      if (iid != IID_IUnknown && iid != IID_IAudioMultiMediaDevice) return E_NOINTERFACE;
      *out = this;
      AddRef();
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
      ULONG n = --refs_;
      if (n == 0) delete this;
      return n;
    }
    HRESULT STDMETHODCALLTYPE CustomMessage(UINT, SDATA) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeviceNumGet(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeviceNumSet(DWORD) override { return E_NOTIMPL; }

   private:
    ULONG refs_ = 1;
  };

  struct Factory : IClassFactory {
    FakeSapiEngine* owner = nullptr;
    bool audio = false;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      *out = nullptr;
      if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
      *out = this;
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** out) override {
      *out = nullptr;
      if (!audio && owner->noRunTime) return REGDB_E_CLASSNOTREG;
      IUnknown* object =
          audio ? static_cast<IUnknown*>(new Audio) : static_cast<IUnknown*>(new Enum(*owner));
      HRESULT hr = object->QueryInterface(iid, out);
      object->Release();
      return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
  };

  std::vector<std::string> names_;
  Factory enumFactory_;
  Factory audioFactory_;
  DWORD enumCookie_ = 0;
  DWORD audioCookie_ = 0;
};

}  // namespace lumeko::test
