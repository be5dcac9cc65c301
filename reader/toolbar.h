// Flat toolbar-style push buttons with a picture, drawn by the window they sit on.
//
// The buttons have no window of their own, like the speed buttons of a toolbar: every mouse message
// reaches the owner window first, so a press on a button is also a press on the owner. The floating
// player relies on this: it is dragged by any point of its face, its buttons included.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lumeko {

class TGlyphButtons;

class TGlyphButton {
 public:
  explicit TGlyphButton(RECT bounds) : FBounds(bounds) {}

  // Client rectangle on the owner.
  RECT Bounds() const { return FBounds; }

  // The pictures: one bitmap (32 bits with premultiplied alpha) holding NumGlyphs pictures of equal
  // width side by side; the first is the normal picture, the second the disabled one. With one
  // picture only, a disabled button shows it too. The bitmap is not owned and must outlive the
  // button.
  void SetGlyph(HBITMAP strip, int numGlyphs);
  HBITMAP Glyph() const { return FGlyph; }
  int NumGlyphs() const { return FNumGlyphs; }
  // Which picture of the strip is shown now.
  int GlyphIndex() const { return !FEnabled && FNumGlyphs > 1 ? 1 : 0; }

  // A text instead of a picture, drawn without a background or frame (the player's close cross).
  // The font is not owned.
  void SetCaption(std::wstring caption, HFONT font, COLORREF color);
  const std::wstring& Caption() const { return FCaption; }

  // The tooltip shown while the mouse rests on the button (none when empty).
  void SetHint(std::wstring hint);
  const std::wstring& Hint() const { return FHint; }

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);

  // Under the mouse (hot tracking: the flat button shows its frame only then).
  bool Hot() const { return FHot; }
  // Held down by the left button with the mouse still over it.
  bool Down() const { return FPressed && FHot; }

  std::function<void()> OnClick;

 private:
  friend class TGlyphButtons;
  void Paint(HDC dc) const;
  bool Contains(POINT p) const { return PtInRect(&FBounds, p) != FALSE; }

  RECT FBounds;
  HBITMAP FGlyph = nullptr;
  int FNumGlyphs = 1;
  std::wstring FCaption;
  HFONT FFont = nullptr;
  COLORREF FColor = 0;
  bool FEnabled = true;
  bool FHot = false;
  bool FPressed = false;
  HWND FOwner = nullptr;
  std::wstring FHint;
  TGlyphButtons* FButtons = nullptr;
};

// The buttons of one owner window, and the routing of its messages to them.
class TGlyphButtons {
 public:
  explicit TGlyphButtons(HWND owner) : FOwner(owner) {}
  ~TGlyphButtons();
  TGlyphButtons(const TGlyphButtons&) = delete;
  TGlyphButtons& operator=(const TGlyphButtons&) = delete;

  TGlyphButton& Add(RECT bounds);
  const std::vector<std::unique_ptr<TGlyphButton>>& Buttons() const { return FButtons; }

  // To be called from the owner's window procedure with every message; it never takes a message
  // away from the owner. Handles the mouse messages and WM_CAPTURECHANGED; a click runs after the
  // button has been redrawn. A press that ends with the owner moved (the user dragged the window
  // by the button) is no click.
  void HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam);
  // Draws every button; the owner calls it from its WM_PAINT after painting its background.
  void Paint(HDC dc) const;
  // The tooltip window of the buttons' hints (null until a button has one).
  HWND ToolTip() const { return FToolTip; }

 private:
  TGlyphButton* ButtonAt(POINT p) const;
  void SetHot(TGlyphButton* button);
  void Invalidate(const TGlyphButton* button) const;
  friend class TGlyphButton;
  void UpdateHint(const TGlyphButton& button);

  HWND FOwner;
  std::vector<std::unique_ptr<TGlyphButton>> FButtons;
  TGlyphButton* FHotButton = nullptr;
  TGlyphButton* FPressedButton = nullptr;
  RECT FOwnerAtPress{};
  bool FTrackingLeave = false;
  HWND FToolTip = nullptr;
};

}  // namespace lumeko
