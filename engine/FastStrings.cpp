#include "FastStrings.h"

#include <cstring>

namespace kalvor {

std::int32_t PosFrom(std::string_view s, char ch, std::int32_t start) {
  if (start < 1) start = 1;
  if (s.empty() || static_cast<std::size_t>(start) > s.size()) return 0;
  const char* base = s.data();
  const void* hit = std::memchr(base + (start - 1), static_cast<unsigned char>(ch),
                                s.size() - static_cast<std::size_t>(start - 1));
  return hit ? static_cast<std::int32_t>(static_cast<const char*>(hit) - base) + 1 : 0;
}

std::string ReplaceAll(std::string_view s, std::string_view pattern, std::string_view replacement) {
  if (s.empty() || pattern.empty()) return std::string(s);
  std::size_t hit = s.find(pattern);
  // Most texts hold none of the signs: no need to build anything then.
  if (hit == std::string_view::npos) return std::string(s);

  // One reservation that fits the worst case when the text grows, the source length otherwise;
  // growing by half keeps the number of reallocations small if a guess falls short.
  std::size_t capacity = s.size();
  if (replacement.size() > pattern.size())
    capacity = s.size() / pattern.size() * replacement.size();
  std::string out;
  out.reserve(capacity);
  auto append = [&out](std::string_view piece) {
    if (out.size() + piece.size() > out.capacity()) {
      std::size_t grown = out.capacity() + out.capacity() / 2;
      out.reserve(grown > out.size() + piece.size() ? grown : out.size() + piece.size());
    }
    out.append(piece);
  };

  std::size_t from = 0;
  while (hit != std::string_view::npos) {
    append(s.substr(from, hit - from));
    append(replacement);
    from = hit + pattern.size();
    hit = s.find(pattern, from);
  }
  append(s.substr(from));
  out.shrink_to_fit();
  return out;
}

}  // namespace kalvor
