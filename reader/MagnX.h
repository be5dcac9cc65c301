// TMagX: makes a borderless form draggable by its client area, makes its edges snap like magnets to
// the screen edges, the taskbar, an Explorer folder window and an optional further window, and can
// give it resize borders. It sees the form's messages by subclassing its window: each message goes
// to the form's own procedure first, then TMagX acts on the result.
#pragma once

#include <windows.h>

namespace lumeko {

// What a TMagX snaps to besides the screen edges.
class TMagOption {
 public:
  // The taskbar (window class "Shell_TrayWnd").
  bool MagTray() const { return FMagTray; }
  void SetMagTray(bool value) { FMagTray = value; }
  // An Explorer folder window (window class "CabinetWClass").
  bool MagExplorer() const { return FMagExplorer; }
  void SetMagExplorer(bool value) { FMagExplorer = value; }
  // The window set with TMagX::SetCustomWindow.
  bool MagCustom() const { return FMagCustom; }
  void SetMagCustom(bool value) { FMagCustom = value; }

 private:
  bool FMagTray = true;
  bool FMagExplorer = false;
  bool FMagCustom = false;
};

class TMagX {
 public:
  // Takes over the owner's messages. CanResize starts true when the owner has no border.
  // Throws kalvor::Exception when the owner is not a window of this thread.
  explicit TMagX(HWND owner);
  // Gives the owner its messages back (if it still exists).
  ~TMagX();
  TMagX(const TMagX&) = delete;
  TMagX& operator=(const TMagX&) = delete;

  HWND Owner() const { return FOwner; }

  // Dragging and snapping on.
  bool Active() const { return FActive; }
  void SetActive(bool value) { FActive = value; }
  // Resize borders of 5 pixels on all sides while the owner is neither minimised nor maximised.
  bool CanResize() const { return FCanResize; }
  void SetCanResize(bool value) { FCanResize = value; }
  // Snapping distance in pixels: an edge closer than this to a target edge sits on it.
  int MagEffect() const { return FMagEffect; }
  void SetMagEffect(int value) { FMagEffect = value; }
  const TMagOption& MagOption() const { return FMagOption; }
  void SetMagOption(const TMagOption& value) { FMagOption = value; }
  // The further window that MagCustom snaps to; 0 for none.
  HWND CustomWindow() const { return FCustomWindow; }
  void SetCustomWindow(HWND window) { FCustomWindow = window; }

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam,
                                       UINT_PTR id, DWORD_PTR self);
  LRESULT WndProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);
  void Grab(int x, int y);
  void DragStep(int x, int y);
  void Snap(int width, int height);
  LRESULT ResizeTest(int screenX, int screenY, LRESULT previous) const;
  void Release();

  bool FActive = true;
  bool FCanResize = false;
  POINT FGrab{};      // client coordinates of the last left-button press
  POINT FProposed{};  // top-left corner being computed during a drag
  int FMagEffect = 10;
  TMagOption FMagOption;
  HWND FOwner = nullptr;
  // Targets found, and their screen rectangles taken, at each left-button press: they stay as
  // they were for the whole drag.
  HWND FTrayWindow = nullptr;
  HWND FExplorerWindow = nullptr;
  RECT FTrayRect{};
  RECT FExplorerRect{};
  RECT FCustomRect{};
  HWND FCustomWindow = nullptr;
};

}  // namespace lumeko
