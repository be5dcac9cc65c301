#include "FormBase.h"

#include <utility>

#include "Framework.h"

namespace lumeko {

TForm::~TForm() {
  HWND window = std::exchange(FHandle, nullptr);
  if (window != nullptr) {
    // Unbound first: the destruction messages must not reach a half-destroyed object.
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
  }
}

int TForm::Scale(int pixels) {
  static const int dpi = [] {
    HDC screen = GetDC(nullptr);
    int value = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return value > 0 ? value : 96;
  }();
  return MulDiv(pixels, dpi, 96);
}

void TForm::CreateHandle(const wchar_t* className, const std::wstring& caption, DWORD style,
                         DWORD exStyle, RECT bounds, HWND parent, HICON icon) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = FormWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.hIcon = icon;
  wc.lpszClassName = className;
  RegisterWindowClass(wc);
  HWND window = CreateWindowExW(exStyle, className, caption.c_str(), style, bounds.left, bounds.top,
                                bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                                nullptr, instance, this);
  if (window == nullptr)
    throw kalvor::Exception("Cannot create the window " + Narrow(className) + " (error " +
                            std::to_string(GetLastError()) + ")");
}

LRESULT CALLBACK TForm::FormWindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* form = static_cast<TForm*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    form->FHandle = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcW(window, msg, wparam, lparam);
  TFormMessage message{{window, msg, wparam, lparam, 0}, false};
  try {
    form->WndProc(message);
  } catch (const std::exception& error) {
    ShowException(error);
    message.Handled = true;
  } catch (...) {
    ShowException(kalvor::Exception("Unknown error in a window message handler"));
    message.Handled = true;
  }
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    form->FHandle = nullptr;
  }
  if (message.Handled) return message.Result;
  return DefWindowProcW(window, msg, wparam, lparam);
}

HFONT CreateUiFont(int pixelHeight, int weight, const wchar_t* face, BYTE charset) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  LOGFONTW font{};
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    font = metrics.lfMessageFont;
  else
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  if (pixelHeight != 0) font.lfHeight = -pixelHeight;
  font.lfWeight = weight;
  if (face != nullptr) {
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    font.lfCharSet = charset;
  }
  return CreateFontIndirectW(&font);
}

}  // namespace lumeko
