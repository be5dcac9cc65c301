#include "Cli.h"
namespace kalvor::cli {
int CmdVoice(Args) { throw CliError("voice: not built yet"); }
}  // namespace kalvor::cli
