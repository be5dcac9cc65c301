#include "Espeak.h"

#include <espeak-ng/speak_lib.h>

#include <cstring>
#include <stdexcept>

namespace kalvor::voicegen {
namespace {

bool g_alive = false;
// The utterance being synthesized: synthesis is synchronous, so the callback runs inside Speak.
Utterance* g_current = nullptr;

int Collect(short* wav, int count, espeak_EVENT* events) {
  Utterance* u = g_current;
  if (!u) return 0;
  for (espeak_EVENT* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
    if (e->type == espeakEVENT_PHONEME) {
      std::string name(e->id.string, strnlen(e->id.string, sizeof e->id.string));
      u->phonemes.push_back({std::move(name), e->sample});
    }
  }
  if (wav && count > 0) u->samples.insert(u->samples.end(), wav, wav + count);
  return 0;
}

void Check(espeak_ERROR err, const char* what) {
  if (err != EE_OK) throw std::runtime_error(std::string("espeak-ng: ") + what + " failed");
}

}  // namespace

Espeak::Espeak(const EspeakSettings& settings) {
  if (g_alive) throw std::logic_error("espeak-ng: one synthesizer per process");
  rate_ = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                            espeakINITIALIZE_PHONEME_EVENTS | espeakINITIALIZE_DONT_EXIT);
  if (rate_ <= 0)
    throw std::runtime_error("espeak-ng: cannot initialise (is espeak-ng-data installed?)");
  g_alive = true;
  espeak_SetSynthCallback(Collect);
  if (espeak_SetVoiceByName(settings.voice.c_str()) != EE_OK) {
    espeak_Terminate();
    g_alive = false;
    throw std::runtime_error("espeak-ng: no voice \"" + settings.voice + "\"");
  }
  Check(espeak_SetParameter(espeakRATE, settings.rate, 0), "setting the rate");
  Check(espeak_SetParameter(espeakPITCH, settings.pitch, 0), "setting the pitch");
  Check(espeak_SetParameter(espeakRANGE, settings.range, 0), "setting the pitch range");
  Check(espeak_SetParameter(espeakVOLUME, 100, 0), "setting the volume");
}

Espeak::~Espeak() {
  espeak_Terminate();
  g_alive = false;
}

Utterance Espeak::SpeakPhonemes(std::string_view phonemes) {
  return Speak("[[" + std::string(phonemes) + "]]", true);
}

Utterance Espeak::SpeakText(std::string_view utf8) {
  return Speak(std::string(utf8), false);
}

Utterance Espeak::Speak(const std::string& input, bool phonemeInput) {
  Utterance u;
  u.sampleRate = rate_;
  unsigned flags = espeakCHARS_UTF8 | (phonemeInput ? espeakPHONEMES : 0);
  g_current = &u;
  espeak_ERROR err =
      espeak_Synth(input.c_str(), input.size() + 1, 0, POS_CHARACTER, 0, flags, nullptr, nullptr);
  if (err == EE_OK) err = espeak_Synchronize();
  g_current = nullptr;
  Check(err, "synthesis");
  return u;
}

}  // namespace kalvor::voicegen
