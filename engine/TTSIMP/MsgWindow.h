// TTTSMsgWindow: the mode's hidden window. Notifications that arrive on other threads are posted
// to it, and it hands them to its mode when the owning thread dispatches them.
#pragma once

#include "Speech.h"

namespace kalvor {

// The window's private messages.
constexpr UINT WM_TTS_ATTRIBCHANGED = WM_APP + 0x69;  // wParam: attribute code 0..3
constexpr UINT WM_TTS_AUDIOSTART = WM_APP + 0x6A;     // wParam/lParam: time stamp, low/high
constexpr UINT WM_TTS_AUDIOSTOP = WM_APP + 0x6B;      // wParam/lParam: time stamp, low/high
constexpr UINT WM_TTS_BOOKMARK = WM_APP + 0x6C;       // wParam = lParam: the mark (a character)
constexpr UINT WM_TTS_STOP = WM_APP + 0x6D;           // wParam: serial of the text to stop
constexpr UINT WM_TTS_CLIENTMARK = WM_APP + 0x6E;     // wParam: mark identifier; lParam: flushed

// Bookmarks the mode places in the audio stream: below this, the letters whose mouth shapes the
// visual notifications carry (a Windows-1254 code); from it on, the marks of tagged texts.
constexpr DWORD kFirstClientMarkId = 0x10000;

class TSpcMode;

class TTTSMsgWindow {
 public:
  // Creates the window on the calling thread; throws kalvor::Exception when it cannot.
  explicit TTTSMsgWindow(TSpcMode& mode);
  ~TTTSMsgWindow();
  TTTSMsgWindow(const TTTSMsgWindow&) = delete;
  TTTSMsgWindow& operator=(const TTTSMsgWindow&) = delete;

  HWND Handle() const { return FHandle; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);

  HWND FHandle = nullptr;
  TSpcMode* FMode;
};

}  // namespace kalvor
