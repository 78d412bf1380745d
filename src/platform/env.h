// Environment switches: each variable is read once, on first use, and cached
// for the life of the process. Numbers follow atoi/atol/atof: text that is not
// a number reads as 0. Read them near their use through a named constant:
//   static const int rfp_margin = env_int("RFP", 0);
#pragma once

namespace kelmstrad {

// The cached value of a variable, nullptr when it was unset at first use.
const char* env_str(const char* name);

// True when the variable was set (to anything) at first use.
bool env_present(const char* name);

// atoi of the variable, or `fallback` when unset.
int env_int(const char* name, int fallback);

// atol of the variable, or `fallback` when unset.
long env_long(const char* name, long fallback);

// atof of the variable, or `fallback` when unset.
double env_real(const char* name, double fallback);

}  // namespace kelmstrad
