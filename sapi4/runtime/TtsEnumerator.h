// The TTS enumerator of the stand-in run time (CLSID_TTSEnumerator). It lists the voice modes of
// every engine registered under HKLM\SOFTWARE\Voice\TextToSpeech\Engine, finds modes by identifier
// or name and passes a client's Select on to the engine that owns the mode, as the SAPI 4 run time
// does: the client never talks to an engine's class object itself.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace sapi4rt {

// Where the run time looks for engines: one REG_SZ value per engine, its data the engine's CLSID.
constexpr wchar_t kEngineListKey[] = L"SOFTWARE\\Voice\\TextToSpeech\\Engine";

HRESULT CreateTtsEnumerator(REFIID riid, void** ppv);

}  // namespace sapi4rt
