#include "ToolMain.h"

#include "WinConsole.h"

namespace kalvor::win {

int ToolMain(const wchar_t* name, int argc, wchar_t** argv,
             const std::function<int(const std::vector<std::wstring>&)>& run) {
  try {
    return run(std::vector<std::wstring>(argv + 1, argv + argc));
  } catch (const ToolError& e) {
    Err(std::wstring(name) + L": " + e.Message + L"\n");
    return e.Code;
  } catch (const std::exception& e) {
    Err(std::wstring(name) + L": " + FromUtf8(e.what()) + L"\n");
    return 1;
  }
}

}  // namespace kalvor::win
