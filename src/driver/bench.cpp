#include "driver/bench.h"

#include <cstdlib>
#include <cstring>

#include "board/fen.h"
#include "board/position.h"
#include "clock/counters.h"
#include "clock/time_check.h"
#include "driver/limits.h"
#include "driver/think.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "io/output.h"
#include "platform/platform.h"
#include "search/alpha_beta.h"

namespace kelmstrad {

// Openings, middlegames, tactical positions and endgames, in this order.
const char* const BENCH_FENS[BENCH_POSITION_COUNT] = {
    // Openings.
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "rnbqkbnr/pp1ppppp/8/2p5/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2",
    "r1bqkbnr/pppp1ppp/2n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 3 3",
    "r1bqk1nr/pppp1ppp/2n5/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/2N5/PPP2PPP/R1BQKB1R b KQkq - 2 5",
    "rnbqk2r/ppp1ppbp/3p1np1/8/2PPP3/2N5/PP3PPP/R1BQKBNR w KQkq - 1 5",
    "rnbq1rk1/ppp1bppp/4pn2/3p2B1/2PP4/2N2N2/PP2PPPP/R2QKB1R w KQ - 4 6",
    "rnbqkbnr/ppp1pppp/8/3p4/3P4/8/PPP1PPPP/RNBQKBNR w KQkq d6 0 2",
    // Middlegames.
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "2rq1rk1/pp1bppbp/2np1np1/8/3NP3/1BN1BP2/PPPQ2PP/2KR3R b - - 8 11",
    "r1bqr1k1/pp1nbppp/2p2n2/3p2B1/3P4/2NBP3/PPQ1NPPP/R3K2R w KQ - 5 10",
    "r2q1rk1/pb1nbppp/1p2pn2/2pp4/2PP4/1P2PN2/PB1NBPPP/R2Q1RK1 w - - 0 10",
    "r1b2rk1/2q1bppp/p2ppn2/1p6/3BPP2/2N2B2/PPP3PP/R2Q1R1K w - - 2 14",
    "r1bq1rk1/1pp2pbp/p1np1np1/4p3/2PPP3/2N1BP2/PP1QN1PP/R3KB1R w KQ - 0 9",
    "2r2rk1/1bqnbppp/p2ppn2/1p6/3NP3/1BN1BP2/PPPQ2PP/1K1R3R w - - 4 13",
    // Tactical positions.
    "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - 0 1",
    "r1bq2rk/pp3pbp/2p1p1pQ/7P/3P4/2PB1N2/PP3PP1/R3KR2 w Q - 0 1",
    "5k2/6pp/p1qN4/1p1p4/3P4/2PKP2Q/PP3r2/3R4 b - - 0 1",
    "rnbqkb1r/pppp1ppp/8/4P3/6n1/7P/PPPNPPP1/R1BQKBNR b KQkq - 0 1",
    "r4q1k/p2bR1rp/2p2Q1N/5p2/5p2/2P5/PP3PPP/R5K1 w - - 0 1",
    "3q1rk1/p4pp1/2pb3p/3p4/6Pr/1PNQ4/P1PB1PP1/4RRK1 b - - 0 1",
    "2br2k1/2q3rn/p2NppQ1/2p1P3/Pp5R/4P3/1P3PPP/3R2K1 w - - 0 1",
    "r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq - 0 1",
    "6k1/5p1p/6p1/8/8/1q6/5PPP/3R2K1 w - - 0 1",
    "r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 10",
    // Endgames.
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1",
    "1K1k4/1P6/8/8/8/8/r7/2R5 w - - 0 1",
    "8/5pk1/6p1/7p/7P/6P1/5PK1/8 w - - 0 1",
    "8/k7/3p4/p2P1p2/P2P1P2/8/8/K7 w - - 0 1",
    "4r1k1/p4ppp/8/2P5/8/1P6/P4PPP/3R2K1 w - - 0 1",
    "8/8/8/4k3/8/8/8/3QK3 w - - 0 1",
    "8/8/2k5/5q2/5n2/8/5K2/8 b - - 0 1",
    "6k1/6p1/6K1/8/8/8/8/4R3 w - - 0 1",
    "8/3b4/8/5k2/8/2B5/3PK3/8 w - - 0 1",
    "4k3/4p3/8/8/8/8/3N4/4K2B w - - 0 1",
    "8/1p4pk/p6p/3P4/1P3K2/P5PP/8/8 w - - 0 1",
};

namespace {

// What the bench changes and gives back: the position, the limits and pacing
// of the next "go", and the root bonuses the position's scores were built with.
struct BenchSaved {
  Position position;
  SearchLimits limits;
  int real_time_mode;
  int16_t root_terms[16][64];
};

// Too large for the stack of a short-lived thread: kept here.
BenchSaved bench_saved;

// Searches one position as "ucinewgame", "position fen F" and "go depth D"
// would in a fresh process, without the book; returns its nodes and adds the
// search's total_cost() (its counters cleared at its start) to *cost. The pawn
// hash and the iteration memory, which "ucinewgame" keeps, are cleared too, so
// that the charges of each position do not depend on what came before.
uint32_t bench_position(const char* fen, int depth, uint64_t* cost) {
  new_game();
  pawn_hash_sim_clear();
  previous_iteration_best = 0;
  parse_fen(fen);
  move_stack_len = 0;
  prepare_root();
  search_fixed_depth(depth);
  *cost += total_cost();
  return node_count;
}

}  // namespace

// Runs the whole list at `depth` and prints the per-position and summary lines.
uint64_t run_bench(int depth) {
  bench_saved.position = position;
  bench_saved.limits = search_limits;
  bench_saved.real_time_mode = real_time_mode.load(std::memory_order_relaxed);
  memcpy(bench_saved.root_terms, root_terms, sizeof(root_terms));
  search_limits = depth_only_limits(depth);
  stop_flag.store(0, std::memory_order_relaxed);
  pondering.store(0, std::memory_order_relaxed);
  ponderhit.store(0, std::memory_order_relaxed);
  infinite.store(0, std::memory_order_relaxed);
  real_time_mode.store(0, std::memory_order_relaxed);
  const uint64_t start = tick_ms();
  uint64_t total = 0;
  uint64_t cost = 0;
  for (int i = 0; i < BENCH_POSITION_COUNT; ++i) {
    const uint32_t nodes = bench_position(BENCH_FENS[i], depth, &cost);
    total += nodes;
    uci_print("info string bench %d/%d nodes %lu\n", i + 1, BENCH_POSITION_COUNT,
              static_cast<unsigned long>(nodes));
  }
  const uint64_t ms = tick_ms() - start;
  new_game();
  memcpy(root_terms, bench_saved.root_terms, sizeof(root_terms));
  fill_piece_square_scores();
  position = bench_saved.position;
  move_stack_len = 0;
  search_limits = bench_saved.limits;
  real_time_mode.store(bench_saved.real_time_mode, std::memory_order_relaxed);
  const uint64_t nps = total * 1000 / (ms == 0 ? 1 : ms);
  // The node count does not see a change in what is charged; the cost does.
  uci_print("cost %llu\n", static_cast<unsigned long long>(cost));
  uci_print("%llu nodes %llu nps\n", static_cast<unsigned long long>(total),
            static_cast<unsigned long long>(nps));
  return total;
}

}  // namespace kelmstrad
