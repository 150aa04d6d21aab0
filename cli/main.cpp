// orvio-cli: decodes M-Bus telegrams from the command line.
#include <iostream>
#include <string>
#include <vector>

#include "cli/decode_command.h"
#include "cli/jobs.h"  // the jobs against a gateway

int main(int argc, char** argv) {
  if (argc > 1 && orvio::cli::IsJob(argv[1])) return orvio::cli::RunJob(argc, argv);
  std::vector<std::string> args(argv + 1, argv + argc);
  return orvio::cli::RunCli(args, std::cin, std::cout, std::cerr);
}
