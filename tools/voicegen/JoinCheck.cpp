#include "JoinCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "StrPlaySP.h"
#include "UFonemSP_Format.h"
#include "UnitNames.h"

namespace kalvor::voicegen {
namespace {

JumpStats Stats(std::vector<double> v) {
  JumpStats s;
  s.count = v.size();
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  auto at = [&](double q) {
    return v[std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size())))];
  };
  s.p50 = at(0.50);
  s.p95 = at(0.95);
  s.p99 = at(0.99);
  s.max = v.back();
  return s;
}

bool EndsMidVowel(const TStr3& name) {
  auto u = ParseUnitName(name.View());
  if (!u) return false;
  return u->form == UnitForm::CV || u->form == UnitForm::VCV || u->form == UnitForm::VV ||
         u->form == UnitForm::V1;
}

// On the 16-bit scale: the quietest burst is some hundreds, a closure is digital silence or the
// hiss of the cut's rounding.
constexpr int kSilence = 64;
constexpr std::size_t kGap = 10 * 16;  // 10 ms at 16000 Hz: a gap, not a dip in a sound
// A stop's closure lasts 30 ms and more; a velar burst may pause up to 20 ms before its vowel.
constexpr std::size_t kClosure = 25 * 16;
constexpr std::size_t kTailGap = 20 * 16;  // a tail's silence, longer than any pause in a sound
constexpr std::size_t kFragment = 8 * 16;  // shorter than the shortest burst (P, about 14 ms)

std::vector<std::int16_t> Samples16(const std::uint8_t* p, std::size_t bytes) {
  std::vector<std::int16_t> x(bytes / 2);
  for (std::size_t i = 0; i < x.size(); ++i)
    x[i] = static_cast<std::int16_t>(p[2 * i] | (p[2 * i + 1] << 8));
  return x;
}

bool Loud(std::int16_t v) {
  return std::abs(int{v}) > kSilence;
}

// Whether x ends in a silence of kTailGap or more, after sound, and then a run of sound shorter
// than kFragment (and whatever silence follows it).
bool HasStrayTail(const std::vector<std::int16_t>& x) {
  std::size_t end = x.size();
  while (end > 0 && !Loud(x[end - 1])) --end;
  std::size_t fragment = end;
  while (fragment > 0 && Loud(x[fragment - 1])) --fragment;
  if (fragment == 0 || end - fragment >= kFragment) return false;
  // Short dips inside the fragment are part of it: look back over them to the real gap.
  for (;;) {
    std::size_t quiet = fragment;
    while (quiet > 0 && !Loud(x[quiet - 1])) --quiet;
    if (quiet == 0) return false;  // only silence before: a closure at the unit's start
    if (fragment - quiet >= kTailGap) return end - fragment < kFragment;
    if (fragment - quiet >= kGap) return false;
    fragment = quiet;
    while (fragment > 0 && Loud(x[fragment - 1])) --fragment;
    if (end - fragment >= kFragment) return false;
  }
}

}  // namespace

TailReport CheckTails(const std::filesystem::path& voice) {
  SpeechDataFile f(voice);
  SpeechDataTable t = ReadSpeechDataTable(f);
  if (t.sampleWidth != 2) throw std::runtime_error("the tail check takes 16-bit voices only");
  TailReport r;
  for (const auto& e : t.entries) {
    auto b = ReadEntrySamples(f, e);
    auto x = Samples16(b.data(), b.size());
    if (std::none_of(x.begin(), x.end(), Loud)) continue;
    ++r.units;
    if (HasStrayTail(x)) r.tails.push_back(e.name);
  }
  return r;
}

std::vector<std::string> DoubledStopWords() {
  // anlattı gitti bitti etti attı yattı tuttu öttü hakkı hatta bütçe
  return {"ANLATTI",
          "G\xDDTT\xDD",
          "B\xDDTT\xDD",
          "ETT\xDD",
          "ATTI",
          "YATTI",
          "TUTTU",
          "\xD6TT\xDC",
          "HAKKI",
          "HATTA",
          "B\xDCT\xC7"
          "E"};
}

std::vector<ReleaseCount> CountReleases(const std::filesystem::path& voice,
                                        const std::vector<std::string>& words) {
  TStrPlayer player;
  player.LoadData(voice);
  if (player.DataSize() != 2)
    throw std::runtime_error("the release count takes 16-bit voices only");
  std::vector<std::int16_t> x;
  player.SetOnPlaySyl([&](TStrPlayer& p, TStr3 syl, std::int32_t&) {
    if (syl.Empty()) return;  // the pause after the word
    const TMemoryStream& s = p.OutputStream();
    auto u = Samples16(s.Memory(), s.Size());
    x.insert(x.end(), u.begin(), u.end());
  });
  std::vector<ReleaseCount> out;
  for (const std::string& w : words) {
    x.clear();
    player.Speak(w);
    ReleaseCount c{w, 0};
    bool heard = false;
    std::size_t quiet = 0;
    for (std::int16_t v : x) {
      if (!Loud(v)) {
        ++quiet;
        continue;
      }
      if (heard && quiet >= kClosure) ++c.releases;
      heard = true;
      quiet = 0;
    }
    out.push_back(c);
  }
  return out;
}

JoinReport CheckJoins(const std::filesystem::path& voice, std::string_view text) {
  TStrPlayer player;
  player.LoadData(voice);
  if (player.DataSize() != 2) throw std::runtime_error("the join check takes 16-bit voices only");
  JoinReport r;
  std::vector<double> inside, joins, vowelJoins;
  bool havePrev = false;  // a unit's last sample that the next unit meets
  std::int16_t prevLast = 0;
  bool prevMidVowel = false;
  std::size_t samples = 0;
  player.SetOnPlaySyl([&](TStrPlayer& p, TStr3 syl, std::int32_t&) {
    const TMemoryStream& s = p.OutputStream();
    const std::size_t n = s.Size() / 2;
    samples += n;
    if (syl.Empty()) {  // the sentence pause
      havePrev = false;
      return;
    }
    if (n == 0) return;
    const std::vector<std::int16_t> x = Samples16(s.Memory(), s.Size());
    ++r.units;
    if (havePrev) {
      double j = std::abs(double(x[0]) - prevLast);
      joins.push_back(j);
      if (prevMidVowel) vowelJoins.push_back(j);
    }
    for (std::size_t i = 0; i + 1 < n; ++i) inside.push_back(std::abs(double(x[i + 1]) - x[i]));
    havePrev = true;
    prevLast = x[n - 1];
    prevMidVowel = EndsMidVowel(syl);
  });
  player.Speak(text);
  r.inside = Stats(std::move(inside));
  r.joins = Stats(std::move(joins));
  r.vowelJoins = Stats(std::move(vowelJoins));
  r.seconds = static_cast<double>(samples) / 16000.0;
  return r;
}

std::string FormatJoinReport(const JoinReport& r) {
  char buf[768];
  auto line = [](const char* what, const JumpStats& s) {
    char b[200];
    std::snprintf(b, sizeof b, "%-13s %7zu  p50 %6.0f  p95 %6.0f  p99 %6.0f  max %6.0f\n", what,
                  s.count, s.p50, s.p95, s.p99, s.max);
    return std::string(b);
  };
  std::snprintf(buf, sizeof buf, "%zu units, %.1f s of speech; sample jumps (16-bit scale):\n",
                r.units, r.seconds);
  return buf + line("inside units", r.inside) + line("all joins", r.joins) +
         line("vowel joins", r.vowelJoins);
}

}  // namespace kalvor::voicegen

namespace kalvor::voicegen {

std::string FormatTailReport(const TailReport& r) {
  std::string s = std::to_string(r.units) + " units with sound, " + std::to_string(r.tails.size()) +
                  " ending in silence and a stray fragment";
  for (std::size_t i = 0; i < r.tails.size(); ++i) s += (i ? " " : ": ") + r.tails[i];
  return s + "\n";
}

std::string FormatReleases(const std::vector<ReleaseCount>& counts) {
  std::string s = "stop releases per word:";
  int total = 0;
  for (const ReleaseCount& c : counts) {
    s += " " + c.word + " " + std::to_string(c.releases);
    total += c.releases;
  }
  char buf[64];
  std::snprintf(
      buf, sizeof buf, "; %.2f per word\n",
      counts.empty() ? 0.0 : static_cast<double>(total) / static_cast<double>(counts.size()));
  return s + buf;
}

}  // namespace kalvor::voicegen
