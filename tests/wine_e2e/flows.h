// The user flows of the end-to-end driver, by name.
#pragma once

#include "remote_ui.h"

namespace corvix::e2e {

struct Flow {
  const char* name;
  void (*run)(const Paths& paths);
};

const Flow* FindFlow(const char* name);

// The resources of the program file that the code finds by id.
void RunResourceChecks(const std::string& programPath);

}  // namespace corvix::e2e
