#include "cli/Commands.h"

namespace tarnwell::cli {

int RunCommand(const std::string&, const std::string&, Options&) { return kUnknownCommand; }

const char* ExtraUsage() { return ""; }

}  // namespace tarnwell::cli
