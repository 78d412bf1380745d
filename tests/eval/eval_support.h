// Helpers for the evaluation tests: positions from FEN, their colour mirror,
// hand sums of material and square tables, and a guard that restores every
// evaluation setting a test changes.
#pragma once

#include <cctype>
#include <sstream>
#include <string>

#include "board/fen.h"
#include "board/position.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "uci/options.h"

namespace kelmstrad::test {

// Sets the position with no search line behind it.
inline void set_fen(const std::string& fen) {
  parse_fen(fen.c_str());
  search_root_top = 0;
}

// The colour mirror of a FEN: board flipped, colours, side, castling rights
// and en-passant rank swapped.
inline std::string mirror_fen(const std::string& fen) {
  std::istringstream in(fen);
  std::string placement, side, castling = "-", ep = "-", halfmove = "0", fullmove = "1";
  in >> placement >> side >> castling >> ep >> halfmove >> fullmove;
  std::string ranks[8];
  int r = 0;
  for (char c : placement) {
    if (c == '/')
      ++r;
    else
      ranks[r] += static_cast<char>(isupper(c) ? tolower(c) : toupper(c));
  }
  std::string out;
  for (int i = 7; i >= 0; --i) out += ranks[i] + (i > 0 ? "/" : "");
  std::string rights;
  for (char c : castling)
    rights += c == '-' ? c : static_cast<char>(isupper(c) ? tolower(c) : toupper(c));
  if (ep != "-") ep[1] = static_cast<char>('1' + '8' - ep[1]);
  return out + (side == "w" ? " b " : " w ") + rights + " " + ep + " " + halfmove + " " + fullmove;
}

// The 0x88 square of a name such as "e4".
inline int sq(const char* name) { return (name[1] - '1') * 16 + (name[0] - 'a'); }

// Middlegame material plus square-table value of one piece, signed for its
// colour (FEN letter: upper case White).
inline int piece_mg(char letter, const char* square) {
  const int kind =
      static_cast<int>(std::string("pnbrqk").find(static_cast<char>(tolower(letter)))) + 1;
  const bool white = isupper(letter) != 0;
  const int index = square_index(sq(square)) ^ (white ? 0 : 56);
  const int value = eval_params.matmg[kind] + eval_params.pstmg[kind][index];
  return white ? value : -value;
}

// The same for the endgame tables.
inline int piece_eg(char letter, const char* square) {
  const int kind =
      static_cast<int>(std::string("pnbrqk").find(static_cast<char>(tolower(letter)))) + 1;
  const bool white = isupper(letter) != 0;
  const int index = square_index(sq(square)) ^ (white ? 0 : 56);
  const int value = eval_params.mateg[kind] + eval_params.psteg[kind][index];
  return white ? value : -value;
}

// The tapered blend worked by hand: E + (p16 * (M - E)) / 16, truncated toward zero.
inline int hand_blend(int m, int e, int p16) { return e + p16 * (m - e) / 16; }

// Restores the options, parameters and flags a test may change.
class EvalSettingsGuard {
 public:
  EvalSettingsGuard()
      : params_(eval_params),
        terms_(terms_mask),
        lean_(lean_mode),
        extras_(pawn_extras_enabled),
        mobility_(mobility_enabled),
        root_top_(search_root_top) {}
  ~EvalSettingsGuard() {
    eval_params = params_;
    fill_piece_square_scores();
    terms_mask = terms_;
    lean_mode = lean_;
    pawn_extras_enabled = extras_;
    mobility_enabled = mobility_;
    search_root_top = root_top_;
    mobility_forced = false;
  }

 private:
  EvalParams params_;
  int terms_;
  int lean_;
  bool extras_;
  bool mobility_;
  int32_t root_top_;
};

}  // namespace kelmstrad::test
