// libespeak-ng as the voice builder uses it: synchronous synthesis into memory, with the phoneme
// events that tell where each phoneme begins.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalvor::voicegen {

struct PhonemeEvent {
  std::string name;     // espeak-ng's phoneme mnemonic ("a", "tS", "_" for a pause)
  std::int64_t sample;  // the first sample of the phoneme in the utterance
};

struct Utterance {
  int sampleRate = 0;
  std::vector<std::int16_t> samples;
  std::vector<PhonemeEvent> phonemes;
};

struct EspeakSettings {
  std::string voice = "tr";  // espeak-ng voice name, with an optional "+variant"
  int rate = 165;            // words per minute
  int pitch = 50;            // 0..100
  int range = 0;             // pitch range 0..100; 0 is a monotone
};

// The library keeps one global state, so there is one synthesizer per process.
class Espeak {
 public:
  // Throws std::runtime_error when the library or the voice cannot be set up.
  explicit Espeak(const EspeakSettings& settings);
  ~Espeak();
  Espeak(const Espeak&) = delete;
  Espeak& operator=(const Espeak&) = delete;

  int SampleRate() const { return rate_; }
  // Speaks phonemes in espeak-ng's notation (the text between "[[" and "]]").
  Utterance SpeakPhonemes(std::string_view phonemes);
  // Speaks UTF-8 text with the voice's own reading rules.
  Utterance SpeakText(std::string_view utf8);

 private:
  Utterance Speak(const std::string& input, bool phonemeInput);

  int rate_ = 0;
};

}  // namespace kalvor::voicegen
