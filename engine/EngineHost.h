// What the portable engine core needs from the program that hosts it. The host sets these once,
// before the first text is spoken: the DLL from its own module path and the regional settings, the
// command line from its options.
#pragma once

#include <filesystem>

namespace kalvor::host {

// Directory in which bare speech data file names are looked up (the engine module's directory).
void SetModuleDirectory(const std::filesystem::path& dir);
const std::filesystem::path& ModuleDirectory();

// Number reading separators. Defaults: the Turkish full stop and comma.
void SetNumberSeparators(char thousands, char decimal);
char ThousandsSeparator();
char DecimalSeparator();

}  // namespace kalvor::host
