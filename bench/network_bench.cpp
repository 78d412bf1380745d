// Network forward passes per second on a fixed set of positions.
//   build/bench/network_bench NETWORK_FILE [PASSES]
// Make a width-128 file with: tools/make_network.py --random 1 net128.txt
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "board/fen.h"
#include "board/position.h"
#include "eval/network.h"
#include "uci/loop.h"

namespace {

constexpr const char* BENCH_FENS[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "4k3/8/8/8/8/8/4P3/4K3 b - - 0 1",
};
constexpr int DEFAULT_PASSES = 200000;

}  // namespace

int main(int argc, char** argv) {
  using namespace kelmstrad;
  if (argc < 2) {
    fprintf(stderr, "usage: network_bench NETWORK_FILE [PASSES]\n");
    return 2;
  }
  const int passes = argc > 2 ? atoi(argv[2]) : DEFAULT_PASSES;
  startup();
  load_network_file(argv[1]);
  static Position positions[6];
  for (int i = 0; i < 6; ++i) {
    parse_fen(BENCH_FENS[i]);
    positions[i] = position;
  }
  long long checksum = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < passes; ++i) checksum += network_output(network_weights, positions[i % 6]);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  printf("width %d, %d passes, checksum %lld: %.0f forward passes per second\n",
         network_weights.width, passes, checksum, passes / seconds);
  return 0;
}
