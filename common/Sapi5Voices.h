// The SAPI 5 face of Kalvor: the engine's class identifier and the voice tokens that name it.
// Shared by the engine, its registration (kalvor-reg) and the tests.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace kalvor {

// The SAPI 5 engine class, served by Kalvor.dll beside the SAPI 4 engine class.
inline constexpr CLSID CLSID_KalvorSapi5Engine = {
    0xB59D7F8A, 0xFCC9, 0x4B1E, {0xA9, 0x55, 0x3A, 0x43, 0x1F, 0xBD, 0x6C, 0x9A}};

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
