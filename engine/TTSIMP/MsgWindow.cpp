#include "MsgWindow.h"

#include <string>

#include "Framework.h"
#include "EngineModule.h"
#include "SpcMode.h"

namespace kalvor {
namespace {

constexpr wchar_t kClassName[] = L"TPUtilWindow";

// The class belongs to this module's instance. Should a class of that name exist there with
// another procedure, it is replaced: our windows must reach our procedure.
void RegisterWindowClass(WNDPROC proc) {
  HINSTANCE instance = ModuleInstance();
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(instance, kClassName, &wc)) {
    if (wc.lpfnWndProc == proc) return;
    UnregisterClassW(kClassName, instance);
  }
  wc = WNDCLASSEXW{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw Exception("Cannot register the window class TPUtilWindow (error " +
                    std::to_string(GetLastError()) + ")");
}

}  // namespace

TTTSMsgWindow::TTTSMsgWindow(TSpcMode& mode) : FMode(&mode) {
  RegisterWindowClass(&WindowProc);
  // The object is bound to the window during creation (WM_NCCREATE), before any other message.
  HWND h = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                           nullptr, ModuleInstance(), this);
  if (!h)
    throw Exception("Cannot create the engine's message window (error " +
                    std::to_string(GetLastError()) + ")");
  FHandle = h;
}

TTTSMsgWindow::~TTTSMsgWindow() {
  if (FHandle) DestroyWindow(FHandle);
}

LRESULT CALLBACK TTTSMsgWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<TTTSMsgWindow*>(cs->lpCreateParams);
    self->FHandle = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  auto* self = reinterpret_cast<TTTSMsgWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (self) self->FHandle = nullptr;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  // A window procedure is called by the system: nothing may be thrown through it.
  try {
    return self->WndProc(msg, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

LRESULT TTTSMsgWindow::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_QUERYENDSESSION:
      FMode->StopForEndOfSession();
      return 1;
    case WM_ENDSESSION:
      return 0;
    case WM_TTS_ATTRIBCHANGED:
    case WM_TTS_AUDIOSTART:
    case WM_TTS_AUDIOSTOP:
    case WM_TTS_BOOKMARK:
      FMode->DeliverToSinks(msg, wParam, lParam);
      return 0;
    case WM_TTS_CLIENTMARK:
      FMode->ClientMarkReached(static_cast<DWORD>(wParam), lParam != 0);
      return 0;
    case WM_TTS_STOP:
      FMode->StopBySerial(static_cast<DWORD>(wParam));
      return 0;
    default:
      return DefWindowProcW(FHandle, msg, wParam, lParam);
  }
}

}  // namespace kalvor
