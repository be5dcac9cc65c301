#include "ModeNotify.h"

#include "MsgWindow.h"

namespace kalvor {

TModeNotify::TModeNotify(HWND window, IAudio* audio) : FWindow(window), FAudio(audio) {
  InitializeCriticalSection(&FLock);
  if (FAudio) FAudio->AddRef();
}

TModeNotify::~TModeNotify() {
  if (FAudio) FAudio->Release();
  DeleteCriticalSection(&FLock);
}

HRESULT STDMETHODCALLTYPE TModeNotify::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IAudioDestNotifySink)) {
    *ppv = static_cast<IAudioDestNotifySink*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TModeNotify::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&FRefCount));
}

ULONG STDMETHODCALLTYPE TModeNotify::Release() {
  const LONG n = InterlockedDecrement(&FRefCount);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

void TModeNotify::Detach() {
  IAudio* audio;
  EnterCriticalSection(&FLock);
  FWindow = nullptr;
  audio = FAudio;
  FAudio = nullptr;
  LeaveCriticalSection(&FLock);
  if (audio) audio->Release();
}

// The time stamp is read on the destination's thread, when the event happens.
void TModeNotify::PostTimeStamp(UINT msg) {
  EnterCriticalSection(&FLock);
  HWND window = FWindow;
  IAudio* audio = FAudio;
  if (audio) audio->AddRef();
  LeaveCriticalSection(&FLock);
  if (!window || !audio) {
    if (audio) audio->Release();
    return;
  }
  QWORD ts = 0;
  if (FAILED(audio->TotalGet(&ts))) ts = 0;
  audio->Release();
  PostMessageW(window, msg, static_cast<WPARAM>(ts & 0xFFFFFFFFu),
               static_cast<LPARAM>(static_cast<DWORD>(ts >> 32)));
}

HRESULT STDMETHODCALLTYPE TModeNotify::AudioStop(WORD) {
  PostTimeStamp(WM_TTS_AUDIOSTOP);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TModeNotify::AudioStart() {
  PostTimeStamp(WM_TTS_AUDIOSTART);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TModeNotify::FreeSpace(DWORD, BOOL) {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TModeNotify::BookMark(DWORD dwMarkID, BOOL fFlushed) {
  EnterCriticalSection(&FLock);
  HWND window = FWindow;
  LeaveCriticalSection(&FLock);
  if (!window) return S_OK;
  // A letter's mark becomes a mouth shape; a tagged text's mark is the client's, and a flushed one
  // must not reach it as heard.
  if (dwMarkID >= kFirstClientMarkId)
    PostMessageW(window, WM_TTS_CLIENTMARK, dwMarkID, fFlushed ? 1 : 0);
  else
    PostMessageW(window, WM_TTS_BOOKMARK, dwMarkID, static_cast<LPARAM>(dwMarkID));
  return S_OK;
}

}  // namespace kalvor
