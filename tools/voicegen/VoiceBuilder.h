// Makes a voice: every unit spoken by espeak-ng in its carrier, cut, levelled and written as 16-bit
// samples at 16000 Hz.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Cutter.h"
#include "Espeak.h"
#include "UFonemSP_Format.h"

namespace kalvor::voicegen {

struct VoiceSettings {
  EspeakSettings espeak;
  int sampleRate = 16000;
  // The level of every vowel where units meet (RMS on the 16-bit scale): about -17 dB below full
  // scale, which leaves room for the peaks of the loudest vowels.
  float targetRms = 4500.0f;
};

// The two default voices: male from espeak-ng's Turkish voice, female from its "f1" variant (the
// female variant without echo or breath noise, which would smear across the cuts).
VoiceSettings MaleVoice();
VoiceSettings FemaleVoice();

struct BuildReport {
  std::size_t units = 0;
  std::size_t emptyUnits = 0;
  std::size_t limitedUnits = 0;  // units turned down to stay clear of clipping
  std::size_t bytes = 0;
  int period = 0;  // the pitch period, in samples at the voice's rate
};

class VoiceBuilder {
 public:
  explicit VoiceBuilder(const VoiceSettings& settings);

  // Every unit of names (Windows-1254, as the front end names them), in that order, as 16-bit
  // little-endian samples. Throws std::runtime_error naming the unit that could not be made.
  std::vector<SpeechUnit> Build(const std::vector<std::string>& names,
                                BuildReport* report = nullptr);

  // One unit as cut from its carrier, before levelling.
  CutUnit Cut(const std::string& name);

 private:
  VoiceSettings settings_;
  Espeak espeak_;
  CutSettings cut_;
};

}  // namespace kalvor::voicegen
