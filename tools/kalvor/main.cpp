// kalvor: the engine core on the command line.
#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "Cli.h"
#include "EngineHost.h"
#include "Framework.h"
#include "OutputFile.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

const char kUsage[] =
    "Usage: kalvor COMMAND [OPTIONS] [TEXT | -f FILE | -]\n"
    "\n"
    "Turkish text to speech. Text is UTF-8, given as arguments, in a file (-f) or on\n"
    "standard input (- or nothing); -- ends the options.\n"
    "\n"
    "Commands:\n"
    "  say        speak the text into a 16000 Hz mono 16-bit WAV file, or play it\n"
    "               --voice male|female|PATH  voice to use (default: male)\n"
    "               --rate N                  playback rate in percent, 0..200\n"
    "                                         (default 100; below 25 it plays at 25)\n"
    "               --play                    play it on the sound card\n"
    "               -o FILE.wav               output file (default: standard output\n"
    "                                         when it is not a terminal)\n"
    "               --raw                     bare samples, no WAV header\n"
    "  sentences  print each sentence as the engine reads it: its kind (. ? !), a\n"
    "             TAB, the text\n"
    "  units      print the speech units in speaking order, an empty line after each\n"
    "             sentence\n"
    "  voice      make and inspect speech data files: kalvor voice --help\n"
    "\n"
    "Options for every command:\n"
    "  --thousands C   thousands separator for reading numbers (default .)\n"
    "  --decimal C     decimal separator for reading numbers (default ,)\n"
    "  -h, --help      this help\n"
    "  --version       the version\n"
    "\n"
    "The manual page (man kalvor) tells more.\n"
    "\n"
    "Examples:\n"
    "  kalvor say -o merhaba.wav \"Merhaba, nasılsınız?\"\n"
    "  kalvor say --play \"Merhaba, nasılsınız?\"\n"
    "  kalvor units \"Bu bir kitap.\"\n"
    "  kalvor sentences -f haber.txt\n";

// The arguments as UTF-8. Windows hands a program's narrow arguments over in the ANSI code page,
// which would lose every letter outside it, so there the wide command line is read instead.
std::vector<std::string> Utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
  int n = 0;
  if (LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &n)) {
    std::vector<std::string> out;
    for (int i = 1; i < n; ++i) {
      int len = WideCharToMultiByte(CP_UTF8, 0, wargv[i], -1, nullptr, 0, nullptr, nullptr);
      std::string a(len > 0 ? static_cast<std::size_t>(len - 1) : 0, '\0');
      if (len > 1) WideCharToMultiByte(CP_UTF8, 0, wargv[i], -1, a.data(), len, nullptr, nullptr);
      out.push_back(std::move(a));
    }
    LocalFree(wargv);
    return out;
  }
#endif
  return std::vector<std::string>(argv + 1, argv + argc);
}

// An interrupt (Ctrl-C, kill, a closed terminal) takes the half-written temporary file along and
// ends the program as the signal would have: the shell sees the usual status (130 for Ctrl-C).
#ifdef _WIN32
BOOL WINAPI OnConsoleEvent(DWORD) {
  kalvor::RemovePendingOutputs();
  ExitProcess(STATUS_CONTROL_C_EXIT);
  return TRUE;
}
#else
extern "C" void OnSignal(int sig) {
  kalvor::RemovePendingOutputs();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}
#endif

void CatchInterrupts() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(sig, &sa, nullptr);
  }
#endif
}

int Run(int argc, char** argv) {
  using namespace kalvor::cli;
  {
    std::vector<std::string> rest;
    char thousands = '.', decimal = ',';
    std::string command;
    Args all(Utf8Arguments(argc, argv));
    bool dashes = false;
    while (!all.Done()) {
      std::string a = all.Next();
      if (all.Plain()) {
        // After "--" everything is the command's: its text, never an option.
        if (command.empty()) {
          command = a;
        } else {
          if (!dashes) rest.push_back("--");
          rest.push_back(a);
        }
        dashes = true;
      } else if (a == "--thousands") {
        thousands = SingleChar(a, all.Value(a));
      } else if (a == "--decimal") {
        decimal = SingleChar(a, all.Value(a));
      } else if (command.empty() && (a == "-h" || a == "--help")) {
        WriteOut(kUsage);
        return 0;
      } else if (command.empty() && a == "--version") {
        WriteOut("kalvor 1.0.0\n");
        return 0;
      } else if (command.empty() && !a.empty() && a[0] != '-') {
        command = a;
      } else if (command.empty()) {
        throw CliError("unknown option " + a + " (kalvor --help)", 2);
      } else {
        rest.push_back(a);
      }
    }
    if (thousands == decimal) throw CliError("the thousands and decimal separators must differ", 2);
    kalvor::host::SetNumberSeparators(thousands, decimal);

    Args args(rest);
    if (command == "say") return CmdSay(args);
    if (command == "sentences") return CmdSentences(args);
    if (command == "units") return CmdUnits(args);
    if (command == "voice") return CmdVoice(args);
    if (command.empty()) {
      WriteErr(kUsage);
      return 2;
    }
    throw CliError("unknown command \"" + command + "\" (kalvor --help)", 2);
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kalvor::cli;
  CatchInterrupts();
  std::string error;
  int code = 1;
  try {
    int rc = Run(argc, argv);
    FlushOut();  // output that never arrived is no success
    return rc;
  } catch (const CliError& e) {
    error = e.what();
    code = e.exit_code;
  } catch (const std::exception& e) {  // kalvor::Exception too
    error = e.what();
  }
  // A failed standard output has been reported once; its buffer is not written again at exit.
  std::clearerr(stdout);
  WriteErr("kalvor: " + error + "\n");
  return code;
}
