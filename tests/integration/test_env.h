// Small things the end-to-end tests share: their settings from the environment, and
// reproducible file contents.
#pragma once

#include <cstdlib>
#include <random>
#include <string>

// A setting the test run passes in the environment, or "" when it is not set.
inline std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// `n` bytes that look random and are the same for the same seed.
inline std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen());
  return s;
}
