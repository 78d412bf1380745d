// Move encoding: bits 0-6 from-square, 8-14 to-square, bits 7 and 15 the
// promotion index (2 * bit 15 + bit 7) into "qnrb". 0 is the null move.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace kelmstrad {

constexpr uint8_t promo_kinds[4] = {QUEEN, KNIGHT, ROOK, BISHOP};

constexpr Square move_from(Move m) { return m & 0x7f; }
constexpr Square move_to(Move m) { return (m >> 8) & 0x7f; }
constexpr int promo_index(Move m) { return ((m >> 15) & 1) * 2 + ((m >> 7) & 1); }
constexpr Move encode_move(int from, int to, int promo = 0) {
  return static_cast<Move>(from | (to << 8) | ((promo & 1) << 7) | ((promo >> 1) << 15));
}

// UCI text of a move of the current position (before it is made); one shared buffer.
const char* move_to_text(Move move);

// The generated move whose text the given text starts with, or 0.
Move parse_move_text(const char* text);

}  // namespace kelmstrad
