// Helpers for testing window components against real Win32: plain windows that record their
// messages, message pumping with a deadline, and keyboard and mouse input through SendInput.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "WComp.h"

namespace lumeko::test {

struct RecordedMessage {
  UINT msg;
  WPARAM wparam;
  LPARAM lparam;
};

// A top-level window of a class of the test's choosing (the snapping targets are found by class
// name) that records every message it gets. Handler, when set, may answer a message itself.
class TestWindow {
 public:
  explicit TestWindow(const wchar_t* className = L"LumekoTestWindow", DWORD style = WS_POPUP,
                      RECT bounds = {}, DWORD exStyle = WS_EX_TOOLWINDOW) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = className;
    RegisterWindowClass(wc);
    hwnd = CreateWindowExW(exStyle, className, L"", style, bounds.left, bounds.top,
                           bounds.right - bounds.left, bounds.bottom - bounds.top, nullptr, nullptr,
                           GetModuleHandleW(nullptr), this);
  }
  ~TestWindow() {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  int Count(UINT msg) const {
    int n = 0;
    for (const auto& m : log) n += m.msg == msg;
    return n;
  }
  std::vector<RecordedMessage> Messages(UINT msg) const {
    std::vector<RecordedMessage> found;
    for (const auto& m : log)
      if (m.msg == msg) found.push_back(m);
    return found;
  }

  HWND hwnd = nullptr;
  std::vector<RecordedMessage> log;
  std::function<std::optional<LRESULT>(UINT, WPARAM, LPARAM)> handler;

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_NCCREATE)
      SetWindowLongPtrW(
          window, GWLP_USERDATA,
          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
    auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr) {
      self->log.push_back({msg, wparam, lparam});
      if (self->handler)
        if (auto answer = self->handler(msg, wparam, lparam)) return *answer;
      if (msg == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    }
    return DefWindowProcW(window, msg, wparam, lparam);
  }
};

// Dispatches the thread's messages for the given time.
inline void Pump(DWORD ms) {
  DWORD start = GetTickCount();
  MSG msg;
  do {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(5);
  } while (GetTickCount() - start < ms);
}

// Dispatches messages until the condition holds or the time is up; tells whether it held.
inline bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 3000) {
  DWORD start = GetTickCount();
  MSG msg;
  for (;;) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(5);
  }
}

inline INPUT KeyInput(WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return in;
}

// Presses and releases a key with the given modifier keys held, as a user at the keyboard would.
inline void PressKey(WORD vk, std::initializer_list<WORD> modifiers = {}) {
  std::vector<INPUT> inputs;
  for (WORD m : modifiers) inputs.push_back(KeyInput(m, false));
  inputs.push_back(KeyInput(vk, false));
  inputs.push_back(KeyInput(vk, true));
  for (auto it = modifiers.end(); it != modifiers.begin();) inputs.push_back(KeyInput(*--it, true));
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

inline void MouseButton(DWORD flag) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flag;
  SendInput(1, &in, sizeof in);
}

}  // namespace lumeko::test
