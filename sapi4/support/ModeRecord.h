// A voice mode record in the two forms SAPI 4 has: wide, and ANSI in the system ANSI code page
// (the A client's own). Fields are converted up to their terminator or capacity and always end in
// one; what does not fit is cut.
#pragma once

#include "Speech.h"

namespace sapi4 {

void AnsiToWideField(const CHAR* text, int textCapacity, WCHAR* field, int capacity);
void WideToAnsiField(const WCHAR* text, int textCapacity, CHAR* field, int capacity);

TTSMODEINFOA ModeInfoToAnsi(const TTSMODEINFOW& w);
TTSMODEINFOW ModeInfoToWide(const TTSMODEINFOA& a);

}  // namespace sapi4
