// The SAPI 5 face of Kalvor: the voice tokens that name its engine class (KalvorIds.h).
// Shared by the engine, its registration (kalvor-reg) and the tests.
#pragma once

#include "KalvorIds.h"  // CLSID_KalvorSapi5Engine

namespace kalvor {

// The token value that names the voice's speech data file: a bare name is looked up beside the
// engine DLL, as the SAPI 4 modes look up theirs.
inline constexpr wchar_t kVoiceFileValue[] = L"VoiceFile";

// One voice token under HKLM\SOFTWARE\Microsoft\Speech\Voices\Tokens\<TokenName>.
struct TSapi5Voice {
  const wchar_t* TokenName;
  const wchar_t* DisplayName;  // the token's default value, what voice lists show
  const wchar_t* Name;         // Attributes\Name
  const wchar_t* Gender;       // Attributes\Gender
  const wchar_t* VoiceFile;
};

inline constexpr TSapi5Voice kSapi5Voices[] = {
    {L"Kalvor-Tarpek", L"Kalvor Tarpek - T\u00FCrk\u00E7e", L"Tarpek", L"Male", L"ORVDAT1.SPD"},
    {L"Kalvor-Nilvo", L"Kalvor Nilvo - T\u00FCrk\u00E7e", L"Nilvo", L"Female", L"ORVDAT2.SPD"},
};

// The attributes every Kalvor voice shares besides Name and Gender.
inline constexpr wchar_t kSapi5Language[] = L"41F";  // Turkish, hexadecimal LANGID
inline constexpr wchar_t kSapi5Age[] = L"Adult";
inline constexpr wchar_t kSapi5Vendor[] = L"Kalvor";

}  // namespace kalvor
