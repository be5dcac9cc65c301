// The wave format of plain PCM audio, with the sizes that follow from its rate, width and
// channels worked out once: the engines' output, the audio destinations' input, the tests.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <mmreg.h>

namespace sapi4 {

inline WAVEFORMATEX PcmFormat(DWORD samplesPerSec, WORD bitsPerSample, WORD channels = 1) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = samplesPerSec;
  f.wBitsPerSample = bitsPerSample;
  f.nBlockAlign = static_cast<WORD>(channels * bitsPerSample / 8);
  f.nAvgBytesPerSec = samplesPerSec * f.nBlockAlign;
  return f;
}

}  // namespace sapi4
