#include "frm_Config.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cwchar>
#include <string>
#include <utility>

#include "resources/Artwork.h"

namespace lumeko {

// ---- Helpers ----

std::wstring WithFullStop(const std::wstring& message) {
  if (!message.empty() && message.back() > L'.') return message + L'.';
  return message;
}

namespace {

TMessageBoxFunction& MessageBoxFunction() {
  static TMessageBoxFunction function;
  return function;
}

}  // namespace

void SetMessageBoxFunction(TMessageBoxFunction function) {
  MessageBoxFunction() = std::move(function);
}

int ShowMessageBox(const std::wstring& text, UINT flags) noexcept {
  // A box runs a message loop of its own: the hot keys and clipboard changes it dispatches may
  // raise the same error again, and each would open one more box over the first.
  static bool open = false;
  if (open) return 0;
  open = true;
  int answer = 0;
  try {
    if (MessageBoxFunction())
      answer = MessageBoxFunction()(text, flags);
    else
      answer = MessageBoxW(nullptr, text.c_str(), kApplicationTitle, flags | MB_TASKMODAL);
  } catch (...) {
  }
  open = false;
  return answer;
}

void ShowErrorBox(const std::exception& error) noexcept {
  try {
    ShowMessageBox(WithFullStop(Widen(error.what())), MB_ICONERROR | MB_OK);
  } catch (...) {
    ShowMessageBox(L"Out of memory.", MB_ICONERROR | MB_OK);
  }
}

std::uint16_t ShortcutFromHotKeyControl(WORD value) {
  std::uint16_t shortcut = LOBYTE(value);
  BYTE flags = HIBYTE(value);
  if (flags & HOTKEYF_SHIFT) shortcut |= 0x2000;
  if (flags & HOTKEYF_CONTROL) shortcut |= 0x4000;
  if (flags & HOTKEYF_ALT) shortcut |= 0x8000;
  return shortcut;
}

WORD HotKeyControlFromShortcut(std::uint32_t shortcut) {
  BYTE flags = 0;
  if (shortcut & 0x2000) flags |= HOTKEYF_SHIFT;
  if (shortcut & 0x4000) flags |= HOTKEYF_CONTROL;
  if (shortcut & 0x8000) flags |= HOTKEYF_ALT;
  // The control holds an 8-bit key code.
  return MAKEWORD(static_cast<BYTE>(shortcut & 0xFF), flags);
}

THotKeySpec HotKeyFromShortcut(std::uint32_t shortcut) {
  THotKeySpec hotKey{
      static_cast<std::uint8_t>(KeyIndexOf(static_cast<std::uint16_t>(shortcut & 0x1FFF))), 0};
  if (shortcut & 0x2000) hotKey.Modifiers |= hmShift;
  if (shortcut & 0x4000) hotKey.Modifiers |= hmCtrl;
  if (shortcut & 0x8000) hotKey.Modifiers |= hmAlt;
  return hotKey;
}

std::wstring NoEngineNotice(bool runtimeFound) {
  if (!runtimeFound)
    return L"Bu bilgisayarda SAPI 4 çalışma ortamı bulunamadı; Lumeko bu yüzden metin okuyamaz.\n\n"
           L"Microsoft'un SAPI 4 çalışma ortamını kurun ya da Kalvor kurulumunu yeniden "
           L"çalıştırıp \"Yedek SAPI 4 çalışma ortamı\" seçeneğini işaretleyin. Sonra Lumeko'yu "
           L"yeniden başlatın.";
  return L"SAPI 4 çalışma ortamında kayıtlı bir konuşma motoru bulunamadı; Lumeko bu yüzden metin "
         L"okuyamaz.\n\n"
         L"Kalvor kurulumunu yeniden çalıştırın ya da başka bir SAPI 4 konuşma motoru kurun. Sonra "
         L"Lumeko'yu yeniden başlatın.";
}

bool IsBareTypingKey(std::uint32_t shortcut) {
  if (shortcut & 0xE000) return false;  // Shift, Ctrl or Alt
  const std::uint32_t key = shortcut & 0x1FFF;
  if (key == 0) return false;
  if (key >= VK_F1 && key <= VK_F24) return false;
  // Keys that neither type nor edit: Pause, Break, Scroll Lock, and the browser, media and launch
  // keys.
  if (key == VK_PAUSE || key == VK_SCROLL || key == VK_CANCEL) return false;
  if (key >= VK_BROWSER_BACK && key <= VK_LAUNCH_APP2) return false;
  return true;
}

namespace {

// The key's name as the keyboard layout gives it ("A", "Boşluk", "Num 5"), as the hot key control
// shows it.
std::wstring KeyName(std::uint32_t key) {
  UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
  LONG lparam = static_cast<LONG>(scan) << 16;
  switch (key) {
    case VK_INSERT:
    case VK_DELETE:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_DIVIDE:
      lparam |= 1L << 24;  // the keys of the extended part of the keyboard
      break;
    default:
      break;
  }
  wchar_t name[64] = L"";
  if (scan != 0 && GetKeyNameTextW(lparam, name, 64) > 0) return name;
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
    return std::wstring(1, static_cast<wchar_t>(key));
  wchar_t code[16];
  swprintf(code, 16, L"0x%02X", static_cast<unsigned>(key));
  return code;
}

}  // namespace

std::wstring BareKeyQuestion(const std::wstring& command, std::uint32_t shortcut) {
  return L"\"" + command + L"\" kısayolu olarak tek başına \"" + KeyName(shortcut & 0x1FFF) +
         L"\" tuşu seçildi (Ctrl, Alt ya da Shift olmadan).\n\n"
         L"Lumeko çalıştığı sürece bu tuş bütün programlarda Lumeko'ya gider: yazı yazarken bu "
         L"tuşla bir şey yazamazsınız.\n\n"
         L"Bu kısayol yine de kaydedilsin mi?\n"
         L"(Önerimiz: F tuşlarından birini ya da Ctrl veya Alt ile birlikte bir tuş seçin.)";
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  std::size_t start = 0, i = 0;
  while (i < text.size()) {
    if (text[i] == L'\r' || text[i] == L'\n') {
      lines.push_back(text.substr(start, i - start));
      if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// ---- TSettingsKey ----

namespace {

std::string SystemMessage(LSTATUS status) {
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n > 0 && buffer != nullptr ? std::wstring(buffer, n) : L"";
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                           text.back() == L'.'))
    text.pop_back();
  if (text.empty()) text = L"error " + std::to_wstring(status);
  return Narrow(text);
}

// Reads one value of the wanted type from the key under the root; empty when the key or the value
// is missing or of another type.
template <class Read>
auto ReadFrom(HKEY root, const std::wstring& subKey, Read read) -> decltype(read(HKEY{})) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
  auto value = read(key);
  RegCloseKey(key);
  return value;
}

}  // namespace

std::optional<std::wstring> TSettingsKey::ReadString(const wchar_t* name) const {
  auto read = [name](HKEY key) -> std::optional<std::wstring> {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
      return std::nullopt;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &bytes) != ERROR_SUCCESS)
      return std::nullopt;
    value.resize(bytes / sizeof(wchar_t));
    // The stored text may or may not carry its terminator.
    if (auto nul = value.find(L'\0'); nul != std::wstring::npos) value.resize(nul);
    return value;
  };
  if (auto value = ReadFrom(HKEY_CURRENT_USER, FSubKey, read)) return value;
  return ReadFrom(HKEY_LOCAL_MACHINE, FSubKey, read);
}

std::optional<std::uint32_t> TSettingsKey::ReadInteger(const wchar_t* name) const {
  auto read = [name](HKEY key) -> std::optional<std::uint32_t> {
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
      return std::nullopt;
    return value;
  };
  if (auto value = ReadFrom(HKEY_CURRENT_USER, FSubKey, read)) return value;
  return ReadFrom(HKEY_LOCAL_MACHINE, FSubKey, read);
}

namespace {

void WriteValue(const std::wstring& subKey, const wchar_t* name, DWORD type, const void* data,
                DWORD size) {
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                   nullptr, &key, nullptr);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
  }
  if (status != ERROR_SUCCESS)
    throw kalvor::Exception("Cannot store the setting '" + Narrow(name) +
                            "' under HKEY_CURRENT_USER\\" + Narrow(subKey) + ": " +
                            SystemMessage(status));
}

}  // namespace

void TSettingsKey::WriteString(const wchar_t* name, const std::wstring& value) const {
  WriteValue(FSubKey, name, REG_SZ, value.c_str(),
             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void TSettingsKey::WriteInteger(const wchar_t* name, std::uint32_t value) const {
  DWORD data = value;
  WriteValue(FSubKey, name, REG_DWORD, &data, sizeof data);
}

// ---- TForm_Config: creation ----

namespace {

enum : int {
  kIdTabs = 100,
  kIdEngines,
  kIdPitchBar,
  kIdSpeedBar,
  kIdVolumeBar,
  kIdHkOku,
  kIdHkDurdur,
  kIdCheckGorsel,
  kIdCheckOtomatik,
  kIdMemo1,
  kIdMemo2,
};

const wchar_t kPageClass[] = L"TTabSheet";
const wchar_t* const kPageCaptions[4] = {L"&Ses Ayarları", L"&Kısayol Tuşları", L"&Hakkında",
                                         L"&Yardım"};
constexpr int kAboutPage = 2;
constexpr int kHelpPage = 3;

// The default shortcuts: F10 reads, F11 stops.
constexpr std::uint32_t kDefaultRead = VK_F10;
constexpr std::uint32_t kDefaultStop = VK_F11;

int Clamp(std::uint32_t value) {
  return value > static_cast<std::uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
}

}  // namespace

const std::vector<std::wstring>& TForm_Config::HelpLines() {
  static const std::vector<std::wstring> lines = {
      L"Lumeko Nedir?",
      L"Lumeko pano okuma yazılımıdır. Bilgisayarınızda ",
      L"bulunan metinleri SAPI desteği bulunan motorlarla ",
      L"konuşmaya çevirir.",
      L"",
      L"Nasıl kullanılır?",
      L"Herhangi bir programdan panoya kopyaladığınız ",
      L"metin bu program tarafından otomatik olarak ",
      L"seslendirilecektir. Bu özelliği \"Kısayol Tuşları\"",
      L"bölümündeki \"Otomatik Oku\" işaretini ",
      L"kaldırarak kaptatabilirsiniz. Panoyu manual ",
      L"dinlemek için \"Kısayol Tuşları\" bölümündeki ",
      L"\"Okumayı Başlat\" ismi ile tanımlanan ",
      L"(varsayılan F10)  tuşuna basınız. Şayet metin ",
      L"bitmeden durdurmak istiyorsanız \"Okumayı Durdur\" ",
      L"(varsayılan F11) tuşuna basınız. ",
      L"Örnek olarak aşağıdaki kutuya seslendirilmesini ",
      L"istediğiniz metni yazın ve yazıyı fare yardımı ile ",
      L"seçtikten sonra CTRL+C tuşlarına basın.",
  };
  return lines;
}

TForm_Config::TForm_Config(std::wstring settingsKey) : FSettings(std::move(settingsKey)) {
  INITCOMMONCONTROLSEX controls{
      sizeof controls, ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_HOTKEY_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  FIconLarge = artwork::ToIcon(artwork::AppIcon(GetSystemMetrics(SM_CXICON)));
  FIconSmall = artwork::ToIcon(artwork::AppIcon(GetSystemMetrics(SM_CXSMICON)));
  FLogo = artwork::ToBitmap(artwork::Logo(Scale(56), Scale(61)));
  FFont = CreateUiFont();
  FBoldFont = CreateUiFont(0, FW_BOLD);
  FTitleFont = CreateUiFont(Scale(19), FW_BOLD);

  // The hidden owner stands for the application: owned windows get no taskbar button.
  FApplicationWindow = CreateWindowExW(0, L"STATIC", kApplicationTitle, WS_POPUP, 0, 0, 0, 0,
                                       nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);

  // Fixed single border with the system menu only, client area 300 x 262 (wider when the page
  // names need it, see CreateControls), centred, hidden.
  CreateHandle(kConfigClassName, kConfigCaption,
               WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
               RECT{0, 0, Scale(300), Scale(262)}, FApplicationWindow);
  // The icons are the window's, not its class's: they go with this window.
  SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(FIconLarge));
  SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(FIconSmall));
  CreateControls();
  RECT frame{0, 0, Scale(300 + FWiden), Scale(262)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_EXSTYLE)));
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  SetWindowPos(Handle(), nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);

  FPopupSub = std::make_unique<TPopupMenu>();
  FPopupSub->AddItem(kApplicationTitle, nullptr);
  FPopupSub->AddSeparator();
  FPopupSub->AddItem(L"&Ayarlar", [this] { Ayarlar1Click(); });
  FPopupSub->AddItem(L"Çı&kış", [this] { k1Click(); });
  FTrayIconX1 = std::make_unique<TTrayIconX>();
  FTrayIconX1->SetIcon(FIconLarge);
  FTrayIconX1->SetTip(kApplicationTitle);
  FTrayIconX1->SetPopupMenuL(FPopupSub.get());
  FTrayIconX1->SetPopupMenuR(FPopupSub.get());
  FTrayIconX1->OnDblClick = [this](TTrayIconX&) { TrayIconX1DblClick(); };
  FTrayIconX1->Loaded();

  FHotKey.OnHotKey = [this](TSysHotKey&, int index) { HotKeyHotKey(index); };

  FormCreate();
}

TForm_Config::~TForm_Config() {
  // FormDestroy: the clipboard chain is left first, so no change arrives at a window on its way
  // out; then the player and the window itself, before the components they call.
  FClipboardMonitor.reset();
  FForm_Visuals.reset();
  if (HWND window = Handle()) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
  }
  if (FApplicationWindow != nullptr) DestroyWindow(FApplicationWindow);
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(FLogo), static_cast<HGDIOBJ>(FFont),
                         static_cast<HGDIOBJ>(FBoldFont), static_cast<HGDIOBJ>(FTitleFont)})
    if (object != nullptr) DeleteObject(object);
  FTrayIconX1.reset();  // the tray keeps its own copy of the icon
  if (FIconLarge != nullptr) DestroyIcon(FIconLarge);
  if (FIconSmall != nullptr) DestroyIcon(FIconSmall);
}

HWND TForm_Config::AddControl(HWND parent, const wchar_t* className, const wchar_t* text,
                              DWORD style, int x, int y, int width, int height, int id,
                              DWORD exStyle) {
  HWND control = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, Scale(x),
                                 Scale(y), Scale(width), Scale(height), parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (control == nullptr)
    throw kalvor::Exception("Cannot create a control of class " + Narrow(className) + " (error " +
                            std::to_string(GetLastError()) + ")");
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
  return control;
}

void TForm_Config::CreateControls() {
  HWND form = Handle();
  FP1 =
      AddControl(form, WC_TABCONTROLW, L"", WS_CLIPSIBLINGS | WS_TABSTOP, 4, 9, 289, 193, kIdTabs);
  // Narrow padding: the four page names fit on one row, as the window is only 300 wide.
  SendMessageW(FP1, TCM_SETPADDING, 0, MAKELPARAM(Scale(4), Scale(3)));
  for (int i = 0; i < 4; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(kPageCaptions[i]);
    TabCtrl_InsertItem(FP1, i, &item);
  }
  // Every page name must be seen at once: a name past the strip's end hides behind scroll arrows.
  // Where the system's font makes them wider than the strip, the window grows by the difference
  // and its contents widen with it.
  RECT last{}, strip{};
  TabCtrl_GetItemRect(FP1, 3, &last);
  GetClientRect(FP1, &strip);
  const int missing = last.right + Scale(6) - strip.right;
  if (missing > 0) {
    const int dpi = Scale(96);
    FWiden = (missing * 96 + dpi - 1) / dpi;
    SetWindowPos(FP1, nullptr, 0, 0, Scale(289 + FWiden), Scale(193), SWP_NOMOVE | SWP_NOZORDER);
  }

  // The pages lie over the tab control's display area, as children of the form, so that their
  // controls take part in the form's keyboard navigation.
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = PageProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kPageClass;
  RegisterWindowClass(wc);
  RECT area;
  GetWindowRect(FP1, &area);
  MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&area), 2);
  TabCtrl_AdjustRect(FP1, FALSE, &area);
  for (int i = 0; i < 4; ++i) {
    FPages[i] = CreateWindowExW(
        WS_EX_CONTROLPARENT, kPageClass, kPageCaptions[i], WS_CHILD | WS_CLIPSIBLINGS, area.left,
        area.top, area.right - area.left, area.bottom - area.top, form,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(i)), GetModuleHandleW(nullptr), nullptr);
    if (FPages[i] == nullptr)
      throw kalvor::Exception("Cannot create a settings page (error " +
                              std::to_string(GetLastError()) + ")");
    SetWindowLongPtrW(FPages[i], GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowPos(FPages[i], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }

  // TabSheet1: "&Ses Ayarları".
  HWND page = FPages[0];
  AddControl(page, WC_STATICW, L"Konuşma Motoru", SS_LEFT, 10, 8, 200, 14);
  FCB_Motorlar = AddControl(page, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 10,
                            23, 259 + FWiden, 200, kIdEngines);
  AddControl(page, WC_BUTTONW, L"Nitelikler", BS_GROUPBOX, 10, 52, 259 + FWiden, 108);
  struct Column {
    HWND* bar;
    HWND* max;
    HWND* min;
    const wchar_t* caption;
    int id;
    int lineSize;
  };
  const Column columns[3] = {
      {&FPitchBar, &FPitchMax, &FPitchMin, L"Ses Perdesi", kIdPitchBar, 12},
      {&FSpeedBar, &FSpeedMax, &FSpeedMin, L"Okuma Hızı", kIdSpeedBar, 20},
      {&FVolumeBar, nullptr, nullptr, L"Ses Yüksekliği", kIdVolumeBar, 1},
  };
  FToolTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
  for (int i = 0; i < 3; ++i) {
    const Column& c = columns[i];
    // Each column is 85 wide (more in a widened window), the bar in its middle.
    const int column = 85 + FWiden / 3;
    int left = 14 + i * column + (column - 85) / 2;
    *c.bar = AddControl(page, TRACKBAR_CLASSW, L"", TBS_VERT | TBS_BOTH | WS_TABSTOP, left + 28, 68,
                        28, 66, c.id);
    SendMessageW(*c.bar, TBM_SETLINESIZE, 0, c.lineSize);
    FitBar(page, *c.bar);
    if (c.max != nullptr) {
      *c.max = AddControl(page, WC_STATICW, L"100", SS_LEFT, left + 57, 70, 30, 13);
      *c.min = AddControl(page, WC_STATICW, L"0", SS_LEFT, left + 57, 119, 30, 13);
      // Beside the bar, also when it had to widen.
      RECT bar;
      GetWindowRect(*c.bar, &bar);
      MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&bar), 2);
      for (HWND label : {*c.max, *c.min}) {
        RECT r;
        GetWindowRect(label, &r);
        MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
        SetWindowPos(label, nullptr, std::max(r.left, bar.right + Scale(1)), r.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
    }
    AddControl(page, WC_STATICW, c.caption, SS_CENTER, left, 138, 85, 14);
    if (FToolTip != nullptr) {
      TTTOOLINFOW tool{};
      tool.cbSize = sizeof tool;
      tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      tool.hwnd = page;
      tool.uId = reinterpret_cast<UINT_PTR>(*c.bar);
      tool.lpszText = const_cast<wchar_t*>(L"");
      SendMessageW(FToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
  }
  SetBarRange(FPitchBar, 0, 100);
  SetBarRange(FSpeedBar, 0, 100);
  SetBarRange(FVolumeBar, 0, 100);

  // TabSheet2: "&Kısayol Tuşları".
  page = FPages[1];
  AddControl(page, WC_STATICW, L"&Okumayı &Başlat", SS_LEFT, 10, 14, 110, 14);
  FHK_Oku = AddControl(page, HOTKEY_CLASSW, L"", WS_TABSTOP, 122, 11, 147 + FWiden, 21, kIdHkOku,
                       WS_EX_CLIENTEDGE);
  AddControl(page, WC_STATICW, L"Okumayı &Durdur", SS_LEFT, 10, 44, 110, 14);
  FHK_Durdur = AddControl(page, HOTKEY_CLASSW, L"", WS_TABSTOP, 122, 41, 147 + FWiden, 21,
                          kIdHkDurdur, WS_EX_CLIENTEDGE);
  for (HWND hotKey : {FHK_Oku, FHK_Durdur})
    // A bare key and Shift alone are "invalid" and get no modifier in their place: a key typed
    // with Shift alone is taken without it, a bare key as typed.
    SendMessageW(hotKey, HKM_SETRULES, HKCOMB_NONE | HKCOMB_S, MAKELPARAM(0, 0));
  SetShortcut(FHK_Oku, kDefaultRead);
  SetShortcut(FHK_Durdur, kDefaultStop);
  FCheck_Gorsel = AddControl(page, WC_BUTTONW, L"Görsel Kontroller", BS_AUTOCHECKBOX | WS_TABSTOP,
                             10, 80, 250 + FWiden, 17, kIdCheckGorsel);
  FCheck_Otomatik = AddControl(page, WC_BUTTONW, L"Otomatik Oku", BS_AUTOCHECKBOX | WS_TABSTOP, 10,
                               104, 250 + FWiden, 17, kIdCheckOtomatik);
  AddControl(page, WC_STATICW, L"(Pano değiştiği anda okumaya başlar.)", SS_LEFT, 27, 122,
             245 + FWiden, 14);

  // TabSheet3: "&Hakkında"; the logo is painted by the page itself.
  page = FPages[kAboutPage];
  HWND label1 = AddControl(page, WC_STATICW, L"Lumeko V 1.1", SS_LEFT, 86, 22, 180 + FWiden, 24);
  SendMessageW(label1, WM_SETFONT, reinterpret_cast<WPARAM>(FTitleFont), FALSE);
  HWND label5 = AddControl(page, WC_STATICW, L"Windows için pano okuma yazılımı.", SS_LEFT, 86, 50,
                           180 + FWiden, 30);
  SendMessageW(label5, WM_SETFONT, reinterpret_cast<WPARAM>(FBoldFont), FALSE);

  // TabSheet4: "&Yardım".
  page = FPages[kHelpPage];
  std::wstring help;
  for (std::size_t i = 0; i < HelpLines().size(); ++i) {
    if (i > 0) help += L"\r\n";
    help += HelpLines()[i];
  }
  FMemo2 = AddControl(page, WC_EDITW, help.c_str(),
                      ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP, 3, 4,
                      275 + FWiden, 116, kIdMemo2, WS_EX_CLIENTEDGE);
  FMemo1 = AddControl(page, WC_EDITW, L"Denemek için metni buraya yazın ve kopyalayın.",
                      ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_TABSTOP, 3, 124,
                      275 + FWiden, 38, kIdMemo1, WS_EX_CLIENTEDGE);

  FButton1 = AddControl(form, WC_BUTTONW, L"&Tamam", BS_DEFPUSHBUTTON | WS_TABSTOP, 136 + FWiden,
                        220, 75, 25, IDOK);
  FButton2 = AddControl(form, WC_BUTTONW, L"İ&ptal", BS_PUSHBUTTON | WS_TABSTOP, 218 + FWiden, 220,
                        75, 25, IDCANCEL);

  SetActivePage(kAboutPage);
}

void TForm_Config::FitBar(HWND page, HWND bar) {
  // The system draws the thumb at its own size, which a narrow bar cuts off at its right edge:
  // the bar widens about its middle until the thumb has as much room on its right as on its left
  // (where the end ticks go).
  RECT client, thumb;
  GetClientRect(bar, &client);
  SendMessageW(bar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  const int grow = thumb.left + thumb.right - client.right;
  if (thumb.right <= client.right && thumb.left >= 0 && grow <= 0) return;
  RECT r;
  GetWindowRect(bar, &r);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
  SetWindowPos(bar, nullptr, r.left - grow / 2, r.top, r.right - r.left + grow, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm_Config::FormCreate() {
  FForm_Visuals = std::make_unique<TForm_Visuals>();
  FForm_Visuals->OnPlay = [this] { ReadClipboard(); };
  FForm_Visuals->OnStop = [this] { StopReading(); };
  FForm_Visuals->OnProps = [this] { ShowSettings(); };
  FForm_Visuals->OnClose = [this] { SetChecked(FCheck_Gorsel, false); };

  FSpeech.LoadEngines();
  SendMessageW(FCB_Motorlar, CB_RESETCONTENT, 0, 0);
  for (const auto& name : FSpeech.Engines)
    SendMessageW(FCB_Motorlar, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  // A failing setting (an engine that cannot be started) is reported, and the start goes on:
  // the hot keys and the clipboard monitor work whatever the engine does.
  try {
    LoadSettings();
  } catch (const std::exception& error) {
    ShowException(error);
  }
  FHotKey.SetActive(true);
  FClipboardMonitor = std::make_unique<TClipboardMonitor>();
  FClipboardMonitor->OnChange = [this](TClipboardMonitor&) { ClipboardChanged(); };
  // Told once, when the program runs: a new user would otherwise copy text and hear nothing.
  if (NothingToReadWith()) PostMessageW(Handle(), WM_READER_NOENGINE, 0, 0);
}

bool TForm_Config::NothingToReadWith() const {
  return !FSpeech.EnginesLoaded() || FSpeech.Engines.empty();
}

// ---- Settings ----

void TForm_Config::LoadSettings() {
  const std::optional<std::wstring> modeName = FSettings.ReadString(L"EngModeName");
  const std::optional<std::uint32_t> pitch = FSettings.ReadInteger(L"Pitch");
  const std::optional<std::uint32_t> speed = FSettings.ReadInteger(L"Speed");
  const std::optional<std::uint32_t> volume = FSettings.ReadInteger(L"Volume");
  // A value that was never written reads as its control's default, so that a fresh installation
  // reads at once.
  SetShortcut(FHK_Oku, FSettings.ReadInteger(L"skplay").value_or(kDefaultRead));
  SetShortcut(FHK_Durdur, FSettings.ReadInteger(L"skstop").value_or(kDefaultStop));
  SetChecked(FCheck_Gorsel, (FSettings.ReadInteger(L"viscontrols").value_or(0) & 0xFF) != 0);
  std::optional<std::uint32_t> autoplay = FSettings.ReadInteger(L"autoplay");
  if (!autoplay) {
    autoplay = 1;
    try {
      FSettings.WriteInteger(L"autoplay", 1);
    } catch (const kalvor::Exception&) {
      // The value is only a default: reading goes on with it whether or not it could be stored.
    }
  }
  SetChecked(FCheck_Otomatik, (*autoplay & 0xFF) != 0);

  ApplyHotKeys();

  // The stored mode while the run time still lists it. Else, whether none was ever stored, an
  // empty one was stored (confirmed while no engine was listed) or its engine has been uninstalled
  // since: the first mode the run time lists, so that reading works at once.
  auto position = [this](const std::wstring& name) {
    std::size_t index = 0;
    while (index < FSpeech.Engines.size() &&
           CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, FSpeech.Engines[index].c_str(), -1,
                          name.c_str(), -1) != CSTR_EQUAL)
      ++index;
    return index;
  };
  std::size_t index = modeName && !modeName->empty() ? position(*modeName) : FSpeech.Engines.size();
  if (index == FSpeech.Engines.size() && !FSpeech.Engines.empty()) index = 0;
  if (index == FSpeech.Engines.size()) {
    SendMessageW(FCB_Motorlar, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    return;
  }
  SendMessageW(FCB_Motorlar, CB_SETCURSEL, index, 0);
  // Selecting a mode makes a new mode object with the engine's defaults: the stored values go to
  // the mode that is selected last, and the bars show what the engine then reports.
  CB_MotorlarChange();
  if (pitch) FSpeech.SetPitch(static_cast<std::uint16_t>(*pitch & 0xFFFF));
  if (speed) FSpeech.SetSpeed(*speed);
  if (volume) FSpeech.SetVolume(*volume);
  RefreshBars();
}

void TForm_Config::SaveSettings() {
  FSettings.WriteString(L"EngModeName", FSpeech.EngineInfo().ModeName);
  FSettings.WriteInteger(L"Pitch", static_cast<std::uint32_t>(BarPosition(FPitchBar)));
  FSettings.WriteInteger(L"Speed", static_cast<std::uint32_t>(BarPosition(FSpeedBar)));
  FSettings.WriteInteger(L"Volume", static_cast<std::uint32_t>(BarPosition(FVolumeBar)));
  FSettings.WriteInteger(L"skplay", Shortcut(FHK_Oku));
  FSettings.WriteInteger(L"skstop", Shortcut(FHK_Durdur));
  FSettings.WriteInteger(L"viscontrols", Checked(FCheck_Gorsel) ? 1 : 0);
  FSettings.WriteInteger(L"autoplay", Checked(FCheck_Otomatik) ? 1 : 0);
  ApplyHotKeys();
}

void TForm_Config::ApplyHotKeys() {
  // A shortcut another program holds simply does nothing: every failure here stays silent.
  try {
    FHotKey.SetActive(false);
    FHotKey.ClearHotKeys();
    for (HWND control : {FHK_Oku, FHK_Durdur}) {
      THotKeySpec hotKey = HotKeyFromShortcut(Shortcut(control));
      FHotKey.AddHotKey(hotKey.Key, hotKey.Modifiers);
    }
    FHotKey.SetActive(true);
  } catch (const std::exception&) {
  }
}

// ---- Bars ----

int TForm_Config::BarPosition(HWND bar) const {
  // Track bars count downwards; the settings count upwards, the maximum at the top.
  LRESULT minimum = SendMessageW(bar, TBM_GETRANGEMIN, 0, 0);
  LRESULT maximum = SendMessageW(bar, TBM_GETRANGEMAX, 0, 0);
  LRESULT raw = SendMessageW(bar, TBM_GETPOS, 0, 0);
  return static_cast<int>(minimum + maximum - raw);
}

void TForm_Config::SetBarPosition(HWND bar, int position) {
  LRESULT minimum = SendMessageW(bar, TBM_GETRANGEMIN, 0, 0);
  LRESULT maximum = SendMessageW(bar, TBM_GETRANGEMAX, 0, 0);
  SendMessageW(bar, TBM_SETPOS, TRUE, static_cast<LPARAM>(minimum + maximum - position));
  SetBarTip(bar, BarPosition(bar));
}

void TForm_Config::SetBarRange(HWND bar, std::uint32_t minimum, std::uint32_t maximum) {
  int position = BarPosition(bar);
  // The maximum first, then the minimum, then the position, as the engine's values arrive.
  SendMessageW(bar, TBM_SETRANGEMAX, FALSE, Clamp(maximum));
  SendMessageW(bar, TBM_SETRANGEMIN, TRUE, Clamp(minimum));
  SetBarPosition(bar, position);
}

void TForm_Config::SetBarTip(HWND bar, int position) {
  if (FToolTip == nullptr) return;
  std::wstring text = std::to_wstring(position);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = GetParent(bar);
  tool.uId = reinterpret_cast<UINT_PTR>(bar);
  tool.lpszText = text.data();
  SendMessageW(FToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void TForm_Config::RefreshBars() {
  const TOrvelSpeechEngineInfo& info = FSpeech.EngineInfo();
  SetBarRange(FPitchBar, info.MinPitch, info.MaxPitch);
  SetBarPosition(FPitchBar, FSpeech.Pitch());
  SetWindowTextW(FPitchMax, std::to_wstring(info.MaxPitch).c_str());
  SetWindowTextW(FPitchMin, std::to_wstring(info.MinPitch).c_str());
  SetBarRange(FSpeedBar, info.MinSpeed, info.MaxSpeed);
  SetBarPosition(FSpeedBar, Clamp(FSpeech.Speed()));
  SetWindowTextW(FSpeedMax, std::to_wstring(info.MaxSpeed).c_str());
  SetWindowTextW(FSpeedMin, std::to_wstring(info.MinSpeed).c_str());
  SetBarRange(FVolumeBar, info.MinVolume, info.MaxVolume);
  SetBarPosition(FVolumeBar, Clamp(FSpeech.Volume()));
}

void TForm_Config::BarChanged(HWND bar) {
  // Positions set by code never reach the engine: only the bar the user is working.
  if (GetFocus() != bar) return;
  int position = BarPosition(bar);
  SetBarTip(bar, position);
  if (bar == FPitchBar)
    FSpeech.SetPitch(static_cast<std::uint16_t>(position & 0xFFFF));
  else if (bar == FSpeedBar)
    FSpeech.SetSpeed(static_cast<std::uint32_t>(position));
  else if (bar == FVolumeBar)
    FSpeech.SetVolume(static_cast<std::uint32_t>(position));
}

void TForm_Config::PitchBarChange() {
  BarChanged(FPitchBar);
}
void TForm_Config::SpeedBarChange() {
  BarChanged(FSpeedBar);
}
void TForm_Config::VolumeBarChange() {
  BarChanged(FVolumeBar);
}

void TForm_Config::CB_MotorlarChange() {
  LRESULT index = SendMessageW(FCB_Motorlar, CB_GETCURSEL, 0, 0);
  if (index < 0) return;
  LRESULT length = SendMessageW(FCB_Motorlar, CB_GETLBTEXTLEN, index, 0);
  std::wstring name(length > 0 ? length + 1 : 1, L'\0');
  SendMessageW(FCB_Motorlar, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(name.data()));
  name.resize(wcslen(name.c_str()));
  FSpeech.SelectEngine(name);
  if (!FSpeech.EngineSelected()) throw kalvor::Exception("Sentezleme motoru seçilemedi!");
  RefreshBars();
}

// ---- Controls ----

std::uint16_t TForm_Config::Shortcut(HWND hotKeyControl) const {
  return ShortcutFromHotKeyControl(
      static_cast<WORD>(SendMessageW(hotKeyControl, HKM_GETHOTKEY, 0, 0)));
}

void TForm_Config::SetShortcut(HWND hotKeyControl, std::uint32_t shortcut) {
  SendMessageW(hotKeyControl, HKM_SETHOTKEY, HotKeyControlFromShortcut(shortcut), 0);
}

bool TForm_Config::Checked(HWND checkBox) const {
  return SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TForm_Config::SetChecked(HWND checkBox, bool value) {
  if (Checked(checkBox) == value) return;
  SendMessageW(checkBox, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
  if (checkBox == FCheck_Gorsel) Check_GorselClick();
}

int TForm_Config::ActivePage() const {
  return static_cast<int>(SendMessageW(FP1, TCM_GETCURSEL, 0, 0));
}

void TForm_Config::SetActivePage(int index) {
  SendMessageW(FP1, TCM_SETCURSEL, index, 0);
  for (int i = 0; i < 4; ++i) ShowWindow(FPages[i], i == index ? SW_SHOW : SW_HIDE);
  if (index == kHelpPage) TabSheet4Show();
}

bool TForm_Config::SelectPageByAccessKey(wchar_t key) {
  wchar_t lower[2] = {key, 0};
  CharLowerW(lower);
  for (int i = 0; i < 4; ++i) {
    const wchar_t* amp = wcschr(kPageCaptions[i], L'&');
    if (amp == nullptr || amp[1] == 0) continue;
    wchar_t mine[2] = {amp[1], 0};
    CharLowerW(mine);
    if (mine[0] == lower[0]) {
      SetActivePage(i);
      if (i != kHelpPage) SetFocus(FP1);
      return true;
    }
  }
  return false;
}

HWND TForm_Config::NextTabStop(HWND from, bool backwards) const {
  std::vector<HWND> order{FP1};
  const int page = ActivePage();
  if (page >= 0 && page < 4)
    // The page's controls were made in reading order, which is their order among its children.
    for (HWND c = GetWindow(FPages[page], GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
      if ((GetWindowLongW(c, GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(c) && IsWindowEnabled(c))
        order.push_back(c);
  order.push_back(FButton1);
  order.push_back(FButton2);
  std::size_t at = order.size();
  for (HWND w = from; w != nullptr && w != Handle() && at == order.size(); w = GetParent(w))
    for (std::size_t i = 0; i < order.size(); ++i)
      if (order[i] == w) at = i;
  if (at == order.size()) return backwards ? order.back() : order.front();
  return order[(at + (backwards ? order.size() - 1 : 1)) % order.size()];
}

bool TForm_Config::HandleDialogKey(MSG& msg) {
  HWND form = Handle();
  if (!IsWindowVisible(form)) return false;
  if (msg.hwnd == form || IsChild(form, msg.hwnd)) {
    if (msg.message == WM_SYSCHAR && SelectPageByAccessKey(static_cast<wchar_t>(msg.wParam)))
      return true;
    // The pages lie above the tab strip, so the window order that the dialog keyboard handling
    // follows would put them first; Tab goes by the order the user reads instead.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0 &&
        GetKeyState(VK_MENU) >= 0) {
      HWND next = NextTabStop(GetFocus(), GetKeyState(VK_SHIFT) < 0);
      SetFocus(next);
      if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessageW(next, EM_SETSEL, 0, -1);
      return true;
    }
  }
  return IsDialogMessageW(form, &msg) != FALSE;
}

// ---- Reading ----

void TForm_Config::ReadClipboard() {
  std::wstring text;
  // The program that has just changed the clipboard may still hold it for a moment.
  bool opened = false;
  for (int attempt = 0; attempt < 10 && !opened; ++attempt) {
    opened = OpenClipboard(Handle()) != FALSE;
    if (!opened) Sleep(20);
  }
  if (!opened) throw kalvor::Exception("Cannot open clipboard");
  // Unicode text: Windows makes it from the ANSI text of programs that offer only that, and it
  // keeps Turkish letters on any system.
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      std::size_t limit = GlobalSize(data) / sizeof(wchar_t);
      text.assign(chars, wcsnlen(chars, limit));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  SpeakText(text);
}

void TForm_Config::SpeakText(const std::wstring& text) {
  FSpeech.Text = SplitLines(text);
  FSpeech.Speak();
}

void TForm_Config::StopReading() {
  FSpeech.Stop();
}

void TForm_Config::ClipboardChanged() {
  PostMessageW(Handle(), WM_READER_CLIPCHANGE, 0, 0);
}

void TForm_Config::HotKeyHotKey(int index) {
  if (index == 0)
    ReadClipboard();
  else if (index == 1)
    StopReading();
}

// ---- Other handlers ----

void TForm_Config::ShowSettings() {
  ShowWindow(Handle(), SW_SHOW);
  SetForegroundWindow(Handle());
  BringWindowToTop(Handle());
}

void TForm_Config::Check_GorselClick() {
  if (Checked(FCheck_Gorsel))
    FForm_Visuals->Show();
  else
    FForm_Visuals->Hide();
}

bool TForm_Config::ConfirmShortcuts() {
  const struct {
    HWND control;
    const wchar_t* value;
    const wchar_t* command;
  } keys[] = {{FHK_Oku, L"skplay", L"Okumayı Başlat"}, {FHK_Durdur, L"skstop", L"Okumayı Durdur"}};
  for (const auto& key : keys) {
    const std::uint16_t shortcut = Shortcut(key.control);
    // A key confirmed and stored before is not asked about again.
    if (!IsBareTypingKey(shortcut) || FSettings.ReadInteger(key.value) == shortcut) continue;
    if (ShowMessageBox(BareKeyQuestion(key.command, shortcut),
                       MB_ICONWARNING | MB_YESNO | MB_DEFBUTTON2) != IDYES) {
      SetActivePage(1);
      SetFocus(key.control);
      return false;
    }
  }
  return true;
}

void TForm_Config::Button1Click() {
  // A bare letter as a hot key would take that letter away from every program: asked first.
  if (!ConfirmShortcuts()) return;
  SaveSettings();
  ShowWindow(Handle(), SW_HIDE);
}

void TForm_Config::Button2Click() {
  LoadSettings();
  ShowWindow(Handle(), SW_HIDE);
}

void TForm_Config::Ayarlar1Click() {
  ShowSettings();
}
void TForm_Config::TrayIconX1DblClick() {
  ShowSettings();
}

void TForm_Config::k1Click() {
  StopReading();
  Sleep(100);
  // The message loop ends and the normal shutdown destroys the windows and their components:
  // the tray icon goes, the hot keys are unregistered and the clipboard chain is left.
  PostQuitMessage(0);
}

void TForm_Config::TabSheet4Show() {
  SendMessageW(FMemo1, EM_SETSEL, 0, -1);
  SetFocus(FMemo1);
}

void TForm_Config::OnCommand(WORD id, WORD code, HWND) {
  switch (id) {
    case IDOK:
      if (code == BN_CLICKED) Button1Click();
      break;
    case IDCANCEL:
      if (code == BN_CLICKED) Button2Click();
      break;
    case kIdEngines:
      if (code == CBN_SELCHANGE) CB_MotorlarChange();
      break;
    case kIdCheckGorsel:
      if (code == BN_CLICKED) Check_GorselClick();
      break;
    default:
      break;
  }
}

void TForm_Config::PaintAboutPage(HDC dc) {
  BITMAP info{};
  GetObjectW(FLogo, sizeof info, &info);
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, FLogo);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, Scale(16), Scale(14), info.bmWidth, info.bmHeight, memory, 0, 0, info.bmWidth,
             info.bmHeight, blend);
  SelectObject(memory, old);
  DeleteDC(memory);
}

LRESULT CALLBACK TForm_Config::PageProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* form = reinterpret_cast<TForm_Config*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (msg) {
    // The pages are only a surface: their controls' news go to the form.
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      if (form != nullptr && form->Handle() != nullptr)
        return SendMessageW(form->Handle(), msg, wparam, lparam);
      break;
    case WM_PAINT:
      if (form != nullptr && GetDlgCtrlID(window) == kAboutPage) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        try {
          form->PaintAboutPage(dc);
        } catch (...) {
        }
        EndPaint(window, &ps);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window, msg, wparam, lparam);
}

void TForm_Config::WndProc(TFormMessage& message) {
  switch (message.Msg) {
    case WM_COMMAND:
      OnCommand(LOWORD(message.WParam), HIWORD(message.WParam),
                reinterpret_cast<HWND>(message.LParam));
      message.Handled = true;
      break;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(message.LParam);
      if (header->hwndFrom == FP1 && header->code == TCN_SELCHANGE) {
        SetActivePage(ActivePage());
        message.Handled = true;
      }
      break;
    }
    case WM_VSCROLL: {
      HWND bar = reinterpret_cast<HWND>(message.LParam);
      if (bar == FPitchBar)
        PitchBarChange();
      else if (bar == FSpeedBar)
        SpeedBarChange();
      else if (bar == FVolumeBar)
        VolumeBarChange();
      message.Handled = true;
      break;
    }
    case WM_CTLCOLORSTATIC:
      // The read-only help text reads as text, on the window colour.
      if (reinterpret_cast<HWND>(message.LParam) == FMemo2) {
        HDC dc = reinterpret_cast<HDC>(message.WParam);
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        message.Result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        message.Handled = true;
      }
      break;
    case DM_GETDEFID:
      message.Result = MAKELRESULT(IDOK, DC_HASDEFID);
      message.Handled = true;
      break;
    case WM_CLOSE:
      // FormCloseQuery: closing the settings window only hides it; the program goes on.
      ShowWindow(message.Window, SW_HIDE);
      message.Handled = true;
      break;
    case WM_QUERYENDSESSION:
      PostMessageW(message.Window, WM_READER_QUIT, 0, 0);
      message.Result = 1;
      message.Handled = true;
      break;
    case WM_ENDSESSION:
      PostMessageW(message.Window, WM_READER_QUIT, 0, 0);
      break;  // and the default handling
    case WM_READER_QUIT:
      StopReading();
      PostQuitMessage(0);
      message.Handled = true;
      break;
    case WM_READER_SHOWPLAYER:
      FForm_Visuals->Show();
      message.Result = kShowPlayerAnswer;
      message.Handled = true;
      break;
    case WM_READER_NOENGINE:
      ShowMessageBox(NoEngineNotice(FSpeech.EnginesLoaded()), MB_ICONWARNING | MB_OK);
      message.Handled = true;
      break;
    case WM_READER_CLIPCHANGE:
      // With nothing to read with, every copy would bring the same error: the user has been
      // told once, at the start. The read key still answers when pressed.
      if (Checked(FCheck_Otomatik) && !NothingToReadWith()) {
        StopReading();
        ReadClipboard();
      }
      message.Handled = true;
      break;
    default:
      break;
  }
}

}  // namespace lumeko
