#include "UnitNames.h"

#include "Letters.h"

namespace kalvor::voicegen {

std::vector<std::string> AllUnitNames() {
  std::vector<std::string> names;
  auto add = [&](std::string s) { names.push_back(std::move(s)); };
  for (char c : kConsonants)
    for (char v : kVowels) add({c, v});
  for (char v1 : kVowels)
    for (char c : kConsonants)
      for (char v2 : kVowels) add({v1, c, v2});
  for (char v : kVowels)
    for (char c : kConsonants) add({'_', v, c});
  for (char v1 : kVowels)
    for (char v2 : kVowels) add({v1, v2});
  for (char v : kVowels) add({v, '1'});
  for (char c : kConsonants) add({c, '1'});
  for (char v : kVowels) add({v, '2'});
  for (char c : kConsonants) add({c, '2'});
  for (char c : kConsonants)
    for (char v : kVowels) add({'_', c, v});
  for (char v : kVowels) add({v, '3'});
  return names;
}

std::optional<UnitName> ParseUnitName(std::string_view name) {
  std::string s(name);
  for (char& c : s)
    if (c == '0') c = cp1254::kIDot;
  auto V = [](char c) { return IsVowelLetter(c); };
  auto C = [](char c) { return IsConsonantLetter(c); };
  auto L = [&](char c) { return V(c) || C(c); };
  if (s.size() == 2) {
    if (C(s[0]) && V(s[1])) return UnitName{UnitForm::CV, s};
    if (V(s[0]) && V(s[1])) return UnitName{UnitForm::VV, s};
    if (V(s[0]) && s[1] == '1') return UnitName{UnitForm::V1, s.substr(0, 1)};
    if (C(s[0]) && s[1] == '1') return UnitName{UnitForm::C1, s.substr(0, 1)};
    if (L(s[0]) && s[1] == '2') return UnitName{UnitForm::X2, s.substr(0, 1)};
    if (V(s[0]) && s[1] == '3') return UnitName{UnitForm::V3, s.substr(0, 1)};
  } else if (s.size() == 3) {
    if (V(s[0]) && C(s[1]) && V(s[2])) return UnitName{UnitForm::VCV, s};
    if (s[0] == '_' && V(s[1]) && C(s[2])) return UnitName{UnitForm::ClosedVC, s.substr(1)};
    if (s[0] == '_' && C(s[1]) && V(s[2])) return UnitName{UnitForm::FinalCV, s.substr(1)};
  }
  return std::nullopt;
}

}  // namespace kalvor::voicegen
