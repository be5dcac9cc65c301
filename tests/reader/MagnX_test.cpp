// Window snapping on a real 104 x 46 window, with mouse messages sent to it while the left button
// is held down through SendInput.
#include "MagnX.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "Framework.h"
#include "TestWindows.h"

namespace lumeko {
namespace {

using test::MouseButton;
using test::TestWindow;

constexpr int kW = 104, kH = 46;
constexpr int kStartX = 400, kStartY = 300;
constexpr POINT kGrab{10, 10};

std::unique_ptr<TestWindow> ShownWindow(const wchar_t* className, RECT bounds,
                                        DWORD style = WS_POPUP, DWORD exStyle = WS_EX_TOOLWINDOW) {
  auto window = std::make_unique<TestWindow>(className, style, bounds, exStyle);
  ShowWindow(window->hwnd, SW_SHOWNOACTIVATE);
  return window;
}

class MagXTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = ShownWindow(L"LumekoSnapOwner", RECT{kStartX, kStartY, kStartX + kW, kStartY + kH});
    // As a form does: the window keeps the mouse while its button is down.
    owner_->handler = [this](UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
      if (msg == WM_LBUTTONDOWN) SetCapture(owner_->hwnd);
      if (msg == WM_LBUTTONUP) ReleaseCapture();
      return std::nullopt;
    };
    screenW_ = GetSystemMetrics(SM_CXSCREEN);
    screenH_ = GetSystemMetrics(SM_CYSCREEN);
    mag_ = std::make_unique<TMagX>(owner_->hwnd);
    mag_->SetMagEffect(15);
  }
  void TearDown() override {
    if (buttonDown_) ReleaseButton();
    mag_.reset();
  }

  // The left button goes down away from the window under test, so only the messages sent below
  // reach it.
  void HoldButton() {
    SetCursorPos(screenW_ - 3, screenH_ - 3);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    buttonDown_ = true;
    test::PumpUntil([] { return (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0; });
  }
  void ReleaseButton() {
    MouseButton(MOUSEEVENTF_LEFTUP);
    buttonDown_ = false;
    test::PumpUntil([] { return (GetAsyncKeyState(VK_LBUTTON) & 0x8000) == 0; });
  }

  POINT Position() const {
    RECT r{};
    GetWindowRect(owner_->hwnd, &r);
    return POINT{r.left, r.top};
  }
  // A press at the grab point and one move that would put the window's corner at (x, y) before
  // snapping; answers where the window went.
  POINT DragTo(int x, int y) {
    SetWindowPos(owner_->hwnd, nullptr, kStartX, kStartY, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(owner_->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(kGrab.x, kGrab.y));
    SendMessageW(owner_->hwnd, WM_MOUSEMOVE, MK_LBUTTON,
                 MAKELPARAM(x - kStartX + kGrab.x, y - kStartY + kGrab.y));
    return Position();
  }
  void SetTargets(bool tray, bool explorer, bool custom) {
    TMagOption option;
    option.SetMagTray(tray);
    option.SetMagExplorer(explorer);
    option.SetMagCustom(custom);
    mag_->SetMagOption(option);
  }

  struct DragCase {
    int x, y;  // where the drag alone would put the corner
    int wantX, wantY;
  };
  void ExpectDrags(std::initializer_list<DragCase> cases) {
    for (const auto& c : cases) {
      POINT got = DragTo(c.x, c.y);
      EXPECT_EQ(got.x, c.wantX) << "drag to (" << c.x << ", " << c.y << ")";
      EXPECT_EQ(got.y, c.wantY) << "drag to (" << c.x << ", " << c.y << ")";
    }
  }

  std::unique_ptr<TestWindow> owner_;
  std::unique_ptr<TMagX> mag_;
  int screenW_ = 0, screenH_ = 0;
  bool buttonDown_ = false;
};

TEST_F(MagXTest, StartsActiveWithResizingForABorderlessWindow) {
  EXPECT_TRUE(mag_->Active());
  EXPECT_TRUE(mag_->CanResize());
  EXPECT_TRUE(mag_->MagOption().MagTray());
  EXPECT_FALSE(mag_->MagOption().MagExplorer());
  EXPECT_FALSE(mag_->MagOption().MagCustom());
  EXPECT_EQ(TMagX(owner_->hwnd).MagEffect(), 10);
  auto framed = ShownWindow(L"LumekoSnapOwner", RECT{50, 50, 250, 200}, WS_OVERLAPPEDWINDOW);
  EXPECT_FALSE(TMagX(framed->hwnd).CanResize());
}

TEST_F(MagXTest, SnapsToScreenEdgesWithStrictComparisons) {
  SetTargets(false, false, false);
  HoldButton();
  const int sw = screenW_, sh = screenH_;
  // On a 1024 x 768 screen the right-hand pair reads 906 -> 920 and 905 -> 905.
  ExpectDrags({
      {14, 300, 0, 300},
      {15, 300, 15, 300},
      {-30, 300, 0, 300},  // left of the screen: a negative client coordinate in the message
      {sw - kW - 14, 300, sw - kW, 300},
      {sw - kW - 15, 300, sw - kW - 15, 300},
      {300, 14, 300, 0},
      {300, 15, 300, 15},
      {300, sh - kH - 14, 300, sh - kH},
      {300, sh - kH - 15, 300, sh - kH - 15},
      {500, 500, 500, 500},
  });
}

TEST_F(MagXTest, RestsOnTheTaskbar) {
  auto taskbar = ShownWindow(L"Shell_TrayWnd", RECT{0, 738, 1024, 768}, WS_POPUP,
                             WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
  ASSERT_EQ(FindWindowA("Shell_TrayWnd", nullptr), taskbar->hwnd);
  HoldButton();
  const int rightOfTaskbar = 1024 > screenW_ - kW - 15 ? screenW_ - kW : 1024;
  ExpectDrags({
      // 680 + 46 = 726 is 12 above the taskbar's top edge: the window sits on it, at 692, and
      // the screen's bottom rule does not apply.
      {300, 680, 300, 692},
      {300, 760, 300, 768},              // top edge onto the taskbar's bottom edge
      {1014, 500, rightOfTaskbar, 500},  // the taskbar's right edge is a whole vertical line
      {300, 600, 300, 600},
  });
  SetTargets(false, false, false);
  ExpectDrags({{300, 680, 300, 680}});
}

TEST_F(MagXTest, SnapsToAnExplorerWindowOnlyWhenAskedAndOpen) {
  SetTargets(false, true, false);
  HoldButton();
  ExpectDrags({{890, 200, 890, 200}});  // no Explorer window open
  auto explorer = ShownWindow(L"CabinetWClass", RECT{600, 100, 900, 400});
  ExpectDrags({
      {890, 200, 900, 200},  // left edge onto its right edge
      {500, 200, 496, 200},  // right edge onto its left edge
      {700, 392, 700, 400},  // top edge onto its bottom edge
  });
  SetTargets(false, false, false);
  ExpectDrags({{890, 200, 890, 200}});
}

TEST_F(MagXTest, LaterTargetsAndThenTheScreenHaveTheLastWord) {
  auto explorer = ShownWindow(L"CabinetWClass", RECT{0, 600, 500, 700});
  auto taskbar = ShownWindow(L"Shell_TrayWnd", RECT{0, 738, 1024, 768}, WS_POPUP,
                             WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
  ASSERT_EQ(FindWindowA("Shell_TrayWnd", nullptr), taskbar->hwnd);
  SetTargets(true, true, false);
  HoldButton();
  // 686 goes to the Explorer window's bottom (700) first, which puts the window within reach of
  // the taskbar's top (738 - 46 = 692); in the other order it would end at 700.
  ExpectDrags({{300, 686, 300, 692}});
  // Snapped onto the taskbar's left edge (x = -104), the screen puts it back at 0.
  ExpectDrags({{-95, 300, 0, 300}});
}

TEST_F(MagXTest, SnapsToTheCustomWindow) {
  auto custom = ShownWindow(L"LumekoTestWindow", RECT{600, 100, 800, 300});
  mag_->SetCustomWindow(custom->hwnd);
  SetTargets(false, false, true);
  HoldButton();
  ExpectDrags({{790, 200, 800, 200}});
  SetTargets(false, false, false);
  ExpectDrags({{790, 200, 790, 200}});
}

TEST_F(MagXTest, NoDragWithTheButtonUpOrWhenInactive) {
  SetTargets(false, false, false);
  ReleaseButton();
  ExpectDrags({{600, 500, kStartX, kStartY}});
  HoldButton();
  mag_->SetActive(false);
  ExpectDrags({{600, 500, kStartX, kStartY}});
  mag_->SetActive(true);
  ExpectDrags({{600, 500, 600, 500}});
}

TEST_F(MagXTest, ResizeBordersOfFivePixels) {
  struct Case {
    int x, y;  // client coordinates
    LRESULT hit;
  };
  const Case cases[] = {
      {100, 2, HTTOPRIGHT},     {50, 44, HTBOTTOM},    {50, 20, HTCLIENT}, {2, 2, HTTOPLEFT},
      {102, 44, HTBOTTOMRIGHT}, {2, 44, HTBOTTOMLEFT}, {2, 20, HTLEFT},    {50, 2, HTTOP},
      {100, 20, HTRIGHT},       {5, 20, HTCLIENT},     {99, 20, HTCLIENT}, {50, 5, HTCLIENT},
      {50, 41, HTCLIENT},       {4, 20, HTLEFT},       {50, 42, HTBOTTOM},
  };
  auto hitTest = [&](int x, int y) {
    return SendMessageW(owner_->hwnd, WM_NCHITTEST, 0, MAKELPARAM(kStartX + x, kStartY + y));
  };
  for (const auto& c : cases) EXPECT_EQ(hitTest(c.x, c.y), c.hit) << c.x << ", " << c.y;

  mag_->SetCanResize(false);
  EXPECT_EQ(hitTest(100, 2), HTCLIENT);
  mag_->SetCanResize(true);
  ShowWindow(owner_->hwnd, SW_SHOWMAXIMIZED);
  ASSERT_TRUE(IsZoomed(owner_->hwnd));
  RECT r{};
  GetWindowRect(owner_->hwnd, &r);
  EXPECT_EQ(SendMessageW(owner_->hwnd, WM_NCHITTEST, 0, MAKELPARAM(r.left + 2, r.top + 2)),
            HTCLIENT);
}

TEST_F(MagXTest, RealDragWithTheMouse) {
  SetTargets(false, false, false);
  auto moveMouse = [&](int x, int y) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>((x * 65536LL + screenW_ - 1) / screenW_);
    in.mi.dy = static_cast<LONG>((y * 65536LL + screenH_ - 1) / screenH_);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
    test::Pump(10);
  };
  SetForegroundWindow(owner_->hwnd);
  moveMouse(kStartX + kGrab.x, kStartY + kGrab.y);
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  buttonDown_ = true;
  test::Pump(100);
  // Small steps, as a hand moves: the pointer stays over the window that follows it.
  for (int x = kStartX + kGrab.x; x > 12 + kGrab.x; x -= 4) moveMouse(x, kStartY + kGrab.y);
  moveMouse(12 + kGrab.x, kStartY + kGrab.y);  // 12 from the left edge: within reach
  test::PumpUntil([&] { return Position().x == 0; }, 2000);
  ReleaseButton();
  EXPECT_EQ(Position().x, 0);
  EXPECT_EQ(Position().y, kStartY);
}

TEST_F(MagXTest, UndoneInAnyOrderAndAfterTheWindowIsGone) {
  SetTargets(false, false, false);
  HoldButton();
  // A second take-over, then the first one ends: the second keeps working.
  auto second = std::make_unique<TMagX>(owner_->hwnd);
  second->SetMagEffect(15);
  second->SetMagOption(mag_->MagOption());
  mag_.reset();
  ExpectDrags({{14, 300, 0, 300}});
  second.reset();
  ExpectDrags({{14, 300, kStartX, kStartY}});
  EXPECT_EQ(SendMessageW(owner_->hwnd, WM_NCHITTEST, 0, MAKELPARAM(kStartX + 1, kStartY + 1)),
            HTCLIENT);

  // The window destroyed under a live component: ending the component afterwards is safe.
  auto gone = ShownWindow(L"LumekoSnapOwner", RECT{50, 50, 154, 96});
  auto orphan = std::make_unique<TMagX>(gone->hwnd);
  gone.reset();
  EXPECT_EQ(orphan->Owner(), nullptr);
  orphan.reset();
}

TEST(MagX, RefusesAWindowItCannotTakeOver) {
  EXPECT_THROW(TMagX{nullptr}, kalvor::Exception);
  // The desktop belongs to another thread (another process, even).
  EXPECT_THROW(TMagX{GetDesktopWindow()}, kalvor::Exception);
}

}  // namespace
}  // namespace lumeko
