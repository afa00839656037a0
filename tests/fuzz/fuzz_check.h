// What every fuzz target does when an invariant breaks: say which, and stop the run so the
// input is kept.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace zeva {

inline void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken invariant: %s\n", what);
    std::abort();
  }
}

}  // namespace zeva
