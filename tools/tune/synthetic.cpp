#include "synthetic.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "board/attack.h"
#include "board/fen.h"
#include "board/make.h"
#include "board/movegen.h"
#include "board/position.h"
#include "features.h"
#include "param_file.h"

namespace kelmstrad::tune {

namespace {

constexpr int FIRST_KEPT_PLY = 6;
constexpr int LONGEST_WALK = 160;

// The legal moves of the current position.
std::vector<Move> legal_moves() {
  const uint16_t mark = move_stack_len;
  generate_moves(true);
  generate_moves(false);
  std::vector<Move> legal;
  for (int i = mark; i < move_stack_len; ++i) {
    if (!make_move(move_stack[i])) continue;
    legal.push_back(move_stack[i]);
    unmake_move();
  }
  move_stack_len = mark;
  return legal;
}

bool side_to_move_in_check() {
  return square_attacked(position.slot_square[side_slot_base(position.side)],
                         position.side ^ BLACK);
}

}  // namespace

bool write_synthetic_data(const std::string& path, int count, uint64_t seed, double k,
                          std::string* error) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::string text = "# synthetic positions labelled by sigmoid(" + std::to_string(k) +
                     " * eval), seed " + std::to_string(seed) + "\n";
  int written = 0;
  while (written < count) {
    parse_fen(START_FEN);
    const int walk = FIRST_KEPT_PLY + static_cast<int>(random() % (LONGEST_WALK - FIRST_KEPT_PLY));
    for (int ply = 0; ply < walk; ++ply) {
      const std::vector<Move> legal = legal_moves();
      if (legal.empty()) break;
      make_move(legal[random() % legal.size()]);
    }
    if (side_to_move_in_check() || legal_moves().empty()) continue;
    // Set up again from the text, so no played move counts for the search-line term.
    const std::string fen = position_fen(1 + walk / 2);
    parse_fen(fen.c_str());
    float scale;
    const double p = 1.0 / (1.0 + std::exp(-k * exact_eval_white(&scale)));
    text += fen + (unit(random) < p ? " [1.0]\n" : " [0.0]\n");
    ++written;
  }
  return write_file_atomically(path, text, error);
}

}  // namespace kelmstrad::tune
