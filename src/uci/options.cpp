#include "uci/options.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "clock/counters.h"

namespace kelmstrad {

namespace {

bool is_true(const char* value) { return strcmp(value, "true") == 0; }

// atol/atoi of an option value, held within 32 bits as a 32-bit long holds it
// (a number beyond the range gives its end, never a wrapped value).
int32_t option_number(const char* value) {
  const long long v = strtoll(value, nullptr, 10);
  return static_cast<int32_t>(v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : v));
}

}  // namespace

// Sets the named option; only the exact text "true" counts as true.
void set_option(const char* name, const char* value) {
  if (strcmp(name, "VirtualClock") == 0) {
    use_virtual_clock = is_true(value);
  } else if (strcmp(name, "RealSpeed") == 0) {
    real_speed_option = is_true(value);
  } else if (strcmp(name, "EvalExtraT") == 0) {
    op_costs[EVALX] = option_number(value);
  } else if (strcmp(name, "EvalCost") == 0) {
    op_costs[KS] = option_number(value);
    op_costs[EVALX] = 0;
  } else if (strcmp(name, "Skeleton") == 0) {
    skeleton_mode = is_true(value);
  } else if (strcmp(name, "OwnBook") == 0) {
    own_book = is_true(value);
  } else if (strcmp(name, "NoTT") == 0) {
    no_tt = is_true(value);
  } else if (strcmp(name, "SEE") == 0) {
    see_enabled = is_true(value);
  } else if (strcmp(name, "SEECost") == 0) {
    slcalls_cost = option_number(value);
  } else if (strcmp(name, "CheapSEE") == 0) {
    cheap_see = option_number(value);
    if (cheap_see == 0) cheap_see = is_true(value);
  } else if (strcmp(name, "Terms") == 0) {
    terms_mask = option_number(value);
    set_terms_cost(terms_mask);
  } else if (strcmp(name, "Lean") == 0) {
    lean_mode = is_true(value);
    if (lean_mode) set_lean_costs();
  }
}

}  // namespace kelmstrad
