// Hidden utility windows for Lumeko's desktop components, and TWindowedComponent, the base of the
// components that own one and route its messages to their own handlers.
//
// A hidden window is a top-level window that is never shown (not a message-only window: those miss
// the broadcasts the components live on, such as the end of the session and "TaskbarCreated"). Its
// class is registered with this module's own instance; the object that receives its messages is
// bound at creation through CREATESTRUCT and unbound at WM_NCDESTROY, and no exception ever leaves
// its window procedure.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

namespace lumeko {

// One window message as the components' handlers see it; Result is what the window procedure
// answers. Window is the receiving window, known even before its creation call has returned.
struct TMessage {
  HWND Window;
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

// Receives every message of a hidden window from WM_NCCREATE (exclusive) to WM_NCDESTROY
// (inclusive). An exception thrown by WndProc is shown through ShowException and goes no further.
class TMessageReceiver {
 public:
  virtual void WndProc(TMessage& message) = 0;

 protected:
  ~TMessageReceiver() = default;
};

// Registers a window class of wc.hInstance unless one of that name is there already (the first
// registration stands). Throws kalvor::Exception naming the class when Windows refuses.
void RegisterWindowClass(const WNDCLASSEXW& wc);

// Answers the end of the session for a window that keeps the program's tray presence:
// WM_ENDSESSION ends the program whatever its parameters say (a session that goes on after the
// question has lost its tray program anyway); WM_QUERYENDSESSION agrees. False for any other
// message, which the caller handles itself.
bool AnswerSessionEnd(TMessage& message);

// Creates a hidden window bound to the receiver. Throws kalvor::Exception when Windows refuses.
HWND AllocateHWnd(TMessageReceiver& receiver);
// Destroys a window made by AllocateHWnd (0 is allowed and ignored).
void DeallocateHWnd(HWND window) noexcept;

// Program-wide reactions the components need from the program that hosts them.
//
// An exception that reached a message handler is shown to the user and the program goes on. The
// default shows a message box with the error icon; the program installs its own (the application
// title as caption) with SetExceptionHandler. Exception messages are UTF-8.
using TExceptionHandler = std::function<void(const std::exception&)>;
void SetExceptionHandler(TExceptionHandler handler);
void ShowException(const std::exception& error) noexcept;

// Ending the program at once through its normal shutdown, as the components do when Windows ends
// the session. The default posts WM_QUIT to the calling thread, so that the message loop ends and
// the owners destroy their components (the tray icon is removed, the hot keys unregistered, the
// clipboard chain left); the program may install a faster way with SetTerminateHandler.
void SetTerminateHandler(std::function<void()> handler);
void TerminateProgram() noexcept;

// A non-visual component owning a hidden window that is made on first use. Its WndProc answers
// the end of the session itself and hands every other message to Dispatch; a message that Dispatch
// leaves alone is answered 0, without the default window processing.
class TWindowedComponent : private TMessageReceiver {
 public:
  TWindowedComponent() = default;
  virtual ~TWindowedComponent();
  TWindowedComponent(const TWindowedComponent&) = delete;
  TWindowedComponent& operator=(const TWindowedComponent&) = delete;

  // The hidden window, created here the first time it is asked for.
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }

 protected:
  // The end of the session is answered by AnswerSessionEnd.
  void WndProc(TMessage& message) override;
  // The message handlers of a descendant, by message number. Result starts at 0.
  virtual void Dispatch(TMessage& message);

 private:
  HWND FHandle = nullptr;
};

// UTF-8 (the exception messages) to UTF-16 and back.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

}  // namespace lumeko
