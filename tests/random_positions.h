// Random material for the tests that compare a fast path with the direct
// one: a small deterministic generator, random placements (pawns on any rank)
// and random games.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/legal.h"
#include "board/make.h"
#include "board/position.h"

namespace kelmstrad::test {

// xorshift32.
struct Random {
  uint32_t state;
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
};

// The FEN placement field of 64 characters, a8 first (0 for an empty square).
inline std::string placement_of(const char board[64]) {
  std::string fen;
  for (int rank = 7; rank >= 0; --rank) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      const char c = board[rank * 8 + file];
      if (c == 0) {
        ++empty;
        continue;
      }
      if (empty > 0) fen += static_cast<char>('0' + empty);
      empty = 0;
      fen += c;
    }
    if (empty > 0) fen += static_cast<char>('0' + empty);
    if (rank > 0) fen += '/';
  }
  return fen;
}

// A random legal-looking placement: one king each, pawns anywhere.
inline std::string random_placement(Random* rng) {
  char board[64] = {};
  const char* others = "PPPPNBRRQpppppnbrrq";
  const int count = rng->below(24);
  for (int i = 0; i < count; ++i) board[rng->below(64)] = others[rng->below(19)];
  board[rng->below(64)] = 'K';
  int black_king = rng->below(64);
  while (board[black_king] == 'K') black_king = rng->below(64);
  board[black_king] = 'k';
  return placement_of(board) + " w - - 0 1";
}

// Plays up to `plies` random legal moves from the FEN, calling check() in
// every position reached (the first included).
template <typename Check>
void along_random_game(Random* rng, const char* fen, int plies, Check check) {
  parse_fen(fen);
  for (int ply = 0; ply < plies && position.history_top < HISTORY_CAPACITY - 1; ++ply) {
    check();
    const std::vector<Move> moves = legal_moves();
    if (moves.empty()) return;
    make_move(moves[rng->below(static_cast<int>(moves.size()))]);
  }
  check();
}

}  // namespace kelmstrad::test
