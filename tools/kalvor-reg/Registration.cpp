#include "Registration.h"

#include <algorithm>
#include <cwctype>
#include <vector>

#include "KalvorIds.h"
#include "SapiDdk.h"
#include "Sapi5Voices.h"
#include "Speech.h"
#include "WinConsole.h"

namespace kalvor::reg {
namespace {

constexpr wchar_t kEngineDescription[] = L"Kalvor Turkish text-to-speech engine";
constexpr wchar_t kSapi5Description[] = L"Kalvor Turkish text-to-speech engine (SAPI 5)";
// SAPI 5 creates an engine on one thread and speaks with it on another of its own: the engine has
// no thread of its own to keep, so COM must not put it in an apartment of its own, for which no
// proxy of its interfaces exists.
constexpr wchar_t kSapi5Threading[] = L"Both";
constexpr wchar_t kEnumeratorDescription[] = L"SAPI 4 TTS enumerator (stand-in run time)";
constexpr wchar_t kAudioDestDescription[] =
    L"SAPI 4 multimedia audio destination (stand-in run time)";
constexpr wchar_t kStandInFile[] = L"sapi4rt.dll";

std::wstring ClassKey(const TRegistryRoot& root, const GUID& clsid) {
  return root.Software + L"\\Classes\\CLSID\\" + GuidText(clsid);
}
std::wstring EngineListKey(const TRegistryRoot& root) {
  return root.Software + L"\\" + kEngineListKey;
}

[[noreturn]] void Fail(const TRegistryRoot& root, const std::wstring& key, const wchar_t* what,
                       LONG error) {
  std::wstring message = L"cannot " + std::wstring(what) + L" " + root.KeyName + L"\\" + key +
                         L": " + win::SystemMessage(error);
  if (error == ERROR_ACCESS_DENIED)
    message +=
        L". Registering needs administrator rights: run kalvor-reg from a command prompt "
        L"started as administrator";
  throw RegError(message);
}

class TKey {
 public:
  TKey() = default;
  ~TKey() {
    if (FKey) RegCloseKey(FKey);
  }
  TKey(const TKey&) = delete;
  TKey& operator=(const TKey&) = delete;
  HKEY* Out() { return &FKey; }
  HKEY Get() const { return FKey; }

 private:
  HKEY FKey = nullptr;
};

void CreateKey(const TRegistryRoot& root, const std::wstring& key, TKey& out) {
  const LONG r = RegCreateKeyExW(root.Key, key.c_str(), 0, nullptr, 0,
                                 KEY_READ | KEY_WRITE | root.View, nullptr, out.Out(), nullptr);
  if (r != ERROR_SUCCESS) Fail(root, key, L"write", r);
}

bool OpenKey(const TRegistryRoot& root, const std::wstring& key, REGSAM access, TKey& out) {
  const LONG r = RegOpenKeyExW(root.Key, key.c_str(), 0, access | root.View, out.Out());
  if (r == ERROR_FILE_NOT_FOUND) return false;
  if (r != ERROR_SUCCESS) Fail(root, key, L"open", r);
  return true;
}

void SetString(const TRegistryRoot& root, const std::wstring& key, HKEY h, const wchar_t* name,
               const std::wstring& value) {
  const LONG r = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  if (r != ERROR_SUCCESS) Fail(root, key, L"write", r);
}

std::optional<std::wstring> GetString(const TRegistryRoot& root, const std::wstring& key,
                                      const wchar_t* name) {
  TKey h;
  if (!OpenKey(root, key, KEY_READ, h)) return std::nullopt;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(h.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::nullopt;
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(h.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                       &size) != ERROR_SUCCESS)
    return std::nullopt;
  value.resize(wcsnlen(value.c_str(), value.size()));
  return value;
}

void DeleteTree(const TRegistryRoot& root, const std::wstring& key) {
  const std::size_t cut = key.rfind(L'\\');
  const std::wstring parent = key.substr(0, cut), leaf = key.substr(cut + 1);
  TKey h;
  if (!OpenKey(root, parent, KEY_READ | KEY_WRITE | DELETE, h)) return;
  const LONG r = RegDeleteTreeW(h.Get(), leaf.c_str());
  if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) Fail(root, key, L"remove", r);
}

void RegisterServer(const TRegistryRoot& root, const GUID& clsid, const wchar_t* description,
                    const std::wstring& path, const wchar_t* threading = L"Apartment") {
  const std::wstring key = ClassKey(root, clsid);
  TKey h;
  CreateKey(root, key, h);
  SetString(root, key, h.Get(), nullptr, description);
  const std::wstring server = key + L"\\InprocServer32";
  TKey s;
  CreateKey(root, server, s);
  SetString(root, server, s.Get(), nullptr, path);
  SetString(root, server, s.Get(), L"ThreadingModel", threading);
}

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

bool IsStandIn(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  const std::wstring file = slash == std::wstring::npos ? path : path.substr(slash + 1);
  return Lower(file) == kStandInFile;
}

// A .reg string: backslashes and quotes escaped.
std::wstring Quoted(const std::wstring& s) {
  std::wstring out = L"\"";
  for (wchar_t c : s) {
    if (c == L'\\' || c == L'"') out += L'\\';
    out += c;
  }
  return out + L"\"";
}

// The names of the engine list's values that name Kalvor's engine (in any letter case).
std::vector<std::wstring> KalvorEngineValues(HKEY list) {
  const std::wstring wanted = Lower(GuidText(CLSID_KalvorEngine));
  std::vector<std::wstring> names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLen = 256, type = 0;
    wchar_t data[64] = {};
    DWORD dataLen = sizeof data - sizeof(wchar_t);
    const LONG r = RegEnumValueW(list, i, name, &nameLen, nullptr, &type,
                                 reinterpret_cast<BYTE*>(data), &dataLen);
    if (r == ERROR_NO_MORE_ITEMS) return names;
    if (r == ERROR_SUCCESS && type == REG_SZ && Lower(data) == wanted) names.emplace_back(name);
  }
}

}  // namespace

std::wstring FullPath(const std::wstring& path) {
  DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  std::wstring full(n, L'\0');
  n = n ? GetFullPathNameW(path.c_str(), n, full.data(), nullptr) : 0;
  if (n == 0) throw RegError(L"cannot make a full path of " + path);
  full.resize(n);
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    throw RegError(full + L": " + win::SystemMessage(static_cast<long>(GetLastError())));
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) throw RegError(full + L" is a folder, not a DLL");
  return full;
}

WORD DllMachine(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE)
    throw RegError(L"cannot read " + path + L": " +
                   win::SystemMessage(static_cast<long>(GetLastError())));
  IMAGE_DOS_HEADER dos{};
  IMAGE_FILE_HEADER file{};
  DWORD signature = 0, got = 0;
  bool ok = ReadFile(f, &dos, sizeof dos, &got, nullptr) && got == sizeof dos &&
            dos.e_magic == IMAGE_DOS_SIGNATURE;
  if (ok) {
    LARGE_INTEGER at;
    at.QuadPart = dos.e_lfanew;
    ok = SetFilePointerEx(f, at, nullptr, FILE_BEGIN) &&
         ReadFile(f, &signature, sizeof signature, &got, nullptr) && got == sizeof signature &&
         signature == IMAGE_NT_SIGNATURE && ReadFile(f, &file, sizeof file, &got, nullptr) &&
         got == sizeof file && (file.Characteristics & IMAGE_FILE_DLL);
  }
  CloseHandle(f);
  if (!ok) throw RegError(path + L" is not a Windows DLL");
  return file.Machine;
}

REGSAM ViewForMachine(WORD machine) {
  return machine == IMAGE_FILE_MACHINE_I386 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

std::optional<std::wstring> ServerPath(const TRegistryRoot& root, const GUID& clsid) {
  return GetString(root, ClassKey(root, clsid) + L"\\InprocServer32", nullptr);
}

std::optional<std::wstring> ThreadingModel(const TRegistryRoot& root, const GUID& clsid) {
  return GetString(root, ClassKey(root, clsid) + L"\\InprocServer32", L"ThreadingModel");
}

bool EngineListed(const TRegistryRoot& root) {
  TKey h;
  if (!OpenKey(root, EngineListKey(root), KEY_READ, h)) return false;
  return !KalvorEngineValues(h.Get()).empty();
}

std::wstring VoiceTokenKey(const TRegistryRoot& root, const wchar_t* tokenName) {
  return root.Software + L"\\" + sapi5::kVoiceTokensKey + L"\\" + tokenName;
}

std::vector<std::wstring> ListedVoiceTokens(const TRegistryRoot& root) {
  std::vector<std::wstring> out;
  const std::wstring wanted = Lower(GuidText(CLSID_KalvorSapi5Engine));
  for (const TSapi5Voice& v : kSapi5Voices) {
    const auto clsid = GetString(root, VoiceTokenKey(root, v.TokenName), L"CLSID");
    if (clsid && Lower(*clsid) == wanted) out.emplace_back(v.TokenName);
  }
  return out;
}

void RegisterEngine(const TRegistryRoot& root, const std::wstring& dllPath, bool sapi4) {
  if (sapi4) {
    RegisterServer(root, CLSID_KalvorEngine, kEngineDescription, dllPath);
    const std::wstring key = EngineListKey(root);
    TKey h;
    CreateKey(root, key, h);
    SetString(root, key, h.Get(), kEngineValueName, GuidText(CLSID_KalvorEngine));
  }

  // SAPI 5 finds the engine through its voice tokens; the voice files lie beside the DLL, where
  // the engine looks for a bare name.
  RegisterServer(root, CLSID_KalvorSapi5Engine, kSapi5Description, dllPath, kSapi5Threading);
  for (const TSapi5Voice& v : kSapi5Voices) {
    const std::wstring token = VoiceTokenKey(root, v.TokenName);
    TKey t;
    CreateKey(root, token, t);
    SetString(root, token, t.Get(), nullptr, v.DisplayName);
    SetString(root, token, t.Get(), kSapi5Language, v.DisplayName);
    SetString(root, token, t.Get(), L"CLSID", GuidText(CLSID_KalvorSapi5Engine));
    SetString(root, token, t.Get(), kVoiceFileValue, v.VoiceFile);
    const std::wstring attributes = token + L"\\Attributes";
    TKey a;
    CreateKey(root, attributes, a);
    SetString(root, attributes, a.Get(), L"Language", kSapi5Language);
    SetString(root, attributes, a.Get(), L"Gender", v.Gender);
    SetString(root, attributes, a.Get(), L"Age", kSapi5Age);
    SetString(root, attributes, a.Get(), L"Name", v.Name);
    SetString(root, attributes, a.Get(), L"Vendor", kSapi5Vendor);
  }
}

void UnregisterEngine(const TRegistryRoot& root) {
  DeleteTree(root, ClassKey(root, CLSID_KalvorEngine));
  DeleteTree(root, ClassKey(root, CLSID_KalvorSapi5Engine));
  for (const std::wstring& token : ListedVoiceTokens(root))
    DeleteTree(root, VoiceTokenKey(root, token.c_str()));
  const std::wstring key = EngineListKey(root);
  TKey h;
  if (!OpenKey(root, key, KEY_READ | KEY_WRITE, h)) return;
  for (const std::wstring& n : KalvorEngineValues(h.Get())) {
    const LONG r = RegDeleteValueW(h.Get(), n.c_str());
    if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) Fail(root, key, L"remove a value of", r);
  }
}

void RegisterRuntime(const TRegistryRoot& root, const std::wstring& dllPath, bool force) {
  for (const GUID* clsid : {&CLSID_TTSEnumerator, &CLSID_MMAudioDest}) {
    const auto current = ServerPath(root, *clsid);
    if (current && !current->empty() && !IsStandIn(*current) && !force)
      throw RegError(L"a SAPI 4 run time is installed here already (" + GuidText(*clsid) +
                     L" belongs to " + *current +
                     L"); the stand-in run time is for test machines only and is not registered "
                     L"over it (--force would)");
  }
  RegisterServer(root, CLSID_TTSEnumerator, kEnumeratorDescription, dllPath);
  RegisterServer(root, CLSID_MMAudioDest, kAudioDestDescription, dllPath);
}

void UnregisterRuntime(const TRegistryRoot& root, bool force) {
  for (const GUID* clsid : {&CLSID_TTSEnumerator, &CLSID_MMAudioDest}) {
    const auto current = ServerPath(root, *clsid);
    if (!current) continue;
    if (!IsStandIn(*current) && !force)
      throw RegError(GuidText(*clsid) + L" belongs to " + *current +
                     L", not to the stand-in run time; it is left alone (--force would remove it)");
    DeleteTree(root, ClassKey(root, *clsid));
  }
}

std::wstring RegFileText(bool install, const std::wstring& enginePath,
                         const std::wstring& runtimePath) {
  const std::wstring hklm = L"HKEY_LOCAL_MACHINE\\SOFTWARE";
  std::wstring t = L"Windows Registry Editor Version 5.00\r\n\r\n";
  t += L"; Kalvor text-to-speech engine. On 64-bit Windows import this file in the registry "
       L"view of\r\n"
       L"; the DLL named below: reg import FILE.reg /reg:32 for the 32-bit Kalvor.dll,\r\n"
       L";                      reg import FILE.reg /reg:64 for the 64-bit one\r\n\r\n";
  auto server = [&](const GUID& clsid, const wchar_t* description, const std::wstring& path,
                    const wchar_t* threading = L"Apartment") {
    const std::wstring key = hklm + L"\\Classes\\CLSID\\" + GuidText(clsid);
    if (!install) {
      t += L"[-" + key + L"]\r\n\r\n";
      return;
    }
    t += L"[" + key + L"]\r\n@=" + Quoted(description) + L"\r\n\r\n";
    t += L"[" + key + L"\\InprocServer32]\r\n@=" + Quoted(path) + L"\r\n\"ThreadingModel\"=\"" +
         threading + L"\"\r\n\r\n";
  };
  if (!enginePath.empty() || !install) {
    server(CLSID_KalvorEngine, kEngineDescription, enginePath);
    t += L"[" + hklm + L"\\" + kEngineListKey + L"]\r\n";
    t += Quoted(kEngineValueName) + L"=" +
         (install ? Quoted(GuidText(CLSID_KalvorEngine)) : std::wstring(L"-")) + L"\r\n\r\n";
    server(CLSID_KalvorSapi5Engine, kSapi5Description, enginePath, kSapi5Threading);
    for (const TSapi5Voice& v : kSapi5Voices) {
      const std::wstring token = hklm + L"\\" + sapi5::kVoiceTokensKey + L"\\" + v.TokenName;
      if (!install) {
        t += L"[-" + token + L"]\r\n\r\n";
        continue;
      }
      t += L"[" + token + L"]\r\n@=" + Quoted(v.DisplayName) + L"\r\n" + Quoted(kSapi5Language) +
           L"=" + Quoted(v.DisplayName) + L"\r\n\"CLSID\"=" +
           Quoted(GuidText(CLSID_KalvorSapi5Engine)) + L"\r\n" + Quoted(kVoiceFileValue) + L"=" +
           Quoted(v.VoiceFile) + L"\r\n\r\n";
      t += L"[" + token + L"\\Attributes]\r\n\"Language\"=" + Quoted(kSapi5Language) +
           L"\r\n\"Gender\"=" + Quoted(v.Gender) + L"\r\n\"Age\"=" + Quoted(kSapi5Age) +
           L"\r\n\"Name\"=" + Quoted(v.Name) + L"\r\n\"Vendor\"=" + Quoted(kSapi5Vendor) +
           L"\r\n\r\n";
    }
  }
  if (!runtimePath.empty()) {
    server(CLSID_TTSEnumerator, kEnumeratorDescription, runtimePath);
    server(CLSID_MMAudioDest, kAudioDestDescription, runtimePath);
  }
  return t;
}

}  // namespace kalvor::reg
