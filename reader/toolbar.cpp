#include "toolbar.h"

#include <commctrl.h>
#include <windowsx.h>

#include <utility>

namespace lumeko {

void TGlyphButton::SetGlyph(HBITMAP strip, int numGlyphs) {
  FGlyph = strip;
  FNumGlyphs = numGlyphs < 1 ? 1 : numGlyphs;
  if (FOwner != nullptr) InvalidateRect(FOwner, &FBounds, TRUE);
}

void TGlyphButton::SetCaption(std::wstring caption, HFONT font, COLORREF color) {
  FCaption = std::move(caption);
  FFont = font;
  FColor = color;
  if (FOwner != nullptr) InvalidateRect(FOwner, &FBounds, TRUE);
}

void TGlyphButton::SetEnabled(bool value) {
  if (value == FEnabled) return;
  FEnabled = value;
  if (!value) FHot = FPressed = false;
  if (FOwner != nullptr) InvalidateRect(FOwner, &FBounds, TRUE);
}

void TGlyphButton::Paint(HDC dc) const {
  RECT r = FBounds;
  int shift = Down() ? 1 : 0;
  if (!FCaption.empty()) {
    HGDIOBJ oldFont = FFont != nullptr ? SelectObject(dc, FFont) : nullptr;
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(dc, FEnabled ? FColor : GetSysColor(COLOR_GRAYTEXT));
    OffsetRect(&r, shift, shift);
    DrawTextW(dc, FCaption.c_str(), static_cast<int>(FCaption.size()), &r,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    if (oldFont != nullptr) SelectObject(dc, oldFont);
    return;
  }
  if (FEnabled && (FHot || FPressed)) {
    RECT frame = FBounds;
    DrawEdge(dc, &frame, Down() ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  }
  if (FGlyph == nullptr) return;
  BITMAP info{};
  if (GetObjectW(FGlyph, sizeof info, &info) == 0) return;
  int w = info.bmWidth / FNumGlyphs, h = info.bmHeight;
  int x = r.left + (r.right - r.left - w) / 2 + shift;
  int y = r.top + (r.bottom - r.top - h) / 2 + shift;
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, FGlyph);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, x, y, w, h, memory, GlyphIndex() * w, 0, w, h, blend);
  SelectObject(memory, old);
  DeleteDC(memory);
}

void TGlyphButton::SetHint(std::wstring hint) {
  FHint = std::move(hint);
  if (FButtons != nullptr) FButtons->UpdateHint(*this);
}

TGlyphButtons::~TGlyphButtons() {
  if (FToolTip != nullptr) DestroyWindow(FToolTip);
}

TGlyphButton& TGlyphButtons::Add(RECT bounds) {
  FButtons.push_back(std::make_unique<TGlyphButton>(bounds));
  FButtons.back()->FOwner = FOwner;
  FButtons.back()->FButtons = this;
  return *FButtons.back();
}

void TGlyphButtons::UpdateHint(const TGlyphButton& button) {
  if (FToolTip == nullptr) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    // Always shown: the owner may be a window that never becomes active (the floating player).
    FToolTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                               WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, FOwner, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (FToolTip == nullptr) return;
  }
  // The buttons have no windows: each is a tool given by its rectangle on the owner, with the
  // owner's mouse messages relayed from HandleMessage.
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = FOwner;
  tool.uId = reinterpret_cast<UINT_PTR>(&button);
  SendMessageW(FToolTip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  if (button.FHint.empty()) return;
  tool.rect = button.FBounds;
  tool.lpszText = const_cast<wchar_t*>(button.FHint.c_str());
  SendMessageW(FToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

TGlyphButton* TGlyphButtons::ButtonAt(POINT p) const {
  for (const auto& b : FButtons)
    if (b->Enabled() && b->Contains(p)) return b.get();
  return nullptr;
}

void TGlyphButtons::Invalidate(const TGlyphButton* button) const {
  if (button != nullptr) InvalidateRect(FOwner, &button->FBounds, TRUE);
}

void TGlyphButtons::SetHot(TGlyphButton* button) {
  if (button == FHotButton) return;
  if (FHotButton != nullptr) FHotButton->FHot = false;
  Invalidate(FHotButton);
  FHotButton = button;
  if (button != nullptr) button->FHot = true;
  Invalidate(button);
}

void TGlyphButtons::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  if (FToolTip != nullptr && msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) {
    MSG relayed{FOwner, msg, wparam, lparam, static_cast<DWORD>(GetMessageTime()), {}};
    GetCursorPos(&relayed.pt);
    SendMessageW(FToolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
  }
  switch (msg) {
    case WM_MOUSEMOVE:
      if (!FTrackingLeave) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, FOwner, 0};
        FTrackingLeave = TrackMouseEvent(&track) != FALSE;
      }
      // While a button is held, only that one can light up.
      if (FPressedButton != nullptr)
        SetHot(FPressedButton->Contains(p) ? FPressedButton : nullptr);
      else
        SetHot(ButtonAt(p));
      break;
    case WM_MOUSELEAVE:
      FTrackingLeave = false;
      if (FPressedButton == nullptr) SetHot(nullptr);
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      FPressedButton = ButtonAt(p);
      if (FPressedButton != nullptr) {
        FPressedButton->FPressed = true;
        GetWindowRect(FOwner, &FOwnerAtPress);
        SetHot(FPressedButton);
        Invalidate(FPressedButton);
      }
      break;
    case WM_LBUTTONUP: {
      TGlyphButton* button = std::exchange(FPressedButton, nullptr);
      if (button == nullptr) break;
      button->FPressed = false;
      Invalidate(button);
      RECT now{};
      GetWindowRect(FOwner, &now);
      bool moved = now.left != FOwnerAtPress.left || now.top != FOwnerAtPress.top;
      SetHot(ButtonAt(p));
      if (button->Contains(p) && button->Enabled() && !moved) {
        UpdateWindow(FOwner);
        if (button->OnClick) {
          auto onClick = button->OnClick;  // a copy: the handler may change the button
          onClick();
        }
      }
      break;
    }
    case WM_CAPTURECHANGED:
      // Another window took the mouse in the middle of a press: the press is abandoned.
      if (FPressedButton != nullptr && reinterpret_cast<HWND>(lparam) != FOwner) {
        FPressedButton->FPressed = false;
        Invalidate(std::exchange(FPressedButton, nullptr));
      }
      break;
    default:
      break;
  }
}

void TGlyphButtons::Paint(HDC dc) const {
  for (const auto& b : FButtons) b->Paint(dc);
}

}  // namespace lumeko
