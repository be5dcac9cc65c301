// Every unit name that the front end can produce for the Turkish alphabet, built from the unit
// forms, and the form of a given name.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalvor::voicegen {

// The unit forms. C stands for a consonant, V for a vowel, X for any letter.
enum class UnitForm {
  CV,        // consonant and the vowel after it, at a word start or after a consonant
  VCV,       // a consonant between two vowels, from vowel middle to vowel middle
  ClosedVC,  // "_VC": the second half of a vowel and the consonant that closes its syllable
  VV,        // a vowel after a vowel
  V1,        // a vowel at a word start
  C1,        // a consonant neither after nor before a vowel
  X2,        // a word of one letter
  FinalCV,   // "_CV": the second half of a word's last vowel, after its last consonant
  V3,        // the second half of the last vowel of a word without a consonant
};

struct UnitName {
  UnitForm form;
  std::string letters;  // the letters of the unit, without the marker
};

// All names, in a fixed order (form by form), as Windows-1254 text with the dotted capital I as
// code 221, exactly as the front end names them.
std::vector<std::string> AllUnitNames();

// The form and letters of a name as the front end writes it (code 221 or "0" for the dotted
// capital I); nothing when the front end never produces that name.
std::optional<UnitName> ParseUnitName(std::string_view name);

}  // namespace kalvor::voicegen
