// Steps a text through the whole front end in the speaking order (through the player's test seam,
// to see the state between the steps), and checks on the way
// what must hold for any input bytes: every loop ends, the cursors stay inside their strings and
// only move forward, accents are folded, numbers are gone from spoken sentences, and every unit
// name is one to three letters with its markers. Shared by the fuzz target and by the test that
// replays its corpus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "EngineHost.h"
#include "StrPlaySP.h"
#include "StrPlaySP_Stages.h"
#include "StrPlaySP_Text.h"

namespace kalvor::fuzz {

// The first byte picks the number separators, so that the unusual ones are walked as well.
inline void PickSeparators(unsigned char b) {
  static constexpr char kPairs[][2] = {{'.', ','}, {',', '.'}, {' ', ','}, {'\'', '.'}, {'x', '1'}};
  const auto& p = kPairs[b % (sizeof kPairs / sizeof kPairs[0])];
  host::SetNumberSeparators(p[0], p[1]);
}

inline bool IsLetter(char c) {
  return IsLetterOrDigit(c) && !IsDigit(c);
}

// A unit name: letters, optionally a leading "_" or a trailing "1", "2" or "3".
inline bool IsUnitName(std::string_view n) {
  if (n.empty() || n.size() > 3) return false;
  std::size_t b = 0, e = n.size();
  if (n[0] == '_')
    ++b;
  else if (n[e - 1] >= '1' && n[e - 1] <= '3')
    --e;
  if (b == e) return false;
  for (std::size_t i = b; i < e; ++i)
    if (!IsLetter(n[i])) return false;
  return true;
}

// Returns an empty string when everything held, else what went wrong.
inline std::string CheckFrontEnd(std::string_view text) {
  TStrPlayer p;
  p.BeginText(text);
  const std::int64_t textLen = static_cast<std::int64_t>(p.Text().size());
  for (char c : p.Text()) {
    if (UpCaseTr(c) != c) return "text not upper case after preparation";
    if (c == '\'' || c == 'W' || c == 'Q') return "apostrophe, W or Q left in the prepared text";
    if (FoldAccent(c) != c) return "accented letter left in the prepared text";
  }
  std::int64_t sentences = 0, lastTextPos = 0;
  while (p.NextSentence()) {
    if (++sentences > textLen) return "more sentences than characters";
    if (p.TextPos() <= lastTextPos || p.TextPos() > textLen + 1) return "text cursor out of place";
    lastTextPos = p.TextPos();
    if (p.SentenceKind() > 2) return "bad sentence kind";
    for (char c : p.Sentence())
      if (IsDigit(c)) return "digit left in a spoken sentence";

    const std::int64_t sentenceLen = static_cast<std::int64_t>(p.Sentence().size());
    std::int64_t words = 0;
    TStrPlayerStages::BeginSentence(p);
    if (p.SentenceKind() == 1 && p.SentencePos() != 0) return "question search did not rewind";
    std::int64_t lastSentencePos = 0;
    while (p.NextWord()) {
      if (++words > sentenceLen) return "more words than characters";
      // A short last word looks for a partner beyond the end, one place past it.
      if (p.SentencePos() <= lastSentencePos || p.SentencePos() > sentenceLen + 2)
        return "sentence cursor out of place";
      lastSentencePos = p.SentencePos();
      if (p.Word().empty()) return "empty word";
      for (char c : p.Word())
        if (!IsLetter(c)) return "word holds something other than letters";

      const std::int64_t wordLen = static_cast<std::int64_t>(p.Word().size());
      std::int64_t steps = 0, lastWordPos = 0;
      while (p.NextUnit()) {
        if (++steps > wordLen) return "more unit steps than letters";
        if (p.WordPos() <= lastWordPos || p.WordPos() > wordLen) return "word cursor out of place";
        lastWordPos = p.WordPos();
        if (!IsUnitName(p.Unit1().View())) return "bad first unit name";
        if (!p.Unit2().Empty() && (!IsUnitName(p.Unit2().View()) || p.WordPos() != wordLen))
          return "bad second unit name";
      }
      if (p.WordPos() != wordLen) return "unit steps stopped inside the word";
    }
    if (p.QuestionWord() < -1 || p.QuestionWord() >= (words > 0 ? words : 1))
      return "question mark on a word that does not exist";
  }
  return {};
}

// Number reading on its own: whatever the bytes, no digit may be left in the words.
inline std::string CheckReadNumber(std::string_view s) {
  for (char c : ReadNumber(s))
    if (IsDigit(c)) return "digit left by ReadNumber";
  return {};
}

}  // namespace kalvor::fuzz
