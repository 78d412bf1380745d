#include "features.h"

#include "board/position.h"
#include "eval/endgame.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "eval/pawns.h"
#include "param_set.h"

namespace kelmstrad::tune {

namespace {

// Indices into all_params() of each family, [0] middlegame, [1] endgame; -1 when absent.
struct ParamIndex {
  int material[8][2];
  int pst[8][64][2];
  int passed[8][2];
  int isolated[2], doubled[2], rook_open, rook_half, pair[2];
  int shelter[6];
  int mobility[6][2];
  int extra[11][2];
};

ParamIndex build_index() {
  ParamIndex x;
  auto both = [](int out[2], ParamTerm term, int piece, int square) {
    out[0] = param_index(term, true, piece, square);
    out[1] = param_index(term, false, piece, square);
  };
  for (int k = 0; k < 8; ++k) {
    both(x.material[k], ParamTerm::MATERIAL, k, 0);
    both(x.passed[k], ParamTerm::PASSED, k, 0);
    for (int s = 0; s < 64; ++s) both(x.pst[k][s], ParamTerm::SQUARE_TABLE, k, s);
  }
  both(x.isolated, ParamTerm::ISOLATED, 0, 0);
  both(x.doubled, ParamTerm::DOUBLED, 0, 0);
  both(x.pair, ParamTerm::BISHOP_PAIR, 0, 0);
  x.rook_open = param_index(ParamTerm::ROOK_OPEN, true, 0, 0);
  x.rook_half = param_index(ParamTerm::ROOK_HALF_OPEN, true, 0, 0);
  for (int t = 0; t < 6; ++t) x.shelter[t] = param_index(ParamTerm::KING_SHELTER, true, t, 0);
  for (int k = 0; k < 6; ++k) both(x.mobility[k], ParamTerm::MOBILITY, k, 0);
  for (int f = 0; f < 11; ++f) both(x.extra[f], ParamTerm::PAWN_EXTRA, f, 0);
  return x;
}

const ParamIndex& index() {
  static const ParamIndex x = build_index();
  return x;
}

// Dense counts by parameter, gathered into sparse entries at the end.
class Counts {
 public:
  Counts(uint32_t groups) : groups_(groups), counts_(all_params().size(), 0) {}
  void add(int param, int count) {
    if (param < 0 || count == 0) return;
    if ((all_params()[param].group & groups_) == 0) return;
    if (counts_[param] == 0) touched_.push_back(param);
    counts_[param] += count;
  }
  void add_both(const int params[2], int count) {
    add(params[0], count);
    add(params[1], count);
  }
  void gather(std::vector<Entry>* out) const {
    out->clear();
    for (int p : touched_)
      if (counts_[p] != 0)
        out->push_back(Entry{static_cast<uint16_t>(p), static_cast<int16_t>(counts_[p])});
  }

 private:
  uint32_t groups_;
  std::vector<int> counts_;
  std::vector<int> touched_;
};

}  // namespace

void enter_tuning_mode() {
  mobility_forced = true;
  pawn_extras_enabled = true;
}

int position_features(uint32_t groups, std::vector<Entry>* out) {
  const ParamIndex& x = index();
  Counts c(groups);
  // Material and square tables: what toggle_piece sums into mg_score/eg_score.
  for (int sq = 0; sq < 128; ++sq) {
    if (!on_board(sq) || position.board[sq] == 0) continue;
    const Piece piece = position.board[sq];
    const int kind = piece_kind(piece);
    const bool white = piece_side(piece) == WHITE;
    const int sign = white ? 1 : -1;
    const int s64 = white ? square_index(sq) : square_index(sq) ^ 56;
    c.add_both(x.material[kind], sign);
    c.add_both(x.pst[kind][s64], sign);
  }
  // The evaluation refreshes the counts of its terms (mobility forced on).
  evaluate();
  const EvalFeatures& f = eval_features;
  for (int r = 1; r <= 6; ++r) c.add_both(x.passed[r], f.passed[r]);
  c.add_both(x.isolated, -f.isolated);
  c.add_both(x.doubled, -f.doubled);
  c.add(x.rook_open, f.rook_open);
  c.add(x.rook_half, f.rook_half);
  c.add_both(x.pair, f.bishop_pair);
  // king_shelter returns minus the penalties; White's counts cost White.
  for (int t = 1; t <= 5; ++t)
    c.add(x.shelter[t], -(f.shelter_counts[0][t] - f.shelter_counts[1][t]));
  for (int k = 2; k <= 5; ++k) c.add_both(x.mobility[k], f.mobility[k]);
  for (int e = 6; e <= 10; ++e) c.add_both(x.extra[e], f.pawn_extra[e]);
  c.gather(out);
  return blend_weight();
}

int exact_eval_white(float* scale) {
  const int score = evaluate();
  const int white = position.side == WHITE ? score : -score;
  // The blended value before the endgame rules, then their slope around it.
  const int p16 = blend_weight();
  const int64_t m = static_cast<int64_t>(position.mg_score) + term_mg;
  const int64_t e = static_cast<int64_t>(position.eg_score) + term_eg;
  const int v = hold_eval_score(e + p16 * (m - e) / 16);
  constexpr int STEP = 100;
  const int up = hold_eval_score(apply_endgame_rules(v + STEP));
  const int down = hold_eval_score(apply_endgame_rules(v - STEP));
  *scale = static_cast<float>(up - down) / (2 * STEP);
  return white;
}

}  // namespace kelmstrad::tune
