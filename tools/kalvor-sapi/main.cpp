// kalvor-sapi: a SAPI 4 client on the command line. It speaks exactly as a SAPI 4 program does:
// the run time's TTS enumerator (CLSID_TTSEnumerator) lists and finds the voice modes, Select
// hands the chosen mode a multimedia audio destination, TextData speaks, and the buffer sink says
// when the text is done. With -o the audio destination writes a WAV file instead of playing.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "ComSupport.h"
#include "KalvorIds.h"
#include "Sapi5Client.h"
#include "Speech.h"
#include "ToolMain.h"
#include "ToolSupport.h"
#include "WinConsole.h"

namespace {

using kalvor::tool::Check;
using kalvor::tool::Fail;
using kalvor::tool::TextOfFile;
using kalvor::win::DescribeHresult;
using kalvor::win::Err;
using kalvor::win::GuidText;
using kalvor::win::Out;

const wchar_t kHelp[] =
    L"Usage: kalvor-sapi list [--ansi]\n"
    L"       kalvor-sapi say [--voice male|female | --mode NAME] [--pitch P | --rate N]\n"
    L"                       [-o FILE.wav] [--ansi] [--tagged] [TEXT... | -f FILE | -]\n"
    L"       kalvor-sapi sapi5 list | say ... | check   (kalvor-sapi sapi5 --help)\n"
    L"\n"
    L"Speaks through the installed SAPI 4 run time, as any SAPI 4 program does; the sapi5\n"
    L"commands speak through SAPI 5 instead.\n"
    L"\n"
    L"  list                 the voice modes the run time lists (one per line: identifier, name,\n"
    L"                       speaker, gender, language)\n"
    L"  say                  speaks the text (UTF-8 from a file or standard input)\n"
    L"  --voice male|female  the Kalvor voice to speak with (default male)\n"
    L"  --mode NAME          any SAPI 4 voice mode, by its exact name\n"
    L"  --pitch P            the SAPI pitch to set (Kalvor: 128 is the normal rate)\n"
    L"  --rate N             Kalvor's playback rate in percent, 0..200, set as the pitch that\n"
    L"                       gives it (as kalvor say --rate N)\n"
    L"  -o FILE.wav          write the speech into a WAV file instead of playing it\n"
    L"  --ansi               use the ANSI interfaces (ITTSEnumA, ITTSCentralA) instead of the\n"
    L"                       wide ones; the text then goes through the system's code page\n"
    L"  --tagged             the text holds SAPI 4 tags (\\Mrk=N\\, \\Pau=MS\\, \\Pit=P\\, "
    L"\\Vol=V\\,\n"
    L"                       \\Rst\\; \\\\ is a backslash), as screen readers send it; prints\n"
    L"                       \"mark N (S s)\" when playback reaches mark N\n"
    L"\n"
    L"Examples:\n"
    L"  kalvor-sapi list\n"
    L"  kalvor-sapi say \"Merhaba dünya\"\n"
    L"  kalvor-sapi say --voice female -o merhaba.wav \"Merhaba dünya\"\n"
    L"  kalvor-sapi say --tagged \"\\Mrk=1\\Merhaba \\Pau=500\\dünya\\Mrk=2\\\"\n"

    L"  kalvor-sapi sapi5 check\n";

template <class I>
using Ptr = sapi4::TComRef<I>;

// The text's buffer sink: records that the text started and ended.
class BufSink final : public ITTSBufNotifySink {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITTSBufNotifySink)) {
      *ppv = static_cast<ITTSBufNotifySink*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on main's stack; the count only tells whether the engine gave back what it took.
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
  HRESULT STDMETHODCALLTYPE TextDataDone(QWORD, DWORD flags) override {
    done = true;
    aborted = (flags & TTSBNS_ABORTED) != 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE TextDataStarted(QWORD) override {
    started = true;
    return S_OK;
  }
  // A tagged text's marks, as playback reaches them; the time stamp is the mark's place in the
  // audio stream (bytes of 16000 Hz 16-bit mono).
  HRESULT STDMETHODCALLTYPE BookMark(QWORD stamp, DWORD mark) override {
    wchar_t line[64];
    std::swprintf(line, 64, L"mark %lu (%.2f s)\n", static_cast<unsigned long>(mark),
                  static_cast<double>(stamp) / 32000.0);
    Out(line);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE WordPosition(QWORD, DWORD) override { return S_OK; }

  LONG refs = 0;
  bool started = false, done = false, aborted = false;
};

// A name field of an ANSI mode record, which need not end in a zero.
std::wstring AnsiToWide(const char* s, std::size_t capacity) {
  return kalvor::win::FromCodePage(CP_ACP, std::string(s, strnlen(s, capacity)));
}

std::string WideToAnsi(const std::wstring& w) {
  return kalvor::win::ToCodePage(CP_ACP, w);
}

std::wstring ModeLine(const GUID& id, const std::wstring& name, const std::wstring& speaker,
                      WORD gender, LANGID language) {
  const wchar_t* genders[] = {L"neutral", L"female", L"male"};
  wchar_t lang[16];
  std::swprintf(lang, 16, L"0x%04X", static_cast<unsigned>(language));
  return GuidText(id) + L"\t" + name + L"\t" + speaker + L"\t" +
         (gender <= 2 ? genders[gender] : L"?") + L"\t" + lang + L"\n";
}

void CreateEnumerator(REFIID iid, void** ppv) {
  const HRESULT hr = CoCreateInstance(CLSID_TTSEnumerator, nullptr, CLSCTX_INPROC_SERVER, iid, ppv);
  if (hr == REGDB_E_CLASSNOTREG)
    Fail(
        L"no SAPI 4 run time is installed (CLSID_TTSEnumerator is not registered; on a test "
        L"machine kalvor-reg install --runtime registers the stand-in)");
  Check(hr, L"cannot create the SAPI 4 TTS enumerator");
}

int List(bool ansi) {
  if (ansi) {
    Ptr<ITTSEnumA> e;
    CreateEnumerator(IID_ITTSEnumA, e.OutVoid());
    TTSMODEINFOA m;
    ULONG got = 0;
    while (e->Next(1, &m, &got) == S_OK && got == 1)
      Out(ModeLine(m.gModeID, AnsiToWide(m.szModeName, TTSI_NAMELEN),
                   AnsiToWide(m.szSpeaker, TTSI_NAMELEN), m.wGender, m.language.LanguageID));
  } else {
    Ptr<ITTSEnumW> e;
    CreateEnumerator(IID_ITTSEnumW, e.OutVoid());
    TTSMODEINFOW m;
    ULONG got = 0;
    while (e->Next(1, &m, &got) == S_OK && got == 1)
      Out(ModeLine(m.gModeID, std::wstring(m.szModeName, wcsnlen(m.szModeName, TTSI_NAMELEN)),
                   std::wstring(m.szSpeaker, wcsnlen(m.szSpeaker, TTSI_NAMELEN)), m.wGender,
                   m.language.LanguageID));
  }
  return 0;
}

// The engine's rate for a SAPI pitch: pitch / 128 * 100, halves to even; above 255, 200.
int RateOfPitch(unsigned pitch) {
  if (pitch > 255) return 200;
  const unsigned num = pitch * 100, q = num / 128, r = num % 128;
  return static_cast<int>(2 * r > 128 || (2 * r == 128 && (q & 1)) ? q + 1 : q);
}

unsigned PitchForRate(const std::wstring& text) {
  const long rate = kalvor::tool::NumberIn(L"--rate", text, 0, 200);
  for (unsigned p = 0; p <= 256; ++p)
    if (RateOfPitch(p) == rate) return p;
  unsigned below = 0;
  while (below < 256 && RateOfPitch(below + 1) < rate) ++below;
  Fail(L"no SAPI pitch gives the rate " + text + L"; the nearest are " +
           std::to_wstring(RateOfPitch(below)) + L" and " + std::to_wstring(RateOfPitch(below + 1)),
       2);
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Until the destination has played (or written) everything it was given: the text's end only
// means the engine has handed over its last batch.
void WaitUntilPlayed(IAudio* audio) {
  QWORD last = 0;
  DWORD still = GetTickCount();
  for (;;) {
    QWORD played = 0, total = 0;
    if (FAILED(audio->PosnGet(&played)) || FAILED(audio->TotalGet(&total)) || played >= total)
      return;
    if (played != last) {
      last = played;
      still = GetTickCount();
    } else if (GetTickCount() - still > 30000) {
      Fail(L"the audio destination stopped playing");
    }
    PumpMessages();
    Sleep(5);
  }
}

// Fails unless the run time's Find found the mode asked for, by name or by identifier.
void CheckFound(HRESULT hr, const std::wstring& modeName, const GUID& mode) {
  Check(hr, L"the run time could not search its voice modes");
  if (hr != S_OK)
    Fail(L"no SAPI 4 voice mode " +
         (modeName.empty() ? GuidText(mode) : L"named \"" + modeName + L"\"") +
         L" (kalvor-sapi list shows the listed ones)");
}

// Sets the SAPI pitch through the mode's attributes (ITTSAttributesA or W).
template <class Attributes>
void SetPitch(IUnknown* central, REFIID iid, int pitch) {
  Ptr<Attributes> attributes;
  Check(central->QueryInterface(iid, attributes.OutVoid()), L"the voice mode has no attributes");
  Check(attributes->PitchSet(static_cast<WORD>(pitch)), L"cannot set the pitch");
}

int Say(const std::vector<std::wstring>& args) {
  std::wstring voice, modeName, output, file, pitchText, rateText;
  std::vector<std::wstring> words;
  bool ansi = false, tagged = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::wstring& a = args[i];
    auto value = [&] { return kalvor::tool::OptionValue(args, i); };
    if (a == L"--voice")
      voice = value();
    else if (a == L"--mode")
      modeName = value();
    else if (a == L"--pitch")
      pitchText = value();
    else if (a == L"--rate")
      rateText = value();
    else if (a == L"-o" || a == L"--output")
      output = value();
    else if (a == L"-f")
      file = value();
    else if (a == L"-")
      file = L"-";
    else if (a == L"--ansi")
      ansi = true;
    else if (a == L"--tagged")
      tagged = true;
    else if (a == L"-h" || a == L"--help") {
      Out(kHelp);
      return 0;
    } else if (a.size() > 1 && a[0] == L'-' && words.empty())
      Fail(L"say: unknown option " + a + L" (kalvor-sapi --help)", 2);
    else
      words.push_back(a);
  }
  if (!voice.empty() && !modeName.empty()) Fail(L"give --voice or --mode, not both", 2);
  if (!voice.empty() && voice != L"male" && voice != L"female")
    Fail(L"--voice takes male or female, not \"" + voice + L"\"", 2);
  if (!pitchText.empty() && !rateText.empty()) Fail(L"give --pitch or --rate, not both", 2);
  if (!file.empty() && !words.empty()) Fail(L"give the text as words or with -f, not both", 2);

  int pitch = -1;
  if (!pitchText.empty())
    pitch = static_cast<int>(kalvor::tool::NumberIn(L"--pitch", pitchText, 0, 65535));
  if (!rateText.empty()) pitch = static_cast<int>(PitchForRate(rateText));

  std::wstring text;
  if (!file.empty()) {
    text = TextOfFile(file);
  } else {
    for (const std::wstring& w : words) text += (text.empty() ? L"" : L" ") + w;
  }
  if (text.empty()) Fail(L"say: no text (kalvor-sapi say TEXT, or -f FILE)", 2);

  // The audio destination reads its settings from the environment when it is created.
  std::wstring wavPath;
  if (!output.empty()) {
    wchar_t full[MAX_PATH * 4];
    const DWORD n = GetFullPathNameW(output.c_str(), MAX_PATH * 4, full, nullptr);
    if (n == 0 || n >= MAX_PATH * 4) Fail(L"cannot make a full path of " + output);
    wavPath = full;
    SetEnvironmentVariableW(L"KALVOR_AUDIO_WAV", wavPath.c_str());
    if (GetEnvironmentVariableW(L"KALVOR_AUDIO_PACE", nullptr, 0) == 0)
      SetEnvironmentVariableW(L"KALVOR_AUDIO_PACE", L"0");  // a file need not wait for a clock
  }

  Ptr<ITTSFindW> findW;
  Ptr<ITTSFindA> findA;
  GUID mode = voice == L"female" ? kalvor::KalvorModeFemale : kalvor::KalvorModeMale;
  std::wstring foundName;
  if (ansi) {
    CreateEnumerator(IID_ITTSFindA, findA.OutVoid());
    TTSMODEINFOA criteria{}, found{};
    TTSMODEINFORANK rank{};
    if (!modeName.empty()) {
      const std::string a = WideToAnsi(modeName);
      lstrcpynA(criteria.szModeName, a.c_str(), TTSI_NAMELEN);
    } else {
      criteria.gModeID = mode;
    }
    CheckFound(findA->Find(&criteria, &rank, &found), modeName, mode);
    mode = found.gModeID;
    foundName = AnsiToWide(found.szModeName, TTSI_NAMELEN);
  } else {
    CreateEnumerator(IID_ITTSFindW, findW.OutVoid());
    TTSMODEINFOW criteria{}, found{};
    TTSMODEINFORANK rank{};
    if (!modeName.empty())
      lstrcpynW(criteria.szModeName, modeName.c_str(), TTSI_NAMELEN);
    else
      criteria.gModeID = mode;
    CheckFound(findW->Find(&criteria, &rank, &found), modeName, mode);
    mode = found.gModeID;
    foundName.assign(found.szModeName, wcsnlen(found.szModeName, TTSI_NAMELEN));
  }

  Ptr<IUnknown> audioObject;
  const HRESULT created = CoCreateInstance(CLSID_MMAudioDest, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IUnknown, audioObject.OutVoid());
  if (created == E_INVALIDARG) {
    // The stand-in run time's destination refuses settings that make no sense.
    std::wstring settings;
    for (const wchar_t* name : {L"KALVOR_AUDIO_PACE", L"KALVOR_AUDIO_BUFFER_MS"}) {
      wchar_t value[256] = {};
      if (GetEnvironmentVariableW(name, value, 256))
        settings += std::wstring(L" ") + name + L"=" + value;
    }
    Fail(L"the audio destination refuses its settings:" + settings +
         L" (KALVOR_AUDIO_PACE: 0 or more times real time; KALVOR_AUDIO_BUFFER_MS: 50 to 60000)");
  }
  Check(created, L"cannot create the SAPI 4 multimedia audio destination");
  Ptr<IAudio> audio;
  Check(audioObject->QueryInterface(IID_IAudio, audio.OutVoid()),
        L"the audio destination offers no IAudio");

  // The sink outlives the mode, and the mode outlives the playing: a mode that goes resets its
  // audio destination, which would drop what was not played yet.
  BufSink sink;
  const DWORD flags = tagged ? TTSDATAFLAG_TAGGED : 0;
  Ptr<ITTSCentralA> centralA;
  Ptr<ITTSCentralW> centralW;
  HRESULT spoken;
  if (ansi) {
    Check(findA->Select(mode, centralA.Out(), audioObject.Get()),
          L"cannot select the voice mode \"" + foundName + L"\"");
    ITTSCentralA* central = centralA.Get();
    if (pitch >= 0) SetPitch<ITTSAttributesA>(central, IID_ITTSAttributesA, pitch);
    std::string a = WideToAnsi(text);
    spoken =
        central->TextData(CHARSET_TEXT, flags, SDATA{a.data(), static_cast<DWORD>(a.size() + 1)},
                          static_cast<ITTSBufNotifySink*>(&sink), IID_ITTSBufNotifySink);
  } else {
    Check(findW->Select(mode, centralW.Out(), audioObject.Get()),
          L"cannot select the voice mode \"" + foundName + L"\"");
    ITTSCentralW* central = centralW.Get();
    if (pitch >= 0) SetPitch<ITTSAttributesW>(central, IID_ITTSAttributesW, pitch);
    spoken = central->TextData(
        CHARSET_TEXT, flags,
        SDATA{text.data(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))},
        static_cast<ITTSBufNotifySink*>(&sink), IID_ITTSBufNotifySink);
  }
  if (FAILED(spoken)) {
    if (!wavPath.empty()) {
      centralA.Reset();
      centralW.Reset();
      audio.Reset();
      audioObject.Reset();
      DeleteFileW(wavPath.c_str());
    }
    if (wavPath.empty() && (spoken == HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_AVAILABLE) ||
                            spoken == TTSERR_WAVEDEVICEBUSY))
      Fail(L"there is no sound device to play on, or it is busy (" + DescribeHresult(spoken) +
           L"); -o FILE.wav writes the speech into a file instead");
    Fail(L"speaking failed: " + DescribeHresult(spoken));
  }
  if (!sink.done) Fail(L"the engine returned from TextData without ending the text");
  if (sink.aborted) Fail(L"the engine aborted the text");
  WaitUntilPlayed(audio.Get());
  QWORD total = 0;
  audio->TotalGet(&total);
  centralA.Reset();
  centralW.Reset();
  audio.Reset();
  audioObject.Reset();  // a WAV file is complete once its destination is gone
  if (sink.refs != 0)
    Fail(L"the engine kept " + std::to_wstring(sink.refs) + L" reference(s) to the text's sink");
  if (!wavPath.empty()) {
    wchar_t seconds[32];
    std::swprintf(seconds, 32, L"%.2f s", static_cast<double>(total) / 32000.0);
    Err(output + L": " + seconds + L"\n");
  }
  return 0;
}

int Run(const std::vector<std::wstring>& args) {
  if (args.empty()) Fail(L"say what to do: list, say or sapi5 (kalvor-sapi --help)", 2);
  const std::wstring& command = args[0];
  if (command == L"-h" || command == L"--help" || command == L"help") {
    Out(kHelp);
    return 0;
  }
  const std::vector<std::wstring> rest(args.begin() + 1, args.end());
  if (command == L"list") {
    bool ansi = false;
    for (const std::wstring& a : rest) {
      if (a == L"--ansi")
        ansi = true;
      else if (a == L"-h" || a == L"--help") {
        Out(kHelp);
        return 0;
      } else
        Fail(L"list: unknown option " + a, 2);
    }
    return List(ansi);
  }
  if (command == L"say") return Say(rest);
  if (command == L"sapi5") return kalvor::sapi5client::Run(rest);
  Fail(L"unknown command " + command + L" (kalvor-sapi --help)", 2);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // A SAPI 4 client's thread: a single-threaded apartment, whose messages it dispatches.
  const HRESULT init = CoInitialize(nullptr);
  if (FAILED(init)) {
    Err(L"kalvor-sapi: cannot initialise COM: " + DescribeHresult(init) + L"\n");
    return 1;
  }
  const int code = kalvor::win::ToolMain(L"kalvor-sapi", argc, argv, Run);
  CoUninitialize();
  return code;
}
