// The test seam of TStrPlayer. Tests of one stepping operation set the text state it works on (a
// prepared word, sentence or text, the cursors), and the front end's invariant checker walks the
// speaking order step by step to look at the state between the steps. Everything else reads the
// player through its accessors and lists units by speaking with a recording OnPlaySyl.
#pragma once

#include <cstdint>
#include <string>

#include "StrPlaySP.h"

namespace kalvor {

struct TStrPlayerStages {
  static std::string& Text(TStrPlayer& p) { return p.FText; }
  static std::string& Sentence(TStrPlayer& p) { return p.FSentence; }
  static std::string& Word(TStrPlayer& p) { return p.FWord; }
  static std::int32_t& TextPos(TStrPlayer& p) { return p.FTextPos; }
  static std::int32_t& SentencePos(TStrPlayer& p) { return p.FSentencePos; }
  static std::int32_t& WordPos(TStrPlayer& p) { return p.FWordPos; }
  static std::int32_t& QuestionWord(TStrPlayer& p) { return p.FQuestionWord; }
  static char& PrevChar(TStrPlayer& p) { return p.FPrevChar; }

  // The step the speaking loop takes after NextSentence: the question word found.
  static void BeginSentence(TStrPlayer& p) { p.BeginSentence(); }

  // The driver's state, for tests that pause a running Speak.
  static std::uint8_t State(const TStrPlayer& p) { return p.FState; }
  static void Pause(TStrPlayer& p) { p.FPaused = true; }
};

}  // namespace kalvor
