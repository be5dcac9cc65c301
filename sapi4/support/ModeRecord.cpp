#include "ModeRecord.h"

#include <cstring>
#include <cwchar>

namespace sapi4 {

void AnsiToWideField(const CHAR* text, int textCapacity, WCHAR* field, int capacity) {
  const int n = static_cast<int>(strnlen(text, static_cast<std::size_t>(textCapacity)));
  int written = n ? MultiByteToWideChar(CP_ACP, 0, text, n, field, capacity - 1) : 0;
  if (written < 0) written = 0;
  field[written] = L'\0';
}

void WideToAnsiField(const WCHAR* text, int textCapacity, CHAR* field, int capacity) {
  const int n = static_cast<int>(wcsnlen(text, static_cast<std::size_t>(textCapacity)));
  int written =
      n ? WideCharToMultiByte(CP_ACP, 0, text, n, field, capacity - 1, nullptr, nullptr) : 0;
  if (written < 0) written = 0;
  field[written] = '\0';
}

TTSMODEINFOA ModeInfoToAnsi(const TTSMODEINFOW& w) {
  TTSMODEINFOA a{};
  a.gEngineID = w.gEngineID;
  WideToAnsiField(w.szMfgName, TTSI_NAMELEN, a.szMfgName, TTSI_NAMELEN);
  WideToAnsiField(w.szProductName, TTSI_NAMELEN, a.szProductName, TTSI_NAMELEN);
  a.gModeID = w.gModeID;
  WideToAnsiField(w.szModeName, TTSI_NAMELEN, a.szModeName, TTSI_NAMELEN);
  a.language.LanguageID = w.language.LanguageID;
  WideToAnsiField(w.language.szDialect, LANG_LEN, a.language.szDialect, LANG_LEN);
  WideToAnsiField(w.szSpeaker, TTSI_NAMELEN, a.szSpeaker, TTSI_NAMELEN);
  WideToAnsiField(w.szStyle, TTSI_STYLELEN, a.szStyle, TTSI_STYLELEN);
  a.wGender = w.wGender;
  a.wAge = w.wAge;
  a.dwFeatures = w.dwFeatures;
  a.dwInterfaces = w.dwInterfaces;
  a.dwEngineFeatures = w.dwEngineFeatures;
  return a;
}

TTSMODEINFOW ModeInfoToWide(const TTSMODEINFOA& a) {
  TTSMODEINFOW w{};
  w.gEngineID = a.gEngineID;
  AnsiToWideField(a.szMfgName, TTSI_NAMELEN, w.szMfgName, TTSI_NAMELEN);
  AnsiToWideField(a.szProductName, TTSI_NAMELEN, w.szProductName, TTSI_NAMELEN);
  w.gModeID = a.gModeID;
  AnsiToWideField(a.szModeName, TTSI_NAMELEN, w.szModeName, TTSI_NAMELEN);
  w.language.LanguageID = a.language.LanguageID;
  AnsiToWideField(a.language.szDialect, LANG_LEN, w.language.szDialect, LANG_LEN);
  AnsiToWideField(a.szSpeaker, TTSI_NAMELEN, w.szSpeaker, TTSI_NAMELEN);
  AnsiToWideField(a.szStyle, TTSI_STYLELEN, w.szStyle, TTSI_STYLELEN);
  w.wGender = a.wGender;
  w.wAge = a.wAge;
  w.dwFeatures = a.dwFeatures;
  w.dwInterfaces = a.dwInterfaces;
  w.dwEngineFeatures = a.dwEngineFeatures;
  return w;
}

}  // namespace sapi4
