// What the parts of kalvor-sapi share: failures that end the program with a message and an exit
// code, and the text to speak from a file or standard input.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace kalvor::tool {

struct Failure {
  std::wstring message;
  int code = 1;
};

[[noreturn]] void Fail(const std::wstring& message, int code = 1);
// Fails with what went wrong and the system's description of hr when hr is a failure.
void Check(HRESULT hr, const std::wstring& what);

// The UTF-8 text of a file ("-": standard input), without a byte order mark.
std::wstring TextOfFile(const std::wstring& name);

}  // namespace kalvor::tool
