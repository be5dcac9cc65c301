// TTTSMsgWindow: the mode's hidden window. Notifications that arrive on other threads are posted
// to it, and it hands them to its mode when the owning thread dispatches them.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace kalvor {

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
