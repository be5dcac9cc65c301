#include "SpcMode.h"

#include <cstring>
#include <cwchar>
#include <string>

#include "ComEntry.h"
#include "EngineText.h"
#include "Framework.h"
#include "ModeNotify.h"
#include "MouthShape.h"
#include "MsgWindow.h"
#include "StrPlaySP_Text.h"
#include "VoiceModes.h"
#include "WaveFormat.h"

namespace kalvor {
namespace {

// Wait for room at most this many times per batch. A wait ends when a message arrives for the
// thread (the destination's own notifications supply them) or after kWaitSliceMs, so that a
// destination that never notifies cannot hold the caller for ever.
constexpr int kMaxWaits = 200;
constexpr DWORD kWaitSliceMs = 100;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Creation, Init, destruction

TSpcMode::TSpcMode(IUnknown* audioObject, TReleaseNotify onRelease)
    : FOnRelease(onRelease), FAudioObject(audioObject) {
  if (FAudioObject) FAudioObject->AddRef();
}

HRESULT TSpcMode::Init() {
  return ComEntry([&]() -> HRESULT {
    FPlayer = std::make_unique<TStrPlayer>();
    FPlayer->SetDataSize(2);
    FPlayer->SetOnPlaySyl(
        [this](TStrPlayer&, TStr3 Syl, std::int32_t& HRES) { HandlePlaySyl(Syl, HRES); });
    FPlayer->SetOnEndOfData([this](TStrPlayer&) { HandleEndOfData(); });

    // The format follows the synthesizer's sample width, which is 2 until a voice is loaded.
    WAVEFORMATEX format = sapi4::PcmFormat(16000, static_cast<WORD>(8 * FPlayer->DataSize()));

    // Without both interfaces there is nowhere to speak to: refuse now rather than fail on every
    // later call.
    if (!FAudioObject) return E_INVALIDARG;
    HRESULT r = FAudioObject->QueryInterface(IID_IAudio, reinterpret_cast<void**>(&FAudio));
    if (FAILED(r) || !FAudio) return E_NOINTERFACE;
    r = FAudioObject->QueryInterface(IID_IAudioDest, reinterpret_cast<void**>(&FAudioDest));
    if (FAILED(r) || !FAudioDest) return E_NOINTERFACE;
    r = FAudio->WaveFormatSet(SDATA{&format, sizeof format});
    if (FAILED(r)) return r;

    FTextQueue.clear();
    FSinks.Clear();
    FSpeed = 100;
    FMsgWindow = std::make_unique<TTTSMsgWindow>(*this);
    FNotify = new TModeNotify(FMsgWindow->Handle(), FAudio);
    FAudio->PassNotify(static_cast<IAudioDestNotifySink*>(FNotify), IID_IAudioDestNotifySink);
    return S_OK;
  });
}

TSpcMode::~TSpcMode() {
  FSinks.Clear();
  if (FAudio && FPlayer) AudioReset();
  // From here on a late notification from the destination's thread reaches nothing of ours.
  if (FNotify) FNotify->Detach();
  FMsgWindow.reset();
  // Entries still queued are dropped without notification, but their references are given back.
  for (BUFLIST& e : FTextQueue) {
    if (e.BufSink) e.BufSink->Release();
    if (e.VTxtSinkW) e.VTxtSinkW->Release();
    if (e.VTxtSinkA) e.VTxtSinkA->Release();
  }
  FTextQueue.clear();
  if (FAudio) FAudio->PassNotify(nullptr, IID_IAudioDestNotifySink);
  if (FAudioDest) FAudioDest->Release();
  if (FAudio) FAudio->Release();
  if (FAudioObject) FAudioObject->Release();
  if (FNotify) FNotify->Release();
  FPlayer.reset();
}

HWND TSpcMode::WindowHandle() const {
  return FMsgWindow ? FMsgWindow->Handle() : nullptr;
}

// ---------------------------------------------------------------------------------------------
// IUnknown

HRESULT STDMETHODCALLTYPE TSpcMode::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  void* p = nullptr;
  if (IsEqualIID(riid, IID_IUnknown))
    p = static_cast<IUnknown*>(this);
  else if (IsEqualIID(riid, IID_ITTSCentralW))
    p = static_cast<ITTSCentralW*>(&FCentralW);
  else if (IsEqualIID(riid, IID_ITTSCentralA))
    p = static_cast<ITTSCentralA*>(&FCentralA);
  else if (IsEqualIID(riid, IID_ITTSAttributesW))
    p = static_cast<ITTSAttributesW*>(&FAttributesW);
  else if (IsEqualIID(riid, IID_ITTSAttributesA))
    p = static_cast<ITTSAttributesA*>(&FAttributesA);
  else if (IsEqualIID(riid, IID_ITTSDialogsW))
    p = static_cast<ITTSDialogsW*>(&FDialogsW);
  else if (IsEqualIID(riid, IID_ITTSDialogsA))
    p = static_cast<ITTSDialogsA*>(&FDialogsA);
  if (!p) {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  *ppv = p;
  return S_OK;
}

ULONG STDMETHODCALLTYPE TSpcMode::AddRef() {
  return static_cast<ULONG>(++FRefCount);
}

ULONG STDMETHODCALLTYPE TSpcMode::Release() {
  const LONG n = --FRefCount;
  if (n == 0 && FOnRelease) FOnRelease();
  return static_cast<ULONG>(n);
}

// ---------------------------------------------------------------------------------------------
// Speaking

HRESULT TSpcMode::TextData(VOICECHARSET eCharacterSet, DWORD dwFlags, SDATA text,
                           PVOID pNotifyInterface, const IID& iid) {
  // Refused calls change nothing, not even the text being spoken.
  if (text.dwSize != 0) {
    if (!text.pData) return E_INVALIDARG;
    if (eCharacterSet != CHARSET_TEXT) return TTSERR_INVALIDCHAR;
    if (pNotifyInterface && !IsEqualIID(iid, IID_ITTSBufNotifySink)) return E_NOINTERFACE;
    if (FClaimed && FAudioPaused) return E_FAIL;
  }

  // A new text ends the one being spoken. When this call comes from a message handler inside
  // that text's wait, the older text is finished now, so that its sink hears of its end before
  // this text starts; an empty text only stops it, and it ends on its own.
  EndRunningTexts(text.dwSize != 0);
  FPlayer->Stop();
  Sleep(20);
  if (text.dwSize == 0) return S_OK;

  // The text is read up to its terminator, never beyond dwSize bytes.
  const auto* wide = static_cast<const WCHAR*>(text.pData);
  const TEngineInput input =
      PrepareText(std::wstring_view(wide, wcsnlen(wide, text.dwSize / 2)), dwFlags);

  TSpeakCall call;
  call.Serial = ++FLastSerial;
  QueueEntry(call, pNotifyInterface, iid);
  const HRESULT claimed = ClaimForText(call);
  if (FAILED(claimed)) return claimed;
  // Paused and not claimed: nothing is claimed now; the text waits for AudioResume.
  FSpeaking = true;
  FWordOffset = 0;

  call.Prev = FActive;
  FActive = &call;
  ++FDepth;
  bool failed = false;
  const HRESULT result = SpeakInput(call, input, failed);
  FActive = call.Prev;
  --FDepth;
  return FinishText(call, result, failed);
}

// A tagged text is spoken as its text without the tags: each place that holds tags becomes a cue
// of the synthesizer, at the byte where the text after it begins.
TSpcMode::TEngineInput TSpcMode::PrepareText(std::wstring_view source, DWORD dwFlags) {
  TEngineInput input;
  if (!(dwFlags & TTSDATAFLAG_TAGGED)) {
    input.Text = WideToEngineText(source.data(), source.size());
    return input;
  }
  // The pieces between the cues are converted one by one, which gives the bytes the whole text
  // would give.
  input.Tagged = ParseTaggedText(source);
  const std::vector<TTextTag>& tags = input.Tagged.Tags;
  const std::wstring& plain = input.Tagged.Plain;
  std::size_t from = 0;
  for (std::size_t k = 0; k < tags.size(); ++k) {
    const std::size_t at = tags[k].Position;
    if (k > 0 && at == tags[k - 1].Position) continue;
    input.Text += WideToEngineText(plain.data() + from, at - from);
    input.Cues.push_back(input.Text.size());
    input.CueTags.push_back(k);
    from = at;
  }
  input.Text += WideToEngineText(plain.data() + from, plain.size() - from);
  return input;
}

// Every text with a notification interface of a known kind is queued, so that its end is reported
// in order; only a buffer sink is held and told.
void TSpcMode::QueueEntry(TSpeakCall& call, PVOID pNotifyInterface, const IID& iid) {
  if (!IsEqualIID(iid, IID_IVTxtNotifySinkW) && !IsEqualIID(iid, IID_IVTxtNotifySinkA) &&
      !IsEqualIID(iid, IID_ITTSBufNotifySink))
    return;
  BUFLIST e;
  e.Serial = call.Serial;
  if (pNotifyInterface && IsEqualIID(iid, IID_ITTSBufNotifySink))
    e.BufSink = static_cast<ITTSBufNotifySink*>(pNotifyInterface);
  call.Entry = FTextQueue.insert(FTextQueue.end(), e);
  call.HasEntry = true;
  if (e.BufSink) e.BufSink->AddRef();
}

// A destination that cannot be claimed speaks nothing: say so, and leave no trace. (Start's
// result is not read: a device that is still running from the last text may call it an error.)
HRESULT TSpcMode::ClaimForText(TSpeakCall& call) {
  if (FClaimed || FAudioPaused) return S_OK;
  const HRESULT r = FAudio->Claim();
  if (FAILED(r)) {
    if (call.HasEntry) {
      if (call.Entry->BufSink) call.Entry->BufSink->Release();
      FTextQueue.erase(call.Entry);
    }
    return r;
  }
  FClaimed = true;
  FAudio->Start();
  return S_OK;
}

// The synthesizer's result; failed when it threw (out of memory, a data file read error), which
// aborts the text.
HRESULT TSpcMode::SpeakInput(TSpeakCall& call, const TEngineInput& input, bool& failed) {
  try {
    if (input.Cues.empty()) return FPlayer->Speak(input.Text);
    const std::vector<TTextTag>& tags = input.Tagged.Tags;
    TTagState state{FPlayer->Hiz(), FSpeed, false, 0};
    // \Rst\ goes back to the level the device has now.
    for (const TTextTag& tag : tags)
      if (tag.Kind == TTextTag::Reset) {
        state.HasLevel = FAudio->LevelGet(&state.Level) == S_OK;
        break;
      }
    return FPlayer->Speak(input.Text, input.Cues, [&](TStrPlayer&, std::size_t cue) {
      const std::size_t end = cue + 1 < input.CueTags.size() ? input.CueTags[cue + 1] : tags.size();
      for (std::size_t k = input.CueTags[cue]; k < end; ++k) ApplyTag(call, state, tags[k]);
    });
  } catch (const std::bad_alloc&) {
    failed = true;
    return E_OUTOFMEMORY;
  } catch (...) {
    failed = true;
    return E_FAIL;
  }
}

// After the synthesizer returned: the text's marks and entry are settled, the device given back,
// and a quit that came up meanwhile is handed back to the program once no text is left.
HRESULT TSpcMode::FinishText(TSpeakCall& call, HRESULT result, bool failed) {
  // Marks of this text that did not come back before its end never will (a reset or a newer
  // text ended it, or the destination does not report them).
  DropClientMarks(false, call.Serial);
  // This Speak cleared the stop request of the one below it, which this text ended: ask again,
  // so that it stops at its next step instead of stepping through what is left.
  if (FActive && FActive->Ended) FPlayer->Stop();

  // Normally HandleEndOfData completed the entry; when Speak failed it never came.
  if (call.HasEntry) CompleteEntry(call, failed ? TTSBNS_ABORTED : 0);
  // A text taken over by a newer one ended without fault; the result the synthesizer returns
  // now is the newer text's.
  if (call.TakenOver && !failed) result = S_OK;
  if (FClaimed) {
    const HRESULT u = FAudio->UnClaim();
    FClaimed = false;
    if (SUCCEEDED(result)) result = u;  // a speaking failure is not hidden by a good UnClaim
  }
  if (FDepth == 0) {
    FSpeaking = false;
    if (FQuitSeen) {
      FQuitSeen = false;
      PostQuitMessage(FQuitCode);
    }
  }
  return result;
}

void TSpcMode::HandlePlaySyl(TStr3 Syl, std::int32_t& HRES) {
  // Whatever an ended text still produces is dropped, and the result it ended with is kept.
  TSpeakCall* call = FActive;
  if (!call || call->Ended) return;
  HRES = 0;
  if (!WaitForRoom(*call, HRES)) return;

  const std::string name = ReportedUnitName(Syl.View());
  // Marks for the first two letters go before the unit's samples, for the third after them: each
  // becomes a mouth shape when playback reaches it.
  MarkLetters(name, 0, 2);
  ReportUnitToBufferSink(*call, name.size());
  // The sink may have paused or reset from its callback.
  while (FAudioPaused && !call->Ended) PumpMessages();
  if (call->Ended || !FRunning) return;

  // The marks of a tagged text that the synthesizer passed since the last batch.
  PlaceClientMarks(call->Serial);
  WriteBatch(*call, HRES);
  MarkLetters(name, 2, 3);
  // A tag's pause is no end of a sentence: the word positions go on as if it were not there.
  if (FTagPause) return;
  FWordOffset += static_cast<DWORD>(name.size());
  FLastUnit = name;
}

bool TSpcMode::WaitForRoom(TSpeakCall& call, std::int32_t& HRES) {
  int waits = 0;
  for (;;) {
    if (call.Ended) return false;
    if (FAudioPaused) {
      PumpMessages();
      continue;
    }
    if (!FRunning) {
      EndRunningTexts(false);
      return false;
    }
    DWORD free = 0;
    BOOL eof = FALSE;
    HRES = FAudioDest->FreeSpace(&free, &eof);
    if (HRES != 0) {
      EndRunningTexts(false);
      return false;
    }
    if (eof) {
      FRunning = false;
      FSpeaking = false;
      EndRunningTexts(false);
      return false;
    }
    // Measured at every look: the handlers a wait dispatches may call into the mode.
    const auto size = static_cast<std::uint64_t>(FPlayer->OutputStream().Size());
    if (std::uint64_t{free} >= size) return true;
    if (waits >= kMaxWaits) {
      HRES = E_FAIL;
      EndRunningTexts(false);
      return false;
    }
    ++waits;
    PumpMessages();
  }
}

std::string TSpcMode::ReportedUnitName(std::string_view unit) {
  std::string s(unit);
  for (char& c : s)
    if (c == '0') c = '\xDD';
  if (!s.empty() && s[0] == '_') s.erase(0, 1);
  return s;
}

void TSpcMode::MarkLetters(const std::string& name, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to && i < name.size(); ++i)
    if (IsLetterOrDigit(name[i])) FAudioDest->BookMark(static_cast<unsigned char>(name[i]));
}

void TSpcMode::ReportUnitToBufferSink(TSpeakCall& call, std::size_t nameLength) {
  if (!call.HasEntry) return;
  BUFLIST& e = *call.Entry;
  // The entry may be completed from inside the sink's own call: hold the sink meanwhile.
  TComRef<ITTSBufNotifySink> sink(e.BufSink);
  if (e.Started == 0) {
    e.Started = 1;
    if (sink) {
      const QWORD ts = TimeStamp();
      sink->WordPosition(ts, 0);
      sink->TextDataStarted(ts);
    }
  } else if (!FLastUnit.empty() && nameLength == 0 && sink && !FTagPause) {
    sink->WordPosition(TimeStamp(), FWordOffset);
  }
}

void TSpcMode::WriteBatch(TSpeakCall& call, std::int32_t& HRES) {
  TMemoryStream& out = FPlayer->OutputStream();
  out.SetPosition(0);
  if (!FClaimed || out.Size() == 0) return;
  HRES = FAudioDest->DataSet(out.Memory(), static_cast<DWORD>(out.Size()));
  if (HRES != 0)
    EndRunningTexts(false);
  else
    call.Wrote = true;
}

void TSpcMode::HandleEndOfData() {
  if (!FActive) return;
  if (!FActive->Ended) AwaitClientMarks(*FActive);
  if (!FActive) return;
  DropClientMarks(false, FActive->Serial);
  if (FActive->HasEntry) CompleteEntry(*FActive, 0);
}

void TSpcMode::CompleteEntry(TSpeakCall& call, DWORD flags) {
  if (call.HasEntry) CompleteQueued(call.Entry, flags);
}

void TSpcMode::CompleteQueued(std::list<BUFLIST>::iterator entry, DWORD flags) {
  for (TSpeakCall* c = FActive; c; c = c->Prev)
    if (c->HasEntry && c->Entry == entry) c->HasEntry = false;
  const BUFLIST e = *entry;
  // The entry is out of the queue before its sink hears of it, so a sink that calls back into
  // the mode finds a consistent queue; no mark of the text comes after its end.
  FTextQueue.erase(entry);
  DropClientMarks(false, e.Serial);
  // The queue's references go whatever the sink does.
  TComRef<ITTSBufNotifySink> sink(e.BufSink, false);
  TComRef<IUnknown> vtxtW(e.VTxtSinkW, false), vtxtA(e.VTxtSinkA, false);
  if (sink) sink->TextDataDone(TimeStamp(), flags);
}

void TSpcMode::EndRunningTexts(bool completeNow) {
  for (TSpeakCall* c = FActive; c; c = c->Prev) {
    c->Ended = true;
    if (completeNow) {
      c->TakenOver = true;
      CompleteEntry(*c, 0);
    }
  }
  if (FActive) FPlayer->Stop();
}

void TSpcMode::PumpMessages() {
  MsgWaitForMultipleObjectsEx(0, nullptr, kWaitSliceMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The program is ending: stop speaking, and give the quit back to the program's own loop
      // once the texts have returned.
      FQuitSeen = true;
      FQuitCode = static_cast<int>(msg.wParam);
      EndRunningTexts(false);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

HRESULT TSpcMode::ApplyRunState() {
  if (!FRunning) return FAudio->Stop();
  const HRESULT r = FPlayer->Resume();
  if (r != 0) return r;
  if (!FClaimed) return S_OK;  // between texts the device is not ours to start
  const HRESULT s = FAudio->Start();
  return s == AUDERR_ALREADYSTARTED ? S_OK : s;
}

HRESULT TSpcMode::AudioPause() {
  if (FAudioPaused) return TTSERR_ALREADYPAUSED;
  FAudio->Stop();
  if (FClaimed) {
    FAudio->UnClaim();
    FClaimed = false;
  }
  FAudioPaused = true;
  FRunning = false;
  return ApplyRunState();
}

HRESULT TSpcMode::AudioResume() {
  if (!FAudioPaused) return TTSERR_NOTPAUSED;
  if (FClaimed) return E_FAIL;
  // Only a text in progress needs the device; between texts the device is left alone, so that a
  // resume does not hold it while nothing is spoken.
  if (FSpeaking) {
    HRESULT r = FAudio->Claim();
    if (r != 0) return r;
    FClaimed = true;
    FAudioPaused = false;
    r = FAudio->Start();
    if (r != 0) return r;
  } else {
    FAudioPaused = false;
  }
  FRunning = true;
  return ApplyRunState();
}

HRESULT TSpcMode::AudioReset() {
  if (FClaimed && FAudioPaused) return E_FAIL;
  const TCallingOut callingOut(FCallingOut);  // TextDataDone below may let go of the mode
  if (!FAudioPaused) FAudio->Stop();
  FAudio->Flush();
  if (FClaimed) FAudio->UnClaim();
  FClaimed = false;
  FAudioPaused = false;
  FSpeaking = false;
  // A reset leaves the mode ready to speak again, also after a pause or the destination's end.
  FRunning = true;
  // The marks of the texts this ends are dropped, those still in the destination included.
  DropClientMarks(true, 0);
  // Texts the synthesizer holds paused are over; their Speak will not report an end.
  while (FPlayer->Paused() && !FTextQueue.empty())
    CompleteQueued(FTextQueue.begin(), TTSBNS_ABORTED);
  const DWORD serial = FActive ? FActive->Serial : 0;
  EndRunningTexts(false);
  PostToWindow(WM_TTS_STOP, serial, 0);
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Window side

void TSpcMode::DeliverToSinks(UINT msg, WPARAM wParam, LPARAM lParam) {
  const TCallingOut callingOut(FCallingOut);
  const QWORD stamp =
      (static_cast<QWORD>(static_cast<DWORD>(lParam)) << 32) | static_cast<DWORD>(wParam);
  // A sink's result is not read: one failing sink does not keep the others from hearing.
  FSinks.ForEach([&](ITTSNotifySinkA& sink) {
    switch (msg) {
      case WM_TTS_ATTRIBCHANGED:
        sink.AttribChanged(static_cast<DWORD>(wParam));
        break;
      case WM_TTS_AUDIOSTART:
        sink.AudioStart(stamp);
        break;
      case WM_TTS_AUDIOSTOP:
        sink.AudioStop(stamp);
        break;
      case WM_TTS_BOOKMARK: {
        // The mark is the letter's Windows-1254 code.
        const auto letter = static_cast<std::uint8_t>(wParam);
        FMouth = MouthShapeOf(letter);
        sink.Visual(TimeStamp(), static_cast<CHAR>(letter), static_cast<CHAR>(letter),
                    TTSNSHINT_COMMAND, &FMouth);
        break;
      }
      default:
        break;
    }
  });
}

void TSpcMode::StopBySerial(DWORD serial) {
  for (TSpeakCall* c = FActive; c; c = c->Prev)
    if (c->Serial == serial && serial != 0) {
      c->Ended = true;
      FPlayer->Stop();
    }
}

void TSpcMode::StopForEndOfSession() {
  EndRunningTexts(false);
  FPlayer->Stop();
}

QWORD TSpcMode::TimeStamp() {
  QWORD ts = 0;
  if (FAudio && FAILED(FAudio->TotalGet(&ts))) ts = 0;
  return ts;
}

void TSpcMode::PostToWindow(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (HWND h = WindowHandle()) PostMessageW(h, msg, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// Central: records and positions

HRESULT TSpcMode::ModeGet(PTTSMODEINFOW pInfo) {
  if (!pInfo) return E_INVALIDARG;
  *pInfo = FModeInfo;
  return S_OK;
}

HRESULT TSpcMode::PosnGet(PQWORD pqwTimeStamp) {
  if (!pqwTimeStamp) return E_INVALIDARG;
  return FAudio->PosnGet(pqwTimeStamp);
}

HRESULT TSpcMode::ToFileTime(PQWORD pqTimeStamp, FILETIME* pFiletime) {
  if (!pqTimeStamp || !pFiletime) return E_INVALIDARG;
  return FAudio->ToFileTime(pqTimeStamp, pFiletime);
}

}  // namespace kalvor
