// The settings window against a fake SAPI 4 run time (FakeSapiEngine.h), the real registry of the
// test prefix under a key of the tests' own, and Wine's real clipboard, hot keys and windows.
#include "frm_Config.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "FakeSapiEngine.h"
#include "TestWindows.h"

namespace lumeko {
namespace {

using test::FakeSapiEngine;
using test::PumpUntil;

// ---- Helpers without windows ----

TEST(FullStopRule, AppendsOnlyAfterCharactersThatSortAfterTheFullStop) {
  struct Case {
    std::wstring in, out;
  };
  const Case cases[] = {
      {L"Konuşma Motoru seçilmedi", L"Konuşma Motoru seçilmedi."},
      {L"Sentezleme motoru seçilemedi!", L"Sentezleme motoru seçilemedi!"},
      {L"Cannot open clipboard", L"Cannot open clipboard."},
      {L"Already ends.", L"Already ends."},
      {L"Why?", L"Why?."},         // '?' sorts after '.'
      {L"(quoted)", L"(quoted)"},  // ')' sorts before it
      {L"Value 100", L"Value 100."},
      {L"bulunamadı", L"bulunamadı."},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(WithFullStop(c.in), c.out) << Narrow(c.in);
}

TEST(Shortcuts, HotKeyControlValuesAndStoredShortcutsConvertBothWays) {
  struct Case {
    WORD control;
    std::uint16_t shortcut;
  };
  const Case cases[] = {
      {VK_F10, 121},
      {VK_F11, 122},
      {MAKEWORD(VK_F9, HOTKEYF_SHIFT), 0x2000 | VK_F9},
      {MAKEWORD('R', HOTKEYF_CONTROL | HOTKEYF_ALT), 0xC000 | 'R'},
      {MAKEWORD('1', HOTKEYF_SHIFT | HOTKEYF_CONTROL | HOTKEYF_ALT), 0xE000 | '1'},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShortcutFromHotKeyControl(c.control), c.shortcut);
    EXPECT_EQ(HotKeyControlFromShortcut(c.shortcut), c.control);
  }
}

TEST(Shortcuts, StoredShortcutsBecomeKeyTableIndexesAndModifiers) {
  struct Case {
    std::uint32_t shortcut;
    int key;
    THotKeyModifiers modifiers;
  };
  const Case cases[] = {
      {121, 85, 0},                             // F10
      {122, 86, 0},                             // F11
      {0x6000 | VK_F10, 85, hmShift | hmCtrl},  // Ctrl+Shift+F10
      {0x8000 | 'A', 34, hmAlt},
      {0xBA, 0, 0},                  // a punctuation key is not in the table: entry 0
      {0x4000 | 0x1FFF, 0, hmCtrl},  // a key code beyond every table entry
  };
  for (const auto& c : cases) {
    THotKeySpec hotKey = HotKeyFromShortcut(c.shortcut);
    EXPECT_EQ(hotKey.Key, c.key) << c.shortcut;
    EXPECT_EQ(hotKey.Modifiers, c.modifiers) << c.shortcut;
  }
}

TEST(SplitLines, CutsAtCrLfOrCrLfAndAddsNoLineForAFinalBreak) {
  struct Case {
    std::wstring text;
    std::vector<std::wstring> lines;
  };
  const Case cases[] = {
      {L"", {}},
      {L"tek satır", {L"tek satır"}},
      {L"bir\r\niki", {L"bir", L"iki"}},
      {L"bir\niki\rüç", {L"bir", L"iki", L"üç"}},
      {L"son\r\n", {L"son"}},
      {L"bir\n\niki", {L"bir", L"", L"iki"}},
      {L"\r\n", {L""}},
      {L"a\n\r", {L"a", L""}},  // LF then CR is two breaks
  };
  for (const auto& c : cases) EXPECT_EQ(SplitLines(c.text), c.lines) << Narrow(c.text);
}

TEST(MessageBoxes, OnlyOneIsOpenAtATime) {
  std::vector<std::wstring> shown;
  int nestedAnswer = -1;
  SetMessageBoxFunction([&](const std::wstring& text, UINT) {
    shown.push_back(text);
    // The box's own message loop dispatches a hot key whose reading fails again.
    if (shown.size() == 1) nestedAnswer = ShowMessageBox(L"ikinci", MB_OK);
    return IDOK;
  });
  EXPECT_EQ(ShowMessageBox(L"birinci", MB_OK), IDOK);
  EXPECT_EQ(shown, std::vector<std::wstring>{L"birinci"});
  EXPECT_EQ(nestedAnswer, 0);
  // Once it is closed, the next one shows.
  ShowErrorBox(kalvor::Exception("Konuşma Motoru seçilmedi"));
  EXPECT_EQ(shown.back(), L"Konuşma Motoru seçilmedi.");
  SetMessageBoxFunction(nullptr);
}

TEST(Shortcuts, OnlyBareTypingKeysAskBeforeTheyAreStored) {
  struct Case {
    std::uint32_t shortcut;
    bool asks;
  };
  const Case cases[] = {
      {'A', true},
      {'7', true},
      {VK_SPACE, true},
      {VK_OEM_PERIOD, true},
      {VK_NUMPAD5, true},
      {VK_RETURN, true},
      {VK_LEFT, true},
      {VK_F10, false},
      {VK_F24, false},
      {0x4000 | 'A', false},
      {0x8000 | 'A', false},
      {0x2000 | 'A', false},
      {0, false},
      {VK_PAUSE, false},
      {VK_MEDIA_PLAY_PAUSE, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsBareTypingKey(c.shortcut), c.asks) << c.shortcut;
  const std::wstring question = BareKeyQuestion(L"Okumayı Başlat", 'B');
  EXPECT_NE(question.find(L"\"Okumayı Başlat\""), std::wstring::npos);
  EXPECT_NE(question.find(L"\"B\""), std::wstring::npos);
}

// ---- Registry ----

const wchar_t kTestKey[] = L"Software\\Verdanis\\LumekoTest";

void DeleteTestKeys() {
  RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kTestKey);
}

void WriteMachineInteger(const wchar_t* name, DWORD value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

bool ExistsUnder(HKEY root, const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, kTestKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  bool found = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

class SettingsKeyTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteTestKeys(); }
  void TearDown() override { DeleteTestKeys(); }
  TSettingsKey settings_{kTestKey};
};

TEST_F(SettingsKeyTest, UserValuesComeFirstThenMachineValuesThenNothing) {
  EXPECT_FALSE(settings_.ReadInteger(L"Pitch"));
  WriteMachineInteger(L"Pitch", 77);
  EXPECT_EQ(settings_.ReadInteger(L"Pitch"), 77u);
  settings_.WriteInteger(L"Pitch", 12);
  EXPECT_EQ(settings_.ReadInteger(L"Pitch"), 12u);
  // Each value falls back on its own: the user's key holding one value hides no other.
  WriteMachineInteger(L"Speed", 300);
  EXPECT_EQ(settings_.ReadInteger(L"Speed"), 300u);
}

TEST_F(SettingsKeyTest, WritesGoToTheUserAndKeepTurkishText) {
  settings_.WriteString(L"EngModeName", L"Kalvor Türkçe Erkek İ");
  EXPECT_EQ(settings_.ReadString(L"EngModeName"), L"Kalvor Türkçe Erkek İ");
  EXPECT_TRUE(ExistsUnder(HKEY_CURRENT_USER, L"EngModeName"));
  EXPECT_FALSE(ExistsUnder(HKEY_LOCAL_MACHINE, L"EngModeName"));
}

TEST_F(SettingsKeyTest, AValueOfTheWrongTypeReadsAsMissing) {
  settings_.WriteString(L"Pitch", L"100");
  EXPECT_FALSE(settings_.ReadInteger(L"Pitch"));
  settings_.WriteInteger(L"EngModeName", 5);
  EXPECT_FALSE(settings_.ReadString(L"EngModeName"));
}

// ---- The window ----

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    DeleteTestKeys();
    SetExceptionHandler([this](const std::exception& e) { errors_.push_back(e.what()); });
  }
  void TearDown() override {
    form_.reset();
    engine_.reset();
    SetExceptionHandler(nullptr);
    SetMessageBoxFunction(nullptr);
    DeleteTestKeys();
    CoUninitialize();
  }

  void StartEngine(std::vector<std::string> names = {"Kalvor Erkek", "Alfa",
                                                     "T\xFCrk\xE7"
                                                     "e Ses"}) {
    engine_ = std::make_unique<FakeSapiEngine>(std::move(names));
    engine_->defaults.pitch = 100;
    engine_->defaults.speed = 150;
    engine_->defaults.volume = 1000;
  }
  TForm_Config& Start() {
    if (!engine_) StartEngine();
    form_ = std::make_unique<TForm_Config>(kTestKey);
    return *form_;
  }
  std::wstring Text(HWND window) {
    wchar_t text[4096] = L"";
    GetWindowTextW(window, text, 4096);
    return text;
  }
  int Selected(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }
  // Dispatches messages until WM_QUIT comes out of the queue; its exit code, or -1 on time-out.
  static int PumpUntilQuit() {
    DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < 3000) {
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
        DispatchMessageW(&msg);
      }
      Sleep(5);
    }
    return -1;
  }
  void PutOnClipboard(const std::wstring& text) {
    ASSERT_TRUE(PumpUntil([] { return OpenClipboard(nullptr) != FALSE; }));
    EmptyClipboard();
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    std::wmemcpy(static_cast<wchar_t*>(GlobalLock(data)), text.c_str(), text.size() + 1);
    GlobalUnlock(data);
    SetClipboardData(CF_UNICODETEXT, data);
    CloseClipboard();
  }

  std::unique_ptr<FakeSapiEngine> engine_;
  std::unique_ptr<TForm_Config> form_;
  std::vector<std::string> errors_;
};

TEST_F(ConfigTest, AFreshInstallationStartsWithEveryDefaultAndReadsAtOnce) {
  TForm_Config& form = Start();
  EXPECT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_EQ(form.Shortcut(form.HK_Oku()), VK_F10);
  EXPECT_EQ(form.Shortcut(form.HK_Durdur()), VK_F11);
  EXPECT_FALSE(form.Checked(form.Check_Gorsel()));
  EXPECT_TRUE(form.Checked(form.Check_Otomatik()));
  EXPECT_FALSE(form.Form_Visuals().Visible());
  // "autoplay", the one value with a stored default, is written for the user.
  EXPECT_EQ(form.Settings().ReadInteger(L"autoplay"), 1u);
  EXPECT_TRUE(ExistsUnder(HKEY_CURRENT_USER, L"autoplay"));
  // The hot keys and the clipboard monitor are on.
  ASSERT_EQ(form.HotKey().HotKeys().size(), 2u);
  EXPECT_TRUE(form.HotKey().Active());
  EXPECT_EQ(form.HotKey().HotKeys()[0].Key, 85);
  EXPECT_EQ(form.HotKey().HotKeys()[1].Key, 86);
  EXPECT_TRUE(form.HotKey().HotKeys()[0].Registered);
  ASSERT_NE(form.ClipboardMonitor(), nullptr);
  EXPECT_TRUE(form.ClipboardMonitor()->Enabled());
  // The first engine is taken, with the bars at its own values and limits; nothing is set on it.
  EXPECT_EQ(engine_->selections, 1);
  EXPECT_EQ(Selected(form.CB_Motorlar()), 0);
  EXPECT_EQ(form.BarPosition(form.PitchBar()), 100);
  EXPECT_EQ(form.BarPosition(form.SpeedBar()), 150);
  EXPECT_EQ(form.BarPosition(form.VolumeBar()), 1000);
  EXPECT_EQ(Text(form.PitchMax()), L"65535");
  EXPECT_EQ(Text(form.SpeedMin()), L"10");
  EXPECT_EQ(Text(form.SpeedMax()), L"400");
  EXPECT_TRUE(engine_->Calls("PitchSet ").size() == 3u)  // the range probe only: max, min, back
      << engine_->Calls("PitchSet ").size();
  form.SpeakText(L"Merhaba");
  EXPECT_EQ(engine_->log.texts, std::vector<std::wstring>{L"Merhaba\r\n"});
}

TEST_F(ConfigTest, StoredSettingsReachTheModeThatIsSelectedLast) {
  TSettingsKey settings(kTestKey);
  settings.WriteString(L"EngModeName", L"ALFA");  // found in any letter case
  settings.WriteInteger(L"Pitch", 70000);         // applied as its low 16 bits: 4464
  settings.WriteInteger(L"Speed", 222);
  settings.WriteInteger(L"Volume", 333);
  settings.WriteInteger(L"skplay", 0x2000 | VK_F9);
  settings.WriteInteger(L"skstop", 0xBA);        // not in the key table: registered as entry 0
  settings.WriteInteger(L"viscontrols", 0x101);  // only the lowest byte counts
  settings.WriteInteger(L"autoplay", 0);
  TForm_Config& form = Start();
  EXPECT_TRUE(errors_.empty());
  EXPECT_EQ(engine_->selectedName, "Alfa");
  EXPECT_EQ(Selected(form.CB_Motorlar()), 1);
  EXPECT_EQ(engine_->log.calls.back(), "VolumeSet 333");
  EXPECT_EQ(form.BarPosition(form.PitchBar()), 4464);
  EXPECT_EQ(form.BarPosition(form.SpeedBar()), 222);
  EXPECT_EQ(form.BarPosition(form.VolumeBar()), 333);
  EXPECT_TRUE(form.Checked(form.Check_Gorsel()));
  EXPECT_TRUE(form.Form_Visuals().Visible());
  EXPECT_FALSE(form.Checked(form.Check_Otomatik()));
  ASSERT_EQ(form.HotKey().HotKeys().size(), 2u);
  EXPECT_EQ(form.HotKey().HotKeys()[0].Key, KeyIndexOf(VK_F9));
  EXPECT_EQ(form.HotKey().HotKeys()[0].Modifiers, hmShift);
  EXPECT_EQ(form.HotKey().HotKeys()[1].Key, 0);
}

// A name stored empty ("&Tamam" while no engine was listed) or one whose engine has gone since
// behaves as no name at all: the first listed mode reads.
TEST_F(ConfigTest, AnEmptyOrStaleStoredEngineFallsBackOnTheFirstListedMode) {
  for (const wchar_t* stored : {L"", L"Kaldırılmış Motor"}) {
    TSettingsKey(kTestKey).WriteString(L"EngModeName", stored);
    engine_.reset();
    StartEngine();
    TForm_Config& form = Start();
    EXPECT_TRUE(errors_.empty()) << errors_.front();
    EXPECT_EQ(engine_->selections, 1);
    EXPECT_EQ(engine_->selectedName, "Kalvor Erkek");
    EXPECT_EQ(Selected(form.CB_Motorlar()), 0);
    form.SpeakText(L"Okunur");
    EXPECT_EQ(engine_->log.texts, std::vector<std::wstring>{L"Okunur\r\n"});
    form_.reset();
  }
}

// Without a run time, or with one that lists no engine, the user is told once what to do; copies
// bring no box each, and an error while a box is open adds none.
TEST_F(ConfigTest, NothingToReadWithIsToldOnceAtStartAndNotAtEveryCopy) {
  for (bool runTime : {false, true}) {
    std::vector<std::wstring> boxes;
    SetMessageBoxFunction([&](const std::wstring& text, UINT) {
      boxes.push_back(text);
      // While the notice is open, copies and the read key arrive through its message loop.
      SendMessageW(form_->Handle(), WM_READER_CLIPCHANGE, 0, 0);
      try {
        form_->HotKeyHotKey(0);
      } catch (const std::exception& e) {
        ShowException(e);  // as the window procedure of the hot key does
      }
      return IDOK;
    });
    SetExceptionHandler([](const std::exception& e) { ShowErrorBox(e); });
    StartEngine(runTime ? std::vector<std::string>{} : std::vector<std::string>{"Kalvor Erkek"});
    engine_->noRunTime = !runTime;
    TForm_Config& form = Start();
    EXPECT_EQ(Selected(form.CB_Motorlar()), -1);
    ASSERT_TRUE(PumpUntil([&] { return !boxes.empty(); }));
    test::Pump(100);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], NoEngineNotice(runTime));
    // Automatic reading stays quiet; the read key, pressed on purpose, says why nothing is read.
    SetMessageBoxFunction([&](const std::wstring& text, UINT) {
      boxes.push_back(text);
      return IDOK;
    });
    PutOnClipboard(L"Kopyalanan");
    test::Pump(300);
    SendMessageW(form.Handle(), WM_READER_CLIPCHANGE, 0, 0);
    EXPECT_EQ(boxes.size(), 1u);
    try {
      form.HotKeyHotKey(0);
    } catch (const std::exception& e) {
      ShowException(e);
    }
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1], runTime ? L"Konuşma Motoru seçilmedi." : L"Konuşma Motoru yüklenedi.");
    form_.reset();
    engine_.reset();
  }
}

TEST_F(ConfigTest, AnEngineThatCannotBeStartedIsReportedAndTheStartGoesOn) {
  StartEngine();
  engine_->failSelect = true;
  TForm_Config& form = Start();
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0], "Sentezleme motoru seçilemedi!");
  EXPECT_TRUE(form.HotKey().Active());
  EXPECT_NE(form.ClipboardMonitor(), nullptr);
}

TEST_F(ConfigTest, OkStoresEverySettingForTheUserAndARestartRestoresIt) {
  {
    TForm_Config& form = Start();
    SendMessageW(form.CB_Motorlar(), CB_SETCURSEL, 2, 0);
    form.CB_MotorlarChange();
    form.SetBarPosition(form.PitchBar(), 180);
    form.SetBarPosition(form.SpeedBar(), 90);
    form.SetBarPosition(form.VolumeBar(), 500);
    form.SetShortcut(form.HK_Oku(), 0x4000 | 'R');
    form.SetChecked(form.Check_Gorsel(), true);
    form.SetChecked(form.Check_Otomatik(), false);
    form.ShowSettings();
    SendMessageW(form.Button1(), BM_CLICK, 0, 0);
    EXPECT_FALSE(form.Visible());
    EXPECT_TRUE(errors_.empty());
    EXPECT_EQ(form.HotKey().HotKeys()[0].Key, KeyIndexOf('R'));
    EXPECT_EQ(form.HotKey().HotKeys()[0].Modifiers, hmCtrl);
  }
  for (const wchar_t* name : {L"EngModeName", L"Pitch", L"Speed", L"Volume", L"skplay", L"skstop",
                              L"viscontrols", L"autoplay"}) {
    EXPECT_TRUE(ExistsUnder(HKEY_CURRENT_USER, name)) << Narrow(name);
    EXPECT_FALSE(ExistsUnder(HKEY_LOCAL_MACHINE, name)) << Narrow(name);
  }
  form_.reset();
  TForm_Config& form = Start();
  EXPECT_EQ(engine_->selectedName,
            "T\xFCrk\xE7"
            "e Ses");
  EXPECT_EQ(Selected(form.CB_Motorlar()), 2);
  EXPECT_EQ(form.BarPosition(form.PitchBar()), 180);
  EXPECT_EQ(form.BarPosition(form.SpeedBar()), 90);
  EXPECT_EQ(form.BarPosition(form.VolumeBar()), 500);
  EXPECT_EQ(form.Shortcut(form.HK_Oku()), 0x4000 | 'R');
  EXPECT_TRUE(form.Checked(form.Check_Gorsel()));
  EXPECT_FALSE(form.Checked(form.Check_Otomatik()));
}

// A bare letter as the read key would take that letter from every program: "&Tamam" asks first,
// and "no" stores nothing and shows the key. F-keys and keys with a modifier are not asked about.
TEST_F(ConfigTest, ABareTypingKeyIsStoredOnlyOnceTheUserConfirmsIt) {
  std::vector<std::wstring> questions;
  int answer = IDNO;
  SetMessageBoxFunction([&](const std::wstring& text, UINT flags) {
    questions.push_back(text);
    EXPECT_EQ(flags & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(flags & MB_DEFMASK, static_cast<UINT>(MB_DEFBUTTON2));  // "no" is the default
    return answer;
  });
  TForm_Config& form = Start();
  form.ShowSettings();
  form.SetActivePage(0);
  form.SetShortcut(form.HK_Durdur(), 'S');
  SendMessageW(form.Button1(), BM_CLICK, 0, 0);
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_NE(questions[0].find(L"Okumayı Durdur"), std::wstring::npos);
  EXPECT_FALSE(form.Settings().ReadInteger(L"skstop"));
  EXPECT_FALSE(form.Settings().ReadString(L"EngModeName"));
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(form.ActivePage(), 1);
  EXPECT_EQ(GetFocus(), form.HK_Durdur());
  EXPECT_EQ(form.HotKey().HotKeys()[1].Key, 86);  // F11 still stops

  answer = IDYES;
  SendMessageW(form.Button1(), BM_CLICK, 0, 0);
  EXPECT_EQ(questions.size(), 2u);
  EXPECT_EQ(form.Settings().ReadInteger(L"skstop"), static_cast<std::uint32_t>('S'));
  EXPECT_FALSE(form.Visible());
  form.ShowSettings();  // confirmed once: not asked again
  SendMessageW(form.Button1(), BM_CLICK, 0, 0);
  EXPECT_EQ(questions.size(), 2u);
  EXPECT_FALSE(form.Visible());

  form.SetShortcut(form.HK_Oku(), VK_F9);
  form.SetShortcut(form.HK_Durdur(), 0x4000 | 'S');
  form.ShowSettings();
  SendMessageW(form.Button1(), BM_CLICK, 0, 0);
  EXPECT_EQ(questions.size(), 2u);
  EXPECT_EQ(form.Settings().ReadInteger(L"skstop"), 0x4000u | 'S');
}

TEST_F(ConfigTest, CancelRestoresTheStoredValuesAndTheStoredEngine) {
  TSettingsKey settings(kTestKey);
  settings.WriteString(L"EngModeName", L"Alfa");
  settings.WriteInteger(L"Pitch", 120);
  TForm_Config& form = Start();
  SendMessageW(form.CB_Motorlar(), CB_SETCURSEL, 0, 0);
  form.CB_MotorlarChange();
  form.SetBarPosition(form.PitchBar(), 40);
  form.SetChecked(form.Check_Otomatik(), false);
  form.ShowSettings();
  SendMessageW(form.Button2(), BM_CLICK, 0, 0);
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(engine_->selectedName, "Alfa");
  EXPECT_EQ(form.BarPosition(form.PitchBar()), 120);
  EXPECT_TRUE(form.Checked(form.Check_Otomatik()));
}

TEST_F(ConfigTest, BarsMovedByCodeNeverReachTheEngine) {
  TForm_Config& form = Start();
  std::size_t before = engine_->log.calls.size();
  form.SetBarPosition(form.PitchBar(), 30);
  form.PitchBarChange();  // the bar does not have the focus
  EXPECT_EQ(engine_->log.calls.size(), before);
  form.ShowSettings();
  form.SetActivePage(0);
  SetFocus(form.PitchBar());
  form.PitchBarChange();
  EXPECT_EQ(engine_->log.calls.back(), "PitchSet 30");
}

TEST_F(ConfigTest, AutomaticReadingStopsFirstTheReadKeyAndPlayDoNot) {
  TForm_Config& form = Start();
  PutOnClipboard(L"Birinci satır\r\nİkinci satır");
  engine_->log = {};
  // A real clipboard change, through the monitor and the posted message.
  ASSERT_TRUE(PumpUntil([&] { return !engine_->log.texts.empty(); }));
  EXPECT_EQ(engine_->log.calls, (std::vector<std::string>{"Reset", "Text"}));
  EXPECT_EQ(engine_->log.texts[0], L"Birinci satır\r\nİkinci satır\r\n");
  engine_->log = {};
  form.HotKeyHotKey(0);
  form.HotKeyHotKey(0);
  form.Form_Visuals().OnPlay();
  EXPECT_EQ(engine_->log.calls, (std::vector<std::string>{"Text", "Text", "Text"}));
  form.HotKeyHotKey(1);
  form.Form_Visuals().OnStop();
  form.HotKeyHotKey(2);  // no such hot key: nothing
  EXPECT_EQ(engine_->Calls("Reset").size(), 2u);
  EXPECT_EQ(engine_->log.calls.size(), 5u);

  form.SetChecked(form.Check_Otomatik(), false);
  engine_->log = {};
  SendMessageW(form.Handle(), WM_READER_CLIPCHANGE, 0, 0);
  EXPECT_TRUE(engine_->log.calls.empty());
}

TEST_F(ConfigTest, TheReadKeyPressedAtTheKeyboardReadsTheClipboard) {
  Start();
  PutOnClipboard(L"Klavyeden");
  test::Pump(300);  // the automatic reading of this change
  engine_->log = {};
  test::PressKey(VK_F10);
  ASSERT_TRUE(PumpUntil([&] { return !engine_->log.texts.empty(); }));
  EXPECT_EQ(engine_->log.texts[0], L"Klavyeden\r\n");
  test::PressKey(VK_F11);
  ASSERT_TRUE(PumpUntil([&] { return !engine_->Calls("Reset").empty(); }));
}

TEST_F(ConfigTest, ASecondStartShowsThePlayerWithoutCheckingTheBox) {
  TForm_Config& form = Start();
  HWND found = FindWindowW(kConfigClassName, kConfigCaption);
  EXPECT_EQ(found, form.Handle());
  EXPECT_EQ(SendMessageW(found, WM_READER_SHOWPLAYER, 0, 0), kShowPlayerAnswer);
  EXPECT_TRUE(form.Form_Visuals().Visible());
  EXPECT_FALSE(form.Checked(form.Check_Gorsel()));
}

TEST_F(ConfigTest, ThePlayerFollowsTheBoxAndItsCrossUnchecksItWithoutSaving) {
  TForm_Config& form = Start();
  SendMessageW(form.Check_Gorsel(), BM_CLICK, 0, 0);
  EXPECT_TRUE(form.Checked(form.Check_Gorsel()));
  EXPECT_TRUE(form.Form_Visuals().Visible());
  SendMessageW(form.Form_Visuals().Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(form.Checked(form.Check_Gorsel()));
  EXPECT_FALSE(form.Form_Visuals().Visible());
  EXPECT_TRUE(IsWindow(form.Form_Visuals().Handle()));
  EXPECT_FALSE(TSettingsKey(kTestKey).ReadInteger(L"viscontrols"));
}

TEST_F(ConfigTest, ClosingTheWindowOnlyHidesIt) {
  TForm_Config& form = Start();
  form.ShowSettings();
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(form.Handle()));
  EXPECT_FALSE(form.Visible());
}

TEST_F(ConfigTest, TheEndOfTheSessionEndsTheProgram) {
  TForm_Config& form = Start();
  EXPECT_EQ(SendMessageW(form.Handle(), WM_QUERYENDSESSION, 0, 0), 1);
  EXPECT_EQ(PumpUntilQuit(), 0);
  EXPECT_EQ(engine_->Calls("Reset").size(), 1u);
}

TEST_F(ConfigTest, TheTrayMenuOffersSettingsAndQuit) {
  TForm_Config& form = Start();
  EXPECT_EQ(form.TrayIconX1().Tip(), kApplicationTitle);
  EXPECT_EQ(form.TrayIconX1().PopupMenuL(), &form.PopupSub());
  EXPECT_EQ(form.TrayIconX1().PopupMenuR(), &form.PopupSub());
  HMENU menu = form.PopupSub().Handle();
  ASSERT_EQ(GetMenuItemCount(menu), 4);
  wchar_t caption[64];
  const wchar_t* expected[] = {kApplicationTitle, L"", L"&Ayarlar", L"Çı&kış"};
  for (int i = 0; i < 4; ++i) {
    caption[0] = 0;
    GetMenuStringW(menu, i, caption, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(caption), expected[i]);
  }
  form.PopupSub().Click(2);
  EXPECT_TRUE(form.Visible());
  form.PopupSub().Click(3);
  EXPECT_EQ(PumpUntilQuit(), 0);
}

// Every text of the window, compared with its Windows-1254 form: the letters must come out of the
// source exactly.
TEST_F(ConfigTest, TheTextsAreTheTurkishOfTheDesign) {
  TForm_Config& form = Start();
  auto cp1254 = [](const char* bytes) {
    wchar_t wide[512] = L"";
    MultiByteToWideChar(1254, 0, bytes, -1, wide, 512);
    return std::wstring(wide);
  };
  EXPECT_EQ(Text(form.Handle()), L"Lumeko - Ayarlar");
  const char* pages[] = {"&Ses Ayarlar\xFD", "&K\xFDsayol Tu\xFElar\xFD", "&Hakk\xFDnda",
                         "&Yard\xFDm"};
  for (int i = 0; i < 4; ++i) {
    wchar_t text[64] = L"";
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 64;
    SendMessageW(form.P1(), TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(text), cp1254(pages[i]));
  }
  EXPECT_EQ(form.ActivePage(), 2);
  EXPECT_EQ(Text(form.Button1()), L"&Tamam");
  EXPECT_EQ(Text(form.Button2()), cp1254("\xDD&ptal"));
  EXPECT_EQ(Text(form.Check_Gorsel()), cp1254("G\xF6rsel Kontroller"));
  EXPECT_EQ(Text(form.Check_Otomatik()), L"Otomatik Oku");
  EXPECT_EQ(Text(form.Memo1()), cp1254("Denemek i\xE7in metni buraya yaz\xFDn ve kopyalay\xFDn."));
  const char* help[] = {
      "Lumeko Nedir?",
      "Lumeko pano okuma yaz\xFDl\xFDm\xFD"
      "d\xFDr. Bilgisayar\xFDn\xFDzda ",
      "bulunan metinleri SAPI deste\xF0i bulunan motorlarla ",
      "konu\xFEmaya \xE7"
      "evirir.",
      "",
      "Nas\xFDl kullan\xFDl\xFDr?",
      "Herhangi bir programdan panoya kopyalad\xFD\xF0\xFDn\xFDz ",
      "metin bu program taraf\xFDndan otomatik olarak ",
      "seslendirilecektir. Bu \xF6zelli\xF0i \"K\xFDsayol Tu\xFElar\xFD\"",
      "b\xF6l\xFCm\xFCndeki \"Otomatik Oku\" i\xFE"
      "aretini ",
      "kald\xFDrarak kaptatabilirsiniz. Panoyu manual ",
      "dinlemek i\xE7in \"K\xFDsayol Tu\xFElar\xFD\" b\xF6l\xFCm\xFCndeki ",
      "\"Okumay\xFD Ba\xFElat\" ismi ile tan\xFDmlanan ",
      "(varsay\xFDlan F10)  tu\xFEuna bas\xFDn\xFDz. \xDE"
      "ayet metin ",
      "bitmeden durdurmak istiyorsan\xFDz \"Okumay\xFD Durdur\" ",
      "(varsay\xFDlan F11) tu\xFEuna bas\xFDn\xFDz. ",
      "\xD6rnek olarak a\xFE"
      "a\xF0\xFD"
      "daki kutuya seslendirilmesini ",
      "istedi\xF0iniz metni yaz\xFDn ve yaz\xFDy\xFD fare yard\xFDm\xFD ile ",
      "se\xE7tikten sonra CTRL+C tu\xFElar\xFDna bas\xFDn.",
  };
  std::wstring expected;
  for (std::size_t i = 0; i < std::size(help); ++i) {
    if (i > 0) expected += L"\r\n";
    expected += cp1254(help[i]);
  }
  EXPECT_EQ(Text(form.Memo2()), expected);
  EXPECT_EQ(SendMessageW(form.Memo2(), EM_GETLINECOUNT, 0, 0) >= 19, true);
}

TEST_F(ConfigTest, AltAndAPageAccessKeyShowsThatPage) {
  TForm_Config& form = Start();
  form.ShowSettings();
  struct Case {
    wchar_t key;
    bool taken;
    int page;
  };
  const Case cases[] = {{L's', true, 0}, {L'K', true, 1},  {L'y', true, 3},
                        {L'h', true, 2}, {L't', false, 2}, {L'x', false, 2}};
  for (const auto& c : cases) {
    EXPECT_EQ(form.SelectPageByAccessKey(c.key), c.taken) << static_cast<char>(c.key);
    EXPECT_EQ(form.ActivePage(), c.page) << static_cast<char>(c.key);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(IsWindowVisible(form.Page(i)) != FALSE, i == c.page);
  }
}

// Every tab fits on the one row of the strip, every bar's thumb lies whole inside its bar and the
// bars inside their page.
TEST_F(ConfigTest, AllTabsAndWholeBarsAreShown) {
  TForm_Config& form = Start();
  form.ShowSettings();
  form.SetActivePage(0);
  RECT strip;
  GetClientRect(form.P1(), &strip);
  EXPECT_EQ(SendMessageW(form.P1(), TCM_GETROWCOUNT, 0, 0), 1);
  for (int i = 0; i < 4; ++i) {
    RECT tab{};
    ASSERT_TRUE(SendMessageW(form.P1(), TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&tab)));
    EXPECT_LE(tab.right, strip.right - 4) << "tab " << i;  // no scroll arrows over it
  }
  RECT page;
  GetClientRect(form.Page(0), &page);
  for (HWND bar : {form.PitchBar(), form.SpeedBar(), form.VolumeBar()}) {
    RECT client, thumb;
    GetClientRect(bar, &client);
    SendMessageW(bar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    EXPECT_GE(thumb.left, client.left);
    EXPECT_LE(thumb.right, client.right);
    RECT onPage;
    GetWindowRect(bar, &onPage);
    MapWindowPoints(nullptr, form.Page(0), reinterpret_cast<POINT*>(&onPage), 2);
    EXPECT_LE(onPage.right, page.right);
    EXPECT_LE(onPage.bottom, page.bottom);
  }
}

// Tab goes from the tab strip through the shown page's controls, top to bottom and left to right,
// to the buttons and round again; Shift+Tab goes back.
TEST_F(ConfigTest, TabGoesFromTheStripThroughThePageInReadingOrderToTheButtons) {
  TForm_Config& form = Start();
  form.ShowSettings();
  auto readingOrder = [](HWND a, HWND b) {
    RECT ra, rb;
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return ra.bottom <= rb.top || (ra.top < rb.bottom && ra.left < rb.left);
  };
  const std::size_t expectedControls[4] = {4, 4, 0, 2};
  for (int page = 0; page < 4; ++page) {
    form.SetActivePage(page);
    std::vector<HWND> walk{form.P1()};
    for (HWND w = form.NextTabStop(form.P1(), false); w != form.P1() && walk.size() < 20;
         w = form.NextTabStop(w, false))
      walk.push_back(w);
    ASSERT_EQ(walk.size(), expectedControls[page] + 3) << "page " << page;
    EXPECT_EQ(walk[walk.size() - 2], form.Button1());
    EXPECT_EQ(walk.back(), form.Button2());
    for (std::size_t i = 1; i + 2 < walk.size(); ++i) {
      EXPECT_EQ(GetParent(walk[i]), form.Page(page));
      if (i > 1) {
        EXPECT_TRUE(readingOrder(walk[i - 1], walk[i])) << "page " << page << " " << i;
      }
    }
    for (std::size_t i = 1; i < walk.size(); ++i)
      EXPECT_EQ(form.NextTabStop(walk[i], true), walk[i - 1]);
    EXPECT_EQ(form.NextTabStop(form.P1(), true), form.Button2());
  }

  // At the keyboard, through the program's own dialog keyboard handling.
  form.SetActivePage(0);
  SetForegroundWindow(form.Handle());
  SetFocus(form.P1());
  auto pumpDialog = [&] {
    DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < 300) {
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (!form.HandleDialogKey(msg)) {
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
        }
      Sleep(5);
    }
  };
  test::PressKey(VK_TAB);
  pumpDialog();
  EXPECT_EQ(GetFocus(), form.CB_Motorlar());
  test::PressKey(VK_TAB, {VK_SHIFT});
  pumpDialog();
  EXPECT_EQ(GetFocus(), form.P1());
}

TEST_F(ConfigTest, TheHelpPageSelectsTheTestTextReadyForTyping) {
  TForm_Config& form = Start();
  form.ShowSettings();
  form.SetActivePage(3);
  DWORD start = 0, end = 0;
  SendMessageW(form.Memo1(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, static_cast<DWORD>(GetWindowTextLengthW(form.Memo1())));
  EXPECT_EQ(GetFocus(), form.Memo1());
}

}  // namespace
}  // namespace lumeko
