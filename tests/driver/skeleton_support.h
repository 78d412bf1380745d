// Helpers for the reduced-search tests: a clean start for every test (all
// switches off, tables and counters zeroed) and a few hand-chosen positions.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "board/board_support.h"
#include "board/fen.h"
#include "board/make.h"
#include "board/move.h"
#include "board/movegen.h"
#include "board/position.h"
#include "clock/counters.h"
#include "driver/skeleton.h"
#include "eval/reduced.h"

namespace kelmstrad::test {

// White: Kh1 Qd1. Black: Kh8, pawns d5 and e6. Qxd5 is answered by exd5.
inline constexpr const char* QUEEN_TAKES_DEFENDED_PAWN = "7k/8/4p3/3p4/8/8/8/3Q3K w - - 0 1";
// White Ka1 has only Kb1, after which Rh1 mates: White is mated in one.
inline constexpr const char* MATED_IN_ONE = "8/8/8/8/8/1k6/7r/K7 w - - 0 1";
// White is checkmated already.
inline constexpr const char* CHECKMATED = "8/8/8/8/8/1k6/8/K6r w - - 0 1";
// Black is stalemated.
inline constexpr const char* STALEMATED = "k7/2Q5/1K6/8/8/8/8/8 b - - 0 1";
// Qc8 mates and Qc7 stalemates.
inline constexpr const char* MATE_OR_STALEMATE = "k7/8/1K6/2Q5/8/8/8/8 w - - 0 1";
// White Re4 can take the queen on e7 or the pawn on a4.
inline constexpr const char* ROOK_TAKES_QUEEN_OR_PAWN = "7k/4q3/8/8/p3R3/8/8/7K w - - 0 1";
// Ra8 mates; no other move checks.
inline constexpr const char* BACK_RANK_MATE = "7k/6pp/8/8/8/8/8/R6K w - - 0 1";

// Sets a position with an empty move stack, no recapture square and no hint.
inline void set_skel_position(const char* fen) {
  parse_fen(fen);
  move_stack_len = 0;
  in_check_hint = 0;
  position.recapture_square = NO_SQUARE;
}

// Every test starts with the switches off, the configuration off and
// everything zeroed, and leaves the switches as it found them.
struct SkelFixtureState {
  SkelSwitches saved_switches = skel_switches;
  SkelConfig saved_config = skel_config;
  SkelFixtureState() {
    skel_switches = SKEL_SWITCHES_OFF;
    skel_config = SkelConfig{false, false, false, false, false};
    skel_tables_clear();
    memset(op_counters, 0, sizeof(op_counters));
    skel_nodes = 0;
  }
  ~SkelFixtureState() {
    skel_switches = saved_switches;
    skel_config = saved_config;
  }
};

// The generated move with this text in the current position, or 0.
inline Move skel_move(const char* text) { return move_of(text); }

// The lines of a text.
inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

}  // namespace kelmstrad::test
