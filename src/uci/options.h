// "setoption": parses an option pair into the values of io/options.h.
#pragma once

#include "io/options.h"

namespace kelmstrad {

// The kind of value an option takes: check (true or false), spin (a whole
// number), or either.
enum class OptionKind { CHECK, SPIN, CHECK_OR_SPIN };

struct UciOption {
  const char* name;
  OptionKind kind;
  void (*apply)(const char* value);  // sets the option from the value's text
};

// The option of that exact name, or nullptr when the engine has none.
const UciOption* find_uci_option(const char* name);

// Applies one "setoption" pair; unknown names are ignored.
void set_option(const char* name, const char* value);

}  // namespace kelmstrad
