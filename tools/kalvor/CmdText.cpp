#include "Cli.h"
namespace kalvor::cli {
int CmdSentences(Args) { throw CliError("sentences: not built yet"); }
int CmdUnits(Args) { throw CliError("units: not built yet"); }
}  // namespace kalvor::cli
