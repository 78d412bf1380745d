#include "harness.h"

#include <cstdio>
#include <cstring>

#include "board/fen.h"
#include "board/make.h"
#include "board/move.h"
#include "board/movegen.h"
#include "board/position.h"
#include "clock/counters.h"
#include "driver/limits.h"
#include "driver/think.h"
#include "io/env.h"
#include "io/output.h"
#include "uci/loop.h"
#include "uci/options.h"

namespace kelmstrad::fuzz {

namespace {

bool started = false;
int32_t startup_costs[COST_KEY_COUNT];  // the cost table as start-up left it
int32_t startup_slcalls_cost = 0;
SearchLimits startup_limits{};

// The option values of a fresh process.
constexpr const char* DEFAULT_OPTIONS[][2] = {
    {"VirtualClock", "true"}, {"RealSpeed", "false"}, {"Skeleton", "false"},
    {"OwnBook", "true"},      {"NoTT", "false"},      {"SEE", "true"},
    {"CheapSEE", "0"},        {"Terms", "63"},        {"Lean", "false"},
};

}  // namespace

// Start-up, then a snapshot of what the options may change.
void start_engine_once() {
  if (started) return;
  started = true;
  startup();
  // KELMSTRAD_FUZZ_OUTPUT shows the engine's replies when replaying an input.
  if (!env_present("KELMSTRAD_FUZZ_OUTPUT")) {
    FILE* null_sink = fopen("/dev/null", "w");
    if (null_sink != nullptr) set_output_sink(null_sink);
  }
  memcpy(startup_costs, op_costs, sizeof(op_costs));
  startup_slcalls_cost = slcalls_cost;
  startup_limits = search_limits;
}

// Back to the state of a fresh process (the environment apart).
void reset_engine() {
  stop_flag.store(1, std::memory_order_relaxed);
  join_search_thread();
  stop_flag.store(0, std::memory_order_relaxed);
  searching.store(0, std::memory_order_relaxed);
  infinite.store(0, std::memory_order_relaxed);
  pondering.store(0, std::memory_order_relaxed);
  ponderhit.store(0, std::memory_order_relaxed);
  for (const auto& option : DEFAULT_OPTIONS) set_option(option[0], option[1]);
  memcpy(op_costs, startup_costs, sizeof(op_costs));
  slcalls_cost = startup_slcalls_cost;
  search_limits = startup_limits;
  move_stack_len = 0;
  position.recapture_square = NO_SQUARE;
  parse_fen(START_FEN);
  process_line("ucinewgame");
}

// The same moves as text.
std::vector<std::string> legal_move_texts() {
  std::vector<std::string> texts;
  for (Move move : legal_moves()) texts.emplace_back(move_to_text(move));
  return texts;
}

}  // namespace kelmstrad::fuzz
