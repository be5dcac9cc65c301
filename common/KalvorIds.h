// Kalvor's identifiers as COM and SAPI 4 see them: the engine class, which is also the SAPI 4
// engine identifier, and the two voice modes. The engine serves them; the registration tool writes
// them into the registry; the tests and the clients select by them.
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

}  // namespace kalvor
