// Text from COM clients into engine text. Engine text is Windows-1254 whatever the system's ANSI
// code page is, so that Turkish letters survive on any system; the SAPI 4 wide central and the
// SAPI 5 engine both convert here.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstddef>
#include <string>

namespace kalvor {

inline constexpr UINT kEngineCodePage = 1254;

// UTF-16 text (length code units, no terminator needed) as engine text. A character 1254 cannot
// hold becomes a space (a separator for the engine), as in the command line; no "best fit"
// look-alikes, which would read as other words. Throws Exception when Windows refuses the text.
std::string WideToEngineText(const WCHAR* text, std::size_t length);

}  // namespace kalvor
