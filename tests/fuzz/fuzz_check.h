// What every fuzz target does when its oracle breaks: says what broke, and stops there so that
// libFuzzer keeps the input.
#pragma once
#include <cstdio>
#include <cstdlib>

inline void Check(bool ok, const char *what) {
  if (ok) return;
  std::fprintf(stderr, "broken: %s\n", what);
  std::abort();
}
