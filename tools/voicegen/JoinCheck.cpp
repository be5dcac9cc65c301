#include "JoinCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "StrPlaySP.h"
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

}  // namespace

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
    auto at = [&](std::size_t i) {
      return static_cast<std::int16_t>(s.Memory()[2 * i] | (s.Memory()[2 * i + 1] << 8));
    };
    ++r.units;
    if (havePrev) {
      double j = std::abs(double(at(0)) - prevLast);
      joins.push_back(j);
      if (prevMidVowel) vowelJoins.push_back(j);
    }
    for (std::size_t i = 0; i + 1 < n; ++i) inside.push_back(std::abs(double(at(i + 1)) - at(i)));
    havePrev = true;
    prevLast = at(n - 1);
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
