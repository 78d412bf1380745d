#include "eval/root_terms.h"

#include <cstdlib>
#include <cstring>

#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "eval/terms.h"
#include "io/env.h"

namespace kelmstrad {

namespace {

constexpr int ORC_TROPISM = 1;
constexpr int ORC_OUTPOSTS = 4;
constexpr int ORC_STORM = 8;

// The switches of the root terms, read together at the first search, ORC or
// not, so that a weight out of range is reported there.
struct RootSwitches {
  int orc;               // ORC: which terms (0 none)
  int own_tropism;       // KT: the side to move's tropism weight, percent
  int opponent_tropism;  // KTOPP (KT): the opponent's
  int16_t outpost;       // OUTP: knight outpost bonus (low 16 bits)
  int16_t storm;         // STORM: pawn storm bonus per rank (low 16 bits)
};

const RootSwitches& root_switches() {
  static const RootSwitches switches = [] {
    RootSwitches s{};
    s.orc = env_int("ORC", 0);
    s.own_tropism = env_int_within("KT", 100, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT);
    s.opponent_tropism =
        env_int_within("KTOPP", s.own_tropism, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT);
    s.outpost = static_cast<int16_t>(env_int("OUTP", 15));
    s.storm = static_cast<int16_t>(env_int("STORM", 4));
    return s;
  }();
  return switches;
}

// Whether a pawn of code `pawn` stands on (rank, file), both possibly off the board.
bool pawn_on(int rank, int file, Piece pawn) {
  return rank >= 0 && rank <= 7 && file >= 0 && file <= 7 &&
         position.board[rank * 16 + file] == pawn;
}

// A knight square of colour c (0 White, 1 Black) backed by an own pawn and
// out of reach of every enemy pawn ahead on the neighbouring files.
bool is_outpost(int c, int rank, int file) {
  const int back = c == 0 ? -1 : 1;
  const Piece own_pawn = static_cast<Piece>(PAWN | (c ? BLACK : WHITE));
  const Piece enemy_pawn = static_cast<Piece>(PAWN | (c ? WHITE : BLACK));
  if (!pawn_on(rank + back, file - 1, own_pawn) && !pawn_on(rank + back, file + 1, own_pawn))
    return false;
  for (int r = rank - back; r >= 0 && r <= 7; r -= back)
    if (pawn_on(r, file - 1, enemy_pawn) || pawn_on(r, file + 1, enemy_pawn)) return false;
  return true;
}

// Adds colour c's bonuses to root_terms from the two king squares (0x88).
void add_root_bonuses(int c, int own_king, int enemy_king) {
  const RootSwitches& sw = root_switches();
  const int orc = sw.orc;
  const int w = (c == 0) == (position.side == WHITE) ? sw.own_tropism : sw.opponent_tropism;
  const int base = c * 8;
  for (int i = 0; i < 64; ++i) {
    const int rank = i >> 3;
    const int file = i & 7;
    const int r = c == 0 ? rank : 7 - rank;
    if (orc & ORC_TROPISM) {
      const int d = square_distance(rank * 16 + file, enemy_king);
      for (int kind = KNIGHT; kind <= QUEEN; ++kind)
        root_terms[base + kind][i] = static_cast<int16_t>(root_terms[base + kind][i] +
                                                          tropism_weight[kind] * (7 - d) * w / 100);
    }
    if ((orc & ORC_OUTPOSTS) && r >= 3 && r <= 5 && is_outpost(c, rank, file))
      root_terms[base + KNIGHT][i] =
          static_cast<int16_t>(root_terms[base + KNIGHT][i] + sw.outpost);
    if ((orc & ORC_STORM) && abs(square_file(own_king) - square_file(enemy_king)) > 2 &&
        abs(file - square_file(enemy_king)) <= 1 && r >= 2)
      root_terms[base + PAWN][i] =
          static_cast<int16_t>(root_terms[base + PAWN][i] + (r - 1) * sw.storm);
  }
}

}  // namespace

// Rebuilds root_terms from nothing for the kings of the current position.
bool set_root_terms() {
  if (root_switches().orc == 0) return false;
  memset(root_terms, 0, sizeof(root_terms));
  const int white_king = king_square(WHITE);
  const int black_king = king_square(BLACK);
  if (white_king != NO_SQUARE && black_king != NO_SQUARE) {
    add_root_bonuses(0, white_king, black_king);
    add_root_bonuses(1, black_king, white_king);
  }
  fill_piece_square_scores();
  return true;
}

// KT and KTOPP weigh the side to move and its opponent: unequal, the terms
// change with the side to move.
bool root_terms_depend_on_side() {
  return root_switches().own_tropism != root_switches().opponent_tropism;
}

}  // namespace kelmstrad
