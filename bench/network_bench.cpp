// Network forward passes and evaluations per second on a fixed set of
// positions. The network is the file named by NNUE (in the mode NNRES/NNBLEND
// select), or, when NNUE is unset, a width-128 network of fixed pseudo-random
// weights in the ranges of "make_network.py --random", in network-only mode.
// BM_EvaluateHandMade is the same evaluate() with the network set aside.
// BM_NetworkForward sums the accumulators from scratch (network_output), as
// every evaluation did before make and unmake kept them; BM_NetworkKept is
// the output from the kept accumulators (network_forward); BM_MakeUnmake
// plays and takes back every legal move of a middlegame position, with the
// network's sums kept (argument 1) or no network (0): the difference is the
// price of keeping them.
//   tests/data/make_network.py --random 1 net128.txt
//   NNUE=net128.txt build/bench/network_bench
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "board/fen.h"
#include "board/legal.h"
#include "board/make.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/network.h"
#include "io/env.h"
#include "uci/loop.h"

namespace {

using kelmstrad::Position;

constexpr int BENCH_POSITIONS = 6;
constexpr const char* BENCH_FENS[BENCH_POSITIONS] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "4k3/8/8/8/8/8/4P3/4K3 b - - 0 1",
};

Position bench_positions[BENCH_POSITIONS];

// A value in lo..hi from a 32-bit xorshift state.
int draw(uint32_t* state, int lo, int hi) {
  uint32_t x = *state;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  *state = x;
  return lo + static_cast<int>(x % static_cast<uint32_t>(hi - lo + 1));
}

// Loads NNUE, or fills a width-128 network of fixed pseudo-random weights.
void prepare_network() {
  using namespace kelmstrad;
  network_first_use();
  if (network_enabled()) return;
  uint32_t state = 0x12345678u;
  network_weights.width = NETWORK_MAX_WIDTH;
  for (auto& row : network_weights.feature_weights)
    for (int16_t& w : row) w = static_cast<int16_t>(draw(&state, -8, 8));
  for (int16_t& b : network_weights.hidden_biases) b = static_cast<int16_t>(draw(&state, 0, 64));
  for (int8_t& w : network_weights.output_weights) w = static_cast<int8_t>(draw(&state, -127, 127));
  network_weights.output_bias = 0;
  network_install();
  network_state = NETWORK_LOADED;
  network_active = true;
  set_network_costs(NETWORK_MAX_WIDTH, nullptr, nullptr, nullptr);
}

void BM_NetworkForward(benchmark::State& state) {
  int64_t checksum = 0;
  int i = 0;
  for (auto _ : state) {
    checksum += kelmstrad::network_output(kelmstrad::network_weights, bench_positions[i]);
    i = i + 1 == BENCH_POSITIONS ? 0 : i + 1;
  }
  benchmark::DoNotOptimize(checksum);
  state.counters["width"] = kelmstrad::network_weights.width;
  state.counters["passes_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_NetworkForward);

void BM_NetworkKept(benchmark::State& state) {
  kelmstrad::parse_fen(BENCH_FENS[2]);
  int64_t checksum = 0;
  for (auto _ : state) {
    checksum += kelmstrad::network_forward();
    benchmark::ClobberMemory();  // the sums could change between evaluations
  }
  benchmark::DoNotOptimize(checksum);
  state.counters["passes_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_NetworkKept);

// Every legal move of the middlegame position made and unmade; the time per pair.
void BM_MakeUnmake(benchmark::State& state) {
  const bool saved = kelmstrad::network_active;
  kelmstrad::network_active = state.range(0) != 0;
  kelmstrad::parse_fen(BENCH_FENS[2]);
  const std::vector<kelmstrad::Move> moves = kelmstrad::legal_moves();
  size_t i = 0;
  for (auto _ : state) {
    kelmstrad::make_move(moves[i]);
    kelmstrad::unmake_move();
    i = i + 1 == moves.size() ? 0 : i + 1;
  }
  kelmstrad::network_active = saved;
  state.counters["moves"] = static_cast<double>(moves.size());
}

BENCHMARK(BM_MakeUnmake)->Arg(0)->Arg(1);

// evaluate() over and over on one of the positions (the benchmark argument).
void run_evaluate(benchmark::State& state, kelmstrad::NetworkState network) {
  const kelmstrad::NetworkState saved = kelmstrad::network_state;
  kelmstrad::network_state = network;
  kelmstrad::parse_fen(BENCH_FENS[state.range(0)]);
  int64_t checksum = 0;
  for (auto _ : state) checksum += kelmstrad::evaluate();
  benchmark::DoNotOptimize(checksum);
  kelmstrad::network_state = saved;
  state.counters["evals_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_EvaluateNetwork(benchmark::State& state) { run_evaluate(state, kelmstrad::NETWORK_LOADED); }
void BM_EvaluateHandMade(benchmark::State& state) { run_evaluate(state, kelmstrad::NETWORK_NONE); }

BENCHMARK(BM_EvaluateNetwork)->DenseRange(0, BENCH_POSITIONS - 1);
BENCHMARK(BM_EvaluateHandMade)->DenseRange(0, BENCH_POSITIONS - 1);

}  // namespace

int main(int argc, char** argv) {
  kelmstrad::startup();
  prepare_network();
  for (int i = 0; i < BENCH_POSITIONS; ++i) {
    kelmstrad::parse_fen(BENCH_FENS[i]);
    bench_positions[i] = kelmstrad::position;
  }
  kelmstrad::parse_fen(kelmstrad::START_FEN);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
