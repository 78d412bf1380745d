// Environment switches: each variable is read once, on first use, and cached
// for the life of the process. Numbers follow atoi/atol/atof: text that is not
// a number reads as 0, and an integer too large for its type is held at the
// type's end (as strtol holds it). Read them near their use through a named
// constant:
//   static const int rfp_margin = env_int("RFP", 0);
// A switch whose value would push a sum or a product past 32 bits is read
// with env_int_within, which holds it inside a range and says so once.
#pragma once

namespace kelmstrad {

// Score margins and weights read from the environment are held within
// +-ENV_WEIGHT_LIMIT: far beyond every score (+-32000), so a larger value acts
// no differently, and small enough that a few hundred of them summed, or one
// times a depth, stays inside 32 bits.
constexpr int ENV_WEIGHT_LIMIT = 1000000;

// The cached value of a variable, nullptr when it was unset at first use.
const char* env_str(const char* name);

// True when the variable was set (to anything) at first use.
bool env_present(const char* name);

// atoi of the variable (held within the int range), or `fallback` when unset.
int env_int(const char* name, int fallback);

// env_int held within [low, high]; a value outside is replaced by the nearer
// end, and the first read of that variable prints one "info string" line.
int env_int_within(const char* name, int fallback, int low, int high);

// atol of the variable, or `fallback` when unset.
long env_long(const char* name, long fallback);

// atof of the variable, or `fallback` when unset.
double env_real(const char* name, double fallback);

// The largest power of two not above `requested`, held within low..high
// (both powers of two): the size of a table that a mask indexes.
constexpr long long power_of_two_within(long long requested, long long low, long long high) {
  if (requested >= high) return high;
  long long size = low;
  while (size * 2 <= requested) size *= 2;
  return size;
}

// A table size from the environment: `fallback` when unset, else the
// variable (read as env_int reads it, in 64 bits) brought within low..high by
// power_of_two_within. A value that had to be changed is reported in one
// "info string" line: "NAME TEXT is not a power of two from LOW to HIGH,
// using SIZE".
long long env_power_of_two(const char* name, long long fallback, long long low, long long high);

}  // namespace kelmstrad
