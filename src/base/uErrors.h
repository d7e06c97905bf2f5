#pragma once
// Failures carry the program's French message (Windows-1252); the application shows it.
#include <stdexcept>
#include <string>

class ETavelinError : public std::runtime_error {
public:
  explicit ETavelinError(const std::string &message) : std::runtime_error(message) {}
};

// printf-style formatting of one %s, as the program's messages need it.
std::string FormatMessage1(const char *pattern, const std::string &arg);
