// How smoothly a voice's units join: a text spoken through the engine's synthesizer, and the sample
// jumps where one unit meets the next compared with the jumps between neighbouring samples inside
// the units.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kalvor::voicegen {

struct JumpStats {
  std::size_t count = 0;
  double p50 = 0, p95 = 0, p99 = 0, max = 0;
};

struct JoinReport {
  JumpStats inside;      // |s[i+1] - s[i]| inside units
  JumpStats joins;       // |first sample of a unit - last sample of the unit before it|
  JumpStats vowelJoins;  // the joins in the middle of a vowel (after CV, VCV, VV and V1 units)
  std::size_t units = 0;
  double seconds = 0;  // of speech, pauses included
};

// Units that end in a silence followed by a stray fragment of sound: a consonant cut past the
// closure of what followed it in its carrier, into the start of the next burst. Played, the
// fragment is a click after a gap.
struct TailReport {
  std::size_t units = 0;           // units with sound
  std::vector<std::string> tails;  // names (Windows-1254, as stored) of the units with such a tail
};
TailReport CheckTails(const std::filesystem::path& voice);

// How often each word's stops are released: the sound onsets that follow a silence of at least
// 25 ms within the word, spoken alone through the engine (a word-initial stop's closure has no
// sound before it and does not count). A word with one doubled stop or stop cluster (anlattı,
// bütçe) and no other stop should have exactly one.
struct ReleaseCount {
  std::string word;  // Windows-1254
  int releases = 0;
};
std::vector<ReleaseCount> CountReleases(const std::filesystem::path& voice,
                                        const std::vector<std::string>& words);

// The words that the join check counts releases in by default: a doubled stop or a stop and an
// affricate after a vowel, each word with no other stop.
std::vector<std::string> DoubledStopWords();

// Speaks text (Windows-1254) with the voice in file (16-bit) and measures its joins. Units that
// the voice lacks or that are empty are left out; a sentence pause is no join.
JoinReport CheckJoins(const std::filesystem::path& voice, std::string_view text);

std::string FormatJoinReport(const JoinReport& r);
std::string FormatTailReport(const TailReport& r);
std::string FormatReleases(const std::vector<ReleaseCount>& counts);

}  // namespace kalvor::voicegen
