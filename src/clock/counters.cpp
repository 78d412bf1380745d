#include "clock/counters.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "io/env.h"
#include "io/output.h"
#include "platform/platform.h"

namespace kelmstrad {

// The shipped cost table: 32 keys (NNF and NNO are priced by the network).
const char DEFAULT_COST_JSON[] =
    "{\"GENT\": 0.0, \"GENT_PC\": 570.4482824325625, \"GENT_MV\": 571.5143955340916, "
    "\"GENQ\": 8061.499440516134, \"GENQ_PC\": 0.0, \"GENQ_MV\": 0.0, "
    "\"ATT\": 1349.4235670452192, \"MAKE\": 3517.878254179445, \"MAKE_CAP\": 0.0, "
    "\"MAKE_CHEAP\": 1632.8824401069178, \"UNMAKE\": 0.0, \"UNMAKE_CAP\": 0.0, \"EVAL\": 0.0, "
    "\"PICK\": 0.0, \"PICKSCAN\": 0.0, \"AB\": 0.0, \"QS\": 1124.440900480375, \"LEGAL\": 0.0, "
    "\"TTPROBE\": 0.0, \"TTSTORE\": 4729.495300997048, \"NULL\": 0.0, "
    "\"CUTUPD\": 5246.091596082752, \"ATT_PC\": 21.413241253931748, "
    "\"EVALX\": 6474.612291987138, \"KS\": 0.0, \"LMP\": 942.2642622022865, "
    "\"SEEF\": 91.12769504884427, \"SEEL\": 2613.463370293246, \"THR\": 2503.6694801163085, "
    "\"EGK\": 0.0, \"MHK\": 622.5017025770657, \"PHMISS\": 16360.305829926892}";

uint32_t op_counters[COST_KEY_COUNT];
int32_t op_costs[COST_KEY_COUNT];
uint32_t slcalls_count;
int32_t slcalls_cost;
int64_t virtual_units_per_second = VIRTUAL_UNITS_PER_SECOND;

uint32_t side_counters[SIDE_KEY_COUNT];

uint32_t attack_context;
uint32_t attack_bucket[ATTACK_CONTEXTS];

bool use_virtual_clock = true;
int64_t search_start_clock_ms;
std::atomic<int> abort_search{0};
bool timed_by_process_clock = false;  // chosen at every "go" by choose_search_clock

namespace {

constexpr int COST_TEXT_BYTES = 4096;

// The value after "\"key\":" anywhere in the text, truncated; 0 when absent.
int32_t find_cost(const char* text, const char* key) {
  char pattern[32];
  snprintf(pattern, sizeof(pattern), "\"%s\":", key);
  const char* at = strstr(text, pattern);
  if (at == nullptr) return 0;
  return truncate_cost(atof(at + strlen(pattern)));
}

// The rate after "\"UNITS_PER_SECOND\":", found as the costs are; the
// default when absent. The value must be whole digits ending the member: a
// fraction or an exponent would otherwise be read as its leading digits.
int64_t find_units_per_second(const char* text) {
  static const char pattern[] = "\"UNITS_PER_SECOND\":";
  const char* at = strstr(text, pattern);
  if (at == nullptr) return VIRTUAL_UNITS_PER_SECOND;
  const char* value = at + strlen(pattern);
  while (isspace(static_cast<unsigned char>(*value))) ++value;
  char* end = nullptr;
  errno = 0;
  const long long rate = strtoll(value, &end, 10);
  const bool whole =
      isdigit(static_cast<unsigned char>(value[*value == '-' || *value == '+'])) &&
      (*end == '\0' || *end == ',' || *end == '}' || isspace(static_cast<unsigned char>(*end)));
  if (whole && errno != ERANGE && rate >= 1 && rate <= MAX_UNITS_PER_SECOND) return rate;
  int shown = 0;  // the rejected text, up to the end of its member
  while (shown < 24 && value[shown] != '\0' && value[shown] != ',' && value[shown] != '}' &&
         value[shown] != '\n')
    ++shown;
  uci_print(
      "info string UNITS_PER_SECOND \"%.*s\" is not a whole number from 1 to %lld; the rate is "
      "%lld units per second\n",
      shown, value, static_cast<long long>(MAX_UNITS_PER_SECOND),
      static_cast<long long>(VIRTUAL_UNITS_PER_SECOND));
  return VIRTUAL_UNITS_PER_SECOND;
}

int32_t scaled(int32_t cost, double s) { return truncate_cost(cost * s); }

// Prices of the side counters, read once.
const long* side_prices() {
  static const auto prices = [] {
    std::array<long, SIDE_KEY_COUNT> read{};
    for (int k = 0; k < SIDE_KEY_COUNT; ++k)
      read[k] = env_long(SIDE_COUNTERS[k].price_switch, SIDE_COUNTERS[k].default_price);
    return read;
  }();
  return prices.data();
}

}  // namespace

// Truncates toward zero; values beyond the 32-bit range are held at its ends.
int32_t truncate_cost(double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int32_t>(value);
}

// Fills the cost table from a JSON text and the scaling variables.
void load_cost_table_from(const char* json, const char* vscale, const char* nnfcost,
                          const char* nnocost) {
  memset(op_costs, 0, sizeof(op_costs));
  slcalls_cost = 0;
  for (int k = 0; k < COST_FILE_KEYS; ++k) op_costs[k] = find_cost(json, COST_KEY_NAMES[k]);
  slcalls_cost = find_cost(json, "SLCALLS");
  if (slcalls_cost == 0) slcalls_cost = op_costs[SEEL];
  op_costs[NNF] = nnfcost ? static_cast<int32_t>(atol(nnfcost)) : 0;
  op_costs[NNO] = nnocost ? static_cast<int32_t>(atol(nnocost)) : 0;
  if (vscale != nullptr) {
    const double s = atof(vscale);
    for (int32_t& cost : op_costs) cost = scaled(cost, s);
    slcalls_cost = scaled(slcalls_cost, s);
  }
  virtual_units_per_second = find_units_per_second(json);
}

// Reads VCOSTFILE (at most 4095 bytes) or falls back to the built-in table.
void load_cost_table() {
  char text[COST_TEXT_BYTES];
  text[0] = '\0';
  const char* path = env_str("VCOSTFILE");
  FILE* f = path ? fopen(path, "r") : nullptr;
  if (f != nullptr) {
    const size_t n = fread(text, 1, COST_TEXT_BYTES - 1, f);
    text[n] = '\0';
    fclose(f);
  } else {
    snprintf(text, sizeof(text), "%s", DEFAULT_COST_JSON);
  }
  load_cost_table_from(text, env_str("VSCALE"), env_str("NNFCOST"), env_str("NNOCOST"));
}

void clear_search_counters() {
  memset(op_counters, 0, sizeof(op_counters));
  slcalls_count = 0;
  memset(side_counters, 0, sizeof(side_counters));
}

// Weighted sum of every counter of the current search, in cost units.
uint64_t total_cost() {
  uint64_t t = 0;
  for (int k = 0; k < COST_KEY_COUNT; ++k)
    t += static_cast<uint64_t>(static_cast<int64_t>(op_costs[k])) * op_counters[k];
  t += static_cast<uint64_t>(static_cast<int64_t>(slcalls_cost)) * slcalls_count;
  const long* price = side_prices();
  // The environment is read once per process, so the scale is kept: on the
  // virtual clock this sum is taken at every node, and a locked lookup there
  // cost as much as the node's own work.
  static const double s = env_real("VSCALE", 1.0);
  uint32_t mobility = 0;
  for (int k = 0; k < SIDE_KEY_COUNT; ++k) {
    switch (SIDE_COUNTERS[k].pricing) {
      case SidePricing::SCALED:
        t += cost_units(static_cast<double>(price[k]) * s * side_counters[k]);
        break;
      case SidePricing::MOBILITY:
        mobility += static_cast<uint32_t>(price[k]) * side_counters[k];
        break;
      case SidePricing::PLAIN:
        t += static_cast<uint64_t>(price[k]) * side_counters[k];
        break;
    }
  }
  t += cost_units(mobility * s);
  return t;
}

// The units as a 64-bit count: NaN 0, the ends held, negative ones wrapping.
uint64_t cost_units(double units) {
  if (!(units == units)) return 0;
  if (units >= 9223372036854775807.0) return static_cast<uint64_t>(INT64_MAX);
  if (units <= -9223372036854775808.0) return static_cast<uint64_t>(INT64_MIN);
  return static_cast<uint64_t>(static_cast<int64_t>(units));
}

// Whether any table cost, SLCALLS included, is above 0.
bool cost_table_can_advance() {
  for (int32_t cost : op_costs)
    if (cost > 0) return true;
  return slcalls_cost > 0;
}

// Sets timed_by_process_clock for the next search; the first time it is set, one line says why.
void choose_search_clock(bool timed) {
  static bool reported = false;
  timed_by_process_clock = use_virtual_clock && timed && !cost_table_can_advance();
  if (!timed_by_process_clock || reported) return;
  reported = true;
  uci_print(
      "info string no operation has a positive cost, so the virtual clock stands still; "
      "timed searches are timed by the process clock\n");
}

// Milliseconds used by the current search.
int32_t elapsed_ms() {
  if (use_virtual_clock && !timed_by_process_clock) {
    // In double precision: the 64-bit total times 1000 would overflow an
    // integer at fine rates (a picosecond unit counts 10^12 a second).
    const double ms =
        static_cast<double>(total_cost()) * 1000.0 / static_cast<double>(virtual_units_per_second);
    return ms >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(ms);
  }
  return static_cast<int32_t>(process_clock_ms() - search_start_clock_ms);
}

// KS prices the evaluation terms that the mask switches on.
void set_terms_cost(int terms) {
  int ks = (terms & 7) == 0 ? 1300 : 4134;
  if (terms & 0x18) ks += 4244;
  if (terms & 0x20) ks += 1165;
  op_costs[KS] = ks;
}

// The lean mode skips the table and the full evaluation.
void set_lean_costs() {
  op_costs[MAKE] =
      static_cast<int32_t>(std::max<int64_t>(int64_t{op_costs[MAKE]} - 600, INT32_MIN));
  op_costs[UNMAKE] =
      static_cast<int32_t>(std::max<int64_t>(int64_t{op_costs[UNMAKE]} - 200, INT32_MIN));
  op_costs[EVALX] = 0;
  op_costs[KS] = 1100;
  op_costs[TTPROBE] = 0;
  op_costs[TTSTORE] = 0;
}

void print_vsdump() {
  uci_print("vsdump");
  for (uint32_t counter : op_counters) uci_print(" %lu", static_cast<unsigned long>(counter));
  uci_print(" %lu\n", static_cast<unsigned long>(slcalls_count));
}

void print_cost_keys() {
  uci_print("costkeys vsdump");
  for (const char* name : COST_KEY_NAMES) uci_print(" %s", name);
  uci_print(" SLCALLS\ncostkeys network");
  for (int k = COST_FILE_KEYS; k < COST_KEY_COUNT; ++k) uci_print(" %s", COST_KEY_NAMES[k]);
  uci_print("\ncostkeys mobstat");
  for (const SideCounter& counter : SIDE_COUNTERS)
    if (counter.pricing == SidePricing::MOBILITY) uci_print(" %s", counter.price_switch);
  uci_print("\n");
}

}  // namespace kelmstrad
