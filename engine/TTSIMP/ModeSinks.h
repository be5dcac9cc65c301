// TModeSinks: the mode notification sinks a client registered with a mode (ITTSCentral::Register),
// each held by a counted reference under its key.
#pragma once

#include <vector>

#include "Speech.h"

namespace kalvor {

class TModeSinks {
 public:
  TModeSinks() = default;
  ~TModeSinks() { Clear(); }
  TModeSinks(const TModeSinks&) = delete;
  TModeSinks& operator=(const TModeSinks&) = delete;

  // Only the ANSI mode sink is taken (E_NOINTERFACE otherwise), by either central. Keys come from
  // the module's counter, so they are unique across all modes.
  HRESULT Register(PVOID pNotifyInterface, const IID& iid, DWORD* pdwKey);
  HRESULT UnRegister(DWORD dwKey);
  // Lets go of every sink.
  void Clear();

  // Calls call(sink) for the sinks registered now. A sink that is unregistered by an earlier
  // sink's call is not called any more; each is held for the calls, and let go on every way out.
  template <class F>
  void ForEach(F&& call) {
    THeld held(FList);
    for (const TSinkReg& reg : held.List)
      if (Registered(reg.Key)) call(*reg.Sink);
  }

 private:
  struct TSinkReg {
    ITTSNotifySinkA* Sink = nullptr;
    DWORD Key = 0;
  };
  // A copy of the list with a reference to each sink for as long as it lives.
  struct THeld {
    explicit THeld(const std::vector<TSinkReg>& list);
    ~THeld();
    THeld(const THeld&) = delete;
    THeld& operator=(const THeld&) = delete;
    std::vector<TSinkReg> List;
  };
  bool Registered(DWORD key) const;

  std::vector<TSinkReg> FList;
};

}  // namespace kalvor
