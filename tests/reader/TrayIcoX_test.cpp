// The tray icon against Wine's notification area, and the routing of its mouse messages.
#include "TrayIcoX.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TestWindows.h"

namespace lumeko {
namespace {

using test::PumpUntil;

// Whether the notification area holds the icon of this window: a modify that changes nothing
// succeeds only for an icon that is there.
bool IconShown(HWND window) {
  NOTIFYICONDATAW probe{};
  probe.cbSize = NOTIFYICONDATAW_V1_SIZE;
  probe.hWnd = window;
  probe.uID = 1;
  return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

TEST(TrayIcon, RecordCarriesTheCallbackIconAndTipCutTo63Units) {
  TTrayIconX tray;
  tray.SetEnabled(false);
  tray.SetIcon(LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION)));
  EXPECT_EQ(tray.CallbackMessage(), RegisterWindowMessageA("NewTrayMessageX_20"));

  std::wstring tip70;
  for (int i = 0; i < 70; ++i) tip70 += static_cast<wchar_t>(L"ğüşİıöç"[i % 7]);
  tray.SetTip(tip70);
  EXPECT_EQ(tray.Tip(), tip70);  // the component keeps it whole
  NOTIFYICONDATAW add = tray.NotifyData(NIM_ADD);
  EXPECT_EQ(add.cbSize, NOTIFYICONDATAW_V1_SIZE);
  EXPECT_EQ(add.hWnd, tray.Handle());
  EXPECT_EQ(add.uID, 1u);
  EXPECT_EQ(add.uFlags, 7u);
  EXPECT_EQ(add.uCallbackMessage, tray.CallbackMessage());
  EXPECT_EQ(add.hIcon, tray.Icon());
  EXPECT_EQ(std::wstring(add.szTip), tip70.substr(0, 63));

  // A character outside the basic plane is not cut in half at the limit.
  std::wstring astral(62, L'a');
  astral += L"\U0001F50A";
  tray.SetTip(astral);
  EXPECT_EQ(std::wstring(tray.NotifyData(NIM_MODIFY).szTip), std::wstring(62, L'a'));

  tray.SetTip(L"Lumeko V 1.0");
  EXPECT_EQ(std::wstring(tray.NotifyData(NIM_MODIFY).szTip), L"Lumeko V 1.0");

  NOTIFYICONDATAW del = tray.NotifyData(NIM_DELETE);
  EXPECT_EQ(del.hWnd, tray.Handle());
  EXPECT_EQ(del.uID, 1u);
  EXPECT_EQ(del.uFlags, 0u);
  EXPECT_EQ(del.szTip[0], L'\0');
}

TEST(TrayIcon, IconIsCopiedOnceAndTheSameObjectIsLeftAlone) {
  TTrayIconX tray;
  HICON stock = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  tray.SetIcon(stock);
  HICON copy = tray.Icon();
  EXPECT_NE(copy, nullptr);
  EXPECT_NE(copy, stock);
  tray.SetIcon(copy);
  EXPECT_EQ(tray.Icon(), copy);
  tray.SetIcon(nullptr);
  EXPECT_EQ(tray.Icon(), nullptr);
}

TEST(TrayIcon, AddedOnceLoadedRemovedWhenDisabledOrDestroyed) {
  HWND window;
  {
    TTrayIconX tray;
    window = tray.Handle();
    tray.SetIcon(LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION)));
    tray.SetTip(L"Lumeko V 1.0");
    EXPECT_FALSE(IconShown(window));  // changes before Loaded show nothing
    tray.Loaded();
    EXPECT_TRUE(IconShown(window));
    tray.SetTip(L"Başka ipucu");
    EXPECT_TRUE(IconShown(window));
    tray.SetEnabled(false);
    EXPECT_FALSE(IconShown(window));
    tray.SetTip(L"gizliyken");  // a modify while hidden brings nothing back
    EXPECT_FALSE(IconShown(window));
    tray.SetEnabled(true);
    tray.SetEnabled(true);  // a second add of a shown icon is refused and harmless
    EXPECT_TRUE(IconShown(window));
  }
  EXPECT_FALSE(IconShown(window));
}

TEST(TrayIcon, TaskbarCreatedAddsTheIconAgain) {
  TTrayIconX tray;
  tray.SetIcon(LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION)));
  tray.Loaded();
  ASSERT_TRUE(IconShown(tray.Handle()));

  // The shell restarts: its notification area comes back empty and says so to every top-level
  // window.
  NOTIFYICONDATAW lost = tray.NotifyData(NIM_DELETE);
  ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &lost));
  const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
  PostMessageW(HWND_BROADCAST, taskbarCreated, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return IconShown(tray.Handle()); }));

  // A disabled icon stays away.
  tray.SetEnabled(false);
  SendMessageW(tray.Handle(), taskbarCreated, 0, 0);
  EXPECT_FALSE(IconShown(tray.Handle()));
}

// A menu that records where it was opened instead of opening.
class RecordingMenu : public TPopupMenu {
 public:
  void Popup(int x, int y) override { opened = POINT{x, y}; }
  std::optional<POINT> opened;
};

TEST(TrayIcon, MouseActionsOpenTheRightMenuOrRaiseTheRightEvent) {
  enum Outcome { kNothing, kMenuL, kMenuR, kLeftClick, kRightClick, kDblClick };
  struct Case {
    bool menuL, menuR, popupOnBoth;
    LPARAM action;
    Outcome outcome;
  };
  const Case cases[] = {
      {true, true, false, WM_LBUTTONDOWN, kMenuL},
      {false, true, false, WM_LBUTTONDOWN, kLeftClick},
      {true, true, false, WM_RBUTTONDOWN, kMenuR},
      {true, true, true, WM_RBUTTONDOWN, kMenuL},
      {false, true, true, WM_RBUTTONDOWN, kMenuR},
      {true, false, false, WM_RBUTTONDOWN, kRightClick},
      {false, false, false, WM_RBUTTONDOWN, kRightClick},
      {true, true, true, WM_LBUTTONDBLCLK, kDblClick},
      {true, true, true, WM_LBUTTONUP, kNothing},
      {true, true, true, WM_RBUTTONUP, kNothing},
      {true, true, true, WM_MOUSEMOVE, kNothing},
      {true, true, true, WM_RBUTTONDBLCLK, kNothing},
      // Only the low word names the action.
      {true, true, false, MAKELPARAM(WM_RBUTTONDOWN, 1), kMenuR},
  };
  ASSERT_TRUE(SetCursorPos(123, 45));
  POINT cursor{};
  GetCursorPos(&cursor);
  for (const auto& c : cases) {
    TTrayIconX tray;
    tray.SetEnabled(false);
    RecordingMenu left, right;
    if (c.menuL) tray.SetPopupMenuL(&left);
    if (c.menuR) tray.SetPopupMenuR(&right);
    tray.SetPopupOnBoth(c.popupOnBoth);
    Outcome event = kNothing;
    tray.OnLeftClick = [&](TTrayIconX& sender) {
      EXPECT_EQ(&sender, &tray);
      event = kLeftClick;
    };
    tray.OnRightClick = [&](TTrayIconX&) { event = kRightClick; };
    tray.OnDblClick = [&](TTrayIconX&) { event = kDblClick; };

    SendMessageW(tray.Handle(), tray.CallbackMessage(), 1, c.action);

    Outcome got = left.opened ? kMenuL : right.opened ? kMenuR : event;
    EXPECT_EQ(got, c.outcome) << "case " << (&c - cases);
    EXPECT_FALSE(left.opened && right.opened);
    for (const auto* menu : {&left, &right})
      if (menu->opened) {
        EXPECT_EQ(menu->opened->x, cursor.x);
        EXPECT_EQ(menu->opened->y, cursor.y);
      }
  }
}

// Types keys into the menu once it is open (keys typed before would go to whichever window had
// the focus then), and closes a menu that they failed to close, so that a failure cannot hang
// the run.
class MenuTyping {
 public:
  explicit MenuTyping(std::vector<WORD> keys) {
    pending_ = std::move(keys);
    type_ = SetTimer(nullptr, 0, 300, Type);
    watchdog_ = SetTimer(nullptr, 0, 5000, Close);
  }
  ~MenuTyping() {
    KillTimer(nullptr, type_);
    KillTimer(nullptr, watchdog_);
  }

 private:
  static void CALLBACK Type(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    for (WORD key : pending_) test::PressKey(key);
  }
  static void CALLBACK Close(HWND, UINT, UINT_PTR, DWORD) { EndMenu(); }

  static inline std::vector<WORD> pending_;
  UINT_PTR type_, watchdog_;
};

TEST(PopupMenu, ChosenItemRunsAfterTheMenuCloses) {
  TPopupMenu menu;
  int chosen = -1;
  menu.AddItem(L"Lumeko V 1.0", nullptr);
  menu.AddSeparator();
  menu.AddItem(L"&Ayarlar", [&] { chosen = 2; });
  menu.AddItem(L"Çı&kış", [&] { chosen = 3; });
  EXPECT_EQ(GetMenuItemCount(menu.Handle()), 4);

  menu.Click(3);
  EXPECT_EQ(chosen, 3);
  chosen = -1;
  menu.Click(0);  // an item without action
  menu.Click(1);  // the separator
  menu.Click(9);  // no such item
  EXPECT_EQ(chosen, -1);

  // Through the real menu: the access key of "&Ayarlar".
  {
    MenuTyping typing({'A'});
    menu.Popup(100, 100);
  }
  EXPECT_EQ(chosen, 2);
  // Down from the first item skips the separator.
  chosen = -1;
  {
    MenuTyping typing({VK_DOWN, VK_DOWN, VK_RETURN});
    menu.Popup(100, 100);
  }
  EXPECT_EQ(chosen, 2);
}

TEST(PopupMenu, EscapeChoosesNothing) {
  TPopupMenu menu;
  bool ran = false;
  menu.AddItem(L"&Ayarlar", [&] { ran = true; });
  DWORD start = GetTickCount();
  {
    MenuTyping typing({VK_ESCAPE});
    menu.Popup(100, 100);
  }
  EXPECT_FALSE(ran);
  EXPECT_LT(GetTickCount() - start, 4000u);  // closed by the key, not by the watchdog
}

}  // namespace
}  // namespace lumeko
