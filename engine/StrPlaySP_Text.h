// Character classes, Turkish upper-casing and number reading of the text front end, on
// Windows-1254 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kalvor {

bool IsDigit(char c);
bool IsLetterOrDigit(char c);
bool IsVowel(char c);
bool IsConsonant(char c);
bool IsPunctuation(char c);
bool IsDecimalMark(char c);

// The character at 1-based position i of s, or 0 beyond its end (and for i < 1).
char CharAt(std::string_view s, std::int32_t i);

char UpCaseTr(char c);
std::string UpperCaseTr(std::string_view s);
// An accented letter that is not in the Turkish alphabet as its base letter (â -> a, Î -> İ,
// é -> e); every other byte unchanged.
char FoldAccent(char c);
// The text as Speak stores it: accents folded, then upper-cased by the Turkish rules.
std::string FoldUpperCaseTr(std::string_view s);

// Number reading, under the host's thousands and decimal separators.
std::string ReadNumber(std::string_view s);
std::string RemoveChar(std::string_view s, char c);
std::string PadLeft(std::string_view s, std::size_t length, char fill);

}  // namespace kalvor
