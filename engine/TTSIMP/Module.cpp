#include "Module.h"

#include <atomic>

namespace kalvor {
namespace {

std::atomic<HINSTANCE> gInstance{nullptr};
std::atomic<LONG> gObjectCount{0};
std::atomic<DWORD> gLastSinkKey{1};

}  // namespace

HINSTANCE ModuleInstance() {
  HINSTANCE h = gInstance.load();
  if (h) return h;
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&ModuleInstance), &self))
    self = GetModuleHandleW(nullptr);
  gInstance.store(self);
  return self;
}

void SetModuleInstance(HINSTANCE instance) {
  gInstance.store(instance);
}

LONG ObjectCount() {
  return gObjectCount.load();
}
void ObjectCreated() {
  ++gObjectCount;
}
void ObjectReleased() {
  --gObjectCount;
}

DWORD NextSinkKey() {
  return ++gLastSinkKey;
}

}  // namespace kalvor
