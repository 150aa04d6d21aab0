// The jobs against a gateway need the request engine (Qt); a build without it (the fuzzing
// build) has orvio-cli decode only.
#include "cli/jobs.h"

namespace orvio::cli {

bool IsJob(const std::string&) { return false; }

int RunJob(int, char**) { return kJobUnusable; }

}  // namespace orvio::cli
