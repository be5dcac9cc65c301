// Console output for the Windows tools (kalvor.exe too): wide text to the console as it is, and as
// UTF-8 when the output is a file or a pipe (the tests read it so).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace kalvor::win {

void Out(const std::wstring& text);
void Err(const std::wstring& text);

std::wstring FromUtf8(const std::string& s);
std::string ToUtf8(const std::wstring& s);
// The same for any Windows code page (CP_ACP: the system's ANSI code page).
std::wstring FromCodePage(UINT codePage, const std::string& s);
std::string ToCodePage(UINT codePage, const std::wstring& s);

// "{E9214560-A13D-...}": a GUID as the registry and the tools write it.
std::wstring GuidText(const GUID& g);

// The system's own description of a Win32 error or HRESULT, without the trailing line break.
std::wstring SystemMessage(long code);

// "0x80040206 (TTSERR_INVALIDMODE: ...)": the value, its SAPI 4 name when it has one, and the
// system's description when there is one.
std::wstring DescribeHresult(long hr);

}  // namespace kalvor::win
