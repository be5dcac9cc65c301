// The start-up and the ending of the Windows tools: their arguments as wide strings, and every
// failure reported in one form, "TOOL: MESSAGE", with the tool's exit code.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kalvor::win {

// A failure for the tool's user: MESSAGE says what went wrong; Code ends the tool (1, 2 for a
// usage error).
class ToolError : public std::runtime_error {
 public:
  explicit ToolError(std::wstring message, int code = 1)
      : std::runtime_error("tool error"), Message(std::move(message)), Code(code) {}
  std::wstring Message;
  int Code;
};

// Runs the tool with its arguments (without the program's name). A ToolError ends it with its
// code, any other exception with 1; either is printed on the error stream after "NAME: ".
int ToolMain(const wchar_t* name, int argc, wchar_t** argv,
             const std::function<int(const std::vector<std::wstring>&)>& run);

}  // namespace kalvor::win
