// The command line: tarnwell <command> [--workspace W] [options].
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "app/Check.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "cli/Commands.h"
#include "model/Errors.h"

namespace {

const char* kUsage =
    "usage: tarnwell <command> [options]\n"
    "commands:\n"
    "  check  --workspace W          load every input of a run and report it\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::cout << kUsage << tarnwell::cli::ExtraUsage();
    return argc < 2 ? 1 : 0;
  }
  std::string command = argv[1];
  tarnwell::cli::Options options;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("--", 0) != 0) {
      std::cerr << "tarnwell: unexpected argument \"" << a << "\"\n";
      return 1;
    }
    std::string key = a.substr(2), value;
    std::size_t eq = key.find('=');
    if (eq != std::string::npos) {
      value = key.substr(eq + 1);
      key = key.substr(0, eq);
    } else if (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0) {
      value = argv[++i];
    }
    options[key] = value;
  }
  std::string workspace = options.count("workspace") ? options["workspace"] : ".";
  try {
    if (command == "check") {
      tarnwell::Session session(workspace);
      tarnwell::FormCreate(session);
      tarnwell::RunCheck(session, std::cout);
      return 0;
    }
    int rc = tarnwell::cli::RunCommand(command, workspace, options);
    if (rc == tarnwell::cli::kUnknownCommand) {
      std::cerr << "tarnwell: unknown command \"" << command << "\"\n" << kUsage;
      return 1;
    }
    return rc;
  } catch (const tarnwell::TarnwellError& e) {
    std::cerr << "tarnwell: " << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "tarnwell: " << e.what() << "\n";
    return 1;
  }
}
