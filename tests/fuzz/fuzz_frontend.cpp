// libFuzzer target: the whole text front end on arbitrary bytes (preparation, sentences, words,
// units, number reading), under AddressSanitizer and UndefinedBehaviorSanitizer.
#include <cstdio>
#include <cstdlib>

#include "FrontEndInvariants.h"

// An undefined behaviour report ends the run like a crash, so that the input is kept.
extern "C" const char* __ubsan_default_options() {
  return "halt_on_error=1:print_stacktrace=1";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  kalvor::fuzz::PickSeparators(data[0]);
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string failure = kalvor::fuzz::CheckFrontEnd(text);
  if (failure.empty()) failure = kalvor::fuzz::CheckReadNumber(text);
  if (!failure.empty()) {
    std::fprintf(stderr, "front end: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
