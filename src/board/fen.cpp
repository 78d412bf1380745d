#include "board/fen.h"

#include <cstdlib>
#include <cstring>

#include "board/accumulator.h"
#include "board/make.h"
#include "board/position.h"

namespace kelmstrad {

namespace {

constexpr const char* PIECE_LETTERS = "pnbrqk";

const char* skip_spaces(const char* p) {
  while (*p == ' ') ++p;
  return p;
}

// Reads the placement field onto the empty board; returns the first
// character after it (a space or the end of the text).
const char* read_placement(const char* p) {
  int rank = 7;
  int file = 0;
  for (; (static_cast<unsigned char>(*p) & 0xDF) != 0; ++p) {
    const char c = *p;
    if (c == '/') {
      --rank;
      file = 0;
    } else if (c >= '1' && c <= '8') {
      file += c - '0';
    } else {
      const char lower = static_cast<char>(c | 0x20);
      const char* found = strchr(PIECE_LETTERS, lower);
      if (found == nullptr || *found == '\0') continue;
      const Piece kind = static_cast<Piece>(found - PIECE_LETTERS + 1);
      const Piece piece = (c == lower) ? static_cast<Piece>(kind | BLACK) : kind;
      if (rank >= 0 && rank <= 7 && file >= 0 && file <= 7)
        position.board[rank * 16 + file] = piece;
      ++file;
    }
  }
  return p;
}

// Gives every piece a slot in square order: kings their side's first slot,
// the rest the next free one; pieces beyond a side's 15 are removed.
void assign_slots() {
  int next_slot[2] = {1, 17};
  for (int sq = 0; sq < 128; ++sq) {
    if (!on_board(sq) || position.board[sq] == 0) continue;
    const Piece p = position.board[sq];
    const int side_index = piece_side(p) ? 1 : 0;
    int slot;
    if (piece_kind(p) == KING) {
      slot = side_index * 16;
    } else if (next_slot[side_index] <= side_index * 16 + 15) {
      slot = next_slot[side_index]++;
    } else {
      position.board[sq] = 0;
      continue;
    }
    position.slot_square[slot] = static_cast<uint8_t>(sq);
    position.square_slot[sq] = static_cast<uint8_t>(slot);
  }
}

// Reads side, castling and en passant; returns where the halfmove clock starts.
const char* read_state_fields(const char* p) {
  position.castling = 0;
  position.ep_square = NO_EP_SQUARE;
  p = skip_spaces(p);
  position.side = (*p == 'b') ? BLACK : WHITE;
  if (*p == '\0') return p;
  while (*p != ' ' && *p != '\0') ++p;
  if (*p != ' ') return p;
  p = skip_spaces(p);
  for (; *p != ' ' && *p != '\0'; ++p) {
    if (*p == 'K') position.castling |= 1;
    if (*p == 'Q') position.castling |= 2;
    if (*p == 'k') position.castling |= 4;
    if (*p == 'q') position.castling |= 8;
  }
  if (*p != ' ') return p;
  p = skip_spaces(p);
  if (*p >= 'a' && *p <= 'h') {
    const int file = *p - 'a';
    ++p;
    if (*p >= '1' && *p <= '8') position.ep_square = static_cast<Square>(file + 16 * (*p - '1'));
    if (*p != '\0') ++p;
  } else if (*p != '\0') {
    ++p;
  }
  return p;
}

}  // namespace

// Sets the whole position from FEN text, by the rules above; never fails.
void parse_fen(const char* fen) {
  memset(position.slot_square, NO_SQUARE, sizeof(position.slot_square));
  memset(position.board, 0, sizeof(position.board));
  const char* p = read_placement(fen);
  assign_slots();
  p = read_state_fields(p);
  p = skip_spaces(p);
  position.halfmove_clock = static_cast<uint8_t>(strtol(p, nullptr, 10));
  position.history_top = 0;
  rebuild_from_board();
  // The network's sums from scratch while one plays; else stale until one does.
  if (network_active)
    accumulators_refresh();
  else
    position.accumulator_version = 0;
}

// Ranks 8 to 1, files a to h; runs of empty squares as digits.
std::string fen_placement() {
  constexpr const char* LETTERS = " pnbrqk";  // by kind, as Black writes them
  std::string out;
  for (int rank = 7; rank >= 0; --rank) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      const Piece p = position.board[rank * 16 + file];
      if (p == 0) {
        ++empty;
        continue;
      }
      if (empty) out += static_cast<char>('0' + empty);
      empty = 0;
      const char letter = LETTERS[piece_kind(p)];
      out += piece_side(p) == WHITE ? static_cast<char>(letter - 'a' + 'A') : letter;
    }
    if (empty) out += static_cast<char>('0' + empty);
    if (rank > 0) out += '/';
  }
  return out;
}

std::string fen_castling() {
  std::string castling;
  if (position.castling & 1) castling += 'K';
  if (position.castling & 2) castling += 'Q';
  if (position.castling & 4) castling += 'k';
  if (position.castling & 8) castling += 'q';
  return castling.empty() ? "-" : castling;
}

std::string position_fen(int fullmove) {
  std::string fen = fen_placement() + (position.side == WHITE ? " w " : " b ") + fen_castling();
  fen += ' ';
  if (position.ep_square == NO_EP_SQUARE) {
    fen += '-';
  } else {
    fen += static_cast<char>('a' + square_file(position.ep_square));
    fen += static_cast<char>('1' + square_rank(position.ep_square));
  }
  return fen + " " + std::to_string(position.halfmove_clock) + " " + std::to_string(fullmove);
}

}  // namespace kelmstrad
