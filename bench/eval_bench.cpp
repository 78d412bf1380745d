// Evaluations per second of `evaluate` over a fixed set of varied positions
// (middlegames, endgames, a pawn race, a mop-up), each evaluated in turn.
#include <benchmark/benchmark.h>

#include "board/fen.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "uci/loop.h"

namespace {

const char* const POSITIONS[] = {
    kelmstrad::START_FEN,
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "2kr3r/pp1n1ppp/2p1bn2/8/2PP4/2N2N2/PP3PPP/R1B1R1K1 b - - 3 14",
    "rnbq1rk1/pppp1ppp/5n2/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 w - - 6 5",
    "4k3/4p3/8/8/8/8/4P3/R3K2r w - - 60 40",
    "7k/8/8/P7/8/8/8/4K3 w - - 0 1",
    "8/8/8/4k3/8/8/8/Q3K3 b - - 0 1",
    "r2q1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2Q1RK1 w - - 0 9",
    "6k1/5ppp/8/8/8/5PK1/5P1P/8 b - - 0 1",
};
constexpr int POSITION_COUNT = sizeof(POSITIONS) / sizeof(POSITIONS[0]);
constexpr int EVALS_PER_POSITION = 10000;

// Evaluates every position of the set EVALS_PER_POSITION times per iteration.
void BM_Evaluate(benchmark::State& state) {
  int64_t evaluations = 0;
  int checksum = 0;
  for (auto _ : state) {
    for (const char* fen : POSITIONS) {
      kelmstrad::parse_fen(fen);
      for (int i = 0; i < EVALS_PER_POSITION; ++i) checksum += kelmstrad::evaluate();
    }
    evaluations += static_cast<int64_t>(POSITION_COUNT) * EVALS_PER_POSITION;
  }
  benchmark::DoNotOptimize(checksum);
  state.counters["evals_per_second"] =
      benchmark::Counter(static_cast<double>(evaluations), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_Evaluate)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  kelmstrad::startup();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
