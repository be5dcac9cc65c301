#include "VoiceModes.h"

#include <cstring>
#include <cwchar>

#include "EngineModule.h"
#include "EngineText.h"

namespace kalvor {
namespace {

// "Türkçe", "Kadın" in Windows-1254: ü FC, ç E7, ı FD.
constexpr char kDialect[] =
    "T\xFCrk\xE7"
    "e";
constexpr char kMfgName[] = "Kalvor";
constexpr char kProductName[] = "Kalvor Speech Products";
constexpr char kStyle[] = "Business";
constexpr LANGID kTurkish = 0x041F;  // MAKELANGID(LANG_TURKISH, SUBLANG_DEFAULT)
// The language a selected mode reports: the one the engine has always given its clients there.
constexpr LANGID kSelectedLanguage = 0x0409;
// What a client may rely on: any word, the pitch (the engine's rate) and the volume through
// ITTSAttributes, and tagged text. The speed is kept but changes nothing, so it is not offered.
constexpr DWORD kFeatures =
    TTSFEATURE_ANYWORD | TTSFEATURE_VOLUME | TTSFEATURE_PITCH | TTSFEATURE_TAGGED;
constexpr DWORD kInterfaces =
    TTSI_ILEXPRONOUNCE | TTSI_ITTSATTRIBUTES | TTSI_ITTSCENTRAL | TTSI_ITTSDIALOGS;

// The fields every record of this engine shares.
void FillEngineFields(TTSMODEINFOW& info, const GUID& modeId) {
  info.gEngineID = CLSID_KalvorEngine;
  Cp1254ToField(kMfgName, info.szMfgName, TTSI_NAMELEN);
  Cp1254ToField(kProductName, info.szProductName, TTSI_NAMELEN);
  info.gModeID = modeId;
  Cp1254ToField(kDialect, info.language.szDialect, LANG_LEN);
  info.dwFeatures = kFeatures;
  info.dwInterfaces = kInterfaces;
  info.dwEngineFeatures = 0;
}

}  // namespace

const TVoiceModeRow VoiceModeTable[2] = {
    {KalvorModeMale,
     "T\xFCrk\xE7"
     "e, Erkek, Tarpek (Kalvor)",
     "Tarpek", GENDER_MALE, "ORVDAT1.SPD"},
    {KalvorModeFemale,
     "T\xFCrk\xE7"
     "e, Kad\xFDn, Nilvo (Kalvor)",
     "Nilvo", GENDER_FEMALE, "ORVDAT2.SPD"},
};

const TVoiceModeRow* VoiceModeRow(const GUID& modeId) {
  for (const TVoiceModeRow& row : VoiceModeTable)
    if (row.ModeID == modeId) return &row;
  return nullptr;
}

void Cp1254ToField(const char* text, WCHAR* field, int capacity) {
  const int n = static_cast<int>(strnlen(text, static_cast<std::size_t>(capacity - 1)));
  int written =
      n ? MultiByteToWideChar(kEngineCodePage, MB_PRECOMPOSED, text, n, field, capacity - 1) : 0;
  if (written < 0) written = 0;
  field[written] = L'\0';
}

bool FieldToCp1254(const WCHAR* field, int capacity, std::string& out) {
  out.clear();
  const int n = static_cast<int>(wcsnlen(field, static_cast<std::size_t>(capacity)));
  if (n == 0) return true;
  BOOL usedDefault = FALSE;
  const int size = WideCharToMultiByte(kEngineCodePage, WC_NO_BEST_FIT_CHARS, field, n, nullptr, 0,
                                       nullptr, &usedDefault);
  if (size <= 0 || usedDefault) return false;
  out.resize(static_cast<std::size_t>(size));
  WideCharToMultiByte(kEngineCodePage, WC_NO_BEST_FIT_CHARS, field, n, out.data(), size, nullptr,
                      nullptr);
  return true;
}

namespace {

// The fields every record of a mode carries: the engine's, the mode's names and its language.
TTSMODEINFOW ModeInfoNamed(const TVoiceModeRow& row, LANGID language) {
  TTSMODEINFOW info{};
  FillEngineFields(info, row.ModeID);
  Cp1254ToField(row.ModeName, info.szModeName, TTSI_NAMELEN);
  info.language.LanguageID = language;
  Cp1254ToField(row.Speaker, info.szSpeaker, TTSI_NAMELEN);
  return info;
}

}  // namespace

TTSMODEINFOW ModeInfoOfRow(const TVoiceModeRow& row) {
  TTSMODEINFOW info = ModeInfoNamed(row, kTurkish);
  Cp1254ToField(kStyle, info.szStyle, TTSI_STYLELEN);
  info.wGender = row.Gender;
  info.wAge = TTSAGE_ADULT;
  return info;
}

TTSMODEINFOW SelectedModeInfo(const TVoiceModeRow& row) {
  return ModeInfoNamed(row, kSelectedLanguage);
}

}  // namespace kalvor
