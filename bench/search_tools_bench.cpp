// Speed of the search tools on kiwipete: one full exchange evaluation per
// capture, one threat test per quiet move, a whole node's worth of move
// picking, and a table store followed by a probe. The operation counters are
// charged as in a search; that is part of what is measured.
#include <benchmark/benchmark.h>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/position.h"
#include "search/ordering.h"
#include "search/see.h"
#include "search/tt.h"
#include "uci/loop.h"

namespace {

using namespace kelmstrad;

constexpr const char* KIWIPETE =
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// Sets kiwipete with its tactical moves, then its quiet moves, on the stack;
// returns the end of the tactical moves.
int kiwipete_moves() {
  parse_fen(KIWIPETE);
  move_stack_len = 0;
  generate_moves(true);
  const int captures = move_stack_len;
  generate_moves(false);
  return captures;
}

void BM_SeeFullPerCapture(benchmark::State& state) {
  const int captures = kiwipete_moves();
  int64_t calls = 0;
  for (auto _ : state) {
    for (int i = 0; i < captures; ++i) benchmark::DoNotOptimize(see_full(move_stack[i]));
    calls += captures;
  }
  state.counters["calls_per_second"] =
      benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kIsRate);
}

void BM_ThreatPerQuietMove(benchmark::State& state) {
  const int captures = kiwipete_moves();
  const int end = move_stack_len;
  int64_t calls = 0;
  for (auto _ : state) {
    for (int i = captures; i < end; ++i) benchmark::DoNotOptimize(creates_threat(move_stack[i]));
    calls += end - captures;
  }
  state.counters["calls_per_second"] =
      benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kIsRate);
}

void BM_PickerWholeNode(benchmark::State& state) {
  kiwipete_moves();
  move_stack_len = 0;
  for (auto _ : state) {
    MovePicker picker;
    picker_init(picker, 0, 2);
    while (const Move m = picker_next(picker)) benchmark::DoNotOptimize(m);
    move_stack_len = 0;
  }
}

void BM_TableStoreAndProbe(benchmark::State& state) {
  parse_fen(KIWIPETE);
  int score = 0;
  Move hash_move = 0;
  for (auto _ : state) {
    tt_store_main(5, score & 255, BOUND_EXACT, 0, 3);
    benchmark::DoNotOptimize(tt_probe_main(5, 0, 1, 3, &hash_move, &score));
  }
}

BENCHMARK(BM_SeeFullPerCapture);
BENCHMARK(BM_ThreatPerQuietMove);
BENCHMARK(BM_PickerWholeNode);
BENCHMARK(BM_TableStoreAndProbe);

}  // namespace

int main(int argc, char** argv) {
  kelmstrad::startup();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
