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
#include <vector>

#include "ComEntry.h"
#include "Speech.h"
#include "StrPlaySP.h"
#include "TaggedText.h"

namespace kalvor {

class TSpcMode;
class TTTSMsgWindow;

// Private messages of the mode's window.
constexpr UINT WM_TTS_ATTRIBCHANGED = WM_APP + 0x69;  // wParam: attribute code 0..3
constexpr UINT WM_TTS_AUDIOSTART = WM_APP + 0x6A;     // wParam/lParam: time stamp, low/high
constexpr UINT WM_TTS_AUDIOSTOP = WM_APP + 0x6B;      // wParam/lParam: time stamp, low/high
constexpr UINT WM_TTS_BOOKMARK = WM_APP + 0x6C;       // wParam = lParam: the mark (a character)
constexpr UINT WM_TTS_STOP = WM_APP + 0x6D;           // wParam: serial of the text to stop
constexpr UINT WM_TTS_CLIENTMARK = WM_APP + 0x6E;     // wParam: mark identifier; lParam: flushed

// Bookmarks the mode places in the audio stream: below this, the letters whose mouth shapes the
// visual notifications carry (a Windows-1254 code); from it on, the marks of tagged texts.
constexpr DWORD kFirstClientMarkId = 0x10000;

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

// One registered mode notification sink (counted reference).
struct TSinkReg {
  ITTSNotifySinkA* Sink = nullptr;
  IID Iid{};
  DWORD Key = 0;
};

// The mode's IAudioDestNotifySink. The audio destination calls it from a thread of its own; it
// turns every event into a message posted to the mode's window, so that the mode itself is only
// ever touched on its own thread. It is reference counted on its own (the mode holds one reference)
// and is detached from the mode before the mode goes, so a destination that calls or releases it
// late reaches a harmless object, not a destroyed mode.
class TModeNotify final : public IAudioDestNotifySink {
 public:
  TModeNotify(HWND window, IAudio* audio);
  TModeNotify(const TModeNotify&) = delete;
  TModeNotify& operator=(const TModeNotify&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE AudioStop(WORD wReason) override;
  HRESULT STDMETHODCALLTYPE AudioStart() override;
  HRESULT STDMETHODCALLTYPE FreeSpace(DWORD dwBytes, BOOL fEOF) override;
  HRESULT STDMETHODCALLTYPE BookMark(DWORD dwMarkID, BOOL fFlushed) override;

  // From the mode's thread, before the window and the audio object go away.
  void Detach();

 private:
  ~TModeNotify();
  void PostTimeStamp(UINT msg);

  LONG FRefCount = 1;
  CRITICAL_SECTION FLock;
  HWND FWindow;
  IAudio* FAudio;  // counted while attached
};

// Facets forward reference counting and interface queries to their mode, whose count alone decides
// the lifetime; each holds nothing but the link back.
template <class I>
using TModeFacet = TFacet<TSpcMode, I>;

class TModeITTSCentralW final : public TModeFacet<ITTSCentralW> {
 public:
  using TFacet::TFacet;
  HRESULT STDMETHODCALLTYPE Inject(const WCHAR* pszTag) override;
  HRESULT STDMETHODCALLTYPE ModeGet(PTTSMODEINFOW pttsInfo) override;
  HRESULT STDMETHODCALLTYPE Phoneme(VOICECHARSET eCharacterSet, DWORD dwFlags, SDATA dText,
                                    PSDATA pdPhoneme) override;
  HRESULT STDMETHODCALLTYPE PosnGet(PQWORD pqwTimeStamp) override;
  HRESULT STDMETHODCALLTYPE TextData(VOICECHARSET eCharacterSet, DWORD dwFlags, SDATA dText,
                                     PVOID pNotifyInterface, IID IIDNotifyInterface) override;
  HRESULT STDMETHODCALLTYPE ToFileTime(PQWORD pqTimeStamp, FILETIME* pFiletime) override;
  HRESULT STDMETHODCALLTYPE AudioPause() override;
  HRESULT STDMETHODCALLTYPE AudioResume() override;
  HRESULT STDMETHODCALLTYPE AudioReset() override;
  HRESULT STDMETHODCALLTYPE Register(PVOID pNotifyInterface, IID IIDNotifyInterface,
                                     DWORD* pdwKey) override;
  HRESULT STDMETHODCALLTYPE UnRegister(DWORD dwKey) override;
};

// The ANSI central: texts and names go through the system ANSI code page, the A client's own.
class TModeITTSCentralA final : public TModeFacet<ITTSCentralA> {
 public:
  using TFacet::TFacet;
  HRESULT STDMETHODCALLTYPE Inject(const CHAR* pszTag) override;
  HRESULT STDMETHODCALLTYPE ModeGet(PTTSMODEINFOA pttsInfo) override;
  HRESULT STDMETHODCALLTYPE Phoneme(VOICECHARSET eCharacterSet, DWORD dwFlags, SDATA dText,
                                    PSDATA pdPhoneme) override;
  HRESULT STDMETHODCALLTYPE PosnGet(PQWORD pqwTimeStamp) override;
  HRESULT STDMETHODCALLTYPE TextData(VOICECHARSET eCharacterSet, DWORD dwFlags, SDATA dText,
                                     PVOID pNotifyInterface, IID IIDNotifyInterface) override;
  HRESULT STDMETHODCALLTYPE ToFileTime(PQWORD pqTimeStamp, FILETIME* pFiletime) override;
  HRESULT STDMETHODCALLTYPE AudioPause() override;
  HRESULT STDMETHODCALLTYPE AudioResume() override;
  HRESULT STDMETHODCALLTYPE AudioReset() override;
  HRESULT STDMETHODCALLTYPE Register(PVOID pNotifyInterface, IID IIDNotifyInterface,
                                     DWORD* pdwKey) override;
  HRESULT STDMETHODCALLTYPE UnRegister(DWORD dwKey) override;
};

class TModeITTSAttributesW final : public TModeFacet<ITTSAttributesW> {
 public:
  using TFacet::TFacet;
  HRESULT STDMETHODCALLTYPE PitchGet(WORD* pwPitch) override;
  HRESULT STDMETHODCALLTYPE PitchSet(WORD wPitch) override;
  HRESULT STDMETHODCALLTYPE RealTimeGet(DWORD* pdwRealTime) override;
  HRESULT STDMETHODCALLTYPE RealTimeSet(DWORD dwRealTime) override;
  HRESULT STDMETHODCALLTYPE SpeedGet(DWORD* pdwSpeed) override;
  HRESULT STDMETHODCALLTYPE SpeedSet(DWORD dwSpeed) override;
  HRESULT STDMETHODCALLTYPE VolumeGet(DWORD* pdwVolume) override;
  HRESULT STDMETHODCALLTYPE VolumeSet(DWORD dwVolume) override;
};

class TModeITTSAttributesA final : public TModeFacet<ITTSAttributesA> {
 public:
  using TFacet::TFacet;
  HRESULT STDMETHODCALLTYPE PitchGet(WORD* pwPitch) override;
  HRESULT STDMETHODCALLTYPE PitchSet(WORD wPitch) override;
  HRESULT STDMETHODCALLTYPE RealTimeGet(DWORD* pdwRealTime) override;
  HRESULT STDMETHODCALLTYPE RealTimeSet(DWORD dwRealTime) override;
  HRESULT STDMETHODCALLTYPE SpeedGet(DWORD* pdwSpeed) override;
  HRESULT STDMETHODCALLTYPE SpeedSet(DWORD dwSpeed) override;
  HRESULT STDMETHODCALLTYPE VolumeGet(DWORD* pdwVolume) override;
  HRESULT STDMETHODCALLTYPE VolumeSet(DWORD dwVolume) override;
};

// The engine has no dialogs: every dialog call succeeds without showing a window. The dialog
// objects are facets like the others, so that a client can query back from them to the mode.
class TModeITTSDialogsW final : public TModeFacet<ITTSDialogsW> {
 public:
  using TFacet::TFacet;
  HRESULT STDMETHODCALLTYPE AboutDlg(HWND hWndParent, const WCHAR* pszTitle) override;
  HRESULT STDMETHODCALLTYPE LexiconDlg(HWND hWndParent, const WCHAR* pszTitle) override;
  HRESULT STDMETHODCALLTYPE GeneralDlg(HWND hWndParent, const WCHAR* pszTitle) override;
  HRESULT STDMETHODCALLTYPE TranslateDlg(HWND hWndParent, const WCHAR* pszTitle) override;
};

class TModeITTSDialogsA final : public TModeFacet<ITTSDialogsA> {
 public:
  using TFacet::TFacet;
  HRESULT STDMETHODCALLTYPE AboutDlg(HWND hWndParent, const CHAR* pszTitle) override;
  HRESULT STDMETHODCALLTYPE LexiconDlg(HWND hWndParent, const CHAR* pszTitle) override;
  HRESULT STDMETHODCALLTYPE GeneralDlg(HWND hWndParent, const CHAR* pszTitle) override;
  HRESULT STDMETHODCALLTYPE TranslateDlg(HWND hWndParent, const CHAR* pszTitle) override;
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

 private:
  friend class TModeITTSCentralW;
  friend class TModeITTSCentralA;
  friend class TModeITTSAttributesW;
  friend class TModeITTSAttributesA;
  friend class TTTSMsgWindow;

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

  HRESULT TextData(VOICECHARSET eCharacterSet, DWORD dwFlags, SDATA text, PVOID pNotifyInterface,
                   const IID& iid);
  HRESULT ModeGet(PTTSMODEINFOW pInfo);
  HRESULT PosnGet(PQWORD pqwTimeStamp);
  HRESULT ToFileTime(PQWORD pqTimeStamp, FILETIME* pFiletime);
  HRESULT AudioPause();
  HRESULT AudioResume();
  HRESULT AudioReset();
  HRESULT Register(PVOID pNotifyInterface, const IID& iid, DWORD* pdwKey);
  HRESULT UnRegister(DWORD dwKey);

  void HandlePlaySyl(TStr3 Syl, std::int32_t& HRES);
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
  bool HasClientMarks(DWORD serial) const;
  // Puts the text's new marks into the audio stream at the current end of it.
  void PlaceClientMarks(DWORD serial);
  // At the end of a text: its marks come back before its TextDataDone.
  void AwaitClientMarks(TSpeakCall& call);
  // Window side: the destination reports a mark reached, or flushed unplayed.
  void ClientMarkReached(DWORD id, bool flushed);
  // Reports (or makes) the mark at it, which is out of the table before the client hears of it.
  void DeliverClientMark(std::size_t index);
  // Marks that will not be reached any more; a volume change among them is made all the same.
  void DropClientMarks(bool all, DWORD serial);

  // Window side (TTTSMsgWindow dispatches to these on the owning thread).
  void DeliverToSinks(UINT msg, WPARAM wParam, LPARAM lParam);
  void StopBySerial(DWORD serial);
  void StopForEndOfSession();

  // Attributes.
  WORD PitchGet() const;
  void PitchSet(WORD wPitch);
  void SpeedSet(DWORD dwSpeed);
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
  std::vector<TSinkReg> FSinkList;
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

// Round(num / den) with halves going to the even neighbour (den > 0).
std::int64_t RoundHalfEven(std::int64_t num, std::int64_t den);

}  // namespace kalvor
