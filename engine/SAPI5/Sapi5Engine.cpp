#include "Sapi5Engine.h"

#include <cwchar>
#include <filesystem>
#include <vector>

#include "EngineHost.h"
#include "Framework.h"
#include "EngineModule.h"
#include "Sapi5Text.h"
#include "Sapi5Voices.h"
#include "WaveFormat.h"

namespace kalvor {
namespace {

using sapi5::ISpTTSEngineSite;
using sapi5::SPVTEXTFRAG;

constexpr DWORD kSampleRate = 16000;
constexpr DWORD kBytesPerMs = kSampleRate * 2 / 1000;
// A silence is written in slices of this many milliseconds, with the site asked in between.
constexpr ULONG kSilenceSliceMs = 100;

WAVEFORMATEX OurFormat() {
  return sapi4::PcmFormat(kSampleRate, 16);
}

// A voice that cannot be loaded has nobody to tell on the engine's side of SAPI: the failure code
// goes back to the program, and the reason, with the file's name, to the debugger and the
// Application event log.
void ReportVoiceFailure(const std::wstring& message) {
  OutputDebugStringW((message + L"\n").c_str());
  if (HANDLE log = RegisterEventSourceW(nullptr, L"Kalvor")) {
    const wchar_t* strings[] = {message.c_str()};
    ReportEventW(log, EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(log);
  }
}

std::wstring Widen(const std::string& s) {
  std::wstring w(s.size(), L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), w.data(),
                                    static_cast<int>(w.size()));
  w.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return w;
}

// One Speak call: walks the fragments and writes to the site. Lives on Speak's stack.
class TSapi5Run {
 public:
  TSapi5Run(TStrPlayer& player, TStrPlayer& scratch, ISpTTSEngineSite& site)
      : FPlayer(player), FScratch(scratch), FSite(site) {}

  HRESULT Run(const SPVTEXTFRAG* list);

 private:
  enum class TKind { Sentence, Silence, Bookmark };
  struct TItem {
    TKind Kind = TKind::Sentence;
    TSapi5Sentence Sentence;
    bool Spelled = false;
    ULONG SilenceMs = 0;
    std::wstring Mark;
    LONG RateAdj = 0;
    ULONG Volume = 100;
  };

  void Collect(const SPVTEXTFRAG* list);
  // Reads the site's requests; false when speaking is to end (abort, or a skip that ends the
  // current sentence).
  bool Poll();
  void ApplyRate();
  void SpeakSentence(const TItem& item);
  void OnUnit(TStr3 Syl, std::int32_t& HRES);
  void WordEvents(std::int32_t letters);
  void AddEvent(SPEVENTENUM id, SPEVENTLPARAMTYPE type, WPARAM w, LPARAM l);
  bool Write(std::uint8_t* data, std::size_t size);
  void Skip(std::size_t from);

  TStrPlayer& FPlayer;
  TStrPlayer& FScratch;
  ISpTTSEngineSite& FSite;
  std::vector<TItem> FItems;
  std::size_t FIndex = 0;   // the item being spoken
  std::size_t FResume = 0;  // where a skip continues (0: no skip pending)
  bool FAborted = false;
  HRESULT FResult = S_OK;
  ULONGLONG FOffset = 0;  // bytes written so far
  LONG FSiteRate = 0;
  USHORT FSiteVolume = 100;
  const TItem* FCurrent = nullptr;
  // The sentence being spoken: its state for the events.
  bool FDropping = false;  // the rest of this sentence's output goes nowhere
  bool FAnnounced = false;
  std::size_t FNextWord = 0;
  std::int32_t FConsumed = 0;  // letters spoken in this sentence
  std::int32_t FLastTextPos = -1, FLastSentencePos = -1, FLastWordPos = 0;
};

// Text fragments in a row that differ only in what the engine does not change (emphasis, pitch,
// part of speech) are spoken as one text, so that markup inside a sentence makes no pause there.
void TSapi5Run::Collect(const SPVTEXTFRAG* list) {
  std::wstring text;
  std::vector<ULONG> source;
  TItem run;
  auto flush = [&] {
    if (text.empty()) return;
    for (TSapi5Sentence& s : CutText(text, source, run.Spelled, FScratch)) {
      TItem item = run;
      item.Sentence = std::move(s);
      FItems.push_back(std::move(item));
    }
    text.clear();
    source.clear();
  };
  for (const SPVTEXTFRAG* f = list; f; f = f->pNext) {
    TItem base;
    base.RateAdj = f->State.RateAdj;
    base.Volume = f->State.Volume > 100 ? 100 : f->State.Volume;
    switch (f->State.eAction) {
      case SPVA_Speak:
      case SPVA_Pronounce:
      case SPVA_SpellOut: {
        base.Spelled = f->State.eAction == SPVA_SpellOut;
        if (!text.empty() && (base.Spelled != run.Spelled || base.RateAdj != run.RateAdj ||
                              base.Volume != run.Volume))
          flush();
        if (text.empty()) run = base;
        if (!f->pTextStart) break;
        for (ULONG k = 0; k < f->ulTextLen; ++k) {
          text += f->pTextStart[k];
          source.push_back(f->ulTextSrcOffset + k);
        }
        break;
      }
      case SPVA_Silence: {
        flush();
        TItem item = base;
        item.Kind = TKind::Silence;
        item.SilenceMs = f->State.SilenceMSecs;
        FItems.push_back(std::move(item));
        break;
      }
      case SPVA_Bookmark: {
        flush();
        TItem item = base;
        item.Kind = TKind::Bookmark;
        if (f->pTextStart) item.Mark.assign(f->pTextStart, f->ulTextLen);
        FItems.push_back(std::move(item));
        break;
      }
      default:  // sections and tags we do not know carry nothing to speak
        break;
    }
  }
  flush();
}

HRESULT TSapi5Run::Run(const SPVTEXTFRAG* list) {
  Collect(list);
  if (FAILED(FSite.GetRate(&FSiteRate))) FSiteRate = 0;
  if (FAILED(FSite.GetVolume(&FSiteVolume))) FSiteVolume = 100;
  for (FIndex = 0; FIndex < FItems.size() && !FAborted && SUCCEEDED(FResult);) {
    const TItem& item = FItems[FIndex];
    FCurrent = &item;
    FResume = 0;
    if (!Poll()) {
      if (FResume) {
        FIndex = FResume - 1;
        continue;
      }
      break;
    }
    switch (item.Kind) {
      case TKind::Sentence:
        SpeakSentence(item);
        break;
      case TKind::Silence: {
        std::vector<std::uint8_t> slice(kSilenceSliceMs * kBytesPerMs, 0);
        for (ULONG left = item.SilenceMs; left > 0 && !FAborted && SUCCEEDED(FResult);) {
          const ULONG ms = left < kSilenceSliceMs ? left : kSilenceSliceMs;
          if (!Write(slice.data(), ms * kBytesPerMs)) break;
          left -= ms;
          if (left > 0 && !Poll()) break;
        }
        break;
      }
      case TKind::Bookmark:
        AddEvent(SPEI_TTS_BOOKMARK, SPET_LPARAM_IS_STRING,
                 static_cast<WPARAM>(std::wcstol(item.Mark.c_str(), nullptr, 10)),
                 reinterpret_cast<LPARAM>(item.Mark.c_str()));
        break;
    }
    FIndex = FResume ? FResume - 1 : FIndex + 1;
  }
  return FResult;
}

bool TSapi5Run::Poll() {
  const DWORD actions = FSite.GetActions();
  if (actions & sapi5::SPVES_ABORT) {
    FAborted = true;
    return false;
  }
  if (actions & sapi5::SPVES_RATE) {
    LONG rate = 0;
    if (SUCCEEDED(FSite.GetRate(&rate))) FSiteRate = rate;
  }
  if (actions & sapi5::SPVES_VOLUME) {
    USHORT volume = 100;
    if (SUCCEEDED(FSite.GetVolume(&volume))) FSiteVolume = volume > 100 ? 100 : volume;
  }
  ApplyRate();
  if (actions & sapi5::SPVES_SKIP) {
    Skip(FIndex);
    if (FResume) return false;
  }
  return true;
}

void TSapi5Run::ApplyRate() {
  const LONG adj = FCurrent ? FCurrent->RateAdj : 0;
  FPlayer.SetHiz(HizForRate(static_cast<long>(adj) + FSiteRate));
}

// Skipping counts sentences forward from the one being spoken (or about to be): skipping one
// goes to the start of the next. Silences on the way are left out; bookmarks on the way still
// reach the program, which may be waiting for them.
void TSapi5Run::Skip(std::size_t from) {
  sapi5::SPVSKIPTYPE type{};
  LONG count = 0;
  if (FAILED(FSite.GetSkipInfo(&type, &count)) || type != sapi5::SPVST_SENTENCE || count <= 0) {
    FSite.CompleteSkip(0);
    return;
  }
  LONG skipped = 0;
  std::size_t i = from;
  for (; i < FItems.size(); ++i) {
    const TItem& item = FItems[i];
    if (item.Kind == TKind::Sentence) {
      if (skipped == count) break;
      ++skipped;
    } else if (item.Kind == TKind::Bookmark) {
      AddEvent(SPEI_TTS_BOOKMARK, SPET_LPARAM_IS_STRING,
               static_cast<WPARAM>(std::wcstol(item.Mark.c_str(), nullptr, 10)),
               reinterpret_cast<LPARAM>(item.Mark.c_str()));
    }
  }
  FResume = i + 1;
  FSite.CompleteSkip(skipped);
}

void TSapi5Run::SpeakSentence(const TItem& item) {
  FDropping = false;
  FAnnounced = false;
  FNextWord = 0;
  FConsumed = 0;
  FLastTextPos = FLastSentencePos = -1;
  FLastWordPos = 0;
  ApplyRate();
  FPlayer.SetOnPlaySyl([this](TStrPlayer&, TStr3 Syl, std::int32_t& HRES) { OnUnit(Syl, HRES); });
  FPlayer.SetOnEndOfData(nullptr);
  try {
    FPlayer.Speak(item.Sentence.Text);
  } catch (const std::bad_alloc&) {
    FResult = E_OUTOFMEMORY;
  } catch (...) {  // a unit the voice file cannot give
    FResult = E_FAIL;
  }
  FPlayer.SetOnPlaySyl(nullptr);
  // Words the count did not reach (signs the front end leaves silent) are announced at the end.
  if (!FDropping && !FAborted && SUCCEEDED(FResult)) WordEvents(1 << 30);
}

void TSapi5Run::OnUnit(TStr3 Syl, std::int32_t& HRES) {
  HRES = 0;
  if (FDropping) return;
  if (!Poll()) {
    // Aborted, or skipped past this sentence: nothing more of it is written.
    FDropping = true;
    FPlayer.Stop();
    return;
  }
  TMemoryStream& out = FPlayer.OutputStream();
  if (!Syl.Empty()) {
    // The letters this unit advanced through its word (the second unit of a step advances none).
    std::int32_t letters = 0;
    if (FPlayer.TextPos() != FLastTextPos || FPlayer.SentencePos() != FLastSentencePos) {
      FLastTextPos = FPlayer.TextPos();
      FLastSentencePos = FPlayer.SentencePos();
      FLastWordPos = 0;
    }
    letters = FPlayer.WordPos() - FLastWordPos;
    FLastWordPos = FPlayer.WordPos();
    if (!FAnnounced && !FCurrent->Spelled) {
      FAnnounced = true;
      AddEvent(SPEI_SENTENCE_BOUNDARY, SPET_LPARAM_IS_UNDEFINED, FCurrent->Sentence.Len,
               static_cast<LPARAM>(FCurrent->Sentence.Pos));
    }
    WordEvents(letters);
    FConsumed += letters;
  }
  if (out.Size() > 0 && !Write(out.Memory(), out.Size())) {
    FDropping = true;
    FPlayer.Stop();
  }
}

// Announces every word that starts within the next `letters` letters.
void TSapi5Run::WordEvents(std::int32_t letters) {
  const std::vector<TSapi5Word>& words = FCurrent->Sentence.Words;
  std::int64_t start = 0;
  for (std::size_t k = 0; k < FNextWord; ++k) start += words[k].Letters;
  while (FNextWord < words.size() && start < std::int64_t{FConsumed} + letters) {
    const TSapi5Word& w = words[FNextWord];
    AddEvent(SPEI_WORD_BOUNDARY, SPET_LPARAM_IS_UNDEFINED, w.Len, static_cast<LPARAM>(w.Pos));
    start += w.Letters;
    ++FNextWord;
  }
}

void TSapi5Run::AddEvent(SPEVENTENUM id, SPEVENTLPARAMTYPE type, WPARAM w, LPARAM l) {
  SPEVENT e{};
  e.eEventId = id;
  e.elParamType = type;
  e.ulStreamNum = 0;
  e.ullAudioStreamOffset = FOffset;
  e.wParam = w;
  e.lParam = l;
  const HRESULT r = FSite.AddEvents(&e, 1);
  if (FAILED(r) && SUCCEEDED(FResult)) FResult = r;
}

bool TSapi5Run::Write(std::uint8_t* data, std::size_t size) {
  const unsigned volume = FCurrent ? FCurrent->Volume * FSiteVolume / 100 : FSiteVolume;
  ScaleSamples(data, size, volume);
  ULONG written = 0;
  const HRESULT r = FSite.Write(data, static_cast<ULONG>(size), &written);
  if (FAILED(r)) {
    FResult = r;
    return false;
  }
  FOffset += size;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

TSapi5Engine::TSapi5Engine() = default;
TSapi5Engine::~TSapi5Engine() {
  if (FToken) FToken->Release();
}

HRESULT STDMETHODCALLTYPE TSapi5Engine::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, sapi5::IID_ISpTTSEngine)) {
    *ppv = static_cast<sapi5::ISpTTSEngine*>(this);
  } else if (IsEqualIID(riid, sapi5::IID_ISpObjectWithToken)) {
    *ppv = static_cast<ISpObjectWithToken*>(&FTokenFacet);
  } else {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE TSapi5Engine::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&FRefCount));
}

ULONG STDMETHODCALLTYPE TSapi5Engine::Release() {
  const LONG n = InterlockedDecrement(&FRefCount);
  if (n == 0) {
    delete this;
    ObjectReleased();
  }
  return static_cast<ULONG>(n);
}

HRESULT STDMETHODCALLTYPE TSapi5Engine::Speak(DWORD, REFGUID rguidFormatId,
                                              const WAVEFORMATEX* pWaveFormatEx,
                                              const SPVTEXTFRAG* pTextFragList,
                                              ISpTTSEngineSite* pOutputSite) {
  return ComEntry([&]() -> HRESULT {
    if (!pOutputSite || !pTextFragList) return E_INVALIDARG;
    // SAPI asks for the format GetOutputFormat gave; anything else we cannot make.
    if (!IsEqualGUID(rguidFormatId, sapi5::SPDFID_WaveFormatEx) || !pWaveFormatEx)
      return E_INVALIDARG;
    const WAVEFORMATEX ours = OurFormat();
    if (pWaveFormatEx->wFormatTag != WAVE_FORMAT_PCM ||
        pWaveFormatEx->nSamplesPerSec != ours.nSamplesPerSec || pWaveFormatEx->nChannels != 1 ||
        pWaveFormatEx->wBitsPerSample != 16)
      return E_INVALIDARG;
    if (!FPlayer) return sapi5::SPERR_UNINITIALIZED;
    if (!FScratch) FScratch = std::make_unique<TStrPlayer>();
    TSapi5Run run(*FPlayer, *FScratch, *pOutputSite);
    return run.Run(pTextFragList);
  });
}

HRESULT STDMETHODCALLTYPE TSapi5Engine::GetOutputFormat(const GUID*, const WAVEFORMATEX*,
                                                        GUID* pOutputFormatId,
                                                        WAVEFORMATEX** ppCoMemOutputWaveFormatEx) {
  return ComEntry([&]() -> HRESULT {
    if (!pOutputFormatId || !ppCoMemOutputWaveFormatEx) return E_POINTER;
    // The voices are recorded at 16 kHz, 16-bit, mono; SAPI converts for the output it has.
    auto* f = static_cast<WAVEFORMATEX*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
    if (!f) return E_OUTOFMEMORY;
    *f = OurFormat();
    *pOutputFormatId = sapi5::SPDFID_WaveFormatEx;
    *ppCoMemOutputWaveFormatEx = f;
    return S_OK;
  });
}

std::wstring VoiceFilePath(const std::wstring& tokenValue) {
  const std::filesystem::path p(tokenValue);
  if (p.has_parent_path() || p.is_absolute()) return p.wstring();
  return (host::ModuleDirectory() / p).wstring();
}

HRESULT TSapi5Engine::SetObjectToken(ISpObjectToken* token) {
  if (!token) return E_INVALIDARG;
  if (FToken) return sapi5::SPERR_ALREADY_INITIALIZED;
  WCHAR* value = nullptr;
  HRESULT r = token->GetStringValue(kVoiceFileValue, &value);
  if (FAILED(r) || !value) {
    WCHAR* id = nullptr;
    std::wstring name = L"(unknown)";
    if (SUCCEEDED(token->GetId(&id)) && id) name = id;
    CoTaskMemFree(id);
    ReportVoiceFailure(L"Kalvor: the voice token " + name + L" names no speech data file (" +
                       kVoiceFileValue + L")");
    return FAILED(r) ? r : E_FAIL;
  }
  const std::wstring file = VoiceFilePath(value);
  CoTaskMemFree(value);
  auto player = std::make_unique<TStrPlayer>();
  try {
    player->LoadData(std::filesystem::path(file));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    const bool missing = GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES;
    ReportVoiceFailure(L"Kalvor: cannot load the voice " + file + L": " + Widen(e.what()));
    return missing ? HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)
                   : HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  }
  if (player->DataSize() != 2) {
    ReportVoiceFailure(L"Kalvor: the voice " + file + L" is not 16-bit");
    return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  }
  FPlayer = std::move(player);
  token->AddRef();
  FToken = token;
  return S_OK;
}

HRESULT TSapi5Engine::GetObjectToken(ISpObjectToken** token) {
  if (!token) return E_POINTER;
  *token = FToken;
  if (!FToken) return S_FALSE;
  FToken->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TSapi5TokenFacet::SetObjectToken(ISpObjectToken* pToken) {
  return ComEntry([&] { return FOwner.SetObjectToken(pToken); });
}

HRESULT STDMETHODCALLTYPE TSapi5TokenFacet::GetObjectToken(ISpObjectToken** ppToken) {
  return ComEntry([&] { return FOwner.GetObjectToken(ppToken); });
}

HRESULT CreateSapi5Engine(REFIID riid, void** ppv) {
  return ComEntry([&]() -> HRESULT {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    auto* engine = new TSapi5Engine;
    const HRESULT r = engine->QueryInterface(riid, ppv);
    if (FAILED(r)) {
      delete engine;  // never handed out, never counted
      return r;
    }
    ObjectCreated();
    return S_OK;
  });
}

}  // namespace kalvor
