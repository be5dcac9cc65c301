// Registration of the Kalvor engine with COM and with the SAPI 4 run time, and of the stand-in
// run time (test machines only):
//   SOFTWARE\Classes\CLSID\{clsid}                 default value: a description
//   SOFTWARE\Classes\CLSID\{clsid}\InprocServer32  default value: the DLL's full path,
//                                                  ThreadingModel = "Apartment"
//   SOFTWARE\Voice\TextToSpeech\Engine             "Kalvor" = "{engine clsid}"
//   SOFTWARE\Classes\CLSID\{sapi 5 clsid}          the SAPI 5 engine class, in the same DLL
//   SOFTWARE\Microsoft\Speech\Voices\Tokens\<voice>  one SAPI 5 voice token per voice: default
//                                                  value the display name, CLSID, VoiceFile, and
//                                                  Attributes (Language, Gender, Age, Name, Vendor)
// under HKEY_LOCAL_MACHINE, in the registry view of the DLL's machine type (a 32-bit DLL on 64-bit
// Windows is registered where 32-bit programs look: WOW6432Node).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ToolMain.h"
#include "WinConsole.h"

namespace kalvor::reg {

// A failure, with a message for the user that names the key or file.
class RegError : public win::ToolError {
 public:
  explicit RegError(std::wstring message, int code = 1) : ToolError(std::move(message), code) {}
};

// Where the keys go: HKEY_LOCAL_MACHINE\SOFTWARE normally; tests use a scratch key.
struct TRegistryRoot {
  HKEY Key = HKEY_LOCAL_MACHINE;
  std::wstring KeyName = L"HKEY_LOCAL_MACHINE";
  std::wstring Software = L"SOFTWARE";
  REGSAM View = 0;  // KEY_WOW64_32KEY or KEY_WOW64_64KEY, or 0 for the program's own view
};

// The value name of the engine's entry in the engine list.
inline constexpr wchar_t kEngineValueName[] = L"Kalvor";
inline constexpr wchar_t kEngineListKey[] = L"Voice\\TextToSpeech\\Engine";

using win::GuidText;

// The full path of a file that must exist; the machine type of a DLL (IMAGE_FILE_MACHINE_...).
std::wstring FullPath(const std::wstring& path);
WORD DllMachine(const std::wstring& path);
// The registry view in which programs of that machine type look.
REGSAM ViewForMachine(WORD machine);

// The path registered for a COM class, if any.
std::optional<std::wstring> ServerPath(const TRegistryRoot& root, const GUID& clsid);
std::optional<std::wstring> ThreadingModel(const TRegistryRoot& root, const GUID& clsid);
bool EngineListed(const TRegistryRoot& root);

// Registers both engine classes, the SAPI 4 engine-list entry and the SAPI 5 voice tokens; without
// sapi4, only the SAPI 5 class and tokens (a 64-bit DLL beside the 32-bit one that SAPI 4 uses).
void RegisterEngine(const TRegistryRoot& root, const std::wstring& dllPath, bool sapi4 = true);
// Removes the engine's classes, every engine-list entry that names it and its voice tokens.
void UnregisterEngine(const TRegistryRoot& root);

// The key of a SAPI 5 voice token (below root.Key), and the names of the tokens registered there
// whose CLSID is our SAPI 5 engine.
std::wstring VoiceTokenKey(const TRegistryRoot& root, const wchar_t* tokenName);
std::vector<std::wstring> ListedVoiceTokens(const TRegistryRoot& root);

// The stand-in run time is never put over another run time: when CLSID_TTSEnumerator belongs to
// a DLL that is not a stand-in (sapi4rt.dll), this fails unless forced.
void RegisterRuntime(const TRegistryRoot& root, const std::wstring& dllPath, bool force);
// Removes the run time's classes when they belong to a stand-in (or when forced).
void UnregisterRuntime(const TRegistryRoot& root, bool force);

// The same registration as a .reg file for regedit (text; the caller writes it as UTF-16).
// Empty paths leave that part out.
std::wstring RegFileText(bool install, const std::wstring& enginePath,
                         const std::wstring& runtimePath);

}  // namespace kalvor::reg
