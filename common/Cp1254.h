// Windows-1254 (Turkish) <-> UTF-8: the engine works in Windows-1254, the command line, the voice
// tools and the tests take and give UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace kalvor {

// Characters that Windows-1254 cannot hold become a space (a separator for the engine), the same
// choice the engine makes for UTF-16 text. Throws UserError on bytes that are not UTF-8.
std::string Utf8ToCp1254(std::string_view utf8);
std::string Cp1254ToUtf8(std::string_view text);

}  // namespace kalvor
