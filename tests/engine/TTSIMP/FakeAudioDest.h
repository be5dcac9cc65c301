// Test doubles for the mode's COM boundary: an audio destination that records what it is given and
// plays it on a thread of its own, as a device does, and recording sinks that keep their
// reference counts.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ComSupport.h"
#include "Speech.h"

namespace kalvor::test {

// IAudio + IAudioDest. Everything written is kept in Written(); a device thread "plays" it at a
// configurable pace, reporting AudioStart and every bookmark it passes to the notify sink, from
// that thread.
class FakeAudioDest final : public sapi4::TComObject<IAudio, IAudioDest> {
 public:
  struct Config {
    DWORD capacity = 1u << 26;       // bytes the device holds before it has no room
    DWORD bytesPerMs = 0;            // playing pace; 0 plays everything as soon as it is started
    std::optional<DWORD> freeSpace;  // report this room instead of the real one
    std::uint64_t eofAfter = UINT64_MAX;  // report end of file once this many bytes were written
    HRESULT claimResult = S_OK;
    HRESULT startResult = S_OK;
    HRESULT unclaimResult = S_OK;
    HRESULT freeSpaceResult = S_OK;
    HRESULT dataSetResult = S_OK;
    HRESULT waveFormatSetResult = S_OK;
    HRESULT levelResult = S_OK;
    std::optional<QWORD> totalGet;  // the time stamp to report; by default the bytes written
    bool reportMarks = true;        // false: a device that never reports its bookmarks
  };

  struct Mark {
    DWORD id;
    std::size_t position;  // bytes written before it
  };

  FakeAudioDest();
  FakeAudioDest(const FakeAudioDest&) = delete;
  FakeAudioDest& operator=(const FakeAudioDest&) = delete;

  // Configure before use or between texts.
  Config config;
  // Runs inside DataSet, on the caller's thread, with the 1-based number of the DataSet call.
  std::function<void(std::size_t)> onDataSet;

  // IAudio
  HRESULT STDMETHODCALLTYPE Flush() override;
  HRESULT STDMETHODCALLTYPE LevelGet(DWORD* pdwLevel) override;
  HRESULT STDMETHODCALLTYPE LevelSet(DWORD dwLevel) override;
  HRESULT STDMETHODCALLTYPE PassNotify(PVOID pNotifyInterface, IID IIDNotifyInterface) override;
  HRESULT STDMETHODCALLTYPE PosnGet(PQWORD pqwTimeStamp) override;
  HRESULT STDMETHODCALLTYPE Claim() override;
  HRESULT STDMETHODCALLTYPE UnClaim() override;
  HRESULT STDMETHODCALLTYPE Start() override;
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE TotalGet(PQWORD pqwTimeStamp) override;
  HRESULT STDMETHODCALLTYPE ToFileTime(PQWORD pqTimeStamp, FILETIME* pFiletime) override;
  HRESULT STDMETHODCALLTYPE WaveFormatGet(PSDATA pdWFEX) override;
  HRESULT STDMETHODCALLTYPE WaveFormatSet(SDATA dWFEX) override;
  // IAudioDest
  HRESULT STDMETHODCALLTYPE FreeSpace(DWORD* pdwBytes, BOOL* pfEOF) override;
  HRESULT STDMETHODCALLTYPE DataSet(PVOID pBuffer, DWORD dwSize) override;
  HRESULT STDMETHODCALLTYPE BookMark(DWORD dwMarkID) override;

  // What happened, in order: "Claim", "Start", "DataSet", "BookMark 65", "Stop", ... (FreeSpace
  // is only counted).
  std::vector<std::string> Calls() const;
  std::vector<std::uint8_t> Written() const;
  std::vector<Mark> Marks() const;
  std::vector<std::size_t> DataSetSizes() const;
  std::size_t FreeSpaceCalls() const;
  bool Claimed() const;
  bool HasNotifySink() const;
  IAudioDestNotifySink* NotifySink() const;  // not counted: only for calling it from a test
  std::vector<std::uint8_t> WaveFormat() const;
  DWORD Level() const;
  IUnknown* Unknown() { return static_cast<IAudio*>(this); }
  // Waits until the device thread has played everything written so far (or the timeout).
  bool WaitPlayed(DWORD timeoutMs = 5000) const;

 private:
  ~FakeAudioDest() override;
  void Log(std::string s);
  void DeviceThread();
  // A copy of a member taken under the lock, for the accessors.
  template <class T>
  T Locked(const T& member) const {
    std::lock_guard<std::mutex> lock(m_);
    return member;
  }

  mutable std::mutex m_;
  mutable std::condition_variable cv_;
  std::vector<std::string> calls_;
  std::vector<std::uint8_t> written_;
  std::vector<Mark> marks_;
  std::vector<std::size_t> dataSetSizes_;
  std::size_t freeSpaceCalls_ = 0;
  std::vector<std::uint8_t> format_;
  DWORD level_ = 0x80008000;
  bool claimed_ = false;
  bool started_ = false;
  bool announcedStart_ = false;
  std::size_t played_ = 0;    // position of the device in written_
  std::size_t nextMark_ = 0;  // first mark not yet reported
  IAudioDestNotifySink* sink_ = nullptr;
  bool quit_ = false;
  std::thread thread_;
};

// A COM object with an honest reference count; the test holds the first reference.
template <class I>
class Counted : public sapi4::TComObject<I> {
 protected:
  Counted() : sapi4::TComObject<I>(1) {}
};

// ITTSBufNotifySink that writes every call into a journal ("Started", "WordPosition 12",
// "Done 0", "BookMark 3") with its time stamp; hooks run inside the calls.
class RecordingBufSink final : public Counted<ITTSBufNotifySink> {
 public:
  std::vector<std::string> events;
  // When set, every event also goes here as "NAME EVENT", to see the order across sinks.
  std::vector<std::string>* journal = nullptr;
  std::string name;
  std::vector<QWORD> stamps;
  std::function<void()> onStarted;
  std::function<void(DWORD)> onBookMark;

 private:
  void Record(std::string event, QWORD stamp);

 public:
  HRESULT STDMETHODCALLTYPE TextDataDone(QWORD qTimeStamp, DWORD dwFlags) override;
  HRESULT STDMETHODCALLTYPE TextDataStarted(QWORD qTimeStamp) override;
  HRESULT STDMETHODCALLTYPE BookMark(QWORD qTimeStamp, DWORD dwMarkNum) override;
  HRESULT STDMETHODCALLTYPE WordPosition(QWORD qTimeStamp, DWORD dwByteOffset) override;
};

// ITTSNotifySinkA that keeps what it is told.
class RecordingModeSink final : public Counted<ITTSNotifySinkA> {
 public:
  struct Visual {
    std::uint8_t ipa, engine;
    DWORD hints;
    TTSMOUTH mouth;
    QWORD stamp;
  };
  std::vector<DWORD> attribs;
  std::vector<QWORD> starts, stops;
  std::vector<Visual> visuals;

  HRESULT STDMETHODCALLTYPE AttribChanged(DWORD dwAttribute) override;
  HRESULT STDMETHODCALLTYPE AudioStart(QWORD qTimeStamp) override;
  HRESULT STDMETHODCALLTYPE AudioStop(QWORD qTimeStamp) override;
  HRESULT STDMETHODCALLTYPE Visual(QWORD qTimeStamp, CHAR cIPAPhoneme, CHAR cEnginePhoneme,
                                   DWORD dwHints, PTTSMOUTH pTTSMouth) override;
};

// A hidden window of the test's own that runs closures posted to it: the stand-in for a client's
// message handlers, which the mode dispatches while it waits inside a text.
class HandlerWindow {
 public:
  HandlerWindow();
  ~HandlerWindow();
  HandlerWindow(const HandlerWindow&) = delete;
  HandlerWindow& operator=(const HandlerWindow&) = delete;
  // From any thread: run f when the window's thread next dispatches messages.
  void Post(std::function<void()> f) const;
  HWND Handle() const { return hwnd_; }
  // Dispatches this thread's messages for about ms milliseconds, or until done() holds.
  static void Pump(DWORD ms, const std::function<bool()>& done = {});

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HWND hwnd_ = nullptr;
};

// Posts WM_NULL to a window every few milliseconds from a thread of its own, as a busy device's
// notifications would; each one ends one of the mode's waits for room.
class Ticker {
 public:
  Ticker(HWND target, DWORD everyMs);
  ~Ticker();
  Ticker(const Ticker&) = delete;
  Ticker& operator=(const Ticker&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace kalvor::test
