#include "ModeRecord.h"

#include <cstring>
#include <cwchar>
#include <iterator>

namespace sapi4 {
namespace {

int LengthOf(const CHAR* text, int capacity) {
  return static_cast<int>(strnlen(text, static_cast<std::size_t>(capacity)));
}
int LengthOf(const WCHAR* text, int capacity) {
  return static_cast<int>(wcsnlen(text, static_cast<std::size_t>(capacity)));
}
int Convert(const CHAR* text, int n, WCHAR* field, int room) {
  return MultiByteToWideChar(CP_ACP, 0, text, n, field, room);
}
int Convert(const WCHAR* text, int n, CHAR* field, int room) {
  return WideCharToMultiByte(CP_ACP, 0, text, n, field, room, nullptr, nullptr);
}

// Converts a field up to its terminator or capacity; what does not fit is cut at a whole
// character of the source, so that a long name loses its end, not all of it.
template <class From, class To>
void ConvertField(const From* text, int textCapacity, To* field, int capacity) {
  int n = LengthOf(text, textCapacity);
  int written = 0;
  while (n > 0) {
    written = Convert(text, n, field, capacity - 1);
    if (written > 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    --n;
  }
  if (written < 0) written = 0;
  field[written] = To{};
}

// One copy of the record for both directions: the text fields are converted, the rest is copied.
template <class To, class From>
To ConvertModeInfo(const From& from) {
  To to{};
  auto text = [](const auto& source, auto& target) {
    ConvertField(source, static_cast<int>(std::size(source)), target,
                 static_cast<int>(std::size(target)));
  };
  to.gEngineID = from.gEngineID;
  text(from.szMfgName, to.szMfgName);
  text(from.szProductName, to.szProductName);
  to.gModeID = from.gModeID;
  text(from.szModeName, to.szModeName);
  to.language.LanguageID = from.language.LanguageID;
  text(from.language.szDialect, to.language.szDialect);
  text(from.szSpeaker, to.szSpeaker);
  text(from.szStyle, to.szStyle);
  to.wGender = from.wGender;
  to.wAge = from.wAge;
  to.dwFeatures = from.dwFeatures;
  to.dwInterfaces = from.dwInterfaces;
  to.dwEngineFeatures = from.dwEngineFeatures;
  return to;
}

}  // namespace

void AnsiToWideField(const CHAR* text, int textCapacity, WCHAR* field, int capacity) {
  ConvertField(text, textCapacity, field, capacity);
}

void WideToAnsiField(const WCHAR* text, int textCapacity, CHAR* field, int capacity) {
  ConvertField(text, textCapacity, field, capacity);
}

TTSMODEINFOA ModeInfoToAnsi(const TTSMODEINFOW& w) {
  return ConvertModeInfo<TTSMODEINFOA>(w);
}

TTSMODEINFOW ModeInfoToWide(const TTSMODEINFOA& a) {
  return ConvertModeInfo<TTSMODEINFOW>(a);
}

}  // namespace sapi4
