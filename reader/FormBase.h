// TForm: the base of Lumeko's two visible windows, the settings window and the floating player.
// It registers the window class, binds the object to its window and routes the window's messages
// to WndProc, with every exception stopped at the window procedure and shown to the user.
#pragma once

#include <windows.h>

#include <string>

#include "WComp.h"

namespace lumeko {

class TForm {
 public:
  TForm() = default;
  virtual ~TForm();
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  HWND Handle() const { return FHandle; }
  bool Visible() const { return FHandle != nullptr && IsWindowVisible(FHandle) != FALSE; }

  // The screen's DPI over 96: the layouts below are designed in 96-DPI pixels and scaled by it.
  static int Scale(int pixels);

 protected:
  // Registers the class (once per process) and creates the window, hidden. Throws
  // kalvor::Exception naming the class when Windows refuses.
  void CreateHandle(const wchar_t* className, const std::wstring& caption, DWORD style,
                    DWORD exStyle, RECT bounds, HWND parent, HICON icon = nullptr);
  // Messages the descendant does not answer (Result untouched and Handled false) get the
  // default window processing.
  struct TFormMessage : TMessage {
    bool Handled;
  };
  virtual void WndProc(TFormMessage& message) = 0;

 private:
  static LRESULT CALLBACK FormWindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);
  HWND FHandle = nullptr;
};

// A font from the system's message font, with the given pixel height (0: the system's own) and
// weight; the caller owns it.
HFONT CreateUiFont(int pixelHeight = 0, int weight = FW_NORMAL, const wchar_t* face = nullptr,
                   BYTE charset = DEFAULT_CHARSET);

}  // namespace lumeko
