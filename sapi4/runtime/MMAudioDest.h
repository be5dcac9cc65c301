// The multimedia audio destination of the stand-in run time (CLSID_MMAudioDest): IAudio, IAudioDest
// and IAudioMultiMediaDevice. An engine writes its samples into a bounded buffer; a thread of the
// destination's own consumes them at the pace of a real device, into waveOut or into a WAV file,
// and reports AudioStart, AudioStop, FreeSpace and every bookmark it passes to the notify sink, as
// a real device does: from that thread, never from the caller's.
//
// Settings, read from the environment when the object is created:
//   KALVOR_AUDIO_WAV        write a WAV file of that name instead of playing (each claim appends)
//   KALVOR_AUDIO_PACE       playing speed as a multiple of real time; 0 consumes as fast as the
//                           engine delivers (default 1; waveOut always plays in real time)
//   KALVOR_AUDIO_BUFFER_MS  size of the buffer in milliseconds of audio (default 1000, 50..60000)
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace sapi4rt {

struct TAudioSettings {
  std::wstring WavPath;  // empty: play through waveOut
  double Pace = 1.0;
  DWORD BufferMs = 1000;
};

// The settings the environment gives; a malformed value is an error naming the variable.
bool ReadAudioSettings(TAudioSettings& settings, std::wstring& error);

HRESULT CreateMMAudioDest(REFIID riid, void** ppv);

}  // namespace sapi4rt
