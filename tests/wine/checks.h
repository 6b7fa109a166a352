// A small check framework for the Windows test program (GoogleTest is not
// built for Windows here). Each failed check prints where and why; the
// program ends with the line "N passed, N failed" and exits non-zero when
// anything failed.
#pragma once

#include <cstdio>
#include <string>

namespace corvix::wine {

struct Tally {
  int passed = 0;
  int failed = 0;
};
Tally& Checks();

// Records one check; prints the failure with the section, file and line.
bool Check(bool ok, const char* what, const char* file, int line, const std::string& detail = {});

// Names the checks that follow in failure messages.
void Section(const std::string& name);

}  // namespace corvix::wine

#define CHECK(condition) ::corvix::wine::Check((condition), #condition, __FILE__, __LINE__)
// Evaluates each side once.
#define CHECK_EQ(actual, expected)                                                      \
  [&](const auto& checkActual, const auto& checkWanted) {                               \
    return ::corvix::wine::Check(checkActual == checkWanted, #actual " == " #expected,  \
                                 __FILE__, __LINE__,                                    \
                                 "got " + std::to_string(checkActual) + ", want " +     \
                                     std::to_string(checkWanted));                      \
  }((actual), (expected))
