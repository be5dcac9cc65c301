#include "ModeSinks.h"

#include <algorithm>

#include "EngineModule.h"

namespace kalvor {

HRESULT TModeSinks::Register(PVOID pNotifyInterface, const IID& iid, DWORD* pdwKey) {
  if (!pNotifyInterface || !pdwKey) return E_INVALIDARG;
  if (!IsEqualIID(iid, IID_ITTSNotifySinkA)) return E_NOINTERFACE;
  TSinkReg reg;
  reg.Sink = static_cast<ITTSNotifySinkA*>(pNotifyInterface);
  FList.reserve(FList.size() + 1);  // the only step that can fail comes first
  reg.Key = NextSinkKey();
  reg.Sink->AddRef();
  FList.push_back(reg);
  *pdwKey = reg.Key;
  return S_OK;
}

HRESULT TModeSinks::UnRegister(DWORD dwKey) {
  const auto it = std::find_if(FList.begin(), FList.end(),
                               [dwKey](const TSinkReg& r) { return r.Key == dwKey; });
  if (it == FList.end()) return TTSERR_INVALIDKEY;
  ITTSNotifySinkA* sink = it->Sink;
  FList.erase(it);
  sink->Release();
  return S_OK;
}

void TModeSinks::Clear() {
  for (const TSinkReg& reg : FList) reg.Sink->Release();
  FList.clear();
}

bool TModeSinks::Registered(DWORD key) const {
  return std::any_of(FList.begin(), FList.end(), [key](const TSinkReg& r) { return r.Key == key; });
}

TModeSinks::THeld::THeld(const std::vector<TSinkReg>& list) : List(list) {
  for (const TSinkReg& reg : List) reg.Sink->AddRef();
}

TModeSinks::THeld::~THeld() {
  for (const TSinkReg& reg : List) reg.Sink->Release();
}

}  // namespace kalvor
