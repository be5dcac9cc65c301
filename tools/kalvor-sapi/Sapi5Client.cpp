#include "Sapi5Client.h"

#include <cwctype>

#include "ComSupport.h"
#include "SapiDdk.h"
#include "Sapi5Voices.h"
#include "ToolSupport.h"
#include "WaveFormat.h"
#include "WinConsole.h"

namespace kalvor::sapi5client {

using sapi4::TComRef;
namespace {

using tool::Check;
using tool::Fail;
using tool::NumberIn;
using win::DescribeHresult;
using win::Err;
using win::Out;

const wchar_t kHelp[] =
    L"Usage: kalvor-sapi sapi5 list\n"
    L"       kalvor-sapi sapi5 say [--voice NAME] [--rate R] [--volume V] [--xml]\n"
    L"                             [-o FILE.wav] [TEXT... | -f FILE | -]\n"
    L"       kalvor-sapi sapi5 check\n"
    L"\n"
    L"Speaks through SAPI 5 (SpVoice), as SAPI 5 programs do.\n"
    L"\n"
    L"  list          the SAPI 5 voices of this program's bitness (one per line: name,\n"
    L"                gender, language, vendor, token)\n"
    L"  say           speaks the text (UTF-8 from a file or standard input)\n"
    L"  --voice NAME  the voice whose name (Tarpek, Nilvo) or display name begins with NAME\n"
    L"                (default: Tarpek)\n"
    L"  --rate R      SAPI 5 rate, -10..10 (0: normal; each step about 7% faster)\n"
    L"  --volume V    SAPI 5 volume, 0..100\n"
    L"  --xml         the text is SAPI 5 markup (<bookmark mark=\"1\"/>, <silence msec=\"500\"/>,\n"
    L"                <rate speed=\"5\">...</rate>, <spell>...</spell>)\n"
    L"  -o FILE.wav   write the speech into a WAV file (16 kHz, 16-bit, mono) instead of\n"
    L"                playing it\n"
    L"  check         speaks a sentence with each Kalvor voice into a WAV file in the temporary\n"
    L"                folder and tells whether the audio, the words, the sentences and the\n"
    L"                bookmark arrived; the 32-bit tool on 64-bit Windows then runs the 64-bit\n"
    L"                one (kalvor-sapi64.exe) beside it for the 64-bit voices. Exit code 0 when\n"
    L"                everything arrived.\n"
    L"\n"
    L"Examples:\n"
    L"  kalvor-sapi sapi5 list\n"
    L"  kalvor-sapi sapi5 say --voice Nilvo -o merhaba.wav \"Merhaba dünya\"\n"
    L"  kalvor-sapi sapi5 check\n";

// The event bits SAPI wants in an interest mask, with its two check bits.
constexpr ULONGLONG kFlagCheck = (1ULL << 30) | (1ULL << 33);
constexpr ULONGLONG Interest(SPEVENTENUM e) {
  return (1ULL << e) | kFlagCheck;
}

struct TVoice {
  ISpObjectToken* Token = nullptr;  // counted; released by TVoices
  std::wstring Id, Display, Name, Gender, Language, Vendor;
};

class TVoices {
 public:
  TVoices() = default;
  ~TVoices() {
    for (TVoice& v : List)
      if (v.Token) v.Token->Release();
  }
  TVoices(const TVoices&) = delete;
  TVoices& operator=(const TVoices&) = delete;
  std::vector<TVoice> List;
};

std::wstring TakeString(WCHAR* s) {
  std::wstring w = s ? s : L"";
  CoTaskMemFree(s);
  return w;
}

std::wstring StringOf(ISpDataKey* key, const wchar_t* name) {
  WCHAR* s = nullptr;
  if (FAILED(key->GetStringValue(name, &s))) return {};
  return TakeString(s);
}

void ReadVoices(TVoices& out) {
  TComRef<ISpObjectTokenCategory> category;
  Check(CoCreateInstance(sapi5::CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL,
                         sapi5::IID_ISpObjectTokenCategory, category.OutVoid()),
        L"cannot create SAPI 5's token category (is SAPI 5 installed?)");
  Check(category->SetId(SPCAT_VOICES, FALSE), L"SAPI 5 has no voice list");
  TComRef<IEnumSpObjectTokens> tokens;
  Check(category->EnumTokens(nullptr, nullptr, tokens.Out()), L"cannot list the SAPI 5 voices");
  for (;;) {
    ISpObjectToken* token = nullptr;
    ULONG fetched = 0;
    if (tokens->Next(1, &token, &fetched) != S_OK || !token) break;
    TVoice v;
    v.Token = token;
    WCHAR* id = nullptr;
    if (SUCCEEDED(token->GetId(&id))) v.Id = TakeString(id);
    v.Display = StringOf(token, nullptr);
    if (v.Display.empty()) v.Display = StringOf(token, L"");  // some SAPIs want the empty name
    TComRef<ISpDataKey> attributes;
    if (SUCCEEDED(token->OpenKey(L"Attributes", attributes.Out())) && attributes) {
      v.Name = StringOf(attributes.Get(), L"Name");
      v.Gender = StringOf(attributes.Get(), L"Gender");
      v.Language = StringOf(attributes.Get(), L"Language");
      v.Vendor = StringOf(attributes.Get(), L"Vendor");
    }
    out.List.push_back(std::move(v));
  }
}

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

const wchar_t* Bitness() {
  return sizeof(void*) == 8 ? L"64-bit" : L"32-bit";
}

int List() {
  TVoices voices;
  ReadVoices(voices);
  if (voices.List.empty()) Out(std::wstring(L"no SAPI 5 voices for ") + Bitness() + L" programs\n");
  for (const TVoice& v : voices.List)
    Out(v.Display + L"\t" + v.Gender + L"\t" + v.Language + L"\t" + v.Vendor + L"\t" + v.Id +
        L"\n");
  return 0;
}

const TVoice& FindVoice(const TVoices& voices, const std::wstring& wanted) {
  const std::wstring w = Lower(wanted.empty() ? std::wstring(kSapi5Voices[0].Name) : wanted);
  for (const TVoice& v : voices.List)
    if (Lower(v.Name).rfind(w, 0) == 0 || Lower(v.Display).rfind(w, 0) == 0) return v;
  std::wstring names;
  for (const TVoice& v : voices.List) names += L"\n  " + v.Display;
  Fail(L"no SAPI 5 voice " + wanted + L" for " + Bitness() + L" programs; there are:" +
           (names.empty() ? std::wstring(L" none") : names),
       2);
}

struct TSpoken {
  HRESULT Result = S_OK;
  int Words = 0, Sentences = 0, Bookmarks = 0;
  ULONGLONG Bytes = 0;
};

// Speaks text with a voice into a WAV file (or the sound card for an empty path).
TSpoken SpeakWith(const TVoice& voice, const std::wstring& text, DWORD flags, long rate,
                  USHORT volume, const std::wstring& wav) {
  TComRef<ISpVoice> sp;
  Check(CoCreateInstance(sapi5::CLSID_SpVoice, nullptr, CLSCTX_ALL, sapi5::IID_ISpVoice,
                         sp.OutVoid()),
        L"cannot create SAPI 5's SpVoice");
  Check(sp->SetVoice(voice.Token), L"SAPI 5 refuses the voice " + voice.Display);
  Check(sp->SetRate(rate), L"cannot set the rate");
  Check(sp->SetVolume(volume), L"cannot set the volume");
  TComRef<ISpStream> stream;
  if (!wav.empty()) {
    Check(CoCreateInstance(sapi5::CLSID_SpStream, nullptr, CLSCTX_ALL, sapi5::IID_ISpStream,
                           stream.OutVoid()),
          L"cannot create SAPI 5's SpStream");
    WAVEFORMATEX f = sapi4::PcmFormat(16000, 16);
    Check(stream->BindToFile(wav.c_str(), SPFM_CREATE_ALWAYS, &sapi5::SPDFID_WaveFormatEx, &f, 0),
          L"cannot create " + wav);
    Check(sp->SetOutput(stream.Get(), TRUE), L"SAPI 5 cannot write " + wav);
  }
  const ULONGLONG interest =
      Interest(SPEI_WORD_BOUNDARY) | Interest(SPEI_SENTENCE_BOUNDARY) | Interest(SPEI_TTS_BOOKMARK);
  sp->SetInterest(interest, interest);
  TSpoken spoken;
  spoken.Result = sp->Speak(text.c_str(), flags, nullptr);
  for (;;) {
    SPEVENT e{};
    ULONG fetched = 0;
    if (sp->GetEvents(1, &e, &fetched) != S_OK || fetched == 0) break;
    if (e.eEventId == SPEI_WORD_BOUNDARY) ++spoken.Words;
    if (e.eEventId == SPEI_SENTENCE_BOUNDARY) ++spoken.Sentences;
    if (e.eEventId == SPEI_TTS_BOOKMARK) ++spoken.Bookmarks;
    // The events own what their parameters point to.
    if (e.elParamType == SPET_LPARAM_IS_STRING || e.elParamType == SPET_LPARAM_IS_POINTER)
      CoTaskMemFree(reinterpret_cast<void*>(e.lParam));
    else if ((e.elParamType == SPET_LPARAM_IS_TOKEN || e.elParamType == SPET_LPARAM_IS_OBJECT) &&
             e.lParam)
      reinterpret_cast<IUnknown*>(e.lParam)->Release();
  }
  if (stream) stream->Close();
  if (!wav.empty()) {
    WIN32_FILE_ATTRIBUTE_DATA a{};
    if (GetFileAttributesExW(wav.c_str(), GetFileExInfoStandard, &a))
      spoken.Bytes = (ULONGLONG{a.nFileSizeHigh} << 32) | a.nFileSizeLow;
  }
  return spoken;
}

int Say(const std::vector<std::wstring>& args) {
  std::wstring voiceName, output, file, text;
  long rate = 0, volume = 100;
  bool xml = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::wstring& a = args[i];
    auto value = [&] { return tool::OptionValue(args, i); };
    if (a == L"--voice")
      voiceName = value();
    else if (a == L"--rate")
      rate = NumberIn(a, value(), -10, 10);
    else if (a == L"--volume")
      volume = NumberIn(a, value(), 0, 100);
    else if (a == L"--xml")
      xml = true;
    else if (a == L"-o")
      output = value();
    else if (a == L"-f")
      file = value();
    else if (a == L"-")
      file = a;
    else if (a == L"-h" || a == L"--help") {
      Out(kHelp);
      return 0;
    } else if (a.size() > 1 && a[0] == L'-')
      Fail(L"sapi5 say: unknown option " + a + L" (kalvor-sapi sapi5 --help)", 2);
    else
      text += (text.empty() ? L"" : L" ") + a;
  }
  if (!file.empty() && !text.empty()) Fail(L"give the text as words or with -f, not both", 2);
  if (!file.empty()) text = tool::TextOfFile(file);
  if (text.empty()) Fail(L"sapi5 say: no text (kalvor-sapi sapi5 say TEXT, or -f FILE)", 2);
  if (!output.empty()) {
    wchar_t full[MAX_PATH * 4];
    const DWORD n = GetFullPathNameW(output.c_str(), MAX_PATH * 4, full, nullptr);
    if (n == 0 || n >= MAX_PATH * 4) Fail(L"cannot make a full path of " + output);
    output = full;
  }
  TVoices voices;
  ReadVoices(voices);
  const TVoice& voice = FindVoice(voices, voiceName);
  const TSpoken s = SpeakWith(voice, text, xml ? SPF_IS_XML : SPF_IS_NOT_XML, rate,
                              static_cast<USHORT>(volume), output);
  Check(s.Result, L"speaking with " + voice.Display + L" failed");
  if (!output.empty())
    Err(output + L": " + std::to_wstring(s.Bytes > 44 ? (s.Bytes - 44) / 32 : 0) + L" ms, " +
        std::to_wstring(s.Sentences) + L" sentences, " + std::to_wstring(s.Words) + L" words\n");
  return 0;
}

// The other bitness's tool, where this one is the 32-bit tool on 64-bit Windows.
int CheckOtherBitness() {
  if (sizeof(void*) != 4) return 0;
  BOOL wow = FALSE;
  if (!IsWow64Process(GetCurrentProcess(), &wow) || !wow) return 0;
  std::wstring self(MAX_PATH * 4, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  const std::wstring other = self.substr(0, self.find_last_of(L"\\/") + 1) + L"kalvor-sapi64.exe";
  if (GetFileAttributesW(other.c_str()) == INVALID_FILE_ATTRIBUTES) {
    Out(L"64-bit: not checked (" + other + L" is missing)\n");
    return 1;
  }
  std::wstring command = L"\"" + other + L"\" sapi5 check";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(other.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi))
    Fail(L"cannot start " + other + L": " + win::SystemMessage(static_cast<long>(GetLastError())));
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}

int CheckVoices() {
  TVoices voices;
  ReadVoices(voices);
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring dir = n ? std::wstring(temp, n) : L".\\";
  const std::wstring text =
      L"Merhaba d\u00FCnya. <bookmark mark=\"1\"/>Bug\u00FCn hava \u00E7ok g\u00FCzel.";
  int bad = 0, seen = 0;
  for (const TVoice& v : voices.List) {
    if (v.Vendor != kSapi5Vendor) continue;
    ++seen;
    const std::wstring wav = dir + L"kalvor-sapi5-" + v.Name + L"-" + Bitness() + L".wav";
    const TSpoken s = SpeakWith(v, text, SPF_IS_XML, 0, 100, wav);
    const ULONGLONG ms = s.Bytes > 44 ? (s.Bytes - 44) / 32 : 0;
    const bool ok =
        SUCCEEDED(s.Result) && ms >= 500 && s.Sentences == 2 && s.Words == 6 && s.Bookmarks == 1;
    Out(std::wstring(Bitness()) + L" " + v.Display + L": " +
        (FAILED(s.Result) ? L"Speak failed: " + DescribeHresult(s.Result) + L"; " : L"") +
        std::to_wstring(ms) + L" ms, " + std::to_wstring(s.Sentences) + L"/2 sentences, " +
        std::to_wstring(s.Words) + L"/6 words, " + std::to_wstring(s.Bookmarks) + L"/1 bookmark: " +
        (ok ? L"ok" : L"FAILED") + L" (" + wav + L")\n");
    if (!ok) ++bad;
  }
  if (seen < 2) {
    Out(std::wstring(Bitness()) + L": " + std::to_wstring(seen) +
        L" Kalvor voices registered, 2 expected (kalvor-reg install)\n");
    ++bad;
  }
  const int other = CheckOtherBitness();
  return bad == 0 && other == 0 ? 0 : 1;
}

}  // namespace

int Run(const std::vector<std::wstring>& args) {
  if (args.empty() || args[0] == L"-h" || args[0] == L"--help" || args[0] == L"help") {
    Out(kHelp);
    return args.empty() ? 2 : 0;
  }
  const std::vector<std::wstring> rest(args.begin() + 1, args.end());
  if (args[0] == L"list") return List();
  if (args[0] == L"say") return Say(rest);
  if (args[0] == L"check") return CheckVoices();
  Fail(L"unknown sapi5 command " + args[0] + L" (kalvor-sapi sapi5 --help)", 2);
}

}  // namespace kalvor::sapi5client
