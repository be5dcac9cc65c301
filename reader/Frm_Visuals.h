// TForm_Visuals: the floating player, a small half-transparent bar that stays above other windows
// with Play, Stop and Settings buttons and a close cross. It can be dragged by any point of its
// face and snaps to the screen edges and the taskbar. It has no logic of its own: its buttons
// raise the events below, which the settings window handles.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "FormBase.h"
#include "MagnX.h"
#include "toolbar.h"

namespace lumeko {

class TForm_Visuals : public TForm {
 public:
  // Creates the window, hidden.
  TForm_Visuals();
  ~TForm_Visuals() override;

  // Shows the player without taking the focus from the window the user works in.
  void Show();
  void Hide();

  // Btn_Play: read the clipboard; Btn_Stop: stop reading; Btn_Props: show the settings window.
  std::function<void()> OnPlay;
  std::function<void()> OnStop;
  std::function<void()> OnProps;
  // The player was closed with its cross (FormClose): the settings window unchecks its box.
  std::function<void()> OnClose;

  TGlyphButton& Btn_Play() const { return *FBtnPlay; }
  TGlyphButton& Btn_Stop() const { return *FBtnStop; }
  TGlyphButton& Btn_Props() const { return *FBtnProps; }
  TGlyphButton& btn_Close() const { return *FBtnClose; }
  TMagX& MagX1() const { return *FMagX1; }
  // The tooltips of the buttons.
  HWND ToolTip() const { return FButtons->ToolTip(); }

 protected:
  void WndProc(TFormMessage& message) override;

 private:
  void Btn_PlayClick();
  void Btn_StopClick();
  void Btn_PropsClick();
  void btn_CloseClick();
  void FormClose();
  void Paint(HDC dc);

  std::unique_ptr<TGlyphButtons> FButtons;
  TGlyphButton* FBtnPlay = nullptr;
  TGlyphButton* FBtnStop = nullptr;
  TGlyphButton* FBtnProps = nullptr;
  TGlyphButton* FBtnClose = nullptr;
  HBITMAP FGlyphPlay = nullptr;
  HBITMAP FGlyphStop = nullptr;
  HBITMAP FGlyphProps = nullptr;
  HFONT FTitleFont = nullptr;
  HFONT FCloseFont = nullptr;
  std::unique_ptr<TMagX> FMagX1;
};

}  // namespace lumeko
