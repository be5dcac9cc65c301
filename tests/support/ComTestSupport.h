// What the Windows tests of our COM objects share: the test program's folder, a COM server DLL
// loaded by path with its two exports, an object's reference count, the program's COM apartment,
// objects of the test's own on its stack, the fields of records, and the PCM format our engines
// speak in.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <mmreg.h>
#include <objbase.h>
#include <unknwn.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <filesystem>
#include <string>

#include "WaveFormat.h"

namespace kalvor::test {

inline std::filesystem::path ProgramDir() {
  wchar_t path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  return std::filesystem::path(std::wstring(path, n)).parent_path();
}

// A COM server DLL and the two exports a COM run time calls. The module stays loaded until the
// process ends: a test that fails half-way may have left objects behind, and their code must stay
// where it is.
struct TComServerDll {
  using TDllGetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using TDllCanUnloadNow = HRESULT(STDAPICALLTYPE*)();

  HMODULE module = nullptr;
  TDllGetClassObject getClassObject = nullptr;
  TDllCanUnloadNow canUnloadNow = nullptr;

  TComServerDll() = default;
  explicit TComServerDll(const std::filesystem::path& dll) { Load(dll); }

  void Load(const std::filesystem::path& dll) {
    module = LoadLibraryW(dll.c_str());
    if (!module) return;
    // Through void*: the exports' types are known here, not to GetProcAddress.
    getClassObject = reinterpret_cast<TDllGetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    canUnloadNow = reinterpret_cast<TDllCanUnloadNow>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  }
};

// The reference count of an object, read with an AddRef/Release pair.
template <class I>
ULONG RefCount(I* p) {
  p->AddRef();
  return p->Release();
}

// The COM apartment of the whole test program, entered before the first test and left after the
// last: ::testing::AddGlobalTestEnvironment(new TComApartment(COINIT_...)).
class TComApartment : public ::testing::Environment {
 public:
  explicit TComApartment(DWORD model) : FModel(model) {}
  void SetUp() override { ASSERT_EQ(CoInitializeEx(nullptr, FModel), S_OK); }
  void TearDown() override { CoUninitialize(); }

 private:
  DWORD FModel;
};

// An object of a test's own (a sink, mostly) that lives on the test's stack: QueryInterface answers
// for I, and the count, which starts with the test's own reference, only tells whether the code
// under test gave back every reference it took; the object is never deleted. Counted with
// interlocked operations: a device thread may call it.
template <class I>
class TStackObject : public I {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, __uuidof(I))) {
      *ppv = static_cast<I*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&refs));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    return static_cast<ULONG>(InterlockedDecrement(&refs));
  }
  LONG refs = 1;
};

// A text field of a record, up to its terminator or the end of the field.
inline std::wstring Field(const WCHAR* s, std::size_t capacity) {
  return {s, wcsnlen(s, capacity)};
}
inline std::string Field(const CHAR* s, std::size_t capacity) {
  return {s, strnlen(s, capacity)};
}

// Whether every byte of a record is 0 (an out record cleared on failure).
template <class T>
bool AllZero(const T& record) {
  const auto* p = reinterpret_cast<const unsigned char*>(&record);
  for (std::size_t i = 0; i < sizeof record; ++i)
    if (p[i]) return false;
  return true;
}

// 16 kHz, 16-bit, mono PCM: what our engines speak.
inline WAVEFORMATEX Pcm16k() {
  return sapi4::PcmFormat(16000, 16);
}

}  // namespace kalvor::test
