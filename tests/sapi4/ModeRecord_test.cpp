// The conversion of voice mode records between their wide and ANSI forms: every field arrives,
// and a text that fills its whole field loses only what does not fit.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "ModeRecord.h"

namespace {

const GUID kEngine = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
const GUID kMode = {0x44444444, 0x5555, 0x6666, {8, 7, 6, 5, 4, 3, 2, 1}};

// Letters that the Western and the Turkish ANSI code pages both have.
TTSMODEINFOW WideRecord() {
  TTSMODEINFOW w{};
  w.gEngineID = kEngine;
  wcscpy(w.szMfgName, L"Kalvor");
  wcscpy(w.szProductName, L"Kalvor T\u00FCrk\u00E7e");
  w.gModeID = kMode;
  wcscpy(w.szModeName, L"T\u00FCrk\u00E7e, Erkek");
  w.language.LanguageID = 0x041F;
  wcscpy(w.language.szDialect, L"Standart");
  wcscpy(w.szSpeaker, L"Tarpek");
  wcscpy(w.szStyle, L"Normal");
  w.wGender = GENDER_MALE;
  w.wAge = TTSAGE_ADULT;
  w.dwFeatures = TTSFEATURE_VOLUME | TTSFEATURE_PITCH;
  w.dwInterfaces = TTSI_ITTSCENTRAL | TTSI_ITTSATTRIBUTES;
  w.dwEngineFeatures = 0xA5A5;
  return w;
}

TEST(ModeRecord, EveryFieldSurvivesTheWayToAnsiAndBack) {
  const TTSMODEINFOW w = WideRecord();
  const TTSMODEINFOA a = sapi4::ModeInfoToAnsi(w);
  EXPECT_STREQ(a.szMfgName, "Kalvor");
  EXPECT_STREQ(a.szModeName,
               "T\xFCrk\xE7"
               "e, Erkek");
  EXPECT_STREQ(a.language.szDialect, "Standart");
  EXPECT_EQ(a.language.LanguageID, 0x041F);
  EXPECT_EQ(a.gEngineID, kEngine);
  EXPECT_EQ(a.gModeID, kMode);
  EXPECT_EQ(a.dwEngineFeatures, 0xA5A5u);

  // Back again, the record is the one we started with.
  const TTSMODEINFOW back = sapi4::ModeInfoToWide(a);
  for (auto field : {&TTSMODEINFOW::szMfgName, &TTSMODEINFOW::szProductName,
                     &TTSMODEINFOW::szModeName, &TTSMODEINFOW::szSpeaker, &TTSMODEINFOW::szStyle})
    EXPECT_EQ(std::wstring(back.*field), std::wstring(w.*field));
  EXPECT_EQ(std::wstring(back.language.szDialect), L"Standart");
  EXPECT_EQ(back.language.LanguageID, w.language.LanguageID);
  EXPECT_EQ(back.gEngineID, kEngine);
  EXPECT_EQ(back.gModeID, kMode);
  EXPECT_EQ(back.wGender, GENDER_MALE);
  EXPECT_EQ(back.wAge, TTSAGE_ADULT);
  EXPECT_EQ(back.dwFeatures, w.dwFeatures);
  EXPECT_EQ(back.dwInterfaces, w.dwInterfaces);
  EXPECT_EQ(back.dwEngineFeatures, 0xA5A5u);
}

// A name without a terminator fills its field: the other form keeps all of it that fits (one
// place less, for the terminator), not an empty field.
TEST(ModeRecord, ATextThatFillsItsFieldIsCutNotLost) {
  TTSMODEINFOW w = WideRecord();
  std::wmemset(w.szModeName, L'a', TTSI_NAMELEN);
  const TTSMODEINFOA a = sapi4::ModeInfoToAnsi(w);
  EXPECT_EQ(std::string(a.szModeName), std::string(TTSI_NAMELEN - 1, 'a'));
  EXPECT_STREQ(a.szSpeaker, "Tarpek") << "the field after it is untouched";

  TTSMODEINFOA full = a;
  std::memset(full.language.szDialect, 'd', LANG_LEN);
  const TTSMODEINFOW wide = sapi4::ModeInfoToWide(full);
  EXPECT_EQ(std::wstring(wide.language.szDialect), std::wstring(LANG_LEN - 1, L'd'));
  EXPECT_EQ(std::wstring(wide.szModeName), std::wstring(TTSI_NAMELEN - 1, L'a'));
  EXPECT_EQ(std::wstring(wide.szSpeaker), L"Tarpek");
}

}  // namespace
