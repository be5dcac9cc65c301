// The Windows tools' shared start-up and text helpers.
#include "ToolMain.h"

#include <gtest/gtest.h>

#include "KalvorIds.h"
#include "WinConsole.h"

namespace kalvor::win {
namespace {

int Start(std::vector<const wchar_t*> argv,
          const std::function<int(const std::vector<std::wstring>&)>& run) {
  return ToolMain(L"tool", static_cast<int>(argv.size()), const_cast<wchar_t**>(argv.data()), run);
}

TEST(ToolMain, PassesTheArgumentsAndEndsWithTheToolsCode) {
  std::vector<std::wstring> seen;
  EXPECT_EQ(Start({L"tool.exe", L"say", L"\u0130stanbul"},
                  [&](const std::vector<std::wstring>& args) {
                    seen = args;
                    return 3;
                  }),
            3);
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"say", L"\u0130stanbul"}));
  // A usage error ends with its own code, any other failure with 1.
  EXPECT_EQ(Start({L"tool.exe"}, [](auto&) -> int { throw ToolError(L"unknown option", 2); }), 2);
  EXPECT_EQ(Start({L"tool.exe"}, [](auto&) -> int { throw ToolError(L"cannot read"); }), 1);
  EXPECT_EQ(Start({L"tool.exe"}, [](auto&) -> int { throw std::runtime_error("bad"); }), 1);
}

TEST(WinText, CodePagesAndGuids) {
  const std::wstring turkish = L"\u011F\u0131\u0130\u015F \u00E7\u00F6\u00FC";
  EXPECT_EQ(ToUtf8(turkish), "\xC4\x9F\xC4\xB1\xC4\xB0\xC5\x9F \xC3\xA7\xC3\xB6\xC3\xBC");
  EXPECT_EQ(FromUtf8(ToUtf8(turkish)), turkish);
  EXPECT_EQ(FromCodePage(1254, ToCodePage(1254, turkish)), turkish);
  EXPECT_EQ(ToCodePage(1254, L"\u011F"), "\xF0");
  EXPECT_EQ(FromUtf8(""), L"");
  EXPECT_EQ(GuidText(CLSID_KalvorEngine), L"{E9214560-A13D-11D2-9139-B95D811E54FF}");
}

}  // namespace
}  // namespace kalvor::win
