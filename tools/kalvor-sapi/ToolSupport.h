// What the parts of kalvor-sapi share: failures that end the program with a message and an exit
// code (a win::ToolError, which ToolMain reports), option values, and the text to speak from a
// file or standard input.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <vector>

namespace kalvor::tool {

[[noreturn]] void Fail(const std::wstring& message, int code = 1);
// Fails with what went wrong and the system's description of hr when hr is a failure.
void Check(HRESULT hr, const std::wstring& what);

// The whole number an option gives, from low to high; fails as a usage error otherwise.
long NumberIn(const std::wstring& option, const std::wstring& text, long low, long high);

// The value of the option at args[i], which is the next argument; i moves on to it. Fails as a
// usage error when there is none.
std::wstring OptionValue(const std::vector<std::wstring>& args, std::size_t& i);

// The UTF-8 text of a file ("-": standard input), without a byte order mark.
std::wstring TextOfFile(const std::wstring& name);

}  // namespace kalvor::tool
