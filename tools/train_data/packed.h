// Training positions in a compact binary file, read fast by the trainer
// (tools/train_network.py) without parsing FEN.
//
// File: the 8 bytes "KLMPOS01", then records of 32 bytes each, nothing else
// (a length that is not 8 + 32k is a truncated or foreign file).
// Record (multi-byte fields little-endian):
//   0..7    occupancy: bit q set when square q (rank * 8 + file, a1 = 0) holds a piece
//   8..23   the pieces of the occupied squares in ascending q, two per byte, the
//           first in the low nibble: the engine's piece code (kind 1 pawn .. 6 king,
//           plus 8 for Black); unused nibbles 0
//   24..25  score: signed centipawns from White's point of view (the search score
//           of the side to move, negated when Black is to move)
//   26      side to move: 0 White, 1 Black
//   27      result of the game from White's point of view: 0 loss, 1 draw, 2 win
//   28      castling rights: 1 K, 2 Q, 4 k, 8 q
//   29      en-passant square q, or 64 for none
//   30      halfmove clock (held at 255)
//   31      0 (reserved)
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kelmstrad::train_data {

constexpr char FILE_MAGIC[9] = "KLMPOS01";
constexpr int MAGIC_BYTES = 8;
constexpr int RECORD_BYTES = 32;
constexpr int NO_EP = 64;

struct PackedPosition {
  uint8_t piece[64];  // piece code by square q (0 empty)
  int16_t score;      // centipawns, White's point of view
  uint8_t black_to_move;
  uint8_t result;  // 0, 1, 2 for White
  uint8_t castling;
  uint8_t ep;  // q or NO_EP
  uint8_t halfmove_clock;

  bool operator==(const PackedPosition&) const = default;
};

// The record bytes of a position; false when it cannot be packed (more than
// 32 pieces, a code above 14, a field out of range).
bool pack_record(const PackedPosition& p, uint8_t out[RECORD_BYTES]);

// The position of a record; false when the record is malformed (more than
// 32 pieces, an empty or unknown nibble for an occupied square, a set nibble
// beyond the pieces, a side, result, castling or en-passant value out of range).
bool unpack_record(const uint8_t in[RECORD_BYTES], PackedPosition* p);

// The engine's global position packed with a score for the side to move and
// the result for White (0, 1, 2).
PackedPosition pack_current_position(int score_for_side_to_move, int result_for_white);

// The FEN of a packed position (fullmove number 1).
std::string packed_fen(const PackedPosition& p);

// Writes the magic then each record; false with a message.
bool write_positions(const std::string& path, const std::vector<PackedPosition>& positions,
                     std::string* error);

// Reads a whole file; false with a message (unreadable, wrong magic, truncated,
// malformed record k).
bool read_positions(const std::string& path, std::vector<PackedPosition>* positions,
                    std::string* error);

}  // namespace kelmstrad::train_data
