// Helpers of the front-end tests: texts are written in UTF-8 here and converted at the edge, as
// the command line does, and the stages are driven in the order of the speaking loop.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Cp1254.h"
#include "EngineHost.h"
#include "StrPlaySP.h"

namespace kalvor::test {

inline std::string Tr(std::string_view utf8) {
  return Utf8ToCp1254(utf8);
}
inline std::string Utf(std::string_view cp1254) {
  return Cp1254ToUtf8(cp1254);
}

// Every sentence of a text as "KIND<TAB>SENTENCE", KIND being . ? or !.
inline std::vector<std::string> SentencesOf(std::string_view utf8) {
  TStrPlayer p;
  p.BeginText(Tr(utf8));
  std::vector<std::string> out;
  while (p.NextSentence())
    out.push_back(std::string(1, ".?!"[p.SentenceKind()]) + "\t" + Utf(p.Sentence()));
  return out;
}

// The unit names of a text in speaking order, an empty string for the pause after each sentence:
// what the speaking loop hands to OnPlaySyl (no voice is needed to record the names).
inline std::vector<std::string> UnitsOf(std::string_view utf8) {
  TStrPlayer p;
  std::vector<std::string> out;
  p.SetOnPlaySyl(
      [&out](TStrPlayer&, TStr3 name, std::int32_t&) { out.push_back(Utf(name.View())); });
  p.Speak(Tr(utf8));
  return out;
}

// Sets the number separators for one test and puts the Turkish ones back afterwards.
class Separators {
 public:
  Separators(char thousands, char decimal) { host::SetNumberSeparators(thousands, decimal); }
  ~Separators() { host::SetNumberSeparators('.', ','); }
};

}  // namespace kalvor::test
