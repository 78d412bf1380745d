// The bench: its positions are sound, its count repeats, it gives back the
// position and the limits it found, and it refuses depths it cannot search.
#include "driver/bench.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <regex>
#include <set>
#include <string>

#include "board/attack.h"
#include "board/fen.h"
#include "board/make.h"
#include "board/movegen.h"
#include "driver/limits.h"
#include "driver/think.h"
#include "eval/params.h"
#include "support.h"
#include "uci/commands.h"
#include "uci/loop.h"

namespace kelmstrad::test {
namespace {

// The number of legal moves of the current position.
int legal_move_count() {
  const uint16_t mark = move_stack_len;
  generate_moves(true);
  generate_moves(false);
  int legal = 0;
  for (int i = mark; i < move_stack_len; ++i) {
    if (!make_move(move_stack[i])) continue;
    ++legal;
    unmake_move();
  }
  move_stack_len = mark;
  return legal;
}

TEST(Bench, FortyDistinctPlayablePositions) {
  std::set<std::string> seen;
  for (const char* fen : BENCH_FENS) {
    seen.insert(fen);
    parse_fen(fen);
    move_stack_len = 0;
    EXPECT_TRUE(position_is_ok()) << fen;
    ASSERT_NE(position.slot_square[0], NO_SQUARE) << fen;
    ASSERT_NE(position.slot_square[16], NO_SQUARE) << fen;
    int pieces = 0;
    for (int sq = 0; sq < 128; ++sq) pieces += on_board(sq) && position.board[sq] != 0;
    int slots = 0;
    for (uint8_t sq : position.slot_square) slots += sq != NO_SQUARE;
    EXPECT_EQ(pieces, slots) << fen;
    const Side waiting = position.side ^ BLACK;
    EXPECT_FALSE(square_attacked(position.slot_square[side_slot_base(waiting)], position.side))
        << fen;
    EXPECT_GT(legal_move_count(), 0) << fen;  // no mated or stalemated position
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(BENCH_POSITION_COUNT));
  parse_fen(START_FEN);
}

TEST(Bench, TwoRunsCountTheSameNodes) {
  parse_fen(START_FEN);
  uint64_t first = 0;
  uint64_t second = 0;
  const std::string out1 = capture_output([&] { first = run_bench(3); });
  const std::string out2 = capture_output([&] { second = run_bench(3); });
  EXPECT_GT(first, 0u);
  EXPECT_EQ(first, second);
  // The per-position lines agree too; only the speed may differ.
  EXPECT_EQ(out1.substr(0, out1.rfind("info string bench 40/40")),
            out2.substr(0, out2.rfind("info string bench 40/40")));
}

TEST(Bench, PrintsALinePerPositionAndTheSummaryLast) {
  uint64_t total = 0;
  const std::string out = capture_output([&] { total = run_bench(1); });
  const std::regex line_form("info string bench (\\d+)/40 nodes (\\d+)");
  size_t start = 0;
  uint64_t sum = 0;
  for (int i = 1; i <= BENCH_POSITION_COUNT; ++i) {
    const size_t end = out.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    std::smatch m;
    const std::string line = out.substr(start, end - start);
    ASSERT_TRUE(std::regex_match(line, m, line_form)) << line;
    EXPECT_EQ(std::stoi(m[1]), i);
    sum += std::stoull(m[2]);
    start = end + 1;
  }
  const size_t cost_end = out.find('\n', start);
  ASSERT_NE(cost_end, std::string::npos);
  const std::string cost_line = out.substr(start, cost_end - start);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(cost_line, m, std::regex("cost ([1-9]\\d*)"))) << cost_line;
  const std::string last = out.substr(cost_end + 1);
  ASSERT_TRUE(std::regex_match(last, m, std::regex("(\\d+) nodes (\\d+) nps\n"))) << last;
  EXPECT_EQ(std::stoull(m[1]), sum);
  EXPECT_EQ(std::stoull(m[1]), total);
}

TEST(Bench, GivesBackPositionLimitsAndRootTerms) {
  parse_fen(START_FEN);
  ASSERT_TRUE(make_move(0x3414));  // e2e4
  const SearchLimits limits{100, 300, 5000, 12, 7, 40, 90};
  search_limits = limits;
  real_time_mode.store(1, std::memory_order_relaxed);
  root_terms[KNIGHT][square64(0x15)] = 11;
  fill_piece_square_scores();
  auto before = std::make_unique<Position>(position);
  int16_t terms[16][64];
  memcpy(terms, root_terms, sizeof(terms));
  capture_output([] { run_bench(2); });
  EXPECT_EQ(memcmp(before.get(), &position, sizeof(Position)), 0);
  EXPECT_EQ(memcmp(terms, root_terms, sizeof(terms)), 0);
  EXPECT_EQ(memcmp(&limits, &search_limits, sizeof(limits)), 0);
  EXPECT_EQ(real_time_mode.load(std::memory_order_relaxed), 1);
  EXPECT_TRUE(position_is_ok());
  real_time_mode.store(0, std::memory_order_relaxed);
  search_limits = depth_only_limits(MAX_SEARCH_DEPTH);
  memset(root_terms, 0, sizeof(root_terms));
  fill_piece_square_scores();
  parse_fen(START_FEN);
}

TEST(Bench, RefusesDepthsItCannotSearch) {
  parse_fen(START_FEN);
  const uint32_t hash = position.hash;
  for (const char* arg : {"0", "-3", "64", "x", "1000000000000"}) {
    const std::string out = capture_output([&] { run_command(cmd_bench, arg); });
    EXPECT_EQ(out, "info string bench depth must be 1 to 63\n") << arg;
  }
  EXPECT_EQ(position.hash, hash);
}

TEST(Bench, CommandTakesItsDepth) {
  const std::string out = capture_output([] { run_command(cmd_bench, "1"); });
  uint64_t total = 0;
  capture_output([&] { total = run_bench(1); });
  EXPECT_NE(out.find("\n" + std::to_string(total) + " nodes "), std::string::npos) << out;
}

}  // namespace
}  // namespace kelmstrad::test
