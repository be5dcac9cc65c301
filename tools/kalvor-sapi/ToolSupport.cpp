#include "ToolSupport.h"

#include <cstdio>
#include <cwchar>

#include "ToolMain.h"
#include "WinConsole.h"

namespace kalvor::tool {
namespace {

std::string ReadAll(FILE* f) {
  std::string s;
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  return s;
}

}  // namespace

void Fail(const std::wstring& message, int code) {
  throw win::ToolError(message, code);
}

void Check(HRESULT hr, const std::wstring& what) {
  if (FAILED(hr)) Fail(what + L": " + win::DescribeHresult(hr));
}

long NumberIn(const std::wstring& option, const std::wstring& text, long low, long high) {
  wchar_t* end = nullptr;
  const long v = std::wcstol(text.c_str(), &end, 10);
  if (text.empty() || *end != L'\0' || v < low || v > high)
    Fail(option + L" takes a whole number from " + std::to_wstring(low) + L" to " +
             std::to_wstring(high) + L", not \"" + text + L"\"",
         2);
  return v;
}

std::wstring OptionValue(const std::vector<std::wstring>& args, std::size_t& i) {
  if (i + 1 >= args.size()) Fail(L"option " + args[i] + L" needs a value", 2);
  return args[++i];
}

std::wstring TextOfFile(const std::wstring& name) {
  std::string bytes;
  if (name == L"-") {
    bytes = ReadAll(stdin);
  } else {
    FILE* f = _wfopen(name.c_str(), L"rb");
    if (!f) Fail(L"cannot read " + name + L": " + win::SystemMessage(ERROR_FILE_NOT_FOUND));
    bytes = ReadAll(f);
    std::fclose(f);
  }
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  return win::FromUtf8(bytes);
}

}  // namespace kalvor::tool
