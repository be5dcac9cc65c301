// lumeko-driver: plays the user at a running Lumeko for the end-to-end test and the screenshot
// script, from outside the program, as another Windows program would: clipboard, keyboard input
// through SendInput, clicks on its controls and the tray menu. One command per start:
//   lumeko-driver wait-ready [SECONDS]        the settings window exists and the program waits
//                                             for input (its start, engine list included, is done)
//   lumeko-driver wait-gone [SECONDS]         it no longer does (the program ended)
//   lumeko-driver clip TEXT                   puts the text (UTF-16) on the clipboard
//   lumeko-driver key VK                      presses and releases a key (decimal virtual-key code)
//   lumeko-driver show-settings | hide-settings
//   lumeko-driver page N                      shows page N (0..3) of the settings, as a user clicks
//   lumeko-driver rect settings|player        prints "left top right bottom" of the window
//   lumeko-driver visible settings|player     prints 1 or 0
//   lumeko-driver click TEXT                  clicks the button (or check box) with that caption
//   lumeko-driver checked TEXT                prints 1 or 0
//   lumeko-driver hotkey N [VK]               prints (or sets) the shortcut of hot key control N
//   lumeko-driver bar N [POSITION]            prints (or sets) the position of bar N, top = maximum
//   lumeko-driver engine                      prints the selected engine mode name (UTF-8)
//   lumeko-driver quit-menu                   chooses the last item of the tray menu (quit)
//   lumeko-driver released                    exit 0 when no Lumeko window is in the clipboard
//                                             chain and F10 and F11 are free to register
//   lumeko-driver boxes                       prints the number of Lumeko's open message boxes,
//                                             then the text of each on a line of its own (UTF-8)
//   lumeko-driver close-boxes                 presses OK on every one of them
// Exit code 0 on success; a failure prints what was missing and exits 1.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t kConfigClass[] = L"TForm_Config";
const wchar_t kConfigCaption[] = L"Lumeko - Ayarlar";

int Fail(const std::wstring& message) {
  std::fwprintf(stderr, L"lumeko-driver: %ls\n", message.c_str());
  return 1;
}

HWND Settings() {
  return FindWindowW(kConfigClass, kConfigCaption);
}
HWND Player() {
  return FindWindowW(L"TForm_Visuals", L"Lumeko");
}

bool WaitFor(bool (*condition)(), double seconds) {
  DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > seconds * 1000) return false;
    Sleep(50);
  }
  return true;
}

struct ChildSearch {
  const wchar_t* className;
  std::vector<HWND> found;
};

// A named CALLBACK function: a lambda has the wrong calling convention on 32-bit Windows.
BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
  auto* s = reinterpret_cast<ChildSearch*>(param);
  wchar_t name[64] = L"";
  GetClassNameW(child, name, 64);
  if (_wcsicmp(name, s->className) == 0) s->found.push_back(child);
  return TRUE;
}

// Every descendant window of the settings window of the given class, in creation order.
std::vector<HWND> Children(const wchar_t* className) {
  ChildSearch search{className, {}};
  EnumChildWindows(Settings(), CollectChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND ButtonWithText(const std::wstring& text) {
  for (HWND button : Children(L"Button")) {
    wchar_t caption[256] = L"";
    GetWindowTextW(button, caption, 256);
    if (text == caption) return button;
  }
  return nullptr;
}

void PressKey(WORD vk) {
  INPUT in[2]{};
  for (int i = 0; i < 2; ++i) {
    in[i].type = INPUT_KEYBOARD;
    in[i].ki.wVk = vk;
    in[i].ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in[i].ki.dwFlags = i == 1 ? KEYEVENTF_KEYUP : 0;
  }
  SendInput(2, in, sizeof(INPUT));
}

void ClickAt(POINT screen) {
  SetCursorPos(screen.x, screen.y);
  INPUT in[2]{};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, in, sizeof(INPUT));
}

int SetClipboard(const std::wstring& text) {
  for (int i = 0; i < 50 && !OpenClipboard(nullptr); ++i) Sleep(20);
  if (!EmptyClipboard()) return Fail(L"cannot open the clipboard");
  HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  std::wmemcpy(static_cast<wchar_t*>(GlobalLock(data)), text.c_str(), text.size() + 1);
  GlobalUnlock(data);
  bool ok = SetClipboardData(CF_UNICODETEXT, data) != nullptr;
  CloseClipboard();
  return ok ? 0 : Fail(L"cannot put text on the clipboard");
}

int ShowPage(int index) {
  HWND settings = Settings();
  std::vector<HWND> tabs = Children(L"SysTabControl32");
  if (tabs.empty()) return Fail(L"no tab control");
  // A click on the first tab selects it and gives the tab control the focus; the arrow keys
  // then walk the pages as a user's would.
  RECT tab;
  GetWindowRect(tabs[0], &tab);
  ShowWindow(settings, SW_SHOW);
  SetForegroundWindow(settings);
  Sleep(200);
  ClickAt(POINT{tab.left + 20, tab.top + 10});
  Sleep(200);
  LRESULT now = SendMessageW(tabs[0], TCM_GETCURSEL, 0, 0);
  for (int tries = 0; tries < 8 && now != index; ++tries) {
    PressKey(now < index ? VK_RIGHT : VK_LEFT);
    Sleep(250);
    now = SendMessageW(tabs[0], TCM_GETCURSEL, 0, 0);
  }
  return now == index
             ? 0
             : Fail(L"page " + std::to_wstring(now) + L" shown, not " + std::to_wstring(index));
}

int QuitMenu() {
  DWORD pid = 0;
  GetWindowThreadProcessId(Settings(), &pid);
  UINT callback = RegisterWindowMessageW(L"NewTrayMessageX_20");
  // The tray icon's hidden window is the one among the program's hidden windows that answers
  // the tray's callback message: it opens the menu.
  HWND candidate = nullptr;
  while ((candidate = FindWindowExW(nullptr, candidate, L"LumekoHiddenWindow", nullptr)) !=
         nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(candidate, &owner);
    if (owner == pid) PostMessageW(candidate, callback, 1, WM_RBUTTONDOWN);
  }
  HWND menu = nullptr;
  DWORD start = GetTickCount();
  while ((menu = FindWindowW(L"#32768", nullptr)) == nullptr || !IsWindowVisible(menu)) {
    if (GetTickCount() - start > 10000) return Fail(L"the tray menu did not open");
    Sleep(50);
  }
  Sleep(200);
  // Up from no selection lands on the last item, "Çı&kış"; Enter chooses it.
  PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
  Sleep(100);
  PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  return 0;
}

int Released() {
  DWORD pid = 0;
  HWND viewer = GetClipboardViewer();
  if (viewer != nullptr) {
    wchar_t name[64] = L"";
    GetClassNameW(viewer, name, 64);
    if (std::wstring(name) == L"LumekoHiddenWindow")
      return Fail(L"a Lumeko window is still in the clipboard viewer chain");
  }
  (void)pid;
  for (UINT vk : {VK_F10, VK_F11}) {
    if (!RegisterHotKey(nullptr, 0x4C00 + vk, 0, vk))
      return Fail(L"hot key " + std::to_wstring(vk) + L" is still taken");
    UnregisterHotKey(nullptr, 0x4C00 + vk);
  }
  return 0;
}

struct BoxSearch {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<BoxSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  if (owner == s->pid && std::wstring(name) == L"#32770" && IsWindowVisible(window))
    s->found.push_back(window);
  return TRUE;
}

// The dialog boxes (message boxes) that the running Lumeko has open.
std::vector<HWND> MessageBoxes() {
  BoxSearch search{0, {}};
  GetWindowThreadProcessId(Settings(), &search.pid);
  EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int Boxes() {
  std::vector<HWND> boxes = MessageBoxes();
  std::printf("%u\n", static_cast<unsigned>(boxes.size()));
  for (HWND box : boxes) {
    // A message box's text is its static control 0xFFFF.
    wchar_t text[2048] = L"";
    GetDlgItemTextW(box, 0xFFFF, text, 2048);
    for (wchar_t* c = text; *c; ++c)
      if (*c == L'\r' || *c == L'\n') *c = L' ';
    char utf8[8192] = "";
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::printf("%s\n", utf8);
  }
  return 0;
}

int CloseBoxes() {
  for (HWND box : MessageBoxes()) PostMessageW(box, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 100 && !MessageBoxes().empty(); ++i) Sleep(50);
  return MessageBoxes().empty() ? 0 : Fail(L"a message box stayed open");
}

HWND Named(const std::wstring& which) {
  if (which == L"settings") return Settings();
  if (which == L"player") return Player();
  return nullptr;
}

int Run(int argc, wchar_t** argv) {
  if (argc < 2) return Fail(L"no command (see the top of lumeko_driver.cpp)");
  std::wstring command = argv[1];
  auto arg = [&](int i) { return i < argc ? std::wstring(argv[i]) : std::wstring(); };
  auto number = [&](int i, double fallback) { return i < argc ? _wtof(argv[i]) : fallback; };

  if (command == L"wait-ready") {
    const double seconds = number(2, 30);
    const DWORD total = static_cast<DWORD>(seconds * 1000);
    const DWORD start = GetTickCount();
    if (!WaitFor([] { return Settings() != nullptr; }, seconds))
      return Fail(L"the settings window did not appear");
    // The window is made before the engines are listed and selected: ready is when the program
    // has come to its message loop.
    DWORD pid = 0;
    GetWindowThreadProcessId(Settings(), &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (process == nullptr) return Fail(L"cannot open the Lumeko process");
    DWORD idle = WaitForInputIdle(process, total - std::min(GetTickCount() - start, total));
    CloseHandle(process);
    return idle == 0 ? 0 : Fail(L"Lumeko did not come to wait for input");
  }
  if (command == L"wait-gone")
    return WaitFor([] { return Settings() == nullptr; }, number(2, 30))
               ? 0
               : Fail(L"the settings window is still there");
  if (Settings() == nullptr && command != L"clip" && command != L"key" && command != L"released")
    return Fail(L"Lumeko is not running");
  if (command == L"clip") return SetClipboard(arg(2));
  if (command == L"key") {
    PressKey(static_cast<WORD>(_wtoi(arg(2).c_str())));
    return 0;
  }
  if (command == L"show-settings") {
    ShowWindow(Settings(), SW_SHOW);
    SetForegroundWindow(Settings());
    return 0;
  }
  if (command == L"hide-settings") {
    ShowWindow(Settings(), SW_HIDE);
    return 0;
  }
  if (command == L"page") return ShowPage(_wtoi(arg(2).c_str()));
  if (command == L"rect" || command == L"visible") {
    HWND window = Named(arg(2));
    if (window == nullptr) return Fail(L"no window " + arg(2));
    if (command == L"visible") {
      std::wprintf(L"%d\n", IsWindowVisible(window) ? 1 : 0);
      return 0;
    }
    RECT r;
    GetWindowRect(window, &r);
    std::wprintf(L"%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    return 0;
  }
  if (command == L"click" || command == L"checked") {
    HWND button = ButtonWithText(arg(2));
    if (button == nullptr) return Fail(L"no button " + arg(2));
    if (command == L"checked") {
      std::wprintf(L"%d\n", SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
      return 0;
    }
    SendMessageW(button, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == L"hotkey") {
    std::vector<HWND> keys = Children(L"msctls_hotkey32");
    std::size_t i = static_cast<std::size_t>(_wtoi(arg(2).c_str()));
    if (i >= keys.size()) return Fail(L"no hot key control " + arg(2));
    if (argc > 3)
      SendMessageW(keys[i], HKM_SETHOTKEY, static_cast<WPARAM>(_wtoi(arg(3).c_str())), 0);
    else
      std::wprintf(L"%u\n", static_cast<unsigned>(SendMessageW(keys[i], HKM_GETHOTKEY, 0, 0)));
    return 0;
  }
  if (command == L"bar") {
    std::vector<HWND> bars = Children(L"msctls_trackbar32");
    std::size_t i = static_cast<std::size_t>(_wtoi(arg(2).c_str()));
    if (i >= bars.size()) return Fail(L"no bar " + arg(2));
    LRESULT lo = SendMessageW(bars[i], TBM_GETRANGEMIN, 0, 0);
    LRESULT hi = SendMessageW(bars[i], TBM_GETRANGEMAX, 0, 0);
    if (argc > 3)
      SendMessageW(bars[i], TBM_SETPOS, TRUE, lo + hi - _wtoi(arg(3).c_str()));
    else
      std::wprintf(L"%ld\n", static_cast<long>(lo + hi - SendMessageW(bars[i], TBM_GETPOS, 0, 0)));
    return 0;
  }
  if (command == L"engine") {
    std::vector<HWND> combos = Children(L"ComboBox");
    if (combos.empty()) return Fail(L"no engine list");
    // The list's own text of the selected item: Windows carries the text across processes.
    wchar_t name[300] = L"";
    LRESULT index = SendMessageW(combos[0], CB_GETCURSEL, 0, 0);
    if (index != CB_ERR &&
        SendMessageW(combos[0], CB_GETLBTEXTLEN, index, 0) < static_cast<LRESULT>(std::size(name)))
      SendMessageW(combos[0], CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(name));
    char utf8[1200] = "";
    WideCharToMultiByte(CP_UTF8, 0, name, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::printf("%s\n", utf8);
    return 0;
  }
  if (command == L"quit-menu") return QuitMenu();
  if (command == L"released") return Released();
  if (command == L"boxes") return Boxes();
  if (command == L"close-boxes") return CloseBoxes();
  return Fail(L"unknown command " + command);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  try {
    return Run(argc, argv);
  } catch (...) {
    return Fail(L"unexpected error");
  }
}
