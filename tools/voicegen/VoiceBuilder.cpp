#include "VoiceBuilder.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "Letters.h"
#include "Resample.h"
#include "UnitNames.h"

namespace kalvor::voicegen {
namespace {

// The RMS of n samples from start (clipped to the unit).
double Rms(const std::vector<float>& x, std::size_t start, std::size_t n) {
  std::size_t end = std::min(x.size(), start + n);
  if (end <= start) return 0;
  double s = 0;
  for (std::size_t i = start; i < end; ++i) s += double(x[i]) * x[i];
  return std::sqrt(s / static_cast<double>(end - start));
}

std::string Show(const std::string& cp1254Name) {
  std::string s;
  for (char c : cp1254Name) s += c == '\xDD' ? std::string("\xC4\xB0") : std::string(1, c);
  return s;
}

}  // namespace

VoiceSettings MaleVoice() {
  VoiceSettings v;
  v.espeak.voice = "tr";
  v.espeak.pitch = 60;  // about 100 Hz
  return v;
}

VoiceSettings FemaleVoice() {
  VoiceSettings v;
  v.espeak.voice = "tr+f1";
  v.espeak.pitch = 50;  // about 160 Hz
  return v;
}

VoiceBuilder::VoiceBuilder(const VoiceSettings& settings)
    : settings_(settings), espeak_(settings.espeak) {
  cut_.rate = settings.sampleRate;
  // The voice is a monotone: one long vowel tells its pitch period.
  Utterance u = espeak_.SpeakPhonemes("tat,a:t'a");
  cut_.period = EstimatePeriod(Resample(u.samples, u.sampleRate, cut_.rate), cut_.rate);
  // Each vowel's reference period, from the vowel in the frame that the units use.
  for (char v : std::string_view(kVowels)) {
    Carrier c;
    c.letters = std::string("T") + v + "TA";
    c.phonemes = PhonemesOf(c.letters);
    c.stressed = 3;
    Utterance r = espeak_.SpeakPhonemes(c.PhonemeString());
    cut_.references[c.phonemes[1][0]] = ReferencePeriod(c, 1, r, cut_);
  }
}

CutUnit VoiceBuilder::Cut(const std::string& name) {
  auto unit = ParseUnitName(name);
  if (!unit) throw std::runtime_error("\"" + Show(name) + "\" is not a unit name");
  Carrier c = MakeCarrier(*unit);
  try {
    Utterance u = c.IsText() ? espeak_.SpeakText(c.text) : espeak_.SpeakPhonemes(c.PhonemeString());
    return CutCarrier(c, u, cut_);
  } catch (const std::exception& e) {
    throw std::runtime_error("unit " + Show(name) + ": " + e.what());
  }
}

std::vector<SpeechUnit> VoiceBuilder::Build(const std::vector<std::string>& names,
                                            BuildReport* report) {
  std::vector<CutUnit> cuts;
  cuts.reserve(names.size());
  for (const std::string& n : names) cuts.push_back(Cut(n));

  // Each end that meets another unit in the middle of a vowel is brought to the target level,
  // measured over two whole pitch periods; a unit with two such ends gets a gain that glides from
  // one to the other. Units without one (a consonant alone, a one-letter word) take the median
  // gain, which keeps them in proportion to the rest.
  const std::size_t span = static_cast<std::size_t>(2 * cut_.period);
  struct Gains {
    double start = 0, end = 0;
  };
  std::vector<Gains> gains(cuts.size());
  std::vector<double> all;
  for (std::size_t k = 0; k < cuts.size(); ++k) {
    const auto& x = cuts[k].samples;
    if (x.empty()) continue;
    if (cuts[k].startsMidVowel) {
      double r = Rms(x, 0, span);
      if (r > 0) all.push_back(gains[k].start = settings_.targetRms / r);
    }
    if (cuts[k].endsMidVowel) {
      double r = Rms(x, x.size() > span ? x.size() - span : 0, span);
      if (r > 0) all.push_back(gains[k].end = settings_.targetRms / r);
    }
  }
  if (all.empty()) all.push_back(1.0);
  std::nth_element(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(all.size() / 2),
                   all.end());
  const double median = all[all.size() / 2];

  BuildReport rep;
  rep.period = cut_.period;
  std::vector<SpeechUnit> out;
  out.reserve(cuts.size());
  for (std::size_t k = 0; k < cuts.size(); ++k) {
    const auto& x = cuts[k].samples;
    double g0 = gains[k].start, g1 = gains[k].end;
    if (g0 == 0 && g1 == 0) g0 = g1 = median;
    if (g0 == 0) g0 = g1;
    if (g1 == 0) g1 = g0;
    std::vector<double> y(x.size());
    double peak = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
      double t = x.size() > 1 ? static_cast<double>(i) / static_cast<double>(x.size() - 1) : 0;
      y[i] = x[i] * (g0 + (g1 - g0) * t);
      peak = std::max(peak, std::fabs(y[i]));
    }
    // Never clip: a unit that would is turned down as a whole.
    const double limit = 32000.0;
    double scale = peak > limit ? limit / peak : 1.0;
    if (scale < 1.0) ++rep.limitedUnits;
    SpeechUnit su;
    su.name = names[k];
    su.samples.resize(y.size() * 2);
    for (std::size_t i = 0; i < y.size(); ++i) {
      auto v = static_cast<std::int16_t>(std::lrint(std::clamp(y[i] * scale, -32768.0, 32767.0)));
      auto w = static_cast<std::uint16_t>(v);
      su.samples[2 * i] = static_cast<std::uint8_t>(w & 0xFF);
      su.samples[2 * i + 1] = static_cast<std::uint8_t>(w >> 8);
    }
    if (su.samples.empty()) ++rep.emptyUnits;
    rep.bytes += su.samples.size();
    out.push_back(std::move(su));
  }
  rep.units = out.size();
  if (report) *report = rep;
  return out;
}

}  // namespace kalvor::voicegen
