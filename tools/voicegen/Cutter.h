// Cutting a unit out of its carrier: the carrier's speech at the voice's rate, its phonemes lined
// up with the carrier's letters, and the unit's samples between its two cut points.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Carrier.h"
#include "Espeak.h"

namespace kalvor::voicegen {

// A unit as cut, before levelling: samples on the 16-bit scale, and for each end whether it lies in
// the middle of a vowel, where it meets the next unit and its level has to match.
struct CutUnit {
  std::vector<float> samples;
  bool startsMidVowel = false;
  bool endsMidVowel = false;
};

struct CutSettings {
  int rate = 16000;          // the voice's sample rate
  int period = 0;            // the pitch period in samples at that rate (monotone speech)
  float silence = 40.0f;     // samples at most this loud (16-bit scale) count as silence
  double maxClosureMs = 35;  // the longest closure silence kept before a stop
  // One pitch period of each vowel (by espeak-ng phoneme, without a length mark), starting where
  // units are to be cut: the phase every cut in that vowel is matched to.
  std::map<std::string, std::vector<float>> references;
};

// Resamples the carrier's utterance and cuts the unit out. Throws std::runtime_error when
// espeak-ng's phonemes do not line up with the carrier's letters.
CutUnit CutCarrier(const Carrier& carrier, const Utterance& utterance, const CutSettings& settings);

// One pitch period of the vowel of letter in the carrier, from the gentlest rising zero crossing
// near its middle.
std::vector<float> ReferencePeriod(const Carrier& carrier, int letter, const Utterance& utterance,
                                   const CutSettings& settings);

// The pitch period (in samples at outRate) of a monotone utterance, from the autocorrelation of its
// loudest stretch.
int EstimatePeriod(const std::vector<float>& samples, int rate);

}  // namespace kalvor::voicegen
