// corvix-mkdisc DESCRIPTION.json IMAGE
//
// Writes the Akai S1000 disc image that a JSON description asks for. The
// build uses it for the demo disc; tests and the benchmark use the library.
#include <cstdio>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "akai_disc_builder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: corvix-mkdisc DESCRIPTION.json IMAGE\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::fprintf(stderr, "corvix-mkdisc: cannot open %s\n", argv[1]);
    return 1;
  }
  nlohmann::json description = nlohmann::json::parse(in, nullptr, false);
  if (description.is_discarded()) {
    std::fprintf(stderr, "corvix-mkdisc: %s is not valid JSON\n", argv[1]);
    return 1;
  }
  std::string error;
  auto discSpec = corvix::discbuilder::ParseDiscDescription(description, &error);
  if (!discSpec || !corvix::discbuilder::WriteDiscImage(*discSpec, argv[2], &error)) {
    std::fprintf(stderr, "corvix-mkdisc: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
