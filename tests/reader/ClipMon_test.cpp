// The clipboard monitor in Wine's real clipboard viewer chain.
#include "ClipMon.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "Framework.h"
#include "TestWindows.h"

namespace lumeko {
namespace {

using test::PumpUntil;
using test::TestWindow;

// Puts text on the clipboard the way any Win32 program does.
void SetClipboardText(const std::wstring& text) {
  ASSERT_TRUE(PumpUntil([] { return OpenClipboard(nullptr) != FALSE; }));
  EmptyClipboard();
  HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  ASSERT_NE(data, nullptr);
  std::wmemcpy(static_cast<wchar_t*>(GlobalLock(data)), text.c_str(), text.size() + 1);
  GlobalUnlock(data);
  SetClipboardData(CF_UNICODETEXT, data);
  CloseClipboard();
}

class ClipboardMonitorTest : public ::testing::Test {
 protected:
  void TearDown() override { SetExceptionHandler(nullptr); }

  // A monitor whose changes are counted in changes_.
  std::unique_ptr<TClipboardMonitor> CountingMonitor() {
    auto monitor = std::make_unique<TClipboardMonitor>();
    monitor->OnChange = [this, m = monitor.get()](TClipboardMonitor& sender) {
      EXPECT_EQ(&sender, m);
      ++changes_;
    };
    return monitor;
  }

  // Lets the notifications of a clipboard change arrive, and a little longer for any duplicate.
  void SettleAfterChange(int expected) {
    PumpUntil([&] { return changes_ >= expected; });
    test::Pump(200);
  }

  int changes_ = 0;
};

TEST_F(ClipboardMonitorTest, JoiningDoesNotReportTheClipboardAsItStands) {
  auto monitor = CountingMonitor();
  EXPECT_TRUE(monitor->Enabled());
  EXPECT_EQ(GetClipboardViewer(), monitor->Handle());
  test::Pump(200);
  EXPECT_EQ(changes_, 0);
}

TEST_F(ClipboardMonitorTest, EachRealChangeRaisesOnChangeOnce) {
  auto monitor = CountingMonitor();
  SetClipboardText(L"Merhaba dünya");
  SettleAfterChange(1);
  EXPECT_EQ(changes_, 1);
  SetClipboardText(L"İkinci metin");
  SettleAfterChange(2);
  EXPECT_EQ(changes_, 2);
}

TEST_F(ClipboardMonitorTest, ForwardsChangesAndChainNewsToTheNextViewer) {
  TestWindow next;
  HWND afterNext = SetClipboardViewer(next.hwnd);
  auto monitor = CountingMonitor();
  ASSERT_EQ(monitor->NextViewer(), next.hwnd);
  next.log.clear();

  SetClipboardText(L"zincir");
  SettleAfterChange(1);
  EXPECT_EQ(changes_, 1);
  EXPECT_EQ(next.Count(WM_DRAWCLIPBOARD), 1);

  // A window further down leaves: the news goes on down the chain, the link stays.
  TestWindow other;
  SendMessageW(monitor->Handle(), WM_CHANGECBCHAIN, reinterpret_cast<WPARAM>(other.hwnd),
               reinterpret_cast<LPARAM>(afterNext));
  auto forwarded = next.Messages(WM_CHANGECBCHAIN);
  ASSERT_EQ(forwarded.size(), 1u);
  EXPECT_EQ(forwarded[0].wparam, reinterpret_cast<WPARAM>(other.hwnd));
  EXPECT_EQ(forwarded[0].lparam, reinterpret_cast<LPARAM>(afterNext));
  EXPECT_EQ(monitor->NextViewer(), next.hwnd);

  // The neighbour itself leaves through Windows: the monitor links past it and tells nobody.
  EXPECT_TRUE(ChangeClipboardChain(next.hwnd, afterNext));
  EXPECT_EQ(monitor->NextViewer(), afterNext);
  EXPECT_EQ(next.Count(WM_CHANGECBCHAIN), 1);
  EXPECT_EQ(GetClipboardViewer(), monitor->Handle());
}

TEST_F(ClipboardMonitorTest, EnablingTwiceJoinsOnce) {
  auto monitor = CountingMonitor();
  monitor->SetEnabled(false);
  EXPECT_NE(GetClipboardViewer(), monitor->Handle());
  EXPECT_EQ(monitor->NextViewer(), nullptr);
  monitor->SetEnabled(true);
  monitor->SetEnabled(true);
  EXPECT_EQ(GetClipboardViewer(), monitor->Handle());
  EXPECT_NE(monitor->NextViewer(), monitor->Handle());  // joined twice, it would follow itself
  test::Pump(100);
  changes_ = 0;  // re-joining reports the clipboard once, as Windows sends the first notice
  SetClipboardText(L"bir kez");
  SettleAfterChange(1);
  EXPECT_EQ(changes_, 1);
}

TEST_F(ClipboardMonitorTest, DestructionLeavesTheChainAndRaisesNothingMore) {
  TestWindow next;
  SetClipboardViewer(next.hwnd);
  auto monitor = CountingMonitor();
  monitor.reset();
  EXPECT_EQ(GetClipboardViewer(), next.hwnd);
  next.log.clear();
  SetClipboardText(L"sonra");
  PumpUntil([&] { return next.Count(WM_DRAWCLIPBOARD) == 1; });
  EXPECT_EQ(next.Count(WM_DRAWCLIPBOARD), 1);
  EXPECT_EQ(changes_, 0);
  ChangeClipboardChain(next.hwnd, nullptr);
}

TEST_F(ClipboardMonitorTest, WindowDestroyedFromOutsideLeavesTheChain) {
  auto monitor = CountingMonitor();
  HWND window = monitor->Handle();
  DestroyWindow(window);
  EXPECT_FALSE(monitor->Enabled());
  EXPECT_NE(GetClipboardViewer(), window);
  // Enabling again makes a new window rather than using the dead one.
  monitor->SetEnabled(true);
  EXPECT_TRUE(IsWindow(monitor->Handle()));
  EXPECT_EQ(GetClipboardViewer(), monitor->Handle());
}

TEST_F(ClipboardMonitorTest, ExceptionFromTheHandlerIsShownAndTheMonitorGoesOn) {
  std::string shown;
  SetExceptionHandler([&](const std::exception& e) { shown = e.what(); });
  auto monitor = std::make_unique<TClipboardMonitor>();
  monitor->OnChange = [&](TClipboardMonitor&) {
    ++changes_;
    throw kalvor::Exception("Pano okunamadı");
  };
  SetClipboardText(L"hata");
  SettleAfterChange(1);
  EXPECT_EQ(shown, "Pano okunamadı");
  SetClipboardText(L"yine");
  SettleAfterChange(2);
  EXPECT_EQ(changes_, 2);
  EXPECT_EQ(GetClipboardViewer(), monitor->Handle());
}

TEST_F(ClipboardMonitorTest, OwnerLosingTheClipboardCountsAsAChange) {
  auto monitor = CountingMonitor();
  // The monitor's window owns the clipboard; emptying it from elsewhere sends
  // WM_DESTROYCLIPBOARD to the owner.
  ASSERT_TRUE(PumpUntil([&] { return OpenClipboard(monitor->Handle()) != FALSE; }));
  EmptyClipboard();
  CloseClipboard();
  SettleAfterChange(1);
  changes_ = 0;
  ASSERT_TRUE(PumpUntil([] { return OpenClipboard(nullptr) != FALSE; }));
  EmptyClipboard();  // WM_DESTROYCLIPBOARD to the monitor, synchronously
  EXPECT_EQ(changes_, 1);
  CloseClipboard();
}

}  // namespace
}  // namespace lumeko
