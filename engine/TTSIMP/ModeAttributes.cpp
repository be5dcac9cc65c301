// The mode's attributes.
//
// The SAPI pitch drives the synthesizer's rate Hiz (pitch 128 is Hiz 100, the voice's own speed);
// speed and real time are kept and reported but change nothing; volume is the audio object's
// level. Every setter tells the registered sinks, also when the value stays the same.
#include "MsgWindow.h"
#include "SpcMode.h"

namespace kalvor {

std::int64_t DivideRoundHalfEven(std::int64_t num, std::int64_t den) {
  std::int64_t q = num / den;
  std::int64_t r = num % den;
  if (r < 0) {  // floor division, so that the remainder is non-negative
    q -= 1;
    r += den;
  }
  if (2 * r > den || (2 * r == den && (q & 1) != 0)) ++q;
  return q;
}

WORD TSpcMode::PitchGet() const {
  return static_cast<WORD>(DivideRoundHalfEven(std::int64_t{FPlayer->Hiz()} * 128, 100));
}

void TSpcMode::PitchSet(WORD wPitch) {
  // Above 255 the rate is doubled, which PitchGet reports as 256.
  const std::int64_t hiz =
      wPitch > 255 ? 200 : DivideRoundHalfEven(std::int64_t{wPitch} * 100, 128);
  FPlayer->SetHiz(static_cast<std::int32_t>(hiz));
  PostToWindow(WM_TTS_ATTRIBCHANGED, TTSNSAC_PITCH, 0);
}

void TSpcMode::RealTimeSet(DWORD dwRealTime) {
  FRealTime = dwRealTime;
  PostToWindow(WM_TTS_ATTRIBCHANGED, TTSNSAC_REALTIME, 0);
}

void TSpcMode::SpeedSet(DWORD dwSpeed) {
  FSpeed = dwSpeed < 256 ? dwSpeed : 255;
  PostToWindow(WM_TTS_ATTRIBCHANGED, TTSNSAC_SPEED, 0);
}

HRESULT TSpcMode::VolumeGet(DWORD& volume) {
  DWORD level = 0;
  const HRESULT r = FAudio->LevelGet(&level);
  if (r == 0) volume = (level & 0xFFFF) / 255;
  return r;
}

HRESULT TSpcMode::VolumeSet(DWORD dwVolume) {
  const HRESULT r = FAudio->LevelSet(VolumeLevel(dwVolume));
  PostToWindow(WM_TTS_ATTRIBCHANGED, TTSNSAC_VOLUME, 0);
  return r;
}

DWORD TSpcMode::VolumeLevel(DWORD dwVolume) {
  // 0..255 on both channels (low word left, high word right); above that, full level.
  if (dwVolume > 255) return 0xFFFFFFFF;
  const DWORD v = dwVolume * 255;
  return v * 65536 + v;
}

}  // namespace kalvor
