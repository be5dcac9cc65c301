// Search and replace on raw bytes, for the text front end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kalvor {

// Position (1-based) of the first ch at or after start, or 0.
std::int32_t PosFrom(std::string_view s, char ch, std::int32_t start);

// s with every occurrence of pattern replaced, left to right, without overlaps; the inserted text
// is not searched again.
std::string ReplaceAll(std::string_view s, std::string_view pattern, std::string_view replacement);

}  // namespace kalvor
