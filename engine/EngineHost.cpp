#include "EngineHost.h"

namespace kalvor::host {
namespace {
std::filesystem::path g_moduleDir;
char g_thousands = '.';
char g_decimal = ',';
}  // namespace

void SetModuleDirectory(const std::filesystem::path& dir) { g_moduleDir = dir; }
const std::filesystem::path& ModuleDirectory() { return g_moduleDir; }

void SetNumberSeparators(char thousands, char decimal) {
  g_thousands = thousands;
  g_decimal = decimal;
}
char ThousandsSeparator() { return g_thousands; }
char DecimalSeparator() { return g_decimal; }

}  // namespace kalvor::host
