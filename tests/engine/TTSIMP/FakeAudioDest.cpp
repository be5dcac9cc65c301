#include "FakeAudioDest.h"

#include <chrono>
#include <algorithm>
#include <cstring>
#include <memory>

namespace kalvor::test {

FakeAudioDest::FakeAudioDest() : TComObject(1), thread_([this] { DeviceThread(); }) {}

FakeAudioDest::~FakeAudioDest() {
  {
    std::lock_guard<std::mutex> lock(m_);
    quit_ = true;
  }
  cv_.notify_all();
  thread_.join();
  if (sink_) sink_->Release();
}

void FakeAudioDest::Log(std::string s) {
  calls_.push_back(std::move(s));
}

HRESULT STDMETHODCALLTYPE FakeAudioDest::Flush() {
  std::lock_guard<std::mutex> lock(m_);
  Log("Flush");
  // Unplayed data and marks are dropped; what was written stays on record.
  played_ = written_.size();
  nextMark_ = marks_.size();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeAudioDest::LevelGet(DWORD* pdwLevel) {
  std::lock_guard<std::mutex> lock(m_);
  if (FAILED(config.levelResult)) return config.levelResult;
  *pdwLevel = level_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeAudioDest::LevelSet(DWORD dwLevel) {
  std::lock_guard<std::mutex> lock(m_);
  Log("LevelSet");
  if (FAILED(config.levelResult)) return config.levelResult;
  level_ = dwLevel;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeAudioDest::PassNotify(PVOID pNotifyInterface,
                                                    IID IIDNotifyInterface) {
  if (!IsEqualIID(IIDNotifyInterface, IID_IAudioDestNotifySink)) return E_NOINTERFACE;
  auto* sink = static_cast<IAudioDestNotifySink*>(pNotifyInterface);
  if (sink) sink->AddRef();
  IAudioDestNotifySink* old;
  {
    std::lock_guard<std::mutex> lock(m_);
    Log(sink ? "PassNotify" : "PassNotify null");
    old = sink_;
    sink_ = sink;
  }
  if (old) old->Release();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeAudioDest::PosnGet(PQWORD pqwTimeStamp) {
  std::lock_guard<std::mutex> lock(m_);
  *pqwTimeStamp = played_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeAudioDest::Claim() {
  std::lock_guard<std::mutex> lock(m_);
  Log("Claim");
  if (FAILED(config.claimResult)) return config.claimResult;
  if (claimed_) return AUDERR_ALREADYCLAIMED;
  claimed_ = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeAudioDest::UnClaim() {
  std::lock_guard<std::mutex> lock(m_);
  Log("UnClaim");
  if (!claimed_) return AUDERR_NOTCLAIMED;
  claimed_ = false;
  return config.unclaimResult;
}

HRESULT STDMETHODCALLTYPE FakeAudioDest::Start() {
  {
    std::lock_guard<std::mutex> lock(m_);
    Log("Start");
    if (FAILED(config.startResult)) return config.startResult;
    if (!claimed_) return AUDERR_NOTCLAIMED;
    if (started_) return AUDERR_ALREADYSTARTED;
    started_ = true;
    announcedStart_ = false;
  }
  cv_.notify_all();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeAudioDest::Stop() {
  std::lock_guard<std::mutex> lock(m_);
  Log("Stop");
  started_ = false;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeAudioDest::TotalGet(PQWORD pqwTimeStamp) {
  std::lock_guard<std::mutex> lock(m_);
  *pqwTimeStamp = config.totalGet ? *config.totalGet : written_.size();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeAudioDest::ToFileTime(PQWORD pqTimeStamp, FILETIME* pFiletime) {
  pFiletime->dwLowDateTime = static_cast<DWORD>(*pqTimeStamp);
  pFiletime->dwHighDateTime = static_cast<DWORD>(*pqTimeStamp >> 32) + 1;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeAudioDest::WaveFormatGet(PSDATA pdWFEX) {
  (void)pdWFEX;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FakeAudioDest::WaveFormatSet(SDATA dWFEX) {
  std::lock_guard<std::mutex> lock(m_);
  Log("WaveFormatSet");
  if (FAILED(config.waveFormatSetResult)) return config.waveFormatSetResult;
  const auto* p = static_cast<const std::uint8_t*>(dWFEX.pData);
  format_.assign(p, p + dWFEX.dwSize);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeAudioDest::FreeSpace(DWORD* pdwBytes, BOOL* pfEOF) {
  std::lock_guard<std::mutex> lock(m_);
  ++freeSpaceCalls_;
  if (FAILED(config.freeSpaceResult)) return config.freeSpaceResult;
  const std::size_t queued = written_.size() - played_;
  DWORD room = queued >= config.capacity ? 0 : static_cast<DWORD>(config.capacity - queued);
  if (config.freeSpace) room = *config.freeSpace;
  *pdwBytes = room;
  *pfEOF = written_.size() >= config.eofAfter ? TRUE : FALSE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeAudioDest::DataSet(PVOID pBuffer, DWORD dwSize) {
  std::size_t index;
  {
    std::lock_guard<std::mutex> lock(m_);
    Log("DataSet");
    if (FAILED(config.dataSetResult)) return config.dataSetResult;
    const auto* p = static_cast<const std::uint8_t*>(pBuffer);
    written_.insert(written_.end(), p, p + dwSize);
    dataSetSizes_.push_back(dwSize);
    index = dataSetSizes_.size();
  }
  cv_.notify_all();
  if (onDataSet) onDataSet(index);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeAudioDest::BookMark(DWORD dwMarkID) {
  {
    std::lock_guard<std::mutex> lock(m_);
    Log("BookMark " + std::to_string(dwMarkID));
    marks_.push_back({dwMarkID, written_.size()});
  }
  cv_.notify_all();
  return S_OK;
}

// The device: while started it plays what was written, at the configured pace, and reports from
// this thread (never holding its lock while it calls out) that it started and each mark it
// passes.
void FakeAudioDest::DeviceThread() {
  std::unique_lock<std::mutex> lock(m_);
  while (!quit_) {
    cv_.wait_for(lock, std::chrono::milliseconds(1));
    if (quit_) break;
    if (!started_) continue;
    const std::size_t queued = written_.size() - played_;
    bool announce = false;
    if (!announcedStart_ && queued > 0) {
      announcedStart_ = true;
      announce = true;
    }
    const std::size_t step =
        config.bytesPerMs == 0 ? queued : std::min<std::size_t>(queued, config.bytesPerMs);
    played_ += step;
    std::vector<DWORD> reached;
    while (nextMark_ < marks_.size() && marks_[nextMark_].position <= played_)
      reached.push_back(marks_[nextMark_++].id);
    IAudioDestNotifySink* sink = sink_;
    if (!sink || (!announce && reached.empty())) continue;
    sink->AddRef();
    lock.unlock();
    if (announce) sink->AudioStart();
    if (config.reportMarks)
      for (DWORD id : reached) sink->BookMark(id, FALSE);
    sink->Release();
    lock.lock();
  }
}

std::vector<std::string> FakeAudioDest::Calls() const {
  return Locked(calls_);
}
std::vector<std::uint8_t> FakeAudioDest::Written() const {
  return Locked(written_);
}
std::vector<FakeAudioDest::Mark> FakeAudioDest::Marks() const {
  return Locked(marks_);
}
std::vector<std::size_t> FakeAudioDest::DataSetSizes() const {
  return Locked(dataSetSizes_);
}
std::size_t FakeAudioDest::FreeSpaceCalls() const {
  return Locked(freeSpaceCalls_);
}
bool FakeAudioDest::Claimed() const {
  std::lock_guard<std::mutex> lock(m_);
  return claimed_;
}
bool FakeAudioDest::HasNotifySink() const {
  std::lock_guard<std::mutex> lock(m_);
  return sink_ != nullptr;
}
IAudioDestNotifySink* FakeAudioDest::NotifySink() const {
  std::lock_guard<std::mutex> lock(m_);
  return sink_;
}
std::vector<std::uint8_t> FakeAudioDest::WaveFormat() const {
  std::lock_guard<std::mutex> lock(m_);
  return format_;
}
DWORD FakeAudioDest::Level() const {
  std::lock_guard<std::mutex> lock(m_);
  return level_;
}
bool FakeAudioDest::WaitPlayed(DWORD timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [&] { return played_ >= written_.size() && nextMark_ >= marks_.size(); });
}

// ---------------------------------------------------------------------------------------------

void RecordingBufSink::Record(std::string event, QWORD stamp) {
  if (journal) journal->push_back(name + " " + event);
  events.push_back(std::move(event));
  stamps.push_back(stamp);
}
HRESULT STDMETHODCALLTYPE RecordingBufSink::TextDataDone(QWORD qTimeStamp, DWORD dwFlags) {
  Record("Done " + std::to_string(dwFlags), qTimeStamp);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE RecordingBufSink::TextDataStarted(QWORD qTimeStamp) {
  Record("Started", qTimeStamp);
  if (onStarted) onStarted();
  return S_OK;
}
HRESULT STDMETHODCALLTYPE RecordingBufSink::BookMark(QWORD qTimeStamp, DWORD dwMarkNum) {
  Record("BookMark " + std::to_string(dwMarkNum), qTimeStamp);
  if (onBookMark) onBookMark(dwMarkNum);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE RecordingBufSink::WordPosition(QWORD qTimeStamp, DWORD dwByteOffset) {
  Record("WordPosition " + std::to_string(dwByteOffset), qTimeStamp);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingModeSink::AttribChanged(DWORD dwAttribute) {
  attribs.push_back(dwAttribute);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE RecordingModeSink::AudioStart(QWORD qTimeStamp) {
  starts.push_back(qTimeStamp);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE RecordingModeSink::AudioStop(QWORD qTimeStamp) {
  stops.push_back(qTimeStamp);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE RecordingModeSink::Visual(QWORD qTimeStamp, CHAR cIPAPhoneme,
                                                    CHAR cEnginePhoneme, DWORD dwHints,
                                                    PTTSMOUTH pTTSMouth) {
  visuals.push_back({static_cast<std::uint8_t>(cIPAPhoneme),
                     static_cast<std::uint8_t>(cEnginePhoneme), dwHints,
                     pTTSMouth ? *pTTSMouth : TTSMOUTH{}, qTimeStamp});
  return S_OK;
}

// ---------------------------------------------------------------------------------------------

namespace {
constexpr UINT kRunClosure = WM_APP + 1;
constexpr wchar_t kHandlerClass[] = L"KalvorTestHandlerWindow";
}  // namespace

HandlerWindow::HandlerWindow() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kHandlerClass;
  RegisterClassExW(&wc);  // fails harmlessly when already registered
  hwnd_ = CreateWindowExW(0, kHandlerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
}

HandlerWindow::~HandlerWindow() {
  // Closures still queued are freed by the window procedure as the messages go.
  Pump(0);
  DestroyWindow(hwnd_);
}

void HandlerWindow::Post(std::function<void()> f) const {
  auto* p = new std::function<void()>(std::move(f));
  if (!PostMessageW(hwnd_, kRunClosure, 0, reinterpret_cast<LPARAM>(p))) delete p;
}

LRESULT CALLBACK HandlerWindow::Proc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == kRunClosure) {
    std::unique_ptr<std::function<void()>> f(reinterpret_cast<std::function<void()>*>(l));
    (*f)();
    return 0;
  }
  return DefWindowProcW(h, msg, w, l);
}

void HandlerWindow::Pump(DWORD ms, const std::function<bool()>& done) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done && done()) return;
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE,
                              static_cast<DWORD>(std::min<ULONGLONG>(end - now, 10)), QS_ALLINPUT);
  }
}

Ticker::Ticker(HWND target, DWORD everyMs)
    : thread_([this, target, everyMs] {
        while (!stop_) {
          PostMessageW(target, WM_NULL, 0, 0);
          Sleep(everyMs);
        }
      }) {}

Ticker::~Ticker() {
  stop_ = true;
  thread_.join();
}

}  // namespace kalvor::test
