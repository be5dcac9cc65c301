// The floating player, its flat glyph buttons and the pictures drawn in code, on real windows.
#include "Frm_Visuals.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>

#include "TestWindows.h"
#include "resources/Artwork.h"
#include "toolbar.h"

namespace lumeko {
namespace {

LPARAM At(int x, int y) {
  return MAKELPARAM(x, y);
}

POINT Centre(const TGlyphButton& b) {
  RECT r = b.Bounds();
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    player_.OnPlay = [this] { events_ += "play "; };
    player_.OnStop = [this] { events_ += "stop "; };
    player_.OnProps = [this] { events_ += "props "; };
    player_.OnClose = [this] { events_ += "close "; };
  }
  void Click(const TGlyphButton& b) {
    POINT c = Centre(b);
    SendMessageW(player_.Handle(), WM_MOUSEMOVE, 0, At(c.x, c.y));
    SendMessageW(player_.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(c.x, c.y));
    SendMessageW(player_.Handle(), WM_LBUTTONUP, 0, At(c.x, c.y));
  }

  TForm_Visuals player_;
  std::string events_;
};

TEST_F(PlayerTest, IsASmallBorderlessTopmostToolWindowAtHalfOpacity) {
  HWND w = player_.Handle();
  // Windows itself adds WS_CLIPSIBLINGS to every top-level window.
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(w, GWL_STYLE)) & ~(WS_VISIBLE | WS_CLIPSIBLINGS),
            WS_POPUP);
  DWORD ex = static_cast<DWORD>(GetWindowLongPtrW(w, GWL_EXSTYLE));
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(w, nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 128);
  EXPECT_TRUE(flags & LWA_ALPHA);
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, TForm::Scale(329));
  EXPECT_EQ(r.top, TForm::Scale(169));
  EXPECT_EQ(r.right - r.left, TForm::Scale(104));
  EXPECT_EQ(r.bottom - r.top, TForm::Scale(46));
  wchar_t caption[32] = L"";
  GetWindowTextW(w, caption, 32);
  EXPECT_EQ(std::wstring(caption), L"Lumeko");
  EXPECT_FALSE(player_.Visible());
  EXPECT_TRUE(player_.MagX1().Active());
  EXPECT_FALSE(player_.MagX1().CanResize());
  EXPECT_EQ(player_.MagX1().MagEffect(), 15);
  EXPECT_TRUE(player_.MagX1().MagOption().MagTray());
  EXPECT_FALSE(player_.MagX1().MagOption().MagExplorer());
}

TEST_F(PlayerTest, EachButtonRaisesItsOwnEvent) {
  player_.Show();
  Click(player_.Btn_Play());
  Click(player_.Btn_Stop());
  Click(player_.Btn_Props());
  EXPECT_EQ(events_, "play stop props ");
  EXPECT_TRUE(player_.Visible());
}

TEST_F(PlayerTest, EachButtonHasATooltipOverItsOwnRectangle) {
  HWND tip = player_.ToolTip();
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 4);
  const struct {
    const TGlyphButton& button;
    const wchar_t* hint;
  } expected[] = {{player_.Btn_Play(), L"Panodaki metni oku"},
                  {player_.Btn_Stop(), L"Okumayı durdur"},
                  {player_.Btn_Props(), L"Ayarlar"},
                  {player_.btn_Close(), L"Kapat"}};
  for (const auto& e : expected) {
    wchar_t text[80] = L"";
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = player_.Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(&e.button);
    tool.lpszText = text;
    ASSERT_TRUE(SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(std::wstring(text), e.hint);
    RECT bounds = e.button.Bounds();
    EXPECT_TRUE(EqualRect(&tool.rect, &bounds));
  }
}

TEST_F(PlayerTest, TheCrossHidesThePlayerAndTellsTheSettingsWindow) {
  player_.Show();
  Click(player_.btn_Close());
  test::Pump(100);
  EXPECT_EQ(events_, "close ");
  EXPECT_FALSE(player_.Visible());
  EXPECT_TRUE(IsWindow(player_.Handle()));
}

TEST_F(PlayerTest, APressReleasedElsewhereOrAfterADragIsNoClick) {
  player_.Show();
  HWND w = player_.Handle();
  POINT c = Centre(player_.Btn_Play());
  // Released over another button.
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(c.x, c.y));
  POINT other = Centre(player_.Btn_Stop());
  SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, At(other.x, other.y));
  EXPECT_FALSE(player_.Btn_Play().Down());
  EXPECT_FALSE(player_.Btn_Stop().Hot());  // only the held button lights up
  SendMessageW(w, WM_LBUTTONUP, 0, At(other.x, other.y));
  // The window was dragged by the button between press and release.
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(c.x, c.y));
  EXPECT_TRUE(player_.Btn_Play().Down());
  RECT r;
  GetWindowRect(w, &r);
  SetWindowPos(w, nullptr, r.left + 40, r.top + 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SendMessageW(w, WM_LBUTTONUP, 0, At(c.x, c.y));
  EXPECT_EQ(events_, "");
}

// Dragged by a glyph button (the buttons are part of the player's face), within 15 pixels of the
// left screen edge: the player snaps to x = 0, and the press is no click.
TEST_F(PlayerTest, DraggedByAButtonItSnapsToTheScreenEdge) {
  player_.Show();
  HWND w = player_.Handle();
  // The real left button is held (far from the player) while the messages below are sent, as
  // the snapping only follows a mouse whose button is down.
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 3, GetSystemMetrics(SM_CYSCREEN) - 3);
  test::MouseButton(MOUSEEVENTF_LEFTDOWN);
  ASSERT_TRUE(test::PumpUntil([] { return (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0; }));
  RECT start;
  GetWindowRect(w, &start);
  POINT grab = Centre(player_.Btn_Play());
  SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, At(grab.x, grab.y));
  // A move that would put the left edge at x = 12.
  SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, At(12 - start.left + grab.x, grab.y));
  RECT now;
  GetWindowRect(w, &now);
  SendMessageW(w, WM_LBUTTONUP, 0, At(grab.x, grab.y));
  test::MouseButton(MOUSEEVENTF_LEFTUP);
  test::PumpUntil([] { return (GetAsyncKeyState(VK_LBUTTON) & 0x8000) == 0; });
  EXPECT_EQ(now.left, 0);
  EXPECT_EQ(now.top, start.top);
  EXPECT_EQ(events_, "");
}

TEST(GlyphButtons, HotTrackingAndDisabledState) {
  test::TestWindow owner(L"LumekoGlyphOwner", WS_POPUP, RECT{10, 10, 110, 60});
  TGlyphButtons buttons(owner.hwnd);
  TGlyphButton& a = buttons.Add(RECT{0, 0, 20, 20});
  TGlyphButton& b = buttons.Add(RECT{30, 0, 50, 20});
  int clicks = 0;
  a.OnClick = [&] { ++clicks; };
  HBITMAP strip = artwork::ToBitmap(artwork::GlyphStrip(artwork::TGlyph::Play, 16));
  a.SetGlyph(strip, 2);

  buttons.HandleMessage(WM_MOUSEMOVE, 0, At(5, 5));
  EXPECT_TRUE(a.Hot());
  EXPECT_FALSE(b.Hot());
  buttons.HandleMessage(WM_MOUSEMOVE, 0, At(35, 5));
  EXPECT_FALSE(a.Hot());
  EXPECT_TRUE(b.Hot());
  buttons.HandleMessage(WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(b.Hot());

  EXPECT_EQ(a.GlyphIndex(), 0);
  a.SetEnabled(false);
  EXPECT_EQ(a.GlyphIndex(), 1);  // the disabled picture, right half of the strip
  buttons.HandleMessage(WM_MOUSEMOVE, 0, At(5, 5));
  EXPECT_FALSE(a.Hot());
  buttons.HandleMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
  buttons.HandleMessage(WM_LBUTTONUP, 0, At(5, 5));
  EXPECT_EQ(clicks, 0);
  a.SetEnabled(true);
  buttons.HandleMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
  // Another window took the mouse in the middle of the press: abandoned.
  buttons.HandleMessage(WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(GetDesktopWindow()));
  buttons.HandleMessage(WM_LBUTTONUP, 0, At(5, 5));
  EXPECT_EQ(clicks, 0);
  buttons.HandleMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
  buttons.HandleMessage(WM_LBUTTONUP, 0, At(5, 5));
  EXPECT_EQ(clicks, 1);
  DeleteObject(strip);
}

// The pictures: each glyph shows its shape in its colour, the disabled half the same shape in grey.
TEST(Artwork, GlyphStripsHoldANormalAndAGreyPictureOfTheSameShape) {
  struct Case {
    artwork::TGlyph glyph;
    const char* name;
    int dominant;  // 0 red, 1 green, 2 blue-grey (blue >= red)
  };
  const Case cases[] = {{artwork::TGlyph::Play, "play", 1},
                        {artwork::TGlyph::Stop, "stop", 0},
                        {artwork::TGlyph::Settings, "settings", 2}};
  for (const auto& c : cases) {
    for (int size : {16, 24}) {
      artwork::TImage strip = artwork::GlyphStrip(c.glyph, size);
      ASSERT_EQ(strip.Width, 2 * size);
      ASSERT_EQ(strip.Height, size);
      int opaque = 0;
      long r = 0, g = 0, b = 0;
      for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
          std::uint32_t normal = strip.At(x, y), grey = strip.At(size + x, y);
          ASSERT_EQ(normal >> 24, grey >> 24) << c.name << " " << x << "," << y;
          ASSERT_EQ((grey >> 16) & 0xFF, grey & 0xFF);
          ASSERT_EQ((grey >> 8) & 0xFF, grey & 0xFF);
          if (normal >> 24 == 255) {
            ++opaque;
            r += (normal >> 16) & 0xFF;
            g += (normal >> 8) & 0xFF;
            b += normal & 0xFF;
          }
        }
      // A clear shape: a fair part of the square, never all of it (the corners stay clear).
      EXPECT_GT(opaque, size * size / 5) << c.name;
      EXPECT_EQ(strip.At(0, 0) >> 24, 0u) << c.name;
      if (c.dominant == 0) {
        EXPECT_GT(r, 2 * g) << c.name;
      } else if (c.dominant == 1) {
        EXPECT_GT(g, 2 * r) << c.name;
      } else {
        EXPECT_GE(b, r) << c.name;
      }
    }
  }
}

TEST(Artwork, IconAndLogoBecomeWindowsObjects) {
  artwork::TImage icon = artwork::AppIcon(32);
  EXPECT_EQ(icon.At(16, 16) >> 24, 255u);  // the badge
  EXPECT_EQ(icon.At(0, 0) >> 24, 0u);      // round: the corners are clear
  HICON handle = artwork::ToIcon(icon);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(handle, &info));
  BITMAP bitmap{};
  GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
  EXPECT_EQ(bitmap.bmWidth, 32);
  EXPECT_EQ(bitmap.bmHeight, 32);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(handle);

  artwork::TImage logo = artwork::Logo(56, 61);
  EXPECT_EQ(logo.Width, 56);
  EXPECT_EQ(logo.Height, 61);
  EXPECT_EQ(logo.At(0, 30) >> 24, 0u);     // transparent beside the board
  EXPECT_EQ(logo.At(28, 30) >> 24, 255u);  // the sheet
}

}  // namespace
}  // namespace lumeko
