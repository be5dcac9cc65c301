#include "WinConsole.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace kalvor::win {
namespace {

void Write(DWORD which, FILE* stream, const std::wstring& text) {
  HANDLE h = GetStdHandle(which);
  DWORD mode = 0;
  if (h && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode)) {
    std::fflush(stream);  // what went through the C library first comes first
    // In pieces: older consoles refuse a single long write (a voice's whole unit list).
    for (std::size_t done = 0; done < text.size();) {
      DWORD written = 0;
      const auto chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 8192));
      if (!WriteConsoleW(h, text.data() + done, chunk, &written, nullptr) || written == 0) return;
      done += written;
    }
    return;
  }
  const std::string utf8 = ToUtf8(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

struct TKnown {
  long code;
  const wchar_t* name;
  const wchar_t* meaning;
};

const TKnown kKnown[] = {
    {static_cast<long>(0x80040202), L"TTSERR_WAVEFORMATNOTSUPPORTED",
     L"the wave format is not supported"},
    {static_cast<long>(0x80040203), L"TTSERR_WAVEDEVICEBUSY", L"the wave device is busy"},
    {static_cast<long>(0x80040206), L"TTSERR_INVALIDMODE", L"no such voice mode"},
    {static_cast<long>(0x80040208), L"TTSERR_INVALIDCHAR", L"character set not supported"},
    {static_cast<long>(0x80040209), L"TTSERR_INVALIDKEY", L"unknown registration key"},
    {static_cast<long>(0x8004020A), L"TTSERR_QUEUEFULL", L"the text queue is full"},
    {static_cast<long>(0x80040501), L"TTSERR_NOTPAUSED", L"not paused"},
    {static_cast<long>(0x80040502), L"TTSERR_ALREADYPAUSED", L"already paused"},
    {static_cast<long>(0x80040302), L"AUDERR_NEEDWAVEFORMAT",
     L"the audio destination has no wave format"},
    {static_cast<long>(0x8004031D), L"AUDERR_ALREADYCLAIMED", L"the audio destination is claimed"},
    {static_cast<long>(0x8004031E), L"AUDERR_NOTCLAIMED", L"the audio destination is not claimed"},
    {static_cast<long>(0x80040320), L"AUDERR_ALREADYSTARTED", L"the audio destination is started"},
};

}  // namespace

void Out(const std::wstring& text) {
  Write(STD_OUTPUT_HANDLE, stdout, text);
}
void Err(const std::wstring& text) {
  Write(STD_ERROR_HANDLE, stderr, text);
}

std::wstring FromCodePage(UINT codePage, const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string ToCodePage(UINT codePage, const std::wstring& s) {
  if (s.empty()) return {};
  const int n = WideCharToMultiByte(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string u(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(codePage, 0, s.data(), static_cast<int>(s.size()), u.data(), n, nullptr,
                        nullptr);
  return u;
}

std::wstring FromUtf8(const std::string& s) {
  return FromCodePage(CP_UTF8, s);
}
std::string ToUtf8(const std::wstring& s) {
  return ToCodePage(CP_UTF8, s);
}

std::wstring GuidText(const GUID& g) {
  wchar_t buf[64] = {};
  StringFromGUID2(g, buf, 64);
  return buf;
}

std::wstring SystemMessage(long code) {
  wchar_t* buf = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::wstring text;
  if (n && buf) text.assign(buf, n);
  if (buf) LocalFree(buf);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                           text.back() == L'.'))
    text.pop_back();
  return text;
}

std::wstring DescribeHresult(long hr) {
  wchar_t hex[16];
  std::swprintf(hex, 16, L"0x%08lX", static_cast<unsigned long>(hr));
  std::wstring out = hex;
  for (const TKnown& k : kKnown)
    if (k.code == hr) return out + L" (" + k.name + L": " + k.meaning + L")";
  const std::wstring system = SystemMessage(hr);
  if (!system.empty()) out += L" (" + system + L")";
  return out;
}

}  // namespace kalvor::win
