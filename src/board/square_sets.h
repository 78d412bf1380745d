// Squares as 64-square sets (bit rank * 8 + file, as in Position::piece_bits):
// the targets of a knight, a king and a pawn's captures from each square, the
// squares along each ray, and the sets of a side's pieces. They let a scan
// skip what cannot matter (a piece with no target, a ray with nothing on it)
// and find the nearest piece on a ray without walking it.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "board/position.h"

namespace kelmstrad {

struct SquareSets {
  uint64_t knight[64];           // a knight's targets, by its 64-square index
  uint64_t king[64];             // a king's one-step targets
  uint64_t pawn_capture[2][64];  // [White, Black] pawn capture targets
  uint64_t ray[64][8];           // the squares along king_dirs[i], the square itself excluded
  int16_t ray_end[64][8];        // the first 0x88 square past the board along king_dirs[i]
  uint64_t straight[64];         // the squares on a rank or file through the square
  uint64_t diagonal[64];         // the squares on a diagonal through the square
};

// The 0x88 offsets in king_dirs and knight_dirs order (board/attack.h).
inline constexpr int SET_STEPS[8] = {1, -1, 16, -16, 15, 17, -15, -17};
inline constexpr int SET_JUMPS[8] = {33, 31, 18, 14, -14, -18, -31, -33};

constexpr SquareSets make_square_sets() {
  SquareSets m{};
  for (int index = 0; index < 64; ++index) {
    const int s = square_of_index(index);
    for (int i = 0; i < 8; ++i) {
      const int j = s + SET_JUMPS[i];
      if ((j & 0x88) == 0) m.knight[index] |= square_bit(j);
      const int k = s + SET_STEPS[i];
      if ((k & 0x88) == 0) m.king[index] |= square_bit(k);
      int t = s + SET_STEPS[i];
      for (; (t & 0x88) == 0; t += SET_STEPS[i]) m.ray[index][i] |= square_bit(t);
      m.ray_end[index][i] = static_cast<int16_t>(t);
      (i < 4 ? m.straight : m.diagonal)[index] |= m.ray[index][i];
    }
    for (int side = 0; side < 2; ++side) {
      const int ahead = side == 0 ? 16 : -16;
      for (const int target : {s + ahead - 1, s + ahead + 1})
        if (target >= 0 && (target & 0x88) == 0) m.pawn_capture[side][index] |= square_bit(target);
    }
  }
  return m;
}

inline constexpr SquareSets SQUARE_SETS = make_square_sets();

// The 64-square index of the nearest square of a non-empty set on a ray with
// the 0x88 step `step`: the lowest index for a rising step, else the highest
// (63 ^ the leading zeros: the same as 63 minus them, but the compiler then
// keeps the bit scan's own result instead of undoing its xor with 63).
inline int nearest_on_ray(uint64_t set, int step) {
  return step > 0 ? __builtin_ctzll(set) : 63 ^ __builtin_clzll(set);
}

// The number of squares in a set, one step per square: cheaper than a full
// population count (no such instruction on a plain x86-64) for the few
// pieces of a kind.
inline int count_squares(uint64_t set) {
  int count = 0;
  for (; set != 0; set &= set - 1) ++count;
  return count;
}

// The number of squares in a set of any size. A set that may hold a dozen
// squares or more (a slider's reach) is counted in a fixed handful of
// operations: the processor's population count where the build targets one,
// else sums of bit pairs, nibbles and bytes (the library call is slower).
inline int count_wide_set(uint64_t set) {
#ifdef __POPCNT__
  return __builtin_popcountll(set);
#else
  set -= (set >> 1) & 0x5555555555555555ULL;
  set = (set & 0x3333333333333333ULL) + ((set >> 2) & 0x3333333333333333ULL);
  set = (set + (set >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<int>((set * 0x0101010101010101ULL) >> 56);
#endif
}

// The squares of side s's pieces (a FEN's second king included).
inline uint64_t side_squares(Side s) { return position.piece_bits[s]; }

inline constexpr uint64_t FILE_A_SQUARES = 0x0101010101010101ULL;
inline constexpr uint64_t FILE_H_SQUARES = 0x8080808080808080ULL;

// The squares side s's pawns attack: one rank ahead (White up, Black down),
// one file to either side. A pawn on its last rank attacks nothing.
inline uint64_t pawn_attack_squares(Side s) {
  const uint64_t pawns = position.piece_bits[s | PAWN];
  if (s == WHITE) return ((pawns & ~FILE_A_SQUARES) << 7) | ((pawns & ~FILE_H_SQUARES) << 9);
  return ((pawns & ~FILE_A_SQUARES) >> 9) | ((pawns & ~FILE_H_SQUARES) >> 7);
}

}  // namespace kelmstrad
