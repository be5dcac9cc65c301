#include "Frm_Visuals.h"

#include "resources/Artwork.h"

namespace lumeko {

namespace {

RECT Box(int left, int top, int width, int height) {
  return RECT{TForm::Scale(left), TForm::Scale(top), TForm::Scale(left + width),
              TForm::Scale(top + height)};
}

}  // namespace

TForm_Visuals::TForm_Visuals() {
  // Exactly WS_POPUP: no caption, border or system menu; always on top, no taskbar button, and
  // layered for the whole-window transparency. Its parent is the desktop: it belongs to no window.
  CreateHandle(L"TForm_Visuals", L"Lumeko", WS_POPUP,
               WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_LAYERED, Box(329, 169, 104, 46),
               GetDesktopWindow());
  SetLayeredWindowAttributes(Handle(), 0, 128, LWA_ALPHA);

  FTitleFont = CreateUiFont(0, FW_BOLD);
  FCloseFont = CreateUiFont(Scale(13), FW_NORMAL, L"Arial", TURKISH_CHARSET);
  int glyph = Scale(16);
  FGlyphPlay = artwork::ToBitmap(artwork::GlyphStrip(artwork::TGlyph::Play, glyph));
  FGlyphStop = artwork::ToBitmap(artwork::GlyphStrip(artwork::TGlyph::Stop, glyph));
  FGlyphProps = artwork::ToBitmap(artwork::GlyphStrip(artwork::TGlyph::Settings, glyph));

  FButtons = std::make_unique<TGlyphButtons>(Handle());
  FBtnPlay = &FButtons->Add(Box(7, 19, 23, 22));
  FBtnPlay->SetGlyph(FGlyphPlay, 2);
  FBtnPlay->OnClick = [this] { Btn_PlayClick(); };
  FBtnStop = &FButtons->Add(Box(41, 19, 23, 22));
  FBtnStop->SetGlyph(FGlyphStop, 2);
  FBtnStop->OnClick = [this] { Btn_StopClick(); };
  FBtnProps = &FButtons->Add(Box(74, 19, 23, 22));
  FBtnProps->SetGlyph(FGlyphProps, 2);
  FBtnProps->OnClick = [this] { Btn_PropsClick(); };
  FBtnClose = &FButtons->Add(Box(87, 2, 13, 13));
  FBtnClose->SetCaption(L"x", FCloseFont, GetSysColor(COLOR_CAPTIONTEXT));
  FBtnClose->OnClick = [this] { btn_CloseClick(); };
  // The pictures alone do not say what the buttons do.
  FBtnPlay->SetHint(L"Panodaki metni oku");
  FBtnStop->SetHint(L"Okumayı durdur");
  FBtnProps->SetHint(L"Ayarlar");
  FBtnClose->SetHint(L"Kapat");

  FMagX1 = std::make_unique<TMagX>(Handle());
  FMagX1->SetActive(true);
  FMagX1->SetCanResize(false);
  FMagX1->SetMagEffect(15);
  TMagOption option;
  option.SetMagTray(true);
  option.SetMagExplorer(false);
  option.SetMagCustom(false);
  FMagX1->SetMagOption(option);
}

TForm_Visuals::~TForm_Visuals() {
  FMagX1.reset();  // gives the window its own procedure back before it goes
  FButtons.reset();
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(FGlyphPlay), static_cast<HGDIOBJ>(FGlyphStop),
                         static_cast<HGDIOBJ>(FGlyphProps), static_cast<HGDIOBJ>(FTitleFont),
                         static_cast<HGDIOBJ>(FCloseFont)})
    if (object != nullptr) DeleteObject(object);
}

void TForm_Visuals::Show() {
  ShowWindow(Handle(), SW_SHOWNOACTIVATE);
  SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TForm_Visuals::Hide() {
  ShowWindow(Handle(), SW_HIDE);
}

void TForm_Visuals::Btn_PlayClick() {
  if (OnPlay) OnPlay();
}

void TForm_Visuals::Btn_StopClick() {
  if (OnStop) OnStop();
}

void TForm_Visuals::Btn_PropsClick() {
  if (OnProps) OnProps();
}

void TForm_Visuals::btn_CloseClick() {
  PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

void TForm_Visuals::FormClose() {
  // The window is only hidden, never destroyed; the settings window's check box follows, and the
  // choice is stored only when the settings are confirmed.
  Hide();
  if (OnClose) OnClose();
}

void TForm_Visuals::Paint(HDC dc) {
  RECT client;
  GetClientRect(Handle(), &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  // Label1: a title bar of the player's own.
  RECT title{0, 0, client.right, Scale(16)};
  FillRect(dc, &title, GetSysColorBrush(COLOR_ACTIVECAPTION));
  HGDIOBJ oldFont = SelectObject(dc, FTitleFont);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
  DrawTextW(dc, L"Lumeko", -1, &title, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  // Bevel1: a raised frame around the whole player.
  DrawEdge(dc, &client, BDR_RAISEDINNER, BF_RECT);
  FButtons->Paint(dc);
}

void TForm_Visuals::WndProc(TFormMessage& message) {
  if (FButtons) FButtons->HandleMessage(message.Msg, message.WParam, message.LParam);
  switch (message.Msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(message.Window, &ps);
      Paint(dc);
      EndPaint(message.Window, &ps);
      message.Handled = true;
      break;
    }
    case WM_ERASEBKGND:
      message.Result = 1;  // WM_PAINT paints everything
      message.Handled = true;
      break;
    case WM_LBUTTONDOWN:
      // As a form does: the mouse stays with the player while its button is down, so that a
      // drag goes on when the pointer runs ahead of the window.
      SetCapture(message.Window);
      message.Handled = true;
      break;
    case WM_LBUTTONUP:
      if (GetCapture() == message.Window) ReleaseCapture();
      message.Handled = true;
      break;
    case WM_MOUSEACTIVATE:
      // Clicking the player does not take the focus from the program the user is copying from.
      message.Result = MA_NOACTIVATE;
      message.Handled = true;
      break;
    case WM_CLOSE:
      FormClose();
      message.Handled = true;
      break;
    default:
      break;
  }
}

}  // namespace lumeko
