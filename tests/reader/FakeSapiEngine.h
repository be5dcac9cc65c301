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

#include "FakeSapiParts.h"
#include "Speech.h"

namespace lumeko::test {

class FakeSapiEngine {
 public:
  // What every mode object of this engine received, in order, across selections.
  struct Log {
    std::vector<std::wstring> texts;  // TextData, as UTF-16 (from either interface)
    std::vector<std::string> calls;   // "Text", "Reset", "PitchSet 123", ... in order
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
  FakeAttributeValues defaults;
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
  class Mode final
      : public SelfDeleting<Mode, CentralStubs<ITTSCentralA, CHAR, TTSMODEINFOA>, FakeAttributes> {
   public:
    Mode(FakeSapiEngine& engine) : engine_(engine), values_(engine.defaults), wide_(*this) {}
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
    HRESULT STDMETHODCALLTYPE TextData(VOICECHARSET, DWORD, SDATA text, PVOID, IID) override {
      const char* p = static_cast<const char*>(text.pData);
      std::wstring wide;
      for (DWORD i = 0; i < text.dwSize && p[i] != 0; ++i)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(p[i]));
      engine_.log.texts.push_back(L"A:" + wide);
      engine_.log.calls.push_back("Text");
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AudioReset() override {
      engine_.log.calls.push_back("Reset");
      return S_OK;
    }

   private:
    FakeAttributeValues& Values() override { return values_; }
    // The log keeps what changes the mode: the sets, not the reads.
    HRESULT Called(const std::string& call) override {
      if (call.find("Set ") != std::string::npos) engine_.log.calls.push_back(call);
      return S_OK;
    }

    struct Wide : CentralStubs<ITTSCentralW, WCHAR, TTSMODEINFOW> {
      explicit Wide(Mode& m) : mode(m) {}
      Mode& mode;
      HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return mode.QueryInterface(iid, out);
      }
      ULONG STDMETHODCALLTYPE AddRef() override { return mode.AddRef(); }
      ULONG STDMETHODCALLTYPE Release() override { return mode.Release(); }
      HRESULT STDMETHODCALLTYPE TextData(VOICECHARSET, DWORD, SDATA text, PVOID, IID) override {
        const wchar_t* p = static_cast<const wchar_t*>(text.pData);
        mode.engine_.log.texts.push_back(std::wstring(p, wcsnlen(p, text.dwSize / 2)));
        mode.engine_.log.calls.push_back("Text");
        return S_OK;
      }
      HRESULT STDMETHODCALLTYPE AudioReset() override { return mode.AudioReset(); }
    };
    FakeSapiEngine& engine_;
    FakeAttributeValues values_;
    Wide wide_;
  };

  // Enumerator and audio device: plain objects that never die before the engine.
  class Enum final : public SelfDeleting<Enum, FakeModeEnum> {
   public:
    explicit Enum(FakeSapiEngine& engine) : engine_(engine) {
      for (std::size_t i = 0; i < engine.names_.size(); ++i) {
        TTSMODEINFOA m{};
        std::strncpy(m.szModeName, engine.names_[i].c_str(), TTSI_NAMELEN - 1);
        m.gModeID.Data1 = static_cast<DWORD>(i + 1);
        m.wGender = GENDER_MALE;
        modes.push_back(m);
      }
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      return QueryOne(this, IID_ITTSEnumA, iid, out);
    }
    HRESULT STDMETHODCALLTYPE Select(GUID modeId, ITTSCentralA** central, IUnknown*) override {
      if (engine_.failSelect) return E_FAIL;
      ++engine_.selections;
      engine_.selectedName = engine_.names_.at(modeId.Data1 - 1);
      *central = new Mode(engine_);
      return S_OK;
    }

   private:
    FakeSapiEngine& engine_;
  };

  class Audio final : public SelfDeleting<Audio, IAudioMultiMediaDevice> {
   public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      return QueryOne(this, IID_IAudioMultiMediaDevice, iid, out);
    }
    HRESULT STDMETHODCALLTYPE CustomMessage(UINT, SDATA) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeviceNumGet(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeviceNumSet(DWORD) override { return E_NOTIMPL; }
  };

  struct Factory : IClassFactory {
    FakeSapiEngine* owner = nullptr;
    bool audio = false;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      return QueryOne(this, IID_IClassFactory, iid, out);
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
