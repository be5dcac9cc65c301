#include "Cli.h"
namespace kalvor::cli {
int CmdSay(Args) { throw CliError("say: not built yet"); }
}  // namespace kalvor::cli
