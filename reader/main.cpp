// Lumeko: reads the text copied to the Windows clipboard aloud through a SAPI 4 speech engine. It
// lives in the notification area; its settings window stays hidden until asked for.
#include <windows.h>
#include <objbase.h>

#include "FormBase.h"
#include "frm_Config.h"

namespace {

// A copy already running: hand over to it (it shows its floating player) and tell whether it
// answered.
bool HandedOverToRunningCopy() {
  HWND running = FindWindowW(lumeko::kConfigClassName, lumeko::kConfigCaption);
  if (running == nullptr) return false;
  DWORD_PTR answer = 0;
  // A hung first copy must not hang the second one too.
  if (!SendMessageTimeoutW(running, lumeko::WM_READER_SHOWPLAYER, 0, 0, SMTO_ABORTIFHUNG, 5000,
                           &answer))
    return false;
  return answer == static_cast<DWORD_PTR>(lumeko::kShowPlayerAnswer);
}

int Run() {
  if (HandedOverToRunningCopy()) return 0;
  lumeko::SetExceptionHandler(lumeko::ShowErrorBox);
  lumeko::TForm_Config form;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // The settings window works as a dialog: Tab moves between its controls, Enter is "&Tamam",
    // Esc "İ&ptal".
    if (form.HandleDialogKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (FAILED(CoInitialize(nullptr))) {
    MessageBoxW(nullptr, L"COM could not be initialised.", lumeko::kApplicationTitle,
                MB_ICONERROR | MB_OK);
    return 1;
  }
  int code = 1;
  try {
    code = Run();
  } catch (const std::exception& error) {
    lumeko::ShowErrorBox(error);
  } catch (...) {
    lumeko::ShowErrorBox(std::runtime_error("Unknown error"));
  }
  CoUninitialize();
  return code;
}
