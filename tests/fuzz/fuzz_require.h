// The fuzz targets' one assertion: a broken invariant aborts, so libFuzzer keeps the input.
#pragma once

#include <cstdlib>

namespace {
inline void Require(bool condition) {
  if (!condition) std::abort();
}
}  // namespace
