#include "packed.h"

#include <cstring>

#include "board/position.h"

namespace kelmstrad::train_data {

namespace {

constexpr int MAX_PIECES = 32;
constexpr int MAX_RESULT = 2;
constexpr uint8_t MAX_CASTLING = 15;

// True for an engine piece code: kind 1..6, White or Black.
bool is_piece_code(int code) { return (code & 7) >= PAWN && (code & 7) <= KING; }

}  // namespace

bool pack_record(const PackedPosition& p, uint8_t out[RECORD_BYTES]) {
  if (p.black_to_move > 1 || p.result > MAX_RESULT || p.castling > MAX_CASTLING || p.ep > NO_EP)
    return false;
  memset(out, 0, RECORD_BYTES);
  uint64_t occupancy = 0;
  int count = 0;
  for (int q = 0; q < 64; ++q) {
    if (p.piece[q] == 0) continue;
    if (!is_piece_code(p.piece[q]) || count == MAX_PIECES) return false;
    occupancy |= uint64_t{1} << q;
    out[8 + count / 2] |= static_cast<uint8_t>(p.piece[q] << (count % 2 * 4));
    ++count;
  }
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(occupancy >> (8 * i));
  const uint16_t score = static_cast<uint16_t>(p.score);
  out[24] = static_cast<uint8_t>(score);
  out[25] = static_cast<uint8_t>(score >> 8);
  out[26] = p.black_to_move;
  out[27] = p.result;
  out[28] = p.castling;
  out[29] = p.ep;
  out[30] = p.halfmove_clock;
  return true;
}

bool unpack_record(const uint8_t in[RECORD_BYTES], PackedPosition* p) {
  *p = PackedPosition{};
  uint64_t occupancy = 0;
  for (int i = 0; i < 8; ++i) occupancy |= uint64_t{in[i]} << (8 * i);
  int count = 0;
  for (int q = 0; q < 64; ++q) {
    if ((occupancy >> q & 1) == 0) continue;
    if (count == MAX_PIECES) return false;
    const int code = in[8 + count / 2] >> (count % 2 * 4) & 15;
    if (!is_piece_code(code)) return false;
    p->piece[q] = static_cast<uint8_t>(code);
    ++count;
  }
  for (int k = count; k < MAX_PIECES; ++k)
    if ((in[8 + k / 2] >> (k % 2 * 4) & 15) != 0) return false;
  p->score = static_cast<int16_t>(static_cast<uint16_t>(in[24] | in[25] << 8));
  p->black_to_move = in[26];
  p->result = in[27];
  p->castling = in[28];
  p->ep = in[29];
  p->halfmove_clock = in[30];
  return p->black_to_move <= 1 && p->result <= MAX_RESULT && p->castling <= MAX_CASTLING &&
         p->ep <= NO_EP && in[31] == 0;
}

PackedPosition pack_current_position(int score_for_side_to_move, int result_for_white) {
  PackedPosition p{};
  for (int sq = 0; sq < 128; ++sq)
    if (on_board(sq)) p.piece[square64(sq)] = position.board[sq];
  const int white_score = position.side == WHITE ? score_for_side_to_move : -score_for_side_to_move;
  p.score = static_cast<int16_t>(white_score);
  p.black_to_move = position.side == BLACK ? 1 : 0;
  p.result = static_cast<uint8_t>(result_for_white);
  p.castling = position.castling;
  p.ep = position.ep_square == NO_EP_SQUARE ? NO_EP : square64(position.ep_square);
  p.halfmove_clock = position.halfmove_clock;
  return p;
}

std::string packed_fen(const PackedPosition& p) {
  static const char LETTERS[] = " PNBRQK  pnbrqk";
  std::string fen;
  for (int rank = 7; rank >= 0; --rank) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      const int code = p.piece[rank * 8 + file];
      if (code == 0) {
        ++empty;
        continue;
      }
      if (empty != 0) fen += static_cast<char>('0' + empty);
      empty = 0;
      fen += LETTERS[code];
    }
    if (empty != 0) fen += static_cast<char>('0' + empty);
    if (rank != 0) fen += '/';
  }
  fen += p.black_to_move != 0 ? " b " : " w ";
  std::string castling;
  if (p.castling & 1) castling += 'K';
  if (p.castling & 2) castling += 'Q';
  if (p.castling & 4) castling += 'k';
  if (p.castling & 8) castling += 'q';
  fen += castling.empty() ? "-" : castling;
  fen += ' ';
  if (p.ep == NO_EP) {
    fen += '-';
  } else {
    fen += static_cast<char>('a' + p.ep % 8);
    fen += static_cast<char>('1' + p.ep / 8);
  }
  return fen + " " + std::to_string(p.halfmove_clock) + " 1";
}

bool write_positions(const std::string& path, const std::vector<PackedPosition>& positions,
                     std::string* error) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) return *error = "cannot write " + path, false;
  bool ok = fwrite(FILE_MAGIC, 1, MAGIC_BYTES, f) == MAGIC_BYTES;
  uint8_t record[RECORD_BYTES];
  for (size_t i = 0; ok && i < positions.size(); ++i) {
    if (!pack_record(positions[i], record)) {
      fclose(f);
      return *error = "position " + std::to_string(i + 1) + " cannot be packed", false;
    }
    ok = fwrite(record, 1, RECORD_BYTES, f) == RECORD_BYTES;
  }
  ok = fclose(f) == 0 && ok;
  if (!ok) *error = "cannot write " + path;
  return ok;
}

bool read_positions(const std::string& path, std::vector<PackedPosition>* positions,
                    std::string* error) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return *error = "cannot read " + path, false;
  char magic[MAGIC_BYTES];
  if (fread(magic, 1, MAGIC_BYTES, f) != MAGIC_BYTES || memcmp(magic, FILE_MAGIC, MAGIC_BYTES)) {
    fclose(f);
    return *error = path + ": not a position file (no KLMPOS01 header)", false;
  }
  positions->clear();
  uint8_t record[RECORD_BYTES];
  size_t got;
  while ((got = fread(record, 1, RECORD_BYTES, f)) == RECORD_BYTES) {
    PackedPosition p;
    if (!unpack_record(record, &p)) {
      fclose(f);
      return *error = path + ": record " + std::to_string(positions->size() + 1) + " is malformed",
             false;
    }
    positions->push_back(p);
  }
  fclose(f);
  if (got != 0)
    return *error = path + ": truncated after record " + std::to_string(positions->size()), false;
  return true;
}

}  // namespace kelmstrad::train_data
