// orvio-cli: decodes M-Bus telegrams from the command line.
#include <iostream>
#include <string>
#include <vector>

#include "cli/decode_command.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return orvio::cli::RunCli(args, std::cin, std::cout, std::cerr);
}
