// Commands of the command line beyond "check"; each lives in its own file.
#pragma once

#include <map>
#include <string>

namespace tarnwell::cli {

using Options = std::map<std::string, std::string>;
constexpr int kUnknownCommand = -1;

// Runs the named command; returns its exit status or kUnknownCommand.
int RunCommand(const std::string& command, const std::string& workspace, Options& options);
// Usage lines of those commands.
const char* ExtraUsage();

}  // namespace tarnwell::cli
