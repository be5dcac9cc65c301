#include "ToolSupport.h"

#include <cstdio>

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
  throw Failure{message, code};
}

void Check(HRESULT hr, const std::wstring& what) {
  if (FAILED(hr)) Fail(what + L": " + win::DescribeHresult(hr));
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
