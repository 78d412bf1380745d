// A clean search state for the quiescence and main-search tests: fresh
// tables and counters before each test, and the switches and options put
// back after it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "board/fen.h"
#include "board/move.h"
#include "board/position.h"
#include "clock/counters.h"
#include "clock/time_check.h"
#include "driver/think.h"
#include "search/alpha_beta.h"
#include "search/guards.h"
#include "search/ordering.h"
#include "search/quiesce.h"
#include "search/switches.h"
#include "search/tt.h"
#include "uci/loop.h"
#include "uci/options.h"

namespace kelmstrad::test {

class SearchTest : public testing::Test {
 protected:
  void SetUp() override {
    ensure_search_switches();
    saved_switches_ = search_switches;
    saved_options_[0] = skeleton_mode;
    saved_options_[1] = see_enabled;
    saved_options_[2] = cheap_see;
    saved_options_[3] = no_tt;
    saved_options_[4] = lean_mode;
    saved_guards_[0] = ply_limit;
    saved_guards_[1] = stack_move_limit;
    saved_guards_[2] = stack_budget;
    stop_flag.store(0);
    tt_clear();
    history_clear();
    ordering_new_search();
    clear_correction_table();
    fresh_counters();
    move_stack_len = 0;
    root_best_move = 0;
  }

  void TearDown() override {
    search_switches = saved_switches_;
    if (search_switches.lmrlog != 0) build_lmr_table(search_switches.lmrlog);
    skeleton_mode = saved_options_[0];
    see_enabled = saved_options_[1];
    cheap_see = saved_options_[2];
    no_tt = saved_options_[3];
    lean_mode = saved_options_[4];
    ply_limit = saved_guards_[0];
    stack_move_limit = saved_guards_[1];
    stack_budget = saved_guards_[2];
    qs_in_check = -1;
    qs_evasion = 0;
    child_in_check = -1;
    qs_root_ply = 0;
    move_stack_len = 0;
    parse_fen(START_FEN);
  }

  // Zeroes the node count, every counter and the one-shot cells.
  void fresh_counters() {
    node_count = 0;
    clear_search_counters();
    memset(attack_bucket, 0, sizeof(attack_bucket));
    qs_see_tested = 0;
    qs_see_pruned = 0;
    abort_search.store(0);
    qs_in_check = -1;
    qs_evasion = 0;
    child_in_check = -1;
  }

  // Sets a position and clears the counters.
  void set(const char* fen) {
    parse_fen(fen);
    fresh_counters();
  }

  // The generated move with this text in the current position.
  Move move(const char* text) {
    const Move m = parse_move_text(text);
    EXPECT_NE(m, 0) << text;
    return m;
  }

  uint32_t count(CostKey key) const { return op_counters[key]; }

 private:
  SearchSwitches saved_switches_;
  int saved_options_[5];
  int saved_guards_[3];
};

}  // namespace kelmstrad::test
