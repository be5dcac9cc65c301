// Carriers: the short utterance in which the voice builder has espeak-ng speak each unit, and the
// two points of that utterance between which the unit is cut.
//
// Units join in the middle of vowels (CV ends where VCV, VV, _VC and _CV begin), so every vowel
// of a unit is spoken unstressed in the same frame and cut at its middle; consonants are spoken
// whole. The carrier's frame letters (T, A, K) only touch the halves that are thrown away.
#pragma once

#include <string>
#include <vector>

#include "UnitNames.h"

namespace kalvor::voicegen {

enum class PointKind {
  ConsonantStart,  // the start of a consonant, with the closure silence of a stop
  VowelStart,      // the onset of a vowel
  VowelMiddle,     // the middle of a vowel, on the start of a pitch period
  LetterEnd,       // the end of a letter's sound (a lengthened vowel for a silent Ğ), before
                   // the silence of whatever follows it in the carrier
  ClosureEnd,      // the end of a stop's closure, where its release would begin
  SoundStart,      // the first sound of the utterance
  SoundEnd,        // the natural end of the utterance
};

struct CutPoint {
  PointKind kind;
  int letter = -1;  // index in Carrier::letters; unused for SoundStart and SoundEnd
};

struct Carrier {
  // Phoneme input: the carrier's letters (Windows-1254) and the espeak-ng phonemes of each.
  std::string letters;
  std::vector<std::vector<std::string>> phonemes;
  int stressed = -1;  // the letter whose vowel carries the word stress
  // Text input instead (one-letter words): the UTF-8 text that espeak-ng reads with its own rules.
  std::string text;
  CutPoint start, end;

  bool IsText() const { return !text.empty(); }
  // The phoneme string for espeak-ng (without the "[[ ]]").
  std::string PhonemeString() const;
  // How many phonemes the carrier holds, and which letter each belongs to.
  std::vector<int> PhonemeLetters() const;
};

// The carrier of a unit.
Carrier MakeCarrier(const UnitName& unit);

// The espeak-ng phonemes of every letter of a word, by the Turkish pronunciation of espeak-ng's
// voice: G and L palatal beside front vowels, R a tap between vowels, Ğ lengthening a back vowel
// and a glide after a front one, X as /ks/.
std::vector<std::vector<std::string>> PhonemesOf(const std::string& letters);

// The letter as lower-case UTF-8 text (Turkish rules: I -> ı, İ -> i).
std::string LowerLetterUtf8(char letter);

}  // namespace kalvor::voicegen
