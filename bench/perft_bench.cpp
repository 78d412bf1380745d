// Perft speed in leaves per second: start position depth 6 and kiwipete
// depth 5. Perft charges the operation counters like any make; that is part
// of what is measured.
#include <benchmark/benchmark.h>

#include "board/fen.h"
#include "board/perft.h"
#include "board/position.h"
#include "uci/loop.h"

namespace {

constexpr const char* KIWIPETE =
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// Runs perft of the given depth from a FEN and reports leaves per second.
void run_perft(benchmark::State& state, const char* fen, int depth) {
  uint64_t leaves = 0;
  for (auto _ : state) {
    kelmstrad::parse_fen(fen);
    kelmstrad::move_stack_len = 0;
    leaves += kelmstrad::perft(depth);
  }
  state.counters["leaves"] = static_cast<double>(leaves);
  state.counters["leaves_per_second"] =
      benchmark::Counter(static_cast<double>(leaves), benchmark::Counter::kIsRate);
}

void BM_PerftStartDepth6(benchmark::State& state) { run_perft(state, kelmstrad::START_FEN, 6); }
void BM_PerftKiwipeteDepth5(benchmark::State& state) { run_perft(state, KIWIPETE, 5); }

BENCHMARK(BM_PerftStartDepth6)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PerftKiwipeteDepth5)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  kelmstrad::startup();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
