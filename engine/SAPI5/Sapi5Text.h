// How the SAPI 5 engine cuts its text before speaking it: into sentences, each spoken by
// one Speak of the synthesizer, and the words of each sentence with the number of letters the
// front end makes of them, so that word boundary events can be placed on the unit that starts a
// word.
//
// A sentence ends after "." (not after a digit: 3.5 and "3." stay in their sentence), "!", "?" and
// at a line break. The synthesizer cuts its sentences at every such place as well, so speaking the
// pieces one by one gives exactly the samples of speaking the whole fragment at once.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "StrPlaySP.h"

namespace kalvor {

struct TSapi5Word {
  ULONG Pos = 0;             // in the application's text (the fragment's source offset included)
  ULONG Len = 0;             // UTF-16 code units
  std::int32_t Letters = 0;  // letters the front end speaks for this word alone
};

struct TSapi5Sentence {
  ULONG Pos = 0;
  ULONG Len = 0;
  std::string Text;  // engine text (Windows-1254) of the piece
  std::vector<TSapi5Word> Words;
};

// The sentences of a text, in order; pieces without any word are left out. source holds the place
// of each code unit of text in the application's text (a run of fragments need not be contiguous
// there). With spell, each letter or digit is a sentence of its own, to be spoken as a one-letter
// word. scratch is a synthesizer used for its front end only (no voice needed).
std::vector<TSapi5Sentence> CutText(const std::wstring& text, const std::vector<ULONG>& source,
                                    bool spell, TStrPlayer& scratch);

// The letters the front end speaks for a text, counted as the speaking loop advances through its
// words (what the engine counts again while speaking).
std::int32_t SpokenLetters(TStrPlayer& scratch, std::string_view text);

// The synthesizer's rate for a SAPI 5 rate: rate 0 is Hiz 100, every step multiplies the rate by
// the tenth root of 2, so +10 doubles it (Hiz 200, the top of the SAPI 4 pitch range) and -10
// halves it (Hiz 50). Rates beyond -10..10 are taken as the nearest end.
std::int32_t HizForRate(long rate);

// Scales 16-bit samples in place by volume percent (0..100; 100 leaves them as they are).
void ScaleSamples(std::uint8_t* bytes, std::size_t size, unsigned volume);

}  // namespace kalvor
