#include "EngineText.h"

#include "Framework.h"

namespace kalvor {

std::string WideToEngineText(const WCHAR* text, std::size_t length) {
  if (length == 0) return {};
  const int n = static_cast<int>(length);
  BOOL usedDefault = FALSE;
  int size = WideCharToMultiByte(kEngineCodePage, WC_NO_BEST_FIT_CHARS, text, n, nullptr, 0, " ",
                                 &usedDefault);
  if (size <= 0) throw Exception("The text cannot be converted to Windows-1254");
  std::string out(static_cast<std::size_t>(size), '\0');
  size = WideCharToMultiByte(kEngineCodePage, WC_NO_BEST_FIT_CHARS, text, n, out.data(), size, " ",
                             &usedDefault);
  if (size <= 0) throw Exception("The text cannot be converted to Windows-1254");
  out.resize(static_cast<std::size_t>(size));
  return out;
}

}  // namespace kalvor
