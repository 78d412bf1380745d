#include "clock/counters.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "support.h"
#include "uci/commands.h"
#include "uci/options.h"

namespace kelmstrad {
namespace {

// Restores the shipped cost table and clears the counters after each test.
class CostTable : public testing::Test {
 protected:
  void TearDown() override {
    load_cost_table_from(DEFAULT_COST_JSON, nullptr, nullptr, nullptr);
    clear_search_counters();
    use_virtual_clock = true;
  }
};

TEST_F(CostTable, BuiltInTableIsTruncated) {
  load_cost_table_from(DEFAULT_COST_JSON, nullptr, nullptr, nullptr);
  const int32_t expected[COST_KEY_COUNT] = {
      0, 570, 571,  8061, 0,    0,  1349, 3517, 0,   1632, 0,    0,    0, 0,   0,     0, 1124,
      0, 0,   4729, 0,    5246, 21, 6474, 0,    942, 91,   2613, 2503, 0, 622, 16360, 0, 0};
  for (int k = 0; k < COST_KEY_COUNT; ++k) EXPECT_EQ(op_costs[k], expected[k]) << COST_KEY_NAMES[k];
  EXPECT_EQ(slcalls_cost, 2613);  // no SLCALLS key: the SEEL cost
  EXPECT_EQ(virtual_units_per_second, 3546900);
}

// A cost file may name its rate; a bad one is reported and the default used.
TEST_F(CostTable, UnitsPerSecondKey) {
  const auto load = [](const char* json) {
    return test::capture_output([json] { load_cost_table_from(json, "2", nullptr, nullptr); });
  };
  EXPECT_EQ(load("{\"MAKE\": 3, \"UNITS_PER_SECOND\":  1000000000000 }"), "");
  EXPECT_EQ(virtual_units_per_second, 1000000000000);  // VSCALE scales costs, not the rate
  EXPECT_EQ(op_costs[MAKE], 6);
  op_counters[MAKE] = 1000000000;  // 6 * 10^9 units: beyond 32 bits
  EXPECT_EQ(elapsed_ms(), 6);
  EXPECT_EQ(load("{\"UNITS_PER_SECOND\": 1000000000000000}"), "");
  EXPECT_EQ(virtual_units_per_second, 1000000000000000);
  for (const char* bad :
       {"0", "-5", "abc", "1.5", "1e12", "1000000000000001", "99999999999999999999", "\"7\"", ""}) {
    load_cost_table_from("{\"UNITS_PER_SECOND\": 9}", nullptr, nullptr, nullptr);
    const std::string json = std::string("{\"UNITS_PER_SECOND\": ") + bad + "}";
    EXPECT_EQ(load(json.c_str()), "info string UNITS_PER_SECOND \"" + std::string(bad) +
                                      "\" is not a whole number from 1 to 1000000000000000; the "
                                      "rate is 3546900 units per second\n");
    EXPECT_EQ(virtual_units_per_second, 3546900) << bad;
  }
  EXPECT_EQ(load("{\"MAKE\": 1}"), "");
  EXPECT_EQ(virtual_units_per_second, 3546900);
}

TEST_F(CostTable, DefaultJsonIsOneLineWithThirtyTwoKeys) {
  const std::string json = DEFAULT_COST_JSON;
  EXPECT_EQ(json.find('\n'), std::string::npos);
  EXPECT_EQ(json.front(), '{');
  EXPECT_EQ(json.back(), '}');
  size_t members = 0;
  for (size_t at = json.find("\": "); at != std::string::npos; at = json.find("\": ", at + 1))
    ++members;
  EXPECT_EQ(members, 32u);
  EXPECT_NE(json.find("{\"GENT\": 0.0, \"GENT_PC\": 570.4482824325625, "), std::string::npos);
  EXPECT_NE(json.find("\"PHMISS\": 16360.305829926892}"), std::string::npos);
  EXPECT_EQ(json.find("NNF"), std::string::npos);
}

TEST_F(CostTable, FileWithOneKeyReplacesTheWholeTable) {
  load_cost_table_from("{\"MAKE\": 99.9}", nullptr, nullptr, nullptr);
  for (int k = 0; k < COST_KEY_COUNT; ++k) EXPECT_EQ(op_costs[k], k == MAKE ? 99 : 0);
  EXPECT_EQ(slcalls_cost, 0);  // SEEL is 0 too
  // A blank before the colon hides the key; the search ignores JSON structure.
  load_cost_table_from("{\"MAKE\" : 5, \"x\": [\"ATT\": 7], \"SLCALLS\": 3}", nullptr, nullptr,
                       nullptr);
  EXPECT_EQ(op_costs[MAKE], 0);
  EXPECT_EQ(op_costs[ATT], 7);
  EXPECT_EQ(slcalls_cost, 3);
  load_cost_table_from("{\"SEEL\": 12, \"ATT\": oops}", nullptr, nullptr, nullptr);
  EXPECT_EQ(slcalls_cost, 12);
  EXPECT_EQ(op_costs[ATT], 0);
}

TEST_F(CostTable, ScalingAndNetworkCosts) {
  load_cost_table_from(DEFAULT_COST_JSON, "0.5", "1000", "77");
  EXPECT_EQ(op_costs[GENT_PC], 285);
  EXPECT_EQ(op_costs[GENT_MV], 285);  // 571 * 0.5 truncated
  EXPECT_EQ(op_costs[MAKE], 1758);
  EXPECT_EQ(op_costs[NNF], 500);
  EXPECT_EQ(op_costs[NNO], 38);
  EXPECT_EQ(slcalls_cost, 1306);
  load_cost_table_from(DEFAULT_COST_JSON, "abc", nullptr, nullptr);
  for (int k = 0; k < COST_KEY_COUNT; ++k) EXPECT_EQ(op_costs[k], 0);
  load_cost_table_from("{\"MAKE\": 1e30, \"ATT\": -1e30}", nullptr, nullptr, nullptr);
  EXPECT_EQ(op_costs[MAKE], 2147483647);
  EXPECT_EQ(op_costs[ATT], -2147483647 - 1);
}

TEST_F(CostTable, ElapsedMillisecondsOnTheVirtualClock) {
  memset(op_costs, 0, sizeof(op_costs));
  slcalls_cost = 0;
  clear_search_counters();
  op_costs[MAKE] = 1;
  op_counters[MAKE] = 3546900;
  EXPECT_EQ(total_cost(), 3546900u);
  EXPECT_EQ(elapsed_ms(), 1000);
  op_counters[MAKE] = 3546899;
  EXPECT_EQ(elapsed_ms(), 999);
  // Side counters at their shipped prices: 120 per mobility piece, 300 per
  // quiet gives-check test, unscaled.
  op_counters[MAKE] = 0;
  side_counters[MOB_PIECE_COUNT] = 2;
  side_counters[GCP_COUNT] = 3;
  EXPECT_EQ(total_cost(), 2u * 120 + 3u * 300);
  // Counters are unsigned and the product is 64-bit.
  clear_search_counters();
  op_costs[GENQ] = 8061;
  op_counters[GENQ] = 4000000000u;
  EXPECT_EQ(total_cost(), 8061ull * 4000000000ull);
}

TEST_F(CostTable, CostOptions) {
  set_option("Terms", "0");
  EXPECT_EQ(op_costs[KS], 1300);
  EXPECT_EQ(terms_mask, 0);
  set_option("Terms", "63");
  EXPECT_EQ(op_costs[KS], 9543);
  set_option("Terms", "8");
  EXPECT_EQ(op_costs[KS], 1300 + 4244);
  set_option("EvalCost", "777");
  EXPECT_EQ(op_costs[KS], 777);
  EXPECT_EQ(op_costs[EVALX], 0);
  set_option("EvalExtraT", "55");
  EXPECT_EQ(op_costs[EVALX], 55);
  set_option("SEECost", "9");
  EXPECT_EQ(slcalls_cost, 9);
  set_option("Lean", "true");
  EXPECT_EQ(op_costs[MAKE], 3517 - 600);
  EXPECT_EQ(op_costs[UNMAKE], -200);
  EXPECT_EQ(op_costs[KS], 1100);
  EXPECT_EQ(op_costs[EVALX], 0);
  EXPECT_EQ(op_costs[TTSTORE], 0);
  EXPECT_EQ(lean_mode, 1);
  set_option("Lean", "false");
  EXPECT_EQ(lean_mode, 0);
  EXPECT_EQ(op_costs[MAKE], 3517 - 600);  // false only clears the flag
  set_option("CheapSEE", "2");
  EXPECT_EQ(cheap_see, 2);
  set_option("CheapSEE", "true");
  EXPECT_EQ(cheap_see, 1);
  set_option("CheapSEE", "false");
  EXPECT_EQ(cheap_see, 0);
  set_option("VirtualClock", "TRUE");
  EXPECT_FALSE(use_virtual_clock);
  set_option("VirtualClock", "true");
  EXPECT_TRUE(use_virtual_clock);
  set_option("Terms", "63");
}

TEST_F(CostTable, VsdumpPrintsThirtyFiveNumbers) {
  clear_search_counters();
  op_counters[GENT] = 4;
  op_counters[NNO] = 7;
  slcalls_count = 9;
  const std::string text = test::capture_output([] { test::run_command(cmd_vsdump, ""); });
  std::string expected = "vsdump 4";
  for (int k = 1; k < 33; ++k) expected += " 0";
  EXPECT_EQ(text, expected + " 7 9\n");
}

// Side costs far outside any range enter the 64-bit total as the table's own
// negative costs do (wrapping), never through an undefined conversion.
TEST(CostUnits, TruncatesHoldsAndWraps) {
  EXPECT_EQ(cost_units(1234.9), 1234u);
  EXPECT_EQ(cost_units(-3.0), uint64_t{0} - 3);
  EXPECT_EQ(cost_units(0.0 / 0.0), 0u);
  EXPECT_EQ(cost_units(1e300), static_cast<uint64_t>(INT64_MAX));
  EXPECT_EQ(cost_units(-1e300), static_cast<uint64_t>(INT64_MIN));
}

TEST_F(CostTable, LeanStopsAtTheBottomOfTheRange) {
  load_cost_table_from("{\"MAKE\": -2147483648, \"UNMAKE\": -2147483500}", nullptr, nullptr,
                       nullptr);
  set_lean_costs();
  EXPECT_EQ(op_costs[MAKE], INT32_MIN);
  EXPECT_EQ(op_costs[UNMAKE], INT32_MIN);
}

TEST_F(CostTable, OptionNumbersAreHeldWithin32Bits) {
  set_option("EvalExtraT", "99999999999999999999");
  EXPECT_EQ(op_costs[EVALX], INT32_MAX);
  set_option("SEECost", "-99999999999999999999");
  EXPECT_EQ(slcalls_cost, INT32_MIN);
  set_option("EvalCost", "4294967296");
  EXPECT_EQ(op_costs[KS], INT32_MAX);
  set_option("Terms", "-99999999999999999999");
  EXPECT_EQ(terms_mask, INT32_MIN);
  set_option("CheapSEE", "99999999999999999999");
  EXPECT_EQ(cheap_see, INT32_MAX);
  set_option("CheapSEE", "0");
  set_option("Terms", "63");
}

// With every table cost at 0 (an empty VCOSTFILE, VSCALE 0) the virtual clock
// cannot move: a timed search is timed by the process clock and the first one
// says so; an untimed one keeps the virtual clock.
TEST_F(CostTable, AStandingVirtualClockTimesTimedSearchesByTheProcessClock) {
  load_cost_table_from("{}", nullptr, nullptr, nullptr);
  EXPECT_FALSE(cost_table_can_advance());
  choose_search_clock(false);
  EXPECT_FALSE(timed_by_process_clock);
  const std::string first = test::capture_output([] { choose_search_clock(true); });
  EXPECT_TRUE(timed_by_process_clock);
  EXPECT_EQ(first,
            "info string no operation has a positive cost, so the virtual clock stands still; "
            "timed searches are timed by the process clock\n");
  EXPECT_EQ(test::capture_output([] { choose_search_clock(true); }), "");
  EXPECT_TRUE(timed_by_process_clock);
  use_virtual_clock = false;  // the process clock anyway: nothing to replace
  choose_search_clock(true);
  EXPECT_FALSE(timed_by_process_clock);
  use_virtual_clock = true;
  load_cost_table_from("{\"SLCALLS\": 1}", nullptr, nullptr, nullptr);
  EXPECT_TRUE(cost_table_can_advance());
  load_cost_table_from(DEFAULT_COST_JSON, "-1", nullptr, nullptr);  // every cost negative
  EXPECT_FALSE(cost_table_can_advance());
  load_cost_table_from(DEFAULT_COST_JSON, nullptr, nullptr, nullptr);
  EXPECT_TRUE(cost_table_can_advance());
  choose_search_clock(true);
  EXPECT_FALSE(timed_by_process_clock);
}

}  // namespace
}  // namespace kelmstrad
