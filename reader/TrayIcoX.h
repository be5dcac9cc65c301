// TTrayIconX: one icon with a tooltip in the taskbar notification area; mouse actions on it open
// pop-up menus or raise events. TPopupMenu is the menu it opens.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "WComp.h"

namespace lumeko {

// A pop-up menu of plain items, each with an action. Popup is virtual so that the owner (or a
// test) can put any menu behind the tray icon.
class TPopupMenu : private TMessageReceiver {
 public:
  TPopupMenu();
  virtual ~TPopupMenu();
  TPopupMenu(const TPopupMenu&) = delete;
  TPopupMenu& operator=(const TPopupMenu&) = delete;

  // Appends an item; "&" marks its access key. The action may be empty (an item that does nothing).
  void AddItem(const std::wstring& caption, std::function<void()> onClick);
  void AddSeparator();
  HMENU Handle() const { return FMenu; }
  // Runs the action of the item with the given position (separators count), as a click would.
  void Click(int position);

  // Opens the menu at a screen position and returns when it closes; the chosen item's action runs
  // after the menu is gone.
  virtual void Popup(int x, int y);

 private:
  void WndProc(TMessage& message) override;

  HMENU FMenu = nullptr;
  HWND FWindow = nullptr;                       // owner of the open menu, made on first Popup
  std::vector<std::function<void()>> FActions;  // by position; separators hold an empty action
};

class TTrayIconX : private TMessageReceiver {
 public:
  using TNotifyEvent = std::function<void(TTrayIconX& sender)>;

  // Registers the callback message and makes the hidden window; nothing is shown until Loaded.
  TTrayIconX();
  // Removes the icon when it is enabled, then frees the icon and the window.
  virtual ~TTrayIconX();
  TTrayIconX(const TTrayIconX&) = delete;
  TTrayIconX& operator=(const TTrayIconX&) = delete;

  // The owner calls this once it has set the icon, the tip and the menus: an enabled icon is then
  // added to the notification area.
  void Loaded();

  // Menus are not owned; each must outlive its use by the icon.
  TPopupMenu* PopupMenuL() const { return FPopupMenuL; }
  void SetPopupMenuL(TPopupMenu* menu) { FPopupMenuL = menu; }
  TPopupMenu* PopupMenuR() const { return FPopupMenuR; }
  void SetPopupMenuR(TPopupMenu* menu) { FPopupMenuR = menu; }

  // The icon shown: the component keeps its own copy of the picture it is given.
  HICON Icon() const { return FIcon; }
  void SetIcon(HICON icon);

  // The tooltip; the notification area shows its first 63 UTF-16 units.
  const std::wstring& Tip() const { return FTip; }
  void SetTip(const std::wstring& tip);

  // Every write adds (true) or deletes (false) the icon, also when the value did not change.
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);

  // When true, the right button opens PopupMenuL as well.
  bool PopupOnBoth() const { return FPopupOnBoth; }
  void SetPopupOnBoth(bool value) { FPopupOnBoth = value; }

  // Raised when no menu handles the action.
  TNotifyEvent OnLeftClick;
  TNotifyEvent OnRightClick;
  TNotifyEvent OnDblClick;

  HWND Handle() const { return FHandle; }
  // The message the notification area sends to Handle for mouse actions on the icon.
  UINT CallbackMessage() const { return FCallbackMessage; }
  // The record handed to the notification area for NIM_ADD, NIM_MODIFY or NIM_DELETE.
  NOTIFYICONDATAW NotifyData(DWORD action) const;

 protected:
  virtual void LeftClick();
  virtual void RightClick();
  virtual void DblClick();

 private:
  void WndProc(TMessage& message) override;
  void Notify(DWORD action);
  static void PopupAtCursor(TPopupMenu& menu);

  TPopupMenu* FPopupMenuL = nullptr;
  TPopupMenu* FPopupMenuR = nullptr;
  HICON FIcon = nullptr;
  std::wstring FTip;
  bool FEnabled = true;
  bool FPopupOnBoth = false;
  // An add was requested and no delete since: the icon belongs in the notification area, so it
  // is added again when the taskbar is re-created.
  bool FShown = false;
  HWND FHandle = nullptr;
  UINT FCallbackMessage = 0;
  UINT FTaskbarCreated = 0;
};

}  // namespace lumeko
