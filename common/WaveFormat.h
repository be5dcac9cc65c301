// The one sound format Kalvor speaks in, as Windows describes it: 16 kHz, 16-bit, mono PCM.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <mmsystem.h>

namespace kalvor {

inline WAVEFORMATEX EngineWaveFormat() {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 1;
  f.nSamplesPerSec = 16000;
  f.wBitsPerSample = 16;
  f.nBlockAlign = 2;
  f.nAvgBytesPerSec = 32000;
  return f;
}

}  // namespace kalvor
