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

// Every option, with what setting it does. Ponder is accepted and changes
// nothing: the engine ponders whenever the GUI says "go ponder".
// clang-format off
const UciOption UCI_OPTIONS[] = {
  {"Ponder", OptionKind::CHECK, [](const char*) {}},
  {"OwnBook", OptionKind::CHECK, [](const char* v) { own_book = is_true(v); }},
  {"EvalExtraT", OptionKind::SPIN, [](const char* v) { op_costs[EVALX] = option_number(v); }},
  {"RealSpeed", OptionKind::CHECK, [](const char* v) { real_speed_option = is_true(v); }},
  {"VirtualClock", OptionKind::CHECK, [](const char* v) { use_virtual_clock = is_true(v); }},
  {"EvalCost", OptionKind::SPIN, [](const char* v) {
     op_costs[KS] = option_number(v);
     op_costs[EVALX] = 0;
   }},
  {"Skeleton", OptionKind::CHECK, [](const char* v) { skeleton_mode = is_true(v); }},
  {"NoTT", OptionKind::CHECK, [](const char* v) { no_tt = is_true(v); }},
  {"SEECost", OptionKind::SPIN, [](const char* v) { slcalls_cost = option_number(v); }},
  {"SEE", OptionKind::CHECK, [](const char* v) { see_enabled = is_true(v); }},
  {"Terms", OptionKind::SPIN, [](const char* v) {
     terms_mask = option_number(v);
     set_terms_cost(terms_mask);
   }},
  {"Lean", OptionKind::CHECK, [](const char* v) {
     lean_mode = is_true(v);
     if (lean_mode) set_lean_costs();
   }},
  {"CheapSEE", OptionKind::CHECK_OR_SPIN, [](const char* v) {
     cheap_see = option_number(v);
     if (cheap_see == 0) cheap_see = is_true(v);
   }},
};
// clang-format on

const UciOption* find_uci_option(const char* name) {
  for (const UciOption& option : UCI_OPTIONS)
    if (strcmp(name, option.name) == 0) return &option;
  return nullptr;
}

// Only the exact text "true" counts as true.
void set_option(const char* name, const char* value) {
  if (const UciOption* option = find_uci_option(name)) option->apply(value);
}

}  // namespace kelmstrad
