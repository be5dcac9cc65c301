#include "MMAudioDest.h"

#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "RuntimeModule.h"
#include "Speech.h"

namespace sapi4rt {
namespace {

// waveOut is fed in slices of this length, with at most kDeviceSlices of them queued, so that the
// position reported (and the bookmarks) follow what is heard within a slice.
constexpr DWORD kSliceMs = 50;
constexpr std::size_t kDeviceSlices = 4;

// What the thread reports, in the order it happened.
struct TEvent {
  enum Kind { Start, Stop, Free, Mark } kind;
  DWORD a = 0;     // Stop: reason; Free: bytes; Mark: identifier
  BOOL b = FALSE;  // Free: end of file; Mark: flushed
};

struct TMark {
  QWORD pos;
  DWORD id;
};

// A WAV file written as the audio is consumed; the sizes in its header are brought up to date
// whenever the audio runs dry and when the file is closed, so that it is complete after every text.
class TWavFile {
 public:
  ~TWavFile() { Close(); }

  HRESULT Open(const std::wstring& path, const WAVEFORMATEX& format) {
    if (FFile != INVALID_HANDLE_VALUE) {
      // Each claim appends; the samples must keep one format within one file.
      if (format.nSamplesPerSec != FFormat.nSamplesPerSec ||
          format.wBitsPerSample != FFormat.wBitsPerSample || format.nChannels != FFormat.nChannels)
        return TTSERR_WAVEFORMATNOTSUPPORTED;
      return S_OK;
    }
    FFile = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (FFile == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
    FFormat = format;
    FData = 0;
    FFailed = false;
    WriteHeader();
    return FFailed ? HRESULT_FROM_WIN32(ERROR_WRITE_FAULT) : S_OK;
  }

  void Write(const std::uint8_t* p, std::size_t n) {
    if (FFile == INVALID_HANDLE_VALUE || n == 0) return;
    DWORD written = 0;
    if (!WriteFile(FFile, p, static_cast<DWORD>(n), &written, nullptr) || written != n)
      FFailed = true;
    FData += written;
  }

  // Brings the header's sizes up to date and goes back to the end.
  void Sync() {
    if (FFile == INVALID_HANDLE_VALUE) return;
    WriteHeader();
    LARGE_INTEGER zero{};
    SetFilePointerEx(FFile, zero, nullptr, FILE_END);
  }

  void Close() {
    if (FFile == INVALID_HANDLE_VALUE) return;
    WriteHeader();
    CloseHandle(FFile);
    FFile = INVALID_HANDLE_VALUE;
  }

 private:
  static void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  static void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
  }

  void WriteHeader() {
    std::uint8_t h[44];
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, static_cast<std::uint32_t>(36 + FData));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, WAVE_FORMAT_PCM);
    Put16(h + 22, FFormat.nChannels);
    Put32(h + 24, FFormat.nSamplesPerSec);
    Put32(h + 28, FFormat.nAvgBytesPerSec);
    Put16(h + 32, FFormat.nBlockAlign);
    Put16(h + 34, FFormat.wBitsPerSample);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, static_cast<std::uint32_t>(FData));
    LARGE_INTEGER zero{};
    SetFilePointerEx(FFile, zero, nullptr, FILE_BEGIN);
    DWORD written = 0;
    if (!WriteFile(FFile, h, sizeof h, &written, nullptr) || written != sizeof h) FFailed = true;
  }

  HANDLE FFile = INVALID_HANDLE_VALUE;
  WAVEFORMATEX FFormat{};
  std::uint64_t FData = 0;
  bool FFailed = false;
};

// One slice queued on the wave device.
struct TSlice {
  WAVEHDR Header{};
  std::vector<std::uint8_t> Bytes;
};

bool ParseNumber(const std::wstring& s, double& v) {
  if (s.empty()) return false;
  wchar_t* end = nullptr;
  v = std::wcstod(s.c_str(), &end);
  return end && *end == L'\0' && v >= 0 && v < 1e6;
}

// One identity for the three interfaces.
class TMMAudioDest final : public TComObject<IAudio, IAudioDest, IAudioMultiMediaDevice> {
 public:
  explicit TMMAudioDest(const TAudioSettings& settings) : FSettings(settings) {
    InitializeCriticalSection(&FLock);
    FWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!FWake) {
      DeleteCriticalSection(&FLock);
      throw std::bad_alloc();
    }
    FThread = CreateThread(nullptr, 0, &ThreadMain, this, 0, nullptr);
    if (!FThread) {
      CloseHandle(FWake);
      DeleteCriticalSection(&FLock);
      throw std::bad_alloc();
    }
    ObjectCreated();
  }

  // IAudio
  HRESULT STDMETHODCALLTYPE Flush() override {
    TLock lock(this);
    // Whatever was not played is skipped: the position moves to the end of what was written, and
    // the bookmarks in it are reported as flushed.
    FBuffer.clear();
    FPosn = FTotal;
    for (const TMark& m : FMarks) Post({TEvent::Mark, m.id, TRUE});
    FMarks.clear();
    if (FDevice) {
      waveOutReset(FDevice);
      for (TSlice& sl : FSlices) waveOutUnprepareHeader(FDevice, &sl.Header, sizeof sl.Header);
      FSlices.clear();
      FDevicePosn = FTotal;
    }
    FUnderrun = true;
    Post({TEvent::Free, Capacity(), FALSE});
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE LevelGet(DWORD* pdwLevel) override { return Read(pdwLevel, FLevel); }
  // The level is the device's volume; a WAV file keeps the samples as they came.
  HRESULT STDMETHODCALLTYPE LevelSet(DWORD dwLevel) override {
    TLock lock(this);
    FLevel = dwLevel;
    if (FDevice) waveOutSetVolume(FDevice, dwLevel);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE PassNotify(PVOID pNotifyInterface, IID iid) override {
    if (pNotifyInterface && !IsEqualIID(iid, IID_IAudioDestNotifySink)) return E_NOINTERFACE;
    auto* sink = static_cast<IAudioDestNotifySink*>(pNotifyInterface);
    if (sink) sink->AddRef();
    IAudioDestNotifySink* old;
    {
      TLock lock(this);
      old = FSink;
      FSink = sink;
    }
    if (old) old->Release();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE PosnGet(PQWORD pqwTimeStamp) override {
    return Read(pqwTimeStamp, FPosn);
  }

  HRESULT STDMETHODCALLTYPE Claim() override {
    TLock lock(this);
    if (FClaimed) return AUDERR_ALREADYCLAIMED;
    if (!FHasFormat) return AUDERR_NEEDWAVEFORMAT;
    const HRESULT r = OpenOutput();
    if (FAILED(r)) return r;
    FClaimed = true;
    return S_OK;
  }

  // The claim ends; what is buffered still plays out, and then the destination stops by itself.
  HRESULT STDMETHODCALLTYPE UnClaim() override {
    TLock lock(this);
    if (!FClaimed) return AUDERR_NOTCLAIMED;
    FClaimed = false;
    Wake();
    return S_OK;
  }

  // Starting a started destination is harmless: a client that claims it again for the next text
  // while the previous one still plays out finds it running.
  HRESULT STDMETHODCALLTYPE Start() override {
    TLock lock(this);
    if (FStarted) return S_OK;
    FStarted = true;
    if (FDevice) waveOutRestart(FDevice);
    Wake();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Stop() override {
    TLock lock(this);
    if (!FStarted) return S_OK;
    FStarted = false;
    FUnderrun = true;
    if (FDevice) waveOutPause(FDevice);
    if (FPlaying) {
      FPlaying = false;
      Post({TEvent::Stop, IANSRSN_INACTIVE, FALSE});
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE TotalGet(PQWORD pqwTimeStamp) override {
    return Read(pqwTimeStamp, FTotal);
  }

  // The wall-clock time at which a position is (or was) played, reckoned from the position now.
  HRESULT STDMETHODCALLTYPE ToFileTime(PQWORD pqTimeStamp, FILETIME* pFiletime) override {
    if (!pqTimeStamp || !pFiletime) return E_POINTER;
    TLock lock(this);
    if (!FHasFormat || FFormat.nAvgBytesPerSec == 0) return AUDERR_NEEDWAVEFORMAT;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t;
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    const double seconds =
        (static_cast<double>(*pqTimeStamp) - static_cast<double>(FPosn)) / FFormat.nAvgBytesPerSec;
    t.QuadPart = static_cast<ULONGLONG>(static_cast<double>(t.QuadPart) + seconds * 1e7);
    pFiletime->dwLowDateTime = t.LowPart;
    pFiletime->dwHighDateTime = t.HighPart;
    return S_OK;
  }

  // The format is handed out in memory of COM's task allocator, which the caller frees.
  HRESULT STDMETHODCALLTYPE WaveFormatGet(PSDATA pdWFEX) override {
    if (!pdWFEX) return E_POINTER;
    TLock lock(this);
    if (!FHasFormat) return AUDERR_NEEDWAVEFORMAT;
    void* p = CoTaskMemAlloc(sizeof(WAVEFORMATEX));
    if (!p) return E_OUTOFMEMORY;
    std::memcpy(p, &FFormat, sizeof(WAVEFORMATEX));
    pdWFEX->pData = p;
    pdWFEX->dwSize = sizeof(WAVEFORMATEX);
    return S_OK;
  }

  // Plain PCM only, mono or stereo, 8 or 16 bits: what waveOut and a WAV file both take as is.
  HRESULT STDMETHODCALLTYPE WaveFormatSet(SDATA dWFEX) override {
    if (!dWFEX.pData || dWFEX.dwSize < 16) return E_INVALIDARG;
    WAVEFORMATEX f{};
    std::memcpy(&f, dWFEX.pData, std::min<std::size_t>(dWFEX.dwSize, sizeof f));
    if (dWFEX.dwSize < sizeof f) f.cbSize = 0;
    if (f.wFormatTag != WAVE_FORMAT_PCM || f.nChannels < 1 || f.nChannels > 2 ||
        (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) || f.nSamplesPerSec < 1000 ||
        f.nSamplesPerSec > 192000 || f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8 ||
        f.nAvgBytesPerSec != f.nSamplesPerSec * f.nBlockAlign)
      return TTSERR_WAVEFORMATNOTSUPPORTED;
    TLock lock(this);
    if (FClaimed) return AUDERR_ALREADYCLAIMED;
    // A new format needs the device opened again for it.
    if (FDevice && std::memcmp(&f, &FFormat, sizeof f) != 0) CloseDevice();
    FFormat = f;
    FHasFormat = true;
    return S_OK;
  }

  // IAudioDest
  HRESULT STDMETHODCALLTYPE FreeSpace(DWORD* pdwBytes, BOOL* pfEOF) override {
    if (!pdwBytes) return E_POINTER;
    TLock lock(this);
    *pdwBytes = FreeBytes();
    if (pfEOF) *pfEOF = FALSE;
    return S_OK;
  }

  // A batch larger than the free space is refused whole: the buffer is bounded, and a part of a
  // batch is never taken silently.
  HRESULT STDMETHODCALLTYPE DataSet(PVOID pBuffer, DWORD dwSize) override {
    if (dwSize == 0) return S_OK;
    if (!pBuffer) return E_POINTER;
    TLock lock(this);
    if (!FClaimed) return AUDERR_NOTCLAIMED;
    if (dwSize > FreeBytes()) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    const auto* p = static_cast<const std::uint8_t*>(pBuffer);
    FBuffer.insert(FBuffer.end(), p, p + dwSize);
    FTotal += dwSize;
    Wake();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE BookMark(DWORD dwMarkID) override {
    TLock lock(this);
    FMarks.push_back({FTotal, dwMarkID});
    Wake();
    return S_OK;
  }

  // IAudioMultiMediaDevice
  HRESULT STDMETHODCALLTYPE CustomMessage(UINT, SDATA) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeviceNumGet(DWORD* pdwDeviceID) override {
    return Read(pdwDeviceID, FDeviceId);
  }
  HRESULT STDMETHODCALLTYPE DeviceNumSet(DWORD dwDeviceID) override {
    TLock lock(this);
    if (FClaimed) return AUDERR_ALREADYCLAIMED;
    if (dwDeviceID != WAVE_MAPPER && dwDeviceID >= waveOutGetNumDevs()) return E_INVALIDARG;
    if (FDevice) CloseDevice();
    FDeviceId = dwDeviceID;
    return S_OK;
  }

 private:
  class TLock {
   public:
    explicit TLock(TMMAudioDest* d) : FDest(d) { EnterCriticalSection(&FDest->FLock); }
    ~TLock() { LeaveCriticalSection(&FDest->FLock); }
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;

   private:
    TMMAudioDest* FDest;
  };

  ~TMMAudioDest() override {
    {
      TLock lock(this);
      FQuit = true;
    }
    SetEvent(FWake);
    WaitForSingleObject(FThread, INFINITE);
    CloseHandle(FThread);
    // A file keeps what was sent to be played, also when the client lets go before it was.
    if (FStarted && !FBuffer.empty()) FWav.Write(FBuffer.data(), FBuffer.size());
    FWav.Close();
    CloseDevice();
    if (FSink) FSink->Release();
    CloseHandle(FWake);
    DeleteCriticalSection(&FLock);
    ObjectDestroyed();
  }

  // A field, read under the lock into the caller's variable.
  template <class T>
  HRESULT Read(T* out, const T& field) {
    if (!out) return E_POINTER;
    TLock lock(this);
    *out = field;
    return S_OK;
  }

  // Under the lock.
  DWORD Capacity() const {
    const DWORD rate = FHasFormat ? FFormat.nAvgBytesPerSec : 32000;
    const DWORD align = FHasFormat && FFormat.nBlockAlign ? FFormat.nBlockAlign : 1;
    const std::uint64_t bytes = static_cast<std::uint64_t>(rate) * FSettings.BufferMs / 1000;
    return static_cast<DWORD>(bytes - bytes % align);
  }
  DWORD FreeBytes() const {
    const DWORD cap = Capacity();
    return FBuffer.size() >= cap ? 0 : cap - static_cast<DWORD>(FBuffer.size());
  }
  void Post(const TEvent& e) {
    FEvents.push_back(e);
    SetEvent(FWake);
  }
  void Wake() { SetEvent(FWake); }

  HRESULT OpenOutput() {
    if (!FSettings.WavPath.empty()) return FWav.Open(FSettings.WavPath, FFormat);
    if (FDevice) return S_OK;
    HWAVEOUT h = nullptr;
    const MMRESULT m =
        waveOutOpen(&h, FDeviceId, &FFormat, reinterpret_cast<DWORD_PTR>(FWake), 0, CALLBACK_EVENT);
    if (m != MMSYSERR_NOERROR)
      return m == MMSYSERR_ALLOCATED ? TTSERR_WAVEDEVICEBUSY
                                     : HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_AVAILABLE);
    FDevice = h;
    waveOutSetVolume(FDevice, FLevel);
    if (!FStarted) waveOutPause(FDevice);
    FDevicePosn = FPosn;
    return S_OK;
  }

  void CloseDevice() {
    if (!FDevice) return;
    waveOutReset(FDevice);
    for (TSlice& s : FSlices) waveOutUnprepareHeader(FDevice, &s.Header, sizeof s.Header);
    FSlices.clear();
    waveOutClose(FDevice);
    FDevice = nullptr;
  }

  static DWORD WINAPI ThreadMain(LPVOID self) {
    static_cast<TMMAudioDest*>(self)->Run();
    return 0;
  }

  // The consuming thread. It works under the lock and calls the sink outside it, so that a sink
  // may call back into the destination.
  void Run() {
    for (;;) {
      DWORD wait = INFINITE;
      std::deque<TEvent> events;
      IAudioDestNotifySink* sink = nullptr;
      {
        TLock lock(this);
        if (FQuit) break;
        if (FDevice)
          StepDevice();
        else
          wait = StepPaced();
        events.swap(FEvents);
        sink = FSink;
        if (sink && !events.empty()) sink->AddRef();
      }
      if (sink && !events.empty()) {
        for (const TEvent& e : events) {
          switch (e.kind) {
            case TEvent::Start:
              sink->AudioStart();
              break;
            case TEvent::Stop:
              sink->AudioStop(static_cast<WORD>(e.a));
              break;
            case TEvent::Free:
              sink->FreeSpace(e.a, e.b);
              break;
            case TEvent::Mark:
              sink->BookMark(e.a, e.b);
              break;
          }
        }
        sink->Release();
      }
      WaitForSingleObject(FWake, wait);
    }
  }

  // The audio starts when there is something to play: reported before the bookmarks at its start.
  void AnnounceStart() {
    if (FStarted && !FBuffer.empty() && !FPlaying) {
      FPlaying = true;
      Post({TEvent::Start});
    }
  }

  // Bookmarks that playback has reached (only while playing: a bookmark is news of the audio).
  void PassMarks() {
    while (!FMarks.empty() && FMarks.front().pos <= FPosn) {
      Post({TEvent::Mark, FMarks.front().id, FALSE});
      FMarks.pop_front();
    }
  }

  // The end of the audio: once the buffer is empty and nobody claims the destination any more,
  // it reports the stop and stops by itself. While a client holds the claim, an empty buffer is
  // only a gap between two of its batches.
  void CheckDrained(bool deviceIdle) {
    if (!FPlaying || !FBuffer.empty() || !deviceIdle || FClaimed) return;
    PassMarks();
    FPlaying = false;
    FStarted = false;
    if (FDevice) waveOutPause(FDevice);
    FWav.Sync();
    Post({TEvent::Stop, IANSRSN_NODATA, FALSE});
  }

  // File output (or no output at all until a claim): consumes at FSettings.Pace times real time.
  DWORD StepPaced() {
    DWORD wait = INFINITE;
    AnnounceStart();
    if (FPlaying) PassMarks();
    if (FStarted && !FBuffer.empty()) {
      std::size_t n = FBuffer.size();
      if (FSettings.Pace > 0) {
        const ULONGLONG now = GetTickCount64();
        // After a gap the clock starts again: a late batch is not played faster to catch up.
        if (FUnderrun) {
          FClockTick = now;
          FClockPosn = FPosn;
          FUnderrun = false;
        }
        const double due = static_cast<double>(now - FClockTick) * FSettings.Pace *
                           FFormat.nAvgBytesPerSec / 1000.0;
        std::uint64_t allowed = FClockPosn + static_cast<std::uint64_t>(due);
        allowed -= allowed % FFormat.nBlockAlign;
        n = allowed > FPosn ? static_cast<std::size_t>(std::min<std::uint64_t>(n, allowed - FPosn))
                            : 0;
        wait = 10;
      }
      if (n > 0) {
        FWav.Write(FBuffer.data(), n);
        FBuffer.erase(FBuffer.begin(), FBuffer.begin() + static_cast<std::ptrdiff_t>(n));
        FPosn += n;
        PassMarks();
        Post({TEvent::Free, FreeBytes(), FALSE});
      }
      if (FBuffer.empty()) {
        FUnderrun = true;
        wait = INFINITE;
      }
    }
    CheckDrained(true);
    return wait;
  }

  // waveOut: slices go to the device as it has room for them; the position follows the slices it
  // has finished.
  void StepDevice() {
    while (!FSlices.empty() && (FSlices.front().Header.dwFlags & WHDR_DONE)) {
      TSlice& s = FSlices.front();
      waveOutUnprepareHeader(FDevice, &s.Header, sizeof s.Header);
      FDevicePosn += s.Bytes.size();
      FSlices.pop_front();
    }
    FPosn = std::max(FPosn, std::min(FDevicePosn, FTotal));
    AnnounceStart();
    if (FPlaying) PassMarks();
    if (FStarted && !FBuffer.empty()) {
      std::size_t slice = static_cast<std::size_t>(FFormat.nAvgBytesPerSec) * kSliceMs / 1000;
      slice -= slice % FFormat.nBlockAlign;
      bool took = false;
      while (FSlices.size() < kDeviceSlices && !FBuffer.empty()) {
        const std::size_t n = std::min(slice, FBuffer.size());
        FSlices.emplace_back();
        TSlice& s = FSlices.back();
        s.Bytes.assign(FBuffer.begin(), FBuffer.begin() + static_cast<std::ptrdiff_t>(n));
        s.Header.lpData = reinterpret_cast<LPSTR>(s.Bytes.data());
        s.Header.dwBufferLength = static_cast<DWORD>(n);
        if (waveOutPrepareHeader(FDevice, &s.Header, sizeof s.Header) != MMSYSERR_NOERROR ||
            waveOutWrite(FDevice, &s.Header, sizeof s.Header) != MMSYSERR_NOERROR) {
          // The device failed under us: what it did not take counts as played, so that nobody
          // waits for it for ever.
          waveOutUnprepareHeader(FDevice, &s.Header, sizeof s.Header);
          FSlices.pop_back();
          FDevicePosn += n;
        }
        FBuffer.erase(FBuffer.begin(), FBuffer.begin() + static_cast<std::ptrdiff_t>(n));
        took = true;
      }
      if (took) Post({TEvent::Free, FreeBytes(), FALSE});
    }
    CheckDrained(FSlices.empty());
  }

  const TAudioSettings FSettings;
  CRITICAL_SECTION FLock;
  HANDLE FWake = nullptr;
  HANDLE FThread = nullptr;

  // Under FLock.
  bool FQuit = false;
  WAVEFORMATEX FFormat{};
  bool FHasFormat = false;
  bool FClaimed = false;
  bool FStarted = false;
  bool FPlaying = false;  // AudioStart reported, AudioStop not yet
  std::vector<std::uint8_t> FBuffer;
  QWORD FTotal = 0;  // bytes accepted
  QWORD FPosn = 0;   // bytes played
  std::deque<TMark> FMarks;
  std::deque<TEvent> FEvents;
  IAudioDestNotifySink* FSink = nullptr;
  DWORD FLevel = 0xFFFFFFFF;
  DWORD FDeviceId = WAVE_MAPPER;
  bool FUnderrun = true;
  ULONGLONG FClockTick = 0;
  QWORD FClockPosn = 0;
  TWavFile FWav;
  HWAVEOUT FDevice = nullptr;
  QWORD FDevicePosn = 0;
  std::deque<TSlice> FSlices;
};

}  // namespace

bool ReadAudioSettings(TAudioSettings& settings, std::wstring& error) {
  TAudioSettings s;
  std::wstring v;
  if (EnvironmentValue(L"KALVOR_AUDIO_WAV", v)) s.WavPath = v;
  if (EnvironmentValue(L"KALVOR_AUDIO_PACE", v) && !ParseNumber(v, s.Pace)) {
    error = L"KALVOR_AUDIO_PACE=" + v + L" is not a number of times real time (0 or more)";
    return false;
  }
  if (EnvironmentValue(L"KALVOR_AUDIO_BUFFER_MS", v)) {
    double ms = 0;
    if (!ParseNumber(v, ms) || ms < 50 || ms > 60000 || ms != static_cast<DWORD>(ms)) {
      error = L"KALVOR_AUDIO_BUFFER_MS=" + v + L" is not a whole number from 50 to 60000";
      return false;
    }
    s.BufferMs = static_cast<DWORD>(ms);
  }
  settings = s;
  return true;
}

HRESULT CreateMMAudioDest(REFIID riid, void** ppv) {
  return ComEntry([&]() -> HRESULT {
    TAudioSettings settings;
    std::wstring error;
    if (!ReadAudioSettings(settings, error)) {
      OutputDebugStringW((L"sapi4rt: " + error + L"\n").c_str());
      return E_INVALIDARG;
    }
    return HandOut(new TMMAudioDest(settings), riid, ppv);
  });
}

}  // namespace sapi4rt
