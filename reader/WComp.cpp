#include "WComp.h"

#include <string>
#include <utility>

#include "Framework.h"

// The image this code is linked into: the window class belongs to it, not to whichever module
// happens to be the process's main one.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace lumeko {

namespace {

const wchar_t kHiddenWindowClass[] = L"LumekoHiddenWindow";

HINSTANCE ModuleInstance() {
  return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

// An exception message for the box: UTF-8, or where it is not, bytes in the ANSI code page.
std::wstring MessageText(const char* text) {
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (n <= 0) {  // not UTF-8 after all: take the bytes in the ANSI code page
    n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(n > 0 ? n : 1, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
    wide.resize(n > 0 ? n - 1 : 0);
    return wide;
  }
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), n);
  wide.resize(n - 1);
  return wide;
}

void DefaultShowException(const std::exception& error) {
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring caption = path;
  caption.erase(0, caption.find_last_of(L"\\/") + 1);
  if (auto dot = caption.rfind(L'.'); dot != std::wstring::npos) caption.erase(dot);
  MessageBoxW(nullptr, MessageText(error.what()).c_str(), caption.c_str(), MB_ICONERROR | MB_OK);
}

TExceptionHandler& ExceptionHandler() {
  static TExceptionHandler handler;
  return handler;
}

std::function<void()>& TerminateHandler() {
  static std::function<void()> handler;
  return handler;
}

LRESULT CALLBACK HiddenWindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return DefWindowProcW(window, msg, wparam, lparam);
  }
  auto* receiver = reinterpret_cast<TMessageReceiver*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  // Messages before WM_NCCREATE (WM_GETMINMAXINFO) and after WM_NCDESTROY have no receiver.
  if (receiver == nullptr) return DefWindowProcW(window, msg, wparam, lparam);
  TMessage message{window, msg, wparam, lparam, 0};
  try {
    receiver->WndProc(message);
  } catch (const std::exception& error) {
    ShowException(error);
  } catch (...) {
    ShowException(kalvor::Exception("Unknown error in a window message handler"));
  }
  if (msg == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  return message.Result;
}

}  // namespace

void RegisterWindowClass(const WNDCLASSEXW& wc) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(wc.hInstance, wc.lpszClassName, &existing)) return;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw kalvor::Exception("Cannot register the window class " + Narrow(wc.lpszClassName) +
                            " (error " + std::to_string(GetLastError()) + ")");
}

bool AnswerSessionEnd(TMessage& message) {
  switch (message.Msg) {
    case WM_ENDSESSION:
      TerminateProgram();
      return true;
    case WM_QUERYENDSESSION:
      message.Result = 1;
      return true;
    default:
      return false;
  }
}

HWND AllocateHWnd(TMessageReceiver& receiver) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = HiddenWindowProc;
  wc.hInstance = ModuleInstance();
  wc.lpszClassName = kHiddenWindowClass;
  RegisterWindowClass(wc);
  HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kHiddenWindowClass, L"", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, ModuleInstance(), &receiver);
  if (window == nullptr)
    throw kalvor::Exception("Cannot create a hidden window (error " +
                            std::to_string(GetLastError()) + ")");
  return window;
}

void DeallocateHWnd(HWND window) noexcept {
  if (window != nullptr) DestroyWindow(window);
}

void SetExceptionHandler(TExceptionHandler handler) {
  ExceptionHandler() = std::move(handler);
}

void ShowException(const std::exception& error) noexcept {
  try {
    if (ExceptionHandler())
      ExceptionHandler()(error);
    else
      DefaultShowException(error);
  } catch (...) {
    // The error display itself failed (out of memory, a throwing handler): nothing is left to
    // tell the user with, and the window procedure must still return.
  }
}

void SetTerminateHandler(std::function<void()> handler) {
  TerminateHandler() = std::move(handler);
}

void TerminateProgram() noexcept {
  try {
    if (TerminateHandler()) {
      TerminateHandler()();
      return;
    }
  } catch (...) {
  }
  PostQuitMessage(0);
}

TWindowedComponent::~TWindowedComponent() {
  HWND window = std::exchange(FHandle, nullptr);
  DeallocateHWnd(window);
}

HWND TWindowedComponent::Handle() {
  if (FHandle == nullptr) FHandle = AllocateHWnd(*this);
  return FHandle;
}

void TWindowedComponent::WndProc(TMessage& message) {
  if (AnswerSessionEnd(message)) return;
  Dispatch(message);
  // Destroyed from outside (the owner thread's DestroyWindow): the next Handle() makes a new
  // window instead of using a dead one.
  if (message.Msg == WM_NCDESTROY) FHandle = nullptr;
}

void TWindowedComponent::Dispatch(TMessage&) {}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string narrow(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n,
                      nullptr, nullptr);
  return narrow;
}

}  // namespace lumeko
