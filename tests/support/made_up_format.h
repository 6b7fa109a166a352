#pragma once

namespace corvix::testing {

// Adds the made-up format "names" to the table, once (made_up_format.cpp).
void AddMadeUpFormat();

}  // namespace corvix::testing
