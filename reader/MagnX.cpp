#include "MagnX.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cstdlib>
#include <exception>

#include "Framework.h"
#include "WComp.h"

namespace lumeko {

namespace {

constexpr int kResizeBorder = 5;

bool HasBorder(HWND window) {
  LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  return (style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER | WS_DLGFRAME)) != 0;
}

// Moves one coordinate of the owner onto a target's edges. near is the target edge the owner's
// leading edge (top or left) may sit on, far the edge its trailing edge may sit on; the first
// edge within reach wins.
int SnapAxis(int pos, int size, int nearEdge, int farEdge, int reach) {
  if (std::abs(nearEdge - pos) < reach) return nearEdge;
  if (std::abs(pos + size - farEdge) < reach) return farEdge - size;
  return pos;
}

}  // namespace

TMagX::TMagX(HWND owner) : FOwner(owner) {
  if (owner == nullptr || GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId())
    throw kalvor::Exception("Window snapping needs a window of the calling thread");
  // Subclassing through comctl32 rather than swapping the window procedure by hand: several
  // take-overs of one window may then end in any order without cutting one another off.
  if (!SetWindowSubclass(owner, SubclassProc, reinterpret_cast<UINT_PTR>(this),
                         reinterpret_cast<DWORD_PTR>(this)))
    throw kalvor::Exception("Cannot take over the messages of the window to snap");
  FCanResize = !HasBorder(owner);
}

TMagX::~TMagX() {
  Release();
}

void TMagX::Release() {
  if (FOwner == nullptr) return;
  RemoveWindowSubclass(FOwner, SubclassProc, reinterpret_cast<UINT_PTR>(this));
  FOwner = nullptr;
}

LRESULT CALLBACK TMagX::SubclassProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                     DWORD_PTR self) {
  try {
    return reinterpret_cast<TMagX*>(self)->WndProc(window, msg, wparam, lparam);
  } catch (const std::exception& error) {
    ShowException(error);
  } catch (...) {
    ShowException(kalvor::Exception("Unknown error in window snapping"));
  }
  return 0;
}

LRESULT TMagX::WndProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  LRESULT result = DefSubclassProc(window, msg, wparam, lparam);
  switch (msg) {
    case WM_NCHITTEST:
      result = ResizeTest(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam), result);
      break;
    case WM_MOUSEMOVE:
      DragStep(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      break;
    case WM_LBUTTONDOWN:
      Grab(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      break;
    case WM_NCDESTROY:
      // The owner goes first: nothing is left to give back.
      Release();
      break;
    default:
      break;
  }
  return result;
}

void TMagX::Grab(int x, int y) {
  if (!FActive) return;
  FGrab = POINT{x, y};
  if (FMagOption.MagCustom() && FCustomWindow != nullptr)
    GetWindowRect(FCustomWindow, &FCustomRect);
  FExplorerWindow = FMagOption.MagExplorer() ? FindWindowA("CabinetWClass", nullptr) : nullptr;
  if (FExplorerWindow != nullptr) GetWindowRect(FExplorerWindow, &FExplorerRect);
  FTrayWindow = FMagOption.MagTray() ? FindWindowA("Shell_TrayWnd", nullptr) : nullptr;
  if (FTrayWindow != nullptr) GetWindowRect(FTrayWindow, &FTrayRect);
}

void TMagX::DragStep(int x, int y) {
  // Only while the button is down at this very moment: a move after a release (the button let go
  // outside the window, a lost capture) must not carry the window along.
  if (!FActive || (GetAsyncKeyState(VK_LBUTTON) & 0x8000) == 0) return;
  RECT bounds{};
  if (!GetWindowRect(FOwner, &bounds)) return;
  int width = bounds.right - bounds.left;
  int height = bounds.bottom - bounds.top;
  FProposed = POINT{bounds.left + x - FGrab.x, bounds.top + y - FGrab.y};
  Snap(width, height);
  SetWindowPos(FOwner, nullptr, FProposed.x, FProposed.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TMagX::Snap(int width, int height) {
  const int reach = FMagEffect;
  auto toTarget = [&](const RECT& r) {
    // Target edges count as whole lines, whether or not the owner overlaps the target along them.
    FProposed.y = SnapAxis(FProposed.y, height, r.bottom, r.top, reach);
    FProposed.x = SnapAxis(FProposed.x, width, r.right, r.left, reach);
  };
  if (FMagOption.MagCustom() && FCustomWindow != nullptr) toTarget(FCustomRect);
  if (FMagOption.MagExplorer() && FExplorerWindow != nullptr) toTarget(FExplorerRect);
  if (FMagOption.MagTray() && FTrayWindow != nullptr) toTarget(FTrayRect);
  // The screen edges come last and win over every target.
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  if (FProposed.x < reach) FProposed.x = 0;
  if (FProposed.x > screenWidth - width - reach) FProposed.x = screenWidth - width;
  if (FProposed.y < reach) FProposed.y = 0;
  if (FProposed.y > screenHeight - height - reach) FProposed.y = screenHeight - height;
}

LRESULT TMagX::ResizeTest(int screenX, int screenY, LRESULT previous) const {
  if (!FCanResize || IsIconic(FOwner) || IsZoomed(FOwner)) return previous;
  RECT bounds{};
  if (!GetWindowRect(FOwner, &bounds)) return previous;
  POINT p{screenX, screenY};
  ScreenToClient(FOwner, &p);
  const int w = bounds.right - bounds.left;
  const int h = bounds.bottom - bounds.top;
  const bool left = p.x < kResizeBorder;
  const bool top = p.y < kResizeBorder;
  const bool right = p.x > w - kResizeBorder;
  const bool bottom = p.y > h - kResizeBorder;
  if (left && top) return HTTOPLEFT;
  if (right && top) return HTTOPRIGHT;
  if (right && bottom) return HTBOTTOMRIGHT;
  if (left && bottom) return HTBOTTOMLEFT;
  if (left) return HTLEFT;
  if (top) return HTTOP;
  if (right) return HTRIGHT;
  if (bottom) return HTBOTTOM;
  return previous;
}

}  // namespace lumeko
