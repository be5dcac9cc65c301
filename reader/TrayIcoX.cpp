#include "TrayIcoX.h"

#include <cwchar>
#include <utility>

#include "Framework.h"

namespace lumeko {

// ---- TPopupMenu ----

TPopupMenu::TPopupMenu() {
  FMenu = CreatePopupMenu();
  if (FMenu == nullptr)
    throw kalvor::Exception("Cannot create a pop-up menu (error " + std::to_string(GetLastError()) +
                            ")");
}

TPopupMenu::~TPopupMenu() {
  DestroyMenu(FMenu);
  DeallocateHWnd(std::exchange(FWindow, nullptr));
}

void TPopupMenu::AddItem(const std::wstring& caption, std::function<void()> onClick) {
  FActions.push_back(std::move(onClick));
  // Identifiers are positions + 1: TrackPopupMenu answers 0 for "nothing chosen".
  if (!AppendMenuW(FMenu, MF_STRING, FActions.size(), caption.c_str())) {
    FActions.pop_back();
    throw kalvor::Exception("Cannot add a menu item (error " + std::to_string(GetLastError()) +
                            ")");
  }
}

void TPopupMenu::AddSeparator() {
  FActions.emplace_back();
  if (!AppendMenuW(FMenu, MF_SEPARATOR, 0, nullptr)) FActions.pop_back();
}

void TPopupMenu::Click(int position) {
  if (position < 0 || static_cast<std::size_t>(position) >= FActions.size()) return;
  // A copy: the action may change the menu.
  auto action = FActions[position];
  if (action) action();
}

void TPopupMenu::Popup(int x, int y) {
  if (FWindow == nullptr) FWindow = AllocateHWnd(*this);
  // A menu opened for a window of another program's notification area closes only when clicked
  // away if its owner is the foreground window; the empty message afterwards lets the owner
  // notice that the menu loop is over.
  SetForegroundWindow(FWindow);
  UINT id = TrackPopupMenuEx(FMenu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, x, y, FWindow,
                             nullptr);
  PostMessageW(FWindow, WM_NULL, 0, 0);
  if (id != 0) Click(static_cast<int>(id) - 1);
}

void TPopupMenu::WndProc(TMessage& message) {
  if (message.Msg == WM_NCDESTROY) FWindow = nullptr;
  message.Result = DefWindowProcW(message.Window, message.Msg, message.WParam, message.LParam);
}

// ---- TTrayIconX ----

namespace {

// The tip as the notification area takes it: at most 63 UTF-16 units and a NUL, never ending in
// half of a surrogate pair.
void CopyTip(const std::wstring& tip, wchar_t (&dest)[128]) {
  std::size_t n = tip.size() < 63 ? tip.size() : 63;
  if (n == 63 && IS_HIGH_SURROGATE(tip[62])) n = 62;
  std::wmemcpy(dest, tip.data(), n);
  dest[n] = L'\0';
}

}  // namespace

TTrayIconX::TTrayIconX() {
  FCallbackMessage = RegisterWindowMessageW(L"NewTrayMessageX_20");
  // Broadcast to every top-level window when the taskbar is (re-)created, after the shell
  // restarts for example: the icons of running programs are gone then.
  FTaskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
  FHandle = AllocateHWnd(*this);
}

TTrayIconX::~TTrayIconX() {
  if (FEnabled) Notify(NIM_DELETE);
  if (FIcon != nullptr) DestroyIcon(FIcon);
  DeallocateHWnd(FHandle);
}

void TTrayIconX::Loaded() {
  if (FEnabled) Notify(NIM_ADD);
}

void TTrayIconX::SetIcon(HICON icon) {
  if (icon == FIcon) return;
  HICON copy = icon != nullptr ? CopyIcon(icon) : nullptr;
  if (icon != nullptr && copy == nullptr)
    throw kalvor::Exception("Cannot copy the tray icon (error " + std::to_string(GetLastError()) +
                            ")");
  if (FIcon != nullptr) DestroyIcon(FIcon);
  FIcon = copy;
  Notify(NIM_MODIFY);
}

void TTrayIconX::SetTip(const std::wstring& tip) {
  if (tip == FTip) return;
  FTip = tip;
  Notify(NIM_MODIFY);
}

void TTrayIconX::SetEnabled(bool value) {
  FEnabled = value;
  Notify(value ? NIM_ADD : NIM_DELETE);
}

NOTIFYICONDATAW TTrayIconX::NotifyData(DWORD action) const {
  NOTIFYICONDATAW data{};
  // The first form of the record: every shell takes it, and it holds all the component uses.
  data.cbSize = NOTIFYICONDATAW_V1_SIZE;
  data.hWnd = FHandle;
  data.uID = 1;
  if (action != NIM_DELETE) {
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = FCallbackMessage;
    data.hIcon = FIcon;
    CopyTip(FTip, data.szTip);
  }
  return data;
}

void TTrayIconX::Notify(DWORD action) {
  if (FHandle == nullptr) return;  // window destroyed from outside: nothing could receive clicks
  NOTIFYICONDATAW data = NotifyData(action);
  // The result is not examined: a modify while the icon is not shown changes nothing, which is
  // what should happen, and a failed add leaves nothing better to do.
  Shell_NotifyIconW(action, &data);
  if (action == NIM_ADD) FShown = true;
  if (action == NIM_DELETE) FShown = false;
}

void TTrayIconX::PopupAtCursor(TPopupMenu& menu) {
  POINT cursor{};
  GetCursorPos(&cursor);
  menu.Popup(cursor.x, cursor.y);
}

void TTrayIconX::LeftClick() {
  if (FPopupMenuL != nullptr)
    PopupAtCursor(*FPopupMenuL);
  else if (OnLeftClick)
    OnLeftClick(*this);
}

void TTrayIconX::RightClick() {
  if (FPopupMenuL != nullptr && FPopupOnBoth)
    PopupAtCursor(*FPopupMenuL);
  else if (FPopupMenuR != nullptr)
    PopupAtCursor(*FPopupMenuR);
  else if (OnRightClick)
    OnRightClick(*this);
}

void TTrayIconX::DblClick() {
  if (OnDblClick) OnDblClick(*this);
}

void TTrayIconX::WndProc(TMessage& message) {
  message.Result = 0;
  if (FCallbackMessage != 0 && message.Msg == FCallbackMessage) {
    switch (LOWORD(message.LParam)) {
      case WM_LBUTTONDOWN:
        LeftClick();
        break;
      case WM_LBUTTONDBLCLK:
        DblClick();
        break;
      case WM_RBUTTONDOWN:
        RightClick();
        break;
      default:
        break;
    }
    return;
  }
  if (FTaskbarCreated != 0 && message.Msg == FTaskbarCreated) {
    if (FShown) Notify(NIM_ADD);
    return;
  }
  if (AnswerSessionEnd(message)) return;
  switch (message.Msg) {
    case WM_DESTROY:
      // Destroyed from outside: an icon left behind would answer to nothing.
      if (FShown) Notify(NIM_DELETE);
      message.Result = DefWindowProcW(message.Window, message.Msg, message.WParam, message.LParam);
      break;
    case WM_NCDESTROY:
      FHandle = nullptr;
      [[fallthrough]];
    default:
      message.Result = DefWindowProcW(message.Window, message.Msg, message.WParam, message.LParam);
      break;
  }
}

}  // namespace lumeko
