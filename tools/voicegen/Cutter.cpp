#include "Cutter.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "Resample.h"

namespace kalvor::voicegen {
namespace {

bool IsStop(const std::string& ph) {
  static const char* const kStops[] = {"p", "t", "k", "c", "b", "d", "g", "J", "tS", "dZ", "Q"};
  for (const char* s : kStops)
    if (ph == s) return true;
  return false;
}

// The carrier's speech at the voice's rate with its phonemes' ranges.
class Analysis {
 public:
  Analysis(const Carrier& carrier, const Utterance& u, const CutSettings& cs)
      : c_(carrier), cs_(cs) {
    x_ = Resample(u.samples, u.sampleRate, cs.rate);
    const double scale = static_cast<double>(cs.rate) / u.sampleRate;
    auto at = [&](std::int64_t s22) {
      auto s = static_cast<std::int64_t>(std::llround(static_cast<double>(s22) * scale));
      return static_cast<std::size_t>(
          std::clamp<std::int64_t>(s, 0, static_cast<std::int64_t>(Size())));
    };
    // espeak-ng reports pauses as phonemes of their own ("_", "_:"); the rest are the carrier's
    // phonemes, in order. Each phoneme lasts until the next event of either kind.
    std::vector<std::size_t> starts, ends;
    std::vector<std::string> names;
    for (const PhonemeEvent& e : u.phonemes) {
      std::size_t s = at(e.sample);
      if (!starts.empty() && ends.back() == Size()) ends.back() = std::max(starts.back(), s);
      if (!e.name.empty() && e.name[0] == '_') continue;
      starts.push_back(s);
      ends.push_back(Size());
      names.push_back(e.name);
    }
    letterOf_ = c_.PhonemeLetters();
    if (!carrier.IsText() && starts.size() != letterOf_.size()) {
      std::string got;
      for (const auto& n : names) got += n + " ";
      throw std::runtime_error("espeak-ng spoke " + std::to_string(starts.size()) + " phonemes (" +
                               got + ") for the carrier [[" + carrier.PhonemeString() + "]]");
    }
    for (std::size_t k = 0; k < starts.size(); ++k) ranges_.push_back({starts[k], ends[k]});
    names_ = std::move(names);
  }

  std::size_t Size() const { return x_.size(); }
  const std::vector<float>& X() const { return x_; }

  std::size_t Point(const CutPoint& p) const {
    switch (p.kind) {
      case PointKind::SoundStart:
        return SnapBack(FirstSound(0, Size()));
      case PointKind::SoundEnd:
        return SnapForward(LastSound(0, Size()));
      case PointKind::ConsonantStart: {
        std::size_t ph = FirstPhoneme(p.letter);
        if (ph == kNone) return VowelStartOf(NextPhoneme(p.letter));
        std::size_t s = ranges_[ph].first;
        if (!IsStop(names_[ph])) return SnapBack(FirstSound(s, ranges_[ph].second));
        // A stop starts with its closure: the silence before the burst, as long as the speaker
        // holds it in a word, not the utterance's leading silence.
        auto cap = static_cast<std::size_t>(cs_.maxClosureMs * cs_.rate / 1000);
        std::size_t r = s;
        while (r > 0 && s - r < cap && std::fabs(x_[r - 1]) <= cs_.silence) --r;
        return r;
      }
      case PointKind::VowelStart:
        return VowelStartOf(FirstPhoneme(p.letter));
      case PointKind::VowelMiddle:
        return Middle(FirstPhoneme(p.letter));
      case PointKind::LetterEnd: {
        std::size_t ph = LastPhoneme(p.letter);
        for (int l = p.letter; ph == kNone && l > 0;) ph = LastPhoneme(--l);
        if (ph == kNone) throw std::runtime_error("a letter without sound at the carrier's start");
        return SnapForward(SoundRunEnd(ranges_[ph].first, ranges_[ph].second));
      }
      case PointKind::ClosureEnd: {
        std::size_t ph = FirstPhoneme(p.letter);
        if (ph == kNone || !IsStop(names_[ph]))
          throw std::runtime_error("a closure asked of a letter that is no stop");
        // The burst is the first sound of the stop's range, or begins a little before it where
        // espeak-ng's event comes late; the closure is the silence before the burst.
        return SnapBack(BurstOnset(FirstSound(ranges_[ph].first, ranges_[ph].second)));
      }
    }
    return 0;
  }

  // The reference period of the vowel that letter holds: one period from its middle.
  std::vector<float> ReferencePeriod(int letter) const {
    std::size_t ph = FirstPhoneme(letter);
    std::size_t m = Middle(ph);
    auto P = static_cast<std::size_t>(cs_.period);
    if (m + P > Size()) throw std::runtime_error("a reference vowel shorter than one period");
    return std::vector<float>(x_.begin() + static_cast<std::ptrdiff_t>(m),
                              x_.begin() + static_cast<std::ptrdiff_t>(m + P));
  }

 private:
  // The phoneme of a letter, by its index; kNone for a letter without one (a silent Ğ).
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t FirstPhoneme(int letter) const {
    for (std::size_t k = 0; k < letterOf_.size(); ++k)
      if (letterOf_[k] == letter) return k;
    return kNone;
  }
  std::size_t LastPhoneme(int letter) const {
    for (std::size_t k = letterOf_.size(); k-- > 0;)
      if (letterOf_[k] == letter) return k;
    return kNone;
  }
  std::size_t NextPhoneme(int letter) const {
    for (std::size_t k = 0; k < letterOf_.size(); ++k)
      if (letterOf_[k] > letter) return k;
    throw std::runtime_error("a silent letter at the carrier's end");
  }

  std::size_t VowelStartOf(std::size_t ph) const {
    return SnapBack(FirstSound(ranges_[ph].first, ranges_[ph].second));
  }

  // The first sample louder than silence in [a, b), or a when there is none.
  std::size_t FirstSound(std::size_t a, std::size_t b) const {
    for (std::size_t i = a; i < b; ++i)
      if (std::fabs(x_[i]) > cs_.silence) return i;
    return a;
  }
  // One past the last sample louder than silence in [a, b), or b when there is none.
  std::size_t LastSound(std::size_t a, std::size_t b) const {
    for (std::size_t i = b; i > a; --i)
      if (std::fabs(x_[i - 1]) > cs_.silence) return i;
    return b;
  }
  // The end of the sound in [a, b) that starts with its first sound and lasts until a silence of
  // kGapMs or the end of [a, b). espeak-ng's phoneme events run late against the sound, so a
  // consonant's range reaches over the closure of the next stop into the start of its burst:
  // ending at the last sound of the range would keep a stray click after a gap.
  std::size_t SoundRunEnd(std::size_t a, std::size_t b) const {
    const std::size_t last = LastSound(a, b);
    const auto gap = static_cast<std::size_t>(kGapMs * cs_.rate / 1000);
    std::size_t quiet = 0;
    for (std::size_t i = FirstSound(a, b); i < last; ++i) {
      quiet = std::fabs(x_[i]) <= cs_.silence ? quiet + 1 : 0;
      if (quiet >= gap) return i + 1 - quiet;
    }
    return last;
  }
  static constexpr double kGapMs = 10;

  // Where the burst that p lies in starts: back over its rising onset, which is quieter than
  // what counts as silence elsewhere, to the closure: a millisecond of near-zero samples (the
  // onset's own zero crossings are single samples), looking no further back than 15 ms; p itself
  // when there is no such closure (a voiced one).
  std::size_t BurstOnset(std::size_t p) const {
    const auto limit = static_cast<std::size_t>(cs_.rate * 15 / 1000);
    const auto need = static_cast<std::size_t>(cs_.rate / 1000);
    std::size_t quiet = 0;
    for (std::size_t k = p; k > 0 && p - k < limit; --k) {
      quiet = std::fabs(x_[k - 1]) <= kClosureFloor ? quiet + 1 : 0;
      if (quiet >= need) return k - 1 + quiet;
    }
    return p;
  }
  static constexpr float kClosureFloor = 2.0f;  // a closure's rounding hiss on the 16-bit scale

  static bool Crossing(float a, float b) { return (a <= 0 && b >= 0) || (a >= 0 && b <= 0); }
  // The nearest zero crossing at or before i (the unit then starts on a near-zero sample).
  std::size_t SnapBack(std::size_t i) const {
    for (std::size_t k = std::min(i, Size() - 1); k > 0 && i - k < Limit(); --k)
      if (Crossing(x_[k - 1], x_[k])) return k;
    return i;
  }
  // The nearest zero crossing at or after i.
  std::size_t SnapForward(std::size_t i) const {
    for (std::size_t k = std::max<std::size_t>(i, 1); k < Size() && k - i < Limit(); ++k)
      if (Crossing(x_[k - 1], x_[k])) return k;
    return std::min(i, Size());
  }
  std::size_t Limit() const { return static_cast<std::size_t>(cs_.rate / 200); }

  // The middle of a vowel, moved to the start of a pitch period. With the vowel's reference
  // period, that is the place where the speech matches the reference best, at the reference's own
  // starting point: every unit cut at that vowel is cut at the same point of the glottal cycle, so
  // two halves from different carriers meet as one continuous period. Without one, it is the
  // gentlest rising zero crossing of the period around the middle.
  std::size_t Middle(std::size_t ph) const {
    std::size_t a = FirstSound(ranges_[ph].first, ranges_[ph].second);
    std::size_t b = LastSound(ranges_[ph].first, ranges_[ph].second);
    std::size_t c = (a + b) / 2;
    auto P = static_cast<std::size_t>(std::max(cs_.period, 8));
    std::size_t lo = std::max<std::size_t>(c > P / 2 ? c - P / 2 : 0, 1);
    std::size_t hi = std::min(Size(), lo + P);
    std::string base = names_[ph].substr(0, names_[ph].find(':'));
    auto ref = cs_.references.find(base);
    if (ref != cs_.references.end() && !ref->second.empty()) {
      const std::vector<float>& r = ref->second;
      std::size_t best = c;
      double bestScore = -2;
      for (std::size_t i = lo; i < hi && i + r.size() <= Size(); ++i) {
        double xy = 0, xx = 0, yy = 0;
        for (std::size_t k = 0; k < r.size(); ++k) {
          xy += double(x_[i + k]) * r[k];
          xx += double(x_[i + k]) * x_[i + k];
          yy += double(r[k]) * r[k];
        }
        double score = xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : -1;
        if (score > bestScore) bestScore = score, best = i;
      }
      // The match is as good as the two carriers' waveforms are alike, a few samples either way:
      // the nearest rising zero crossing is where both halves then meet near zero.
      for (std::size_t d = 0; d <= P / 8; ++d) {
        if (best > d && x_[best - d - 1] < 0 && x_[best - d] >= 0) return best - d;
        if (best + d < Size() && best + d > 0 && x_[best + d - 1] < 0 && x_[best + d] >= 0)
          return best + d;
      }
      return best;
    }
    return GentlestRise(lo, hi, c);
  }

  // The rising zero crossing in [lo, hi) with the smallest step, or fallback when there is none.
  std::size_t GentlestRise(std::size_t lo, std::size_t hi, std::size_t fallback) const {
    std::size_t best = fallback;
    float bestStep = -1;
    for (std::size_t i = std::max<std::size_t>(lo, 1); i < hi; ++i) {
      if (!(x_[i - 1] < 0 && x_[i] >= 0)) continue;
      float step = x_[i] - x_[i - 1];
      if (bestStep < 0 || step < bestStep) best = i, bestStep = step;
    }
    return best;
  }

  const Carrier& c_;
  const CutSettings& cs_;
  std::vector<float> x_;
  std::vector<std::pair<std::size_t, std::size_t>> ranges_;
  std::vector<std::string> names_;
  std::vector<int> letterOf_;
};

}  // namespace

CutUnit CutCarrier(const Carrier& carrier, const Utterance& utterance, const CutSettings& cs) {
  CutUnit u;
  u.startsMidVowel = carrier.start.kind == PointKind::VowelMiddle;
  u.endsMidVowel = carrier.end.kind == PointKind::VowelMiddle;
  // A consonant of no sound of its own (Ğ between consonants) gives an empty unit.
  if (carrier.start.kind == PointKind::ConsonantStart && carrier.end.kind == PointKind::LetterEnd &&
      carrier.start.letter == carrier.end.letter &&
      carrier.phonemes[static_cast<std::size_t>(carrier.start.letter)].empty())
    return u;
  Analysis a(carrier, utterance, cs);
  std::size_t s = a.Point(carrier.start), e = a.Point(carrier.end);
  if (e <= s)
    throw std::runtime_error("the cut points of the carrier [[" + carrier.PhonemeString() +
                             "]] are out of order");
  u.samples.assign(a.X().begin() + static_cast<std::ptrdiff_t>(s),
                   a.X().begin() + static_cast<std::ptrdiff_t>(e));
  return u;
}

std::vector<float> ReferencePeriod(const Carrier& carrier, int letter, const Utterance& utterance,
                                   const CutSettings& settings) {
  CutSettings plain = settings;
  plain.references.clear();
  Analysis a(carrier, utterance, plain);
  return a.ReferencePeriod(letter);
}

int EstimatePeriod(const std::vector<float>& x, int rate) {
  // The loudest 80 ms: the middle of a vowel.
  const std::size_t win = static_cast<std::size_t>(rate) * 80 / 1000;
  if (x.size() < win * 2) throw std::runtime_error("too little speech to find the pitch");
  std::size_t best = 0;
  double bestE = -1, e = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    e += double(x[i]) * x[i];
    if (i >= win) e -= double(x[i - win]) * x[i - win];
    if (i + 1 >= win && e > bestE) bestE = e, best = i + 1 - win;
  }
  const auto minLag = static_cast<std::size_t>(rate / 400);
  const auto maxLag = static_cast<std::size_t>(rate / 50);
  std::vector<double> corr(maxLag + 2, 0.0);
  double top = 0;
  for (std::size_t L = minLag; L <= maxLag + 1; ++L) {
    double c = 0;
    for (std::size_t i = best; i < best + win && i + L < x.size(); ++i)
      c += double(x[i]) * x[i + L];
    corr[L] = c / static_cast<double>(win - L);
    top = std::max(top, corr[L]);
  }
  // The first strong peak is the period; its multiples correlate nearly as well.
  std::size_t lag = minLag;
  for (std::size_t L = minLag + 1; L <= maxLag; ++L) {
    if (corr[L] >= 0.85 * top && corr[L] >= corr[L - 1] && corr[L] >= corr[L + 1]) {
      lag = L;
      break;
    }
  }
  return static_cast<int>(lag);
}

}  // namespace kalvor::voicegen
