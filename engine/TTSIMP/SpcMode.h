// TSpcMode: the voice mode object a SAPI 4 client gets from Select. It owns the synthesizer loaded
// with the voice, the client's audio destination, the queue of texts being spoken with their
// buffer sinks, the registered mode notification sinks and a hidden window through which the audio
// destination's notifications reach the client's thread.
//
// Text handed to TextData is spoken synchronously on the caller's thread: each unit or pause the
// synthesizer produces is written to the destination as soon as it has room, and while the mode
// waits for room it dispatches the thread's window messages. Pause, resume, reset, attribute calls
// and even another TextData may therefore arrive in the middle of a text, from the client's own
// message handlers; they act through the flags below, which the waits test.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ModeFacets.h"
#include "ModeSinks.h"
#include "MsgWindow.h"
#include "Speech.h"
#include "StrPlaySP.h"
#include "TaggedText.h"

namespace kalvor {

class TModeNotify;

// One text-queue entry. The references are counted: storing one adds a reference, completing the
// entry removes it, exactly once.
struct BUFLIST {
  IUnknown* VTxtSinkW = nullptr;  // IVTxtNotifySinkW: never handed a pointer (TextData refuses it)
  IUnknown* VTxtSinkA = nullptr;  // IVTxtNotifySinkA: likewise
  ITTSBufNotifySink* BufSink = nullptr;
  BYTE Started = 0;  // 1 once the text's first audio was handed over
  DWORD Serial = 0;  // of the TextData that queued it
};

// A point of a tagged text that waits for playback to reach it: a client's mark (\Mrk=N\),
// reported to the text's buffer sink, or a volume change (\Vol=N\, \Rst\), made when it is heard.
struct TClientMark {
  DWORD Id = 0;                       // the bookmark identifier in the audio stream
  DWORD Serial = 0;                   // of the TextData it belongs to
  ITTSBufNotifySink* Sink = nullptr;  // counted; nullptr for a volume change
  DWORD MarkNum = 0;
  bool IsVolume = false;
  DWORD Level = 0;  // for a volume change: the audio level to set
  bool Placed = false;
  QWORD Position = 0;  // the stream position it was placed at: the time stamp of its report
};

class TSpcMode final : public IUnknown {
 public:
  // Called when the reference count falls to zero (the module's ObjectReleased).
  using TReleaseNotify = void (*)();

  // Takes a reference to the audio object. The mode is not usable before Init succeeded.
  TSpcMode(IUnknown* audioObject, TReleaseNotify onRelease);
  ~TSpcMode();
  TSpcMode(const TSpcMode&) = delete;
  TSpcMode& operator=(const TSpcMode&) = delete;

  // Creates the synthesizer, announces the wave format to the audio destination, creates the
  // hidden window on the calling thread (which must then dispatch messages) and hands the
  // destination its notify sink. E_NOINTERFACE when the audio object is not an IAudio and
  // IAudioDest; the destination's own failure when it refuses the format.
  HRESULT Init();

  // The release at zero does not destroy the mode: its owner (the module) decides when it goes.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  LONG RefCount() const { return FRefCount; }
  // A TextData is running on the stack, or the mode is calling a client's sink (which may let go
  // of the mode): the mode must not be destroyed now.
  bool Busy() const { return FDepth > 0 || FCallingOut > 0; }
  TStrPlayer& Player() { return *FPlayer; }
  // The record ModeGet reports; Select fills it after Init.
  TTSMODEINFOW& ModeInfo() { return FModeInfo; }
  HWND WindowHandle() const;

  // The central's calls, behind its facets (wide texts and records; the ANSI facet converts).
  HRESULT TextData(VOICECHARSET eCharacterSet, DWORD dwFlags, SDATA text, PVOID pNotifyInterface,
                   const IID& iid);
  HRESULT ModeGet(PTTSMODEINFOW pInfo);
  HRESULT PosnGet(PQWORD pqwTimeStamp);
  HRESULT ToFileTime(PQWORD pqTimeStamp, FILETIME* pFiletime);
  HRESULT AudioPause();
  HRESULT AudioResume();
  HRESULT AudioReset();
  HRESULT Register(PVOID pNotifyInterface, const IID& iid, DWORD* pdwKey) {
    return FSinks.Register(pNotifyInterface, iid, pdwKey);
  }
  HRESULT UnRegister(DWORD dwKey) { return FSinks.UnRegister(dwKey); }

  // The attributes, behind the attribute facets.
  WORD PitchGet() const;
  void PitchSet(WORD wPitch);
  DWORD RealTimeGet() const { return FRealTime; }
  void RealTimeSet(DWORD dwRealTime);
  DWORD SpeedGet() const { return FSpeed; }
  void SpeedSet(DWORD dwSpeed);
  // The device level as a volume of 0..255 (left channel); the device's failure as it is.
  HRESULT VolumeGet(DWORD& volume);
  HRESULT VolumeSet(DWORD dwVolume);

  // Window side: TTTSMsgWindow dispatches to these on the owning thread.
  void DeliverToSinks(UINT msg, WPARAM wParam, LPARAM lParam);
  void StopBySerial(DWORD serial);
  void StopForEndOfSession();
  // The destination reports a client's mark reached, or flushed unplayed.
  void ClientMarkReached(DWORD id, bool flushed);

 private:
  // One TextData in progress; lives on that call's stack frame. Calls nest when a TextData arrives
  // from a message handler while another one is speaking.
  struct TSpeakCall {
    TSpeakCall* Prev = nullptr;
    DWORD Serial = 0;
    std::list<BUFLIST>::iterator Entry;
    bool HasEntry = false;
    // Stopped, reset, failed or taken over: whatever its Speak still produces is dropped.
    bool Ended = false;
    bool TakenOver = false;  // ended by a newer text
    bool Wrote = false;      // some of its audio went to the destination
  };

  // What TextData speaks: the engine's text and, for a tagged text, its cues and tags.
  struct TEngineInput {
    std::string Text;  // Windows-1254
    TTaggedText Tagged;
    std::vector<std::size_t> Cues;     // byte offsets in Text where tags act
    std::vector<std::size_t> CueTags;  // index of the first tag of each cue
  };
  // TextData's steps.
  // The text in the engine's code page, tags taken out and turned into cues.
  static TEngineInput PrepareText(std::wstring_view source, DWORD dwFlags);
  // The queue entry that carries the text's buffer sink to the end of the text.
  void QueueEntry(TSpeakCall& call, PVOID pNotifyInterface, const IID& iid);
  // The device is claimed for the text unless it is already ours or paused.
  HRESULT ClaimForText(TSpeakCall& call);
  // The synthesizer run, which calls HandlePlaySyl for each batch; exceptions end as results.
  HRESULT SpeakInput(TSpeakCall& call, const TEngineInput& input, bool& failed);
  // The text's end: entry, marks, device and a postponed quit are settled.
  HRESULT FinishText(TSpeakCall& call, HRESULT result, bool failed);

  // One batch of the synthesizer (a unit or a pause) to the destination.
  void HandlePlaySyl(TStr3 Syl, std::int32_t& HRES);
  // HandlePlaySyl's steps.
  // Waits until the destination has room for the batch; while paused the batch is held (those
  // waits do not count). False when the text ended meanwhile, or the destination failed, ended
  // or never made room.
  bool WaitForRoom(TSpeakCall& call, std::int32_t& HRES);
  // The unit name as the letters' marks and the word positions count it: the dotted capital I is
  // stored as "0" in some names, and the position marker "_" is no letter.
  static std::string ReportedUnitName(std::string_view unit);
  // Bookmarks for the letters [from, to) of the name, at the current end of the stream.
  void MarkLetters(const std::string& name, std::size_t from, std::size_t to);
  // TextDataStarted before the text's first audio, a word position after each sentence.
  void ReportUnitToBufferSink(TSpeakCall& call, std::size_t nameLength);
  // Hands the batch to the destination while the device is ours.
  void WriteBatch(TSpeakCall& call, std::int32_t& HRES);
  void HandleEndOfData();
  void PumpMessages();
  HRESULT ApplyRunState();
  // Ends every text in progress: their Speak stops at its next check and whatever it still
  // produces is dropped. With completeNow their queue entries are completed at once.
  void EndRunningTexts(bool completeNow);
  void CompleteEntry(TSpeakCall& call, DWORD flags);
  void CompleteQueued(std::list<BUFLIST>::iterator entry, DWORD flags);
  QWORD TimeStamp();
  void PostToWindow(UINT msg, WPARAM wParam, LPARAM lParam);

  // Tagged texts (TaggedText.h): the tags of one place in the text, acted on when the synthesizer
  // reaches it.
  struct TTagState {
    std::int32_t Hiz;  // as the text began: what a reset tag goes back to
    DWORD Speed;
    bool HasLevel;
    DWORD Level;
  };
  void ApplyTag(TSpeakCall& call, TTagState& state, const TTextTag& tag);
  void AddClientMark(TClientMark mark);
  // A volume change of the text, made when playback reaches the current end of the stream.
  void AddVolumeChange(DWORD serial, DWORD level);
  bool HasClientMarks(DWORD serial) const;
  // Puts the text's new marks into the audio stream at the current end of it.
  void PlaceClientMarks(DWORD serial);
  // At the end of a text: its marks come back before its TextDataDone.
  void AwaitClientMarks(TSpeakCall& call);
  // Reports (or makes) the mark at it, which is out of the table before the client hears of it.
  void DeliverClientMark(std::size_t index);
  // Marks that will not be reached any more; a volume change among them is made all the same.
  void DropClientMarks(bool all, DWORD serial);

  // The audio level VolumeSet gives the destination for a volume of 0..255 (above: full).
  static DWORD VolumeLevel(DWORD dwVolume);

  std::unique_ptr<TTTSMsgWindow> FMsgWindow;
  LONG FRefCount = 0;
  TReleaseNotify FOnRelease;
  TModeITTSAttributesW FAttributesW{*this};
  TModeITTSAttributesA FAttributesA{*this};
  TModeITTSCentralW FCentralW{*this};
  TModeITTSCentralA FCentralA{*this};
  TModeITTSDialogsW FDialogsW{*this};
  TModeITTSDialogsA FDialogsA{*this};
  IUnknown* FAudioObject = nullptr;
  IAudio* FAudio = nullptr;
  IAudioDest* FAudioDest = nullptr;
  TModeNotify* FNotify = nullptr;
  DWORD FRealTime = 0;
  DWORD FSpeed = 100;
  TTSMODEINFOW FModeInfo{};
  bool FClaimed = false;
  bool FAudioPaused = false;
  bool FSpeaking = false;
  std::list<BUFLIST> FTextQueue;
  TModeSinks FSinks;
  bool FRunning = true;
  DWORD FWordOffset = 0;
  TTSMOUTH FMouth{};
  std::unique_ptr<TStrPlayer> FPlayer;
  std::string FLastUnit;

  TSpeakCall* FActive = nullptr;  // innermost TextData in progress
  int FDepth = 0;
  int FCallingOut = 0;  // sink deliveries on the stack outside a TextData (see Busy)
  // Counts one delivery for Busy while it lives.
  struct TCallingOut {
    explicit TCallingOut(int& count) : FCount(count) { ++FCount; }
    ~TCallingOut() { --FCount; }
    TCallingOut(const TCallingOut&) = delete;
    TCallingOut& operator=(const TCallingOut&) = delete;
    int& FCount;
  };
  DWORD FLastSerial = 0;
  std::vector<TClientMark> FClientMarks;  // in the order they were made
  DWORD FNextClientMarkId = kFirstClientMarkId;
  bool FTagPause = false;  // the pause being handed over is a tag's, not a sentence's
  bool FQuitSeen = false;  // a WM_QUIT came up while pumping: re-posted when the texts are done
  int FQuitCode = 0;
};

// num / den rounded to the nearest whole number, halves to the even neighbour (den > 0): the
// integer scaling between the SAPI pitch and the synthesizer's rate.
std::int64_t DivideRoundHalfEven(std::int64_t num, std::int64_t den);

}  // namespace kalvor
