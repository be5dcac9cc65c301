// TForm_Config: Lumeko's settings window and the heart of the program. It stays hidden until asked
// for, owns the speech component, the system hot keys, the tray icon with its menu, the clipboard
// monitor and the floating player, keeps the settings in the registry and does the reading:
// reading the clipboard on the read key or the player's Play button, automatically on every
// clipboard change, and stopping.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ClipMon.h"
#include "FormBase.h"
#include "Frm_Visuals.h"
#include "OrvelSpeech.h"
#include "SysHot.h"
#include "TrayIcoX.h"

namespace lumeko {

// The settings window's private messages.
constexpr UINT WM_READER_QUIT = 0x046F;        // stop reading and end the program
constexpr UINT WM_READER_SHOWPLAYER = 0x0470;  // sent by a second start: show the player
constexpr UINT WM_READER_CLIPCHANGE = 0x0471;  // the clipboard changed
constexpr UINT WM_READER_NOENGINE = 0x0472;    // tell the user that nothing can be read yet
// What the running copy answers to WM_READER_SHOWPLAYER, so that a second start knows it was heard.
constexpr LRESULT kShowPlayerAnswer = 112;

// How a second start finds the running copy.
inline constexpr wchar_t kConfigClassName[] = L"TForm_Config";
inline constexpr wchar_t kConfigCaption[] = L"Lumeko - Ayarlar";
// The application title: the caption of error messages, the tray tip and the menu's first item.
inline constexpr wchar_t kApplicationTitle[] = L"Lumeko V 1.0";
// Where the settings live, under HKEY_CURRENT_USER (written) and HKEY_LOCAL_MACHINE (read when
// the user has no value of their own: an installer may put defaults there).
inline constexpr wchar_t kSettingsKey[] = L"Software\\Verdanis\\Lumeko";

// An error message as the user sees it: a full stop is added when the text ends in a character
// that sorts after the full stop ("seçilmedi" gets one, "seçilemedi!" does not).
std::wstring WithFullStop(const std::wstring& message);
// Every message box of Lumeko goes through here, captioned with the application title: at most one
// is open at a time. A box asked for while one is open is not shown, and the answer is then 0.
int ShowMessageBox(const std::wstring& text, UINT flags) noexcept;
// What shows the box (MessageBoxW when empty); tests answer in its place.
using TMessageBoxFunction = std::function<int(const std::wstring& text, UINT flags)>;
void SetMessageBoxFunction(TMessageBoxFunction function);
// Shows an error in a message box captioned with the application title; the program's handler for
// exceptions that reach a window procedure. Exception messages are UTF-8.
void ShowErrorBox(const std::exception& error) noexcept;

// What the user is told once at start when Lumeko cannot read anything: no SAPI 4 run time, or a
// run time without a single engine.
std::wstring NoEngineNotice(bool runtimeFound);

// Shortcuts are stored as a virtual-key code (value AND 0x1FFF) with 0x2000 for Shift, 0x4000 for
// Ctrl and 0x8000 for Alt; the hot key control speaks in its own terms.
std::uint16_t ShortcutFromHotKeyControl(WORD value);
WORD HotKeyControlFromShortcut(std::uint32_t shortcut);
struct THotKeySpec {
  std::uint8_t Key;  // index into VirtualKeyTable, 0 for a key that is not there
  THotKeyModifiers Modifiers;
};
THotKeySpec HotKeyFromShortcut(std::uint32_t shortcut);
// A key that types something (a letter, digit, punctuation, space, a key of the number pad) or
// edits text, with no modifier: as a system-wide hot key it is taken away from every program.
// F-keys, keys with Ctrl, Alt or Shift, and no key at all are not.
bool IsBareTypingKey(std::uint32_t shortcut);
// The question asked before such a key is stored for the command named (Windows-1254 Turkish).
std::wstring BareKeyQuestion(const std::wstring& command, std::uint32_t shortcut);

// A text cut into lines at CR, LF or CR LF; a final line break ends the last line and adds none.
std::vector<std::wstring> SplitLines(const std::wstring& text);

// The settings key: values are read from HKEY_CURRENT_USER, else from HKEY_LOCAL_MACHINE, and
// written under HKEY_CURRENT_USER, which every user may write.
class TSettingsKey {
 public:
  explicit TSettingsKey(std::wstring subKey) : FSubKey(std::move(subKey)) {}
  const std::wstring& SubKey() const { return FSubKey; }

  // Empty when neither key holds the value with the right type.
  std::optional<std::wstring> ReadString(const wchar_t* name) const;
  std::optional<std::uint32_t> ReadInteger(const wchar_t* name) const;
  // Throw kalvor::Exception naming the value and the key when Windows refuses.
  void WriteString(const wchar_t* name, const std::wstring& value) const;
  void WriteInteger(const wchar_t* name, std::uint32_t value) const;

 private:
  std::wstring FSubKey;
};

class TForm_Config : public TForm {
 public:
  // Creates the window, hidden, and everything it owns (FormCreate). An error on the way is shown
  // and the start goes on: the program works as far as it can.
  explicit TForm_Config(std::wstring settingsKey = kSettingsKey);
  ~TForm_Config() override;

  // Reading control.
  void ReadClipboard();
  void SpeakText(const std::wstring& text);
  void StopReading();

  // Registry to controls and engine; controls to registry.
  void LoadSettings();
  void SaveSettings();
  void ApplyHotKeys();
  // The clipboard monitor's change event: reading happens after the notification has returned.
  void ClipboardChanged();

  // Shows the window and brings it to the front (the tray menu's "&Ayarlar", a double click on the
  // tray icon, the player's settings button).
  void ShowSettings();

  // Event handlers, named after the controls they belong to.
  void CB_MotorlarChange();
  void PitchBarChange();
  void SpeedBarChange();
  void VolumeBarChange();
  void HotKeyHotKey(int index);
  void Check_GorselClick();
  void Button1Click();
  void Button2Click();
  void Ayarlar1Click();
  void k1Click();
  void TrayIconX1DblClick();
  void TabSheet4Show();

  // The parts, for the program and its tests.
  TOrvelSpeech& Speech() { return FSpeech; }
  TSysHotKey& HotKey() { return FHotKey; }
  TTrayIconX& TrayIconX1() { return *FTrayIconX1; }
  TPopupMenu& PopupSub() { return *FPopupSub; }
  TClipboardMonitor* ClipboardMonitor() { return FClipboardMonitor.get(); }
  TForm_Visuals& Form_Visuals() { return *FForm_Visuals; }
  const TSettingsKey& Settings() const { return FSettings; }

  HWND P1() const { return FP1; }
  HWND Page(int index) const { return FPages[index]; }
  HWND CB_Motorlar() const { return FCB_Motorlar; }
  HWND PitchBar() const { return FPitchBar; }
  HWND SpeedBar() const { return FSpeedBar; }
  HWND VolumeBar() const { return FVolumeBar; }
  HWND PitchMax() const { return FPitchMax; }
  HWND PitchMin() const { return FPitchMin; }
  HWND SpeedMax() const { return FSpeedMax; }
  HWND SpeedMin() const { return FSpeedMin; }
  HWND HK_Oku() const { return FHK_Oku; }
  HWND HK_Durdur() const { return FHK_Durdur; }
  HWND Check_Gorsel() const { return FCheck_Gorsel; }
  HWND Check_Otomatik() const { return FCheck_Otomatik; }
  HWND Memo1() const { return FMemo1; }
  HWND Memo2() const { return FMemo2; }
  HWND Button1() const { return FButton1; }
  HWND Button2() const { return FButton2; }

  // A bar's position as the settings know it: the bars stand upright with the maximum at the top.
  int BarPosition(HWND bar) const;
  void SetBarPosition(HWND bar, int position);
  // The shortcut in a hot key control, in the stored encoding.
  std::uint16_t Shortcut(HWND hotKeyControl) const;
  void SetShortcut(HWND hotKeyControl, std::uint32_t shortcut);
  bool Checked(HWND checkBox) const;
  // Checks or unchecks; a change of state runs the box's click handler, as a user's click does.
  void SetChecked(HWND checkBox, bool value);
  // The current tab page, 0-based (the third, "&Hakkında", at start).
  int ActivePage() const;
  void SetActivePage(int index);

  // Alt and a page's access key ("&Ses Ayarları": S) shows that page; tells whether the key was
  // one. The program's message loop asks before the dialog keyboard handling does.
  bool SelectPageByAccessKey(wchar_t key);
  // The next control that Tab (or Shift+Tab) reaches from the given one: the tab strip, the shown
  // page's controls in reading order, then the buttons, and round again.
  HWND NextTabStop(HWND from, bool backwards) const;
  // The keyboard of the settings window while it is shown (page access keys, Tab, Enter, Esc);
  // the program's message loop hands every message here first. True when it was taken.
  bool HandleDialogKey(MSG& msg);

  // The help text of the "&Yardım" page, one entry per line.
  static const std::vector<std::wstring>& HelpLines();

 protected:
  void WndProc(TFormMessage& message) override;

 private:
  void FormCreate();
  void CreateControls();
  HWND AddControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int x,
                  int y, int width, int height, int id = 0, DWORD exStyle = 0);
  void FitBar(HWND page, HWND bar);
  void RefreshBars();
  void SetBarRange(HWND bar, std::uint32_t minimum, std::uint32_t maximum);
  void BarChanged(HWND bar);
  void SetBarTip(HWND bar, int position);
  void OnCommand(WORD id, WORD code, HWND control);
  static LRESULT CALLBACK PageProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);
  void PaintAboutPage(HDC dc);
  // Asks before a bare typing key is stored as a hot key; false when the user said no (the
  // settings window then shows that hot key control).
  bool ConfirmShortcuts();
  // No run time or no engine at all: nothing can be read.
  bool NothingToReadWith() const;

  TSettingsKey FSettings;
  TOrvelSpeech FSpeech;
  TSysHotKey FHotKey;
  std::unique_ptr<TPopupMenu> FPopupSub;
  std::unique_ptr<TTrayIconX> FTrayIconX1;
  std::unique_ptr<TClipboardMonitor> FClipboardMonitor;
  std::unique_ptr<TForm_Visuals> FForm_Visuals;

  HWND FApplicationWindow = nullptr;  // hidden owner: the settings window gets no taskbar button
  HICON FIconLarge = nullptr;
  HICON FIconSmall = nullptr;
  HBITMAP FLogo = nullptr;
  HFONT FFont = nullptr;
  HFONT FBoldFont = nullptr;
  HFONT FTitleFont = nullptr;
  HWND FToolTip = nullptr;
  // How much wider than designed (in 96-DPI pixels) the window is, for its page names to fit.
  int FWiden = 0;

  HWND FP1 = nullptr;
  HWND FPages[4] = {};
  HWND FCB_Motorlar = nullptr;
  HWND FPitchBar = nullptr, FSpeedBar = nullptr, FVolumeBar = nullptr;
  HWND FPitchMax = nullptr, FPitchMin = nullptr, FSpeedMax = nullptr, FSpeedMin = nullptr;
  HWND FHK_Oku = nullptr, FHK_Durdur = nullptr;
  HWND FCheck_Gorsel = nullptr, FCheck_Otomatik = nullptr;
  HWND FMemo1 = nullptr, FMemo2 = nullptr;
  HWND FButton1 = nullptr, FButton2 = nullptr;
};

}  // namespace lumeko
