// "setoption": parses an option pair into the values of io/options.h.
#pragma once

#include "io/options.h"

namespace kelmstrad {

// Applies one "setoption" pair; unknown names are ignored.
void set_option(const char* name, const char* value);

}  // namespace kelmstrad
