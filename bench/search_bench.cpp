// Main-search speed in nodes per second: a fixed-depth search (iterative
// deepening from depth 1) of eight varied middlegame positions, each from
// empty tables. The searches charge the operation counters as in play.
#include <benchmark/benchmark.h>

#include "board/fen.h"
#include "board/position.h"
#include "clock/counters.h"
#include "clock/time_check.h"
#include "search/alpha_beta.h"
#include "search/ordering.h"
#include "search/tt.h"
#include "uci/loop.h"

namespace {

constexpr int BENCH_DEPTH = 7;

constexpr const char* MIDDLEGAMES[] = {
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ - 0 8",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "r2q1rk1/pp1nbppp/2p1pn2/3p4/2PP4/1QN1PN2/PP3PPP/R1B1KB1R w KQ - 0 9",
    "2rq1rk1/pb1nbppp/1p2pn2/2pp4/2PP4/1P2PN2/PB1NBPPP/2RQ1RK1 w - - 0 11",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "rnbq1rk1/ppp1ppbp/3p1np1/8/2PPP3/2N2N2/PP2BPPP/R1BQK2R b KQ - 1 6",
    "r1b2rk1/2q1bppp/p2p1n2/np2p3/3PP3/5N1P/PPBN1PPP/R1BQR1K1 w - - 0 12",
};

// Searches every position to BENCH_DEPTH and reports nodes per second of
// the host and of the virtual clock (nodes per virtual second of charged work).
void BM_SearchMiddlegames(benchmark::State& state) {
  uint64_t nodes = 0;
  uint64_t cost = 0;
  for (auto _ : state) {
    for (const char* fen : MIDDLEGAMES) {
      kelmstrad::tt_clear();
      kelmstrad::history_clear();
      kelmstrad::clear_correction_table();
      kelmstrad::parse_fen(fen);
      kelmstrad::search_fixed_depth(BENCH_DEPTH);
      nodes += kelmstrad::node_count;
      cost += kelmstrad::total_cost();
    }
  }
  state.counters["nodes"] = static_cast<double>(nodes);
  state.counters["nodes_per_second"] =
      benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kIsRate);
  state.counters["virtual_nodes_per_second"] = cost == 0 ? 0.0
                                                         : static_cast<double>(nodes) *
                                                               kelmstrad::VIRTUAL_UNITS_PER_SECOND /
                                                               static_cast<double>(cost);
}

BENCHMARK(BM_SearchMiddlegames)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  kelmstrad::startup();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
