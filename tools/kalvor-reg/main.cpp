// kalvor-reg: registers Kalvor.dll with COM and with the SAPI 4 run time, or takes it out again;
// on test machines also the stand-in run time. Can write the same as a .reg file instead.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "KalvorIds.h"
#include "Registration.h"
#include "Sapi5Voices.h"
#include "Speech.h"
#include "WinConsole.h"

namespace {

using kalvor::reg::RegError;
using kalvor::win::Err;
using kalvor::win::Out;

const wchar_t kHelp[] =
    L"Usage: kalvor-reg install [--dll PATH] [--sapi5-only]\n"
    L"                          [--runtime [--runtime-dll PATH] [--force]] [--reg-file FILE.reg]\n"
    L"       kalvor-reg uninstall [--runtime [--force]] [--reg-file FILE.reg]\n"
    L"       kalvor-reg status\n"
    L"\n"
    L"Registers the Kalvor Turkish text-to-speech engine (Kalvor.dll) with COM, with the\n"
    L"SAPI 4 run time and as SAPI 5 voices (Tarpek, Nilvo), so that SAPI 4 and SAPI 5 programs\n"
    L"list its voices; uninstall takes it out again. A 32-bit DLL is registered for 32-bit\n"
    L"programs, a 64-bit one for 64-bit programs: register both where both are installed.\n"
    L"Changing the registry needs administrator rights.\n"
    L"\n"
    L"  --dll PATH           the engine to register (default: Kalvor.dll beside kalvor-reg.exe);\n"
    L"                       its voices ORVDAT1.SPD and ORVDAT2.SPD must lie beside it\n"
    L"  --sapi5-only         register the DLL for SAPI 5 programs only (the 64-bit DLL beside\n"
    L"                       the 32-bit one: SAPI 4 programs are all 32-bit)\n"
    L"  --runtime            also (un)register the stand-in SAPI 4 run time (sapi4rt.dll), for\n"
    L"                       machines without the real one, such as test prefixes; it is never\n"
    L"                       registered over another run time\n"
    L"  --runtime-dll PATH   the stand-in run time (default: sapi4rt.dll beside kalvor-reg.exe)\n"
    L"  --force              register or remove the stand-in run time even where another run\n"
    L"                       time is registered\n"
    L"  --reg-file FILE.reg  write the registration as a file for regedit instead of changing\n"
    L"                       the registry (on 64-bit Windows import it with\n"
    L"                       reg import FILE.reg /reg:32, or /reg:64 for a 64-bit DLL)\n"
    L"\n"
    L"Examples:\n"
    L"  kalvor-reg install\n"
    L"  kalvor-reg install --dll \"C:\\Program Files\\Kalvor\\Kalvor.dll\"\n"
    L"  kalvor-reg install --dll \"C:\\Program Files (x86)\\Kalvor\\Kalvor64.dll\"\n"
    L"  kalvor-reg install --reg-file kalvor.reg\n"
    L"  kalvor-reg uninstall\n";

class UsageError : public RegError {
 public:
  explicit UsageError(std::wstring message) : RegError(std::move(message), 2) {}
};

// The registry as 32-bit and as 64-bit programs see it.
constexpr REGSAM kBothViews[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};

std::wstring ProgramDirectory() {
  std::wstring path(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n);
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

kalvor::reg::TRegistryRoot RootFor(const std::wstring& dll) {
  kalvor::reg::TRegistryRoot root;
  root.View = kalvor::reg::ViewForMachine(kalvor::reg::DllMachine(dll));
  return root;
}

void WriteRegFile(const std::wstring& file, const std::wstring& text) {
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    throw RegError(L"cannot create " + file + L": " +
                   kalvor::win::SystemMessage(static_cast<long>(GetLastError())));
  // regedit reads version 5 files as UTF-16 with a byte order mark.
  std::wstring content = L"\xFEFF" + text;
  DWORD written = 0;
  const DWORD size = static_cast<DWORD>(content.size() * sizeof(wchar_t));
  const bool ok = WriteFile(h, content.data(), size, &written, nullptr) && written == size;
  CloseHandle(h);
  if (!ok) {
    DeleteFileW(file.c_str());
    throw RegError(L"cannot write " + file);
  }
}

void WarnMissingVoices(const std::wstring& dll) {
  const std::wstring dir = dll.substr(0, dll.find_last_of(L"\\/"));
  for (const wchar_t* voice : {L"ORVDAT1.SPD", L"ORVDAT2.SPD"}) {
    const std::wstring path = dir + L"\\" + voice;
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
      Err(L"kalvor-reg: warning: " + path + L" is missing; selecting its voice will fail\n");
  }
}

int Status() {
  using namespace kalvor::reg;
  for (REGSAM view : kBothViews) {
    TRegistryRoot root;
    root.View = view;
    Out(view == KEY_WOW64_32KEY ? L"32-bit programs:\n" : L"64-bit programs:\n");
    const auto engine = ServerPath(root, kalvor::CLSID_KalvorEngine);
    Out(L"  engine " + GuidText(kalvor::CLSID_KalvorEngine) + L": " +
        (engine ? *engine + L" (" +
                      ThreadingModel(root, kalvor::CLSID_KalvorEngine).value_or(L"?") + L")"
                : L"not registered") +
        L"\n");
    Out(std::wstring(L"  in the SAPI 4 engine list: ") + (EngineListed(root) ? L"yes" : L"no") +
        L"\n");
    const auto sapi5 = ServerPath(root, kalvor::CLSID_KalvorSapi5Engine);
    Out(L"  SAPI 5 engine " + GuidText(kalvor::CLSID_KalvorSapi5Engine) + L": " +
        sapi5.value_or(L"not registered") + L"\n");
    std::wstring tokens;
    for (const std::wstring& t : ListedVoiceTokens(root)) tokens += L" " + t;
    Out(L"  SAPI 5 voices:" + (tokens.empty() ? std::wstring(L" none") : tokens) + L"\n");
    const auto enumerator = ServerPath(root, CLSID_TTSEnumerator);
    Out(L"  TTS enumerator: " + enumerator.value_or(L"not registered") + L"\n");
    const auto audio = ServerPath(root, CLSID_MMAudioDest);
    Out(L"  multimedia audio destination: " + audio.value_or(L"not registered") + L"\n");
  }
  return 0;
}

int Run(const std::vector<std::wstring>& args) {
  if (args.empty()) throw UsageError(L"say what to do: install, uninstall or status");
  const std::wstring& command = args[0];
  if (command == L"-h" || command == L"--help" || command == L"help") {
    Out(kHelp);
    return 0;
  }
  std::wstring dll, runtimeDll, regFile;
  bool runtime = false, force = false, sapi5Only = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::wstring& a = args[i];
    auto value = [&]() -> std::wstring {
      if (i + 1 >= args.size()) throw UsageError(L"option " + a + L" needs a value");
      return args[++i];
    };
    if (a == L"--dll")
      dll = value();
    else if (a == L"--runtime")
      runtime = true;
    else if (a == L"--sapi5-only")
      sapi5Only = true;
    else if (a == L"--runtime-dll") {
      runtimeDll = value();
      runtime = true;
    } else if (a == L"--force")
      force = true;
    else if (a == L"--reg-file")
      regFile = value();
    else if (a == L"-h" || a == L"--help") {
      Out(kHelp);
      return 0;
    } else
      throw UsageError(L"unknown option " + a + L" (kalvor-reg --help)");
  }

  using namespace kalvor::reg;
  if (command == L"status") return Status();
  if (command != L"install" && command != L"uninstall")
    throw UsageError(L"unknown command " + command + L" (kalvor-reg --help)");
  const bool install = command == L"install";
  const std::wstring here = ProgramDirectory();

  if (install) {
    dll = FullPath(dll.empty() ? here + L"\\Kalvor.dll" : dll);
    DllMachine(dll);  // a readable DLL, or a clear error now
    if (runtime) runtimeDll = FullPath(runtimeDll.empty() ? here + L"\\sapi4rt.dll" : runtimeDll);
    WarnMissingVoices(dll);
    if (!regFile.empty()) {
      WriteRegFile(regFile, RegFileText(true, dll, runtime ? runtimeDll : L""));
      Out(L"kalvor-reg: wrote " + regFile + L"\n");
      return 0;
    }
    if (runtime) {
      RegisterRuntime(RootFor(runtimeDll), runtimeDll, force);
      Out(L"kalvor-reg: registered the stand-in SAPI 4 run time " + runtimeDll + L"\n");
    }
    RegisterEngine(RootFor(dll), dll, !sapi5Only);
    Out(L"kalvor-reg: registered " + dll + (sapi5Only ? L" for SAPI 5\n" : L"\n"));
    return 0;
  }

  if (!regFile.empty()) {
    WriteRegFile(regFile, RegFileText(false, L"", runtime ? L"-" : L""));
    Out(L"kalvor-reg: wrote " + regFile + L"\n");
    return 0;
  }
  // The engine may be gone already: take it out of both views.
  for (REGSAM view : kBothViews) {
    TRegistryRoot root;
    root.View = view;
    UnregisterEngine(root);
    if (runtime) UnregisterRuntime(root, force);
  }
  Out(std::wstring(L"kalvor-reg: removed the Kalvor engine") +
      (runtime ? L" and the stand-in run time" : L"") + L"\n");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  return kalvor::win::ToolMain(L"kalvor-reg", argc, argv, Run);
}
