// Kalvor's identifiers as COM and SAPI see them: the SAPI 4 engine class, which is also the SAPI 4
// engine identifier, its two voice modes, and the SAPI 5 engine class. The engine serves them; the
// registration tool writes them into the registry; the tests and the clients select by them.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace kalvor {

inline constexpr CLSID CLSID_KalvorEngine = {
    0xE9214560, 0xA13D, 0x11D2, {0x91, 0x39, 0xB9, 0x5D, 0x81, 0x1E, 0x54, 0xFF}};
inline constexpr GUID KalvorModeMale = {
    0xE9214560, 0xA13D, 0x11D2, {0x91, 0x39, 0xB9, 0x5D, 0x81, 0x1E, 0x54, 0x01}};
inline constexpr GUID KalvorModeFemale = {
    0xE9214560, 0xA13D, 0x11D2, {0x91, 0x39, 0xB9, 0x5D, 0x81, 0x1E, 0x54, 0x02}};

// The SAPI 5 engine class, served by Kalvor.dll beside the SAPI 4 engine class.
inline constexpr CLSID CLSID_KalvorSapi5Engine = {
    0xB59D7F8A, 0xFCC9, 0x4B1E, {0xA9, 0x55, 0x3A, 0x43, 0x1F, 0xBD, 0x6C, 0x9A}};

}  // namespace kalvor
