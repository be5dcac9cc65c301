// System hot keys registered with Wine and pressed through SendInput.
#include "SysHot.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "TestWindows.h"
#include "TrayIcoX.h"

namespace lumeko {
namespace {

using test::PressKey;
using test::PumpUntil;
using test::TestWindow;

TEST(KeyIndexOf, FindsTableEntriesAndMapsTheRestToNoKey) {
  struct Case {
    std::uint16_t vk;
    int index;
  };
  const Case cases[] = {
      {VK_F10, 85},     {VK_F11, 86},    {0xBA, 0},  // punctuation: not in the table
      {0x00, 0},        {VK_CANCEL, 1},  {VK_ESCAPE, 8}, {VK_SPACE, 9}, {0x2A, 0},
      {VK_HELP, 23},    {'0', 24},       {'9', 33},      {'A', 34},     {'Z', 59},
      {VK_NUMPAD0, 60}, {VK_DIVIDE, 75}, {VK_F1, 76},    {VK_F24, 99},  {VK_NUMLOCK, 100},
      {VK_SCROLL, 101}, {VK_LWIN, 0},    {VK_APPS, 0},   {0x179, 0},  // high byte must not be cut
  };
  for (const auto& c : cases) EXPECT_EQ(KeyIndexOf(c.vk), c.index) << "vk " << c.vk;
}

TEST(KeyIndexOf, EveryTableEntryIsFoundAtItsOwnIndex) {
  ASSERT_EQ(VirtualKeyTable.size(), 102u);
  EXPECT_EQ(VirtualKeyTable[0], 0);
  for (std::size_t i = 1; i < VirtualKeyTable.size(); ++i) {
    EXPECT_NE(VirtualKeyTable[i], 0) << i;
    EXPECT_EQ(KeyIndexOf(VirtualKeyTable[i]), static_cast<int>(i)) << i;
  }
}

// Whether the combination is free for another window, i.e. nobody holds it with the system.
bool CombinationFree(UINT modifiers, UINT vk) {
  TestWindow probe;
  if (!RegisterHotKey(probe.hwnd, 7, modifiers, vk)) return false;
  UnregisterHotKey(probe.hwnd, 7);
  return true;
}

class SysHotKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    keys_.OnHotKey = [this](TSysHotKey& sender, int index) {
      EXPECT_EQ(&sender, &keys_);
      presses_.push_back(index);
    };
  }
  // Presses a key and waits for the component to report something.
  std::vector<int> Press(WORD vk, std::initializer_list<WORD> modifiers = {}) {
    presses_.clear();
    PressKey(vk, modifiers);
    PumpUntil([&] { return !presses_.empty(); }, 2000);
    test::Pump(100);
    return std::exchange(presses_, {});
  }

  TSysHotKey keys_;
  std::vector<int> presses_;
};

TEST_F(SysHotKeyTest, InactiveComponentRegistersNothing) {
  keys_.AddHotKey(static_cast<std::uint8_t>(KeyIndexOf(VK_F10)), 0);
  EXPECT_FALSE(keys_.HandleAllocated());
  EXPECT_FALSE(keys_.HotKeys()[0].Registered);
  EXPECT_TRUE(CombinationFree(0, VK_F10));
  EXPECT_TRUE(Press(VK_F10).empty());
}

TEST_F(SysHotKeyTest, PressedKeysReportTheirPositionInTheList) {
  keys_.AddHotKey(static_cast<std::uint8_t>(KeyIndexOf(VK_F10)), 0);
  keys_.AddHotKey(static_cast<std::uint8_t>(KeyIndexOf(VK_F11)), 0);
  keys_.SetActive(true);
  keys_.SetActive(true);  // no second registration
  keys_.AddHotKey(static_cast<std::uint8_t>(KeyIndexOf('K')), hmCtrl | hmShift);
  for (const auto& item : keys_.HotKeys()) EXPECT_TRUE(item.Registered);
  EXPECT_FALSE(CombinationFree(0, VK_F10));
  EXPECT_FALSE(CombinationFree(MOD_CONTROL | MOD_SHIFT, 'K'));
  EXPECT_TRUE(CombinationFree(MOD_CONTROL, 'K'));

  EXPECT_EQ(Press(VK_F11), std::vector<int>{1});
  EXPECT_EQ(Press(VK_F10), std::vector<int>{0});
  EXPECT_EQ(Press('K', {VK_CONTROL, VK_SHIFT}), std::vector<int>{2});
  EXPECT_TRUE(Press('K', {VK_CONTROL}).empty());
}

TEST_F(SysHotKeyTest, ModifiersMapToTheirSystemFlags) {
  const std::pair<THotKeyModifiers, UINT> cases[] = {
      {hmShift, MOD_SHIFT},
      {hmCtrl, MOD_CONTROL},
      {hmAlt, MOD_ALT},
      {hmWin, MOD_WIN},
      {hmShift | hmCtrl | hmAlt, MOD_SHIFT | MOD_CONTROL | MOD_ALT}};
  keys_.SetActive(true);
  for (const auto& [modifiers, flags] : cases) {
    keys_.ClearHotKeys();
    keys_.AddHotKey(static_cast<std::uint8_t>(KeyIndexOf('J')), modifiers);
    EXPECT_FALSE(CombinationFree(flags, 'J')) << int(modifiers);
  }
}

TEST_F(SysHotKeyTest, ClearWhileActiveUnregistersAndNumbersAgainFromZero) {
  keys_.SetActive(true);
  keys_.AddHotKey(static_cast<std::uint8_t>(KeyIndexOf(VK_F10)), 0);
  keys_.AddHotKey(static_cast<std::uint8_t>(KeyIndexOf(VK_F11)), 0);
  keys_.ClearHotKeys();
  EXPECT_TRUE(keys_.Active());
  EXPECT_TRUE(keys_.HotKeys().empty());
  EXPECT_TRUE(CombinationFree(0, VK_F10));
  EXPECT_TRUE(CombinationFree(0, VK_F11));
  keys_.AddHotKey(static_cast<std::uint8_t>(KeyIndexOf(VK_F11)), 0);
  EXPECT_EQ(Press(VK_F11), std::vector<int>{0});
}

TEST_F(SysHotKeyTest, DeactivatingAndDestroyingGiveTheKeysBack) {
  keys_.AddHotKey(static_cast<std::uint8_t>(KeyIndexOf(VK_F10)), 0);
  keys_.SetActive(true);
  keys_.SetActive(false);
  EXPECT_FALSE(keys_.HotKeys()[0].Registered);
  EXPECT_TRUE(CombinationFree(0, VK_F10));
  {
    TSysHotKey other;
    other.AddHotKey(static_cast<std::uint8_t>(KeyIndexOf(VK_F9)), 0);
    other.SetActive(true);
    EXPECT_FALSE(CombinationFree(0, VK_F9));
  }
  EXPECT_TRUE(CombinationFree(0, VK_F9));
  // The window destroyed from outside takes its registrations with it, and the component knows.
  keys_.SetActive(true);
  DestroyWindow(keys_.Handle());
  EXPECT_FALSE(keys_.Active());
  EXPECT_FALSE(keys_.HandleAllocated());
  EXPECT_TRUE(CombinationFree(0, VK_F10));
}

TEST_F(SysHotKeyTest, TakenCombinationStaysUnregisteredWithoutComplaint) {
  TestWindow holder;
  ASSERT_TRUE(RegisterHotKey(holder.hwnd, 1, 0, VK_F8));
  keys_.AddHotKey(static_cast<std::uint8_t>(KeyIndexOf(VK_F8)), 0);
  keys_.SetActive(true);
  EXPECT_FALSE(keys_.HotKeys()[0].Registered);
  keys_.SetActive(false);  // nothing to unregister: the holder keeps its key
  EXPECT_FALSE(CombinationFree(0, VK_F8));
  UnregisterHotKey(holder.hwnd, 1);
}

// Both components with a hidden window of their own end the program when the session ends,
// whatever the end-session message says, and agree to the question before it.
TEST(EndOfSession, HiddenWindowsEndTheProgram) {
  int ended = 0;
  SetTerminateHandler([&] { ++ended; });
  TSysHotKey keys;
  TTrayIconX tray;
  for (HWND window : {keys.Handle(), tray.Handle()}) {
    ended = 0;
    EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_EQ(ended, 0);
    SendMessageW(window, WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(ended, 1);
    SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(ended, 2);
  }
  SetTerminateHandler(nullptr);
}

TEST(EndOfSession, DefaultEndPostsQuitToTheLoop) {
  TSysHotKey keys;
  SendMessageW(keys.Handle(), WM_ENDSESSION, TRUE, 0);
  MSG msg;
  bool quit = false;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) quit |= msg.message == WM_QUIT;
  EXPECT_TRUE(quit);
}

LRESULT CALLBACK FirstProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(window, msg, wparam, lparam);
}
LRESULT CALLBACK SecondProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(window, msg, wparam, lparam);
}

// Every window class of the program is registered through one function: a name registered before
// keeps its first registration (the components and forms register on each creation), and a
// registration Windows refuses is an error that names the class instead of a window that is
// never made.
TEST(WindowClass, FirstRegistrationStandsAndARefusalNamesTheClass) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = FirstProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"LumekoClassOnce";
  RegisterWindowClass(wc);
  WNDCLASSEXW again = wc;
  again.lpfnWndProc = SecondProc;
  EXPECT_NO_THROW(RegisterWindowClass(again));
  WNDCLASSEXW found{};
  found.cbSize = sizeof found;
  ASSERT_TRUE(GetClassInfoExW(wc.hInstance, wc.lpszClassName, &found));
  EXPECT_EQ(found.lpfnWndProc, &FirstProc);
  UnregisterClassW(wc.lpszClassName, wc.hInstance);

  WNDCLASSEXW refused = wc;
  refused.cbSize = 0;  // not a size Windows accepts
  refused.lpszClassName = L"LumekoClassRefused";
  try {
    RegisterWindowClass(refused);
    ADD_FAILURE() << "a refused registration passed as success";
  } catch (const std::exception& error) {
    EXPECT_NE(std::string(error.what()).find("LumekoClassRefused"), std::string::npos)
        << error.what();
  }
}

}  // namespace
}  // namespace lumeko
