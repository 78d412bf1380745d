// The switchable terms with explicit weights, worked by hand.
#include "eval/terms.h"

#include <gtest/gtest.h>

#include "board/make.h"
#include "board/move.h"
#include "clock/counters.h"
#include "eval/evaluate.h"
#include "eval_support.h"
#include "io/env.h"

namespace kelmstrad::test {
namespace {

// Pushes a history record as make would leave it (move, piece, capture).
void push_record(const char* from, const char* to, char piece, char captured = 0) {
  UndoRecord& record = position.history[position.history_top++];
  record = UndoRecord{};
  record.move = encode_move(sq(from), sq(to));
  const int kind =
      static_cast<int>(std::string("pnbrqk").find(static_cast<char>(tolower(piece)))) + 1;
  record.piece = static_cast<Piece>(kind | (isupper(piece) ? WHITE : BLACK));
  if (captured != 0) record.captured = static_cast<Piece>(PAWN | (isupper(piece) ? BLACK : WHITE));
}

void push_null() {
  UndoRecord& record = position.history[position.history_top++];
  record = UndoRecord{};
}

TEST(CentralPawns, StartAndAfterE4) {
  set_fen(START_FEN);
  EXPECT_EQ(central_pawn_term(20), 0);  // -40 for d2/e2, +40 for d7/e7
  set_fen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  EXPECT_EQ(central_pawn_term(20), 40);  // e2 penalty gone, e4 bonus won
  set_fen("rnbqkbnr/ppp2ppp/8/3pp3/3PP3/8/PPP2PPP/RNBQKBNR w KQkq - 0 3");
  EXPECT_EQ(central_pawn_term(7), 0);  // +14 for d4/e4, -14 for d5/e5
  set_fen("rnbqkbnr/ppp2ppp/8/3pp3/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 3");
  EXPECT_EQ(central_pawn_term(7), -28);
}

// Development position with f1 free: White may castle while the king is on e1.
constexpr const char* DEVELOPED = "rnbqk2r/ppppbppp/5n2/4p3/4P3/5N2/PPPPBPPP/RNBQK2R w KQkq - 0 1";

TEST(SearchLine, KingMoveCostsCastlingDoesNot) {
  int pen[2];
  set_fen("rnbqk2r/ppppbppp/5n2/4p3/4P3/5N2/PPPPBPPP/RNBQ1K1R b kq - 1 1");  // after 1.Kf1
  push_record("e1", "f1", 'K');
  const uint32_t scanned = op_counters[MHK];
  search_path_penalties(40, 20, pen);
  EXPECT_EQ(pen[0], 40);
  EXPECT_EQ(pen[1], 0);
  EXPECT_EQ(op_counters[MHK] - scanned, 1u);
  set_fen("rnbqk2r/ppppbppp/5n2/4p3/4P3/5N2/PPPPBPPP/RNBQ1RK1 b kq - 1 1");  // after 1.O-O
  push_record("e1", "g1", 'K');
  search_path_penalties(40, 20, pen);
  EXPECT_EQ(pen[0], 0);
}

TEST(SearchLine, RookAndFlankPawnMovesOnlyWhileCastlingIsPossible) {
  int pen[2];
  set_fen(DEVELOPED);
  push_record("h1", "g1", 'R');
  push_record("a7", "a6", 'p');       // Black may castle: flank push
  push_record("a2", "a3", 'P');       // flank push
  push_record("b2", "b3", 'P', 'p');  // a capture: not counted
  push_record("e2", "e3", 'P');       // centre pawn: not counted
  push_null();                        // scanned, not counted
  push_record("e8", "f8", 'k');       // king move
  const uint32_t scanned = op_counters[MHK];
  search_path_penalties(40, 20, pen);
  EXPECT_EQ(pen[0], 40 + 20);
  EXPECT_EQ(pen[1], 20 + 40);
  EXPECT_EQ(op_counters[MHK] - scanned, 7u);
  search_path_penalties(40, 0, pen);  // MHKP 0: flank pushes are free
  EXPECT_EQ(pen[0], 40);
  position.castling = 0;  // no rights left: rook and pawn moves are free
  search_path_penalties(40, 20, pen);
  EXPECT_EQ(pen[0], 0);
  EXPECT_EQ(pen[1], 40);
  search_root_top = 6;  // only the moves since the search started count
  search_path_penalties(40, 20, pen);
  EXPECT_EQ(pen[1], 40);
  EXPECT_EQ(pen[0], 0);
  search_root_top = 7;
  search_path_penalties(40, 20, pen);
  EXPECT_EQ(pen[1], 0);
  search_root_top = 0;
}

// The same through real moves: castling is free, a king step costs MHK, a
// rook move while the queen-side right remains costs MHK, a flank push MHKP.
TEST(SearchLine, PlayedMoves) {
  const struct {
    const char* move;
    int white;
  } cases[] = {{"e1g1", 0}, {"e1f1", 40}, {"h1g1", 40}, {"a2a3", 20}, {"d2d4", 0}, {"f3e5", 0}};
  int pen[2];
  for (const auto& c : cases) {
    set_fen(DEVELOPED);
    const Move move = parse_move_text(c.move);
    ASSERT_NE(move, 0) << c.move;
    ASSERT_TRUE(make_move(move)) << c.move;
    search_path_penalties(40, 20, pen);
    EXPECT_EQ(pen[0], c.white) << c.move;
    EXPECT_EQ(pen[1], 0) << c.move;
    unmake_move();
  }
}

// In the full path the penalty lands in term_mg while phase >= MHKG, and
// in its network form it is scaled by p16 / 16.
TEST(SearchLine, FullPathAndNetworkForm) {
  const int king_weight = env_int("MHK", 40);
  const int min_phase = env_int("MHKG", 20);
  set_fen("rnbqk2r/ppppbppp/5n2/4p3/4P3/5N2/PPPPBPPP/RNBQ1K1R b kq - 1 1");
  evaluate();
  const int before = term_mg;
  push_record("e1", "f1", 'K');
  evaluate();
  EXPECT_EQ(term_mg - before, 24 >= min_phase ? -king_weight : 0);
  EXPECT_EQ(search_path_network(100, 8), 100 - (24 >= min_phase ? king_weight * 8 / 16 : 0));
  // Endgame-like material (phase 4): no penalty.
  set_fen("4k3/pppp4/8/8/8/8/PPPP4/R3K2R b - - 1 1");
  evaluate();
  const int low_phase = term_mg;
  push_record("e1", "f1", 'K');
  evaluate();
  EXPECT_EQ(term_mg, low_phase);
}

// Queen d7 is 1 from the black king (6 * 4 = 24); black knight f3 is 2 from
// the white king (5 * 3 = 15); rooks on a1/a8 are 7 away (0). Difference 9.
TEST(KingTropism, WeightsAndScale) {
  set_fen("r3k3/3Q4/8/8/8/5n2/8/R3K3 w - - 0 1");
  const uint32_t looked = side_counters[KTROP_COUNT];
  EXPECT_EQ(king_tropism_term(100), 9);
  EXPECT_EQ(side_counters[KTROP_COUNT] - looked, 4u);
  EXPECT_EQ(king_tropism_term(50), 4);  // 4.5 truncated
  set_fen(mirror_fen("r3k3/3Q4/8/8/8/5n2/8/R3K3 w - - 0 1"));
  EXPECT_EQ(king_tropism_term(50), -4);  // truncated toward zero, not floored
}

struct TrapCase {
  const char* fen;
  int mg;
  int eg;
};

// Every white pattern and its colour mirror for Black.
TEST(TrappedPieces, EveryPatternForBothColours) {
  const TrapCase cases[] = {
      {"4k3/B1p5/1p6/8/8/8/8/4K3 w - - 0 1", -150, -150},  // bishop a7, pawns b6 c7
      {"4k3/B7/1p6/8/8/8/8/4K3 w - - 0 1", 0, 0},          // b6 alone is not enough
      {"4k3/5p1B/6p1/8/8/8/8/4K3 w - - 0 1", -150, -150},  // bishop h7, g6 f7
      {"4k3/8/B1p5/1p6/8/8/8/4K3 w - - 0 1", -50, -50},    // bishop a6, b5 c6
      {"4k3/8/5p1B/6p1/8/8/8/4K3 w - - 0 1", -50, -50},    // bishop h6, g5 f6
      {"N3k3/p7/8/8/8/8/8/4K3 w - - 0 1", -40, -40},       // knight a8, a7
      {"N3k3/2p5/8/8/8/8/8/4K3 w - - 0 1", -40, -40},      // knight a8, c7
      {"4k2N/7p/8/8/8/8/8/4K3 w - - 0 1", -40, -40},       // knight h8, h7
      {"4k2N/5p2/8/8/8/8/8/4K3 w - - 0 1", -40, -40},      // knight h8, f7
      {"4k3/8/8/8/8/8/8/6KR w - - 0 1", -40, 0},           // king g1, rook h1
      {"4k3/8/8/8/8/8/8/5KR1 w - - 0 1", -40, 0},          // king f1, rook g1
      {"4k3/8/8/8/8/8/7R/6K1 w - - 0 1", -40, 0},          // king g1, rook h2
      {"4k3/8/8/8/8/8/8/6KR w K - 0 1", 0, 0},             // the right is still there
      {"4k3/8/8/8/8/8/8/R1K5 w - - 0 1", -40, 0},          // king c1, rook a1
      {"4k3/8/8/8/8/8/R7/1K6 w - - 0 1", -40, 0},          // king b1, rook a2
      {"4k3/8/8/8/8/8/8/RK6 w - - 0 1", -40, 0},           // king b1, rook a1
      {"4k3/8/8/8/8/8/8/R1K5 w Q - 0 1", 0, 0},            // queen-side right kept
      {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", 0, 0},            // king e1: no pattern
  };
  for (const TrapCase& c : cases) {
    set_fen(c.fen);
    TermPair t = trapped_pieces_term();
    EXPECT_EQ(t.mg, c.mg) << c.fen;
    EXPECT_EQ(t.eg, c.eg) << c.fen;
    set_fen(mirror_fen(c.fen));
    t = trapped_pieces_term();
    EXPECT_EQ(t.mg, -c.mg) << mirror_fen(c.fen);
    EXPECT_EQ(t.eg, -c.eg) << mirror_fen(c.fen);
  }
}

// Knights a4 and f4 attacked by the b5 and e5 pawns, White to move: half the
// knight's middlegame value from both sums.
TEST(LoosePieces, TwoAttackedKnights) {
  const int knight = eval_params.matmg[KNIGHT];
  set_fen("4k3/8/8/1p2p3/N4N2/8/8/4K3 w - - 0 1");
  const uint32_t looked = side_counters[LOOSE_COUNT];
  TermPair t = loose_pieces_term(50);
  EXPECT_EQ(t.mg, -(knight * 50 / 100));
  EXPECT_EQ(t.eg, -(knight * 50 / 100));
  EXPECT_EQ(side_counters[LOOSE_COUNT] - looked, 2u);
  set_fen("4k3/8/8/1p2p3/N4N2/8/8/4K3 b - - 0 1");  // Black to move: only Black's pieces count
  t = loose_pieces_term(50);
  EXPECT_EQ(t.mg, 0);
  set_fen("4k3/8/8/1p6/N4N2/8/8/4K3 w - - 0 1");  // one hit piece is not enough
  EXPECT_EQ(loose_pieces_term(50).mg, 0);
  set_fen(mirror_fen("4k3/8/8/1p2p3/N4N2/8/8/4K3 w - - 0 1"));
  t = loose_pieces_term(50);
  EXPECT_EQ(t.mg, knight * 50 / 100);
}

// Queen e1 meets the e7 rook first on its file, knight a3 is attacked by the
// b4 pawn; the cheaper (the knight) sets the penalty. A rook hit by a knight
// and a bishop on its diagonal counts; a bishop hit by a knight does not.
TEST(LoosePieces, SliderAttacks) {
  const int knight = eval_params.matmg[KNIGHT];
  const int rook = eval_params.matmg[ROOK];
  set_fen("4k3/4r3/8/8/1p6/N7/8/4Q1K1 w - - 0 1");
  EXPECT_EQ(loose_pieces_term(100).mg, -knight);
  set_fen("4k3/4r3/8/8/1p6/N7/4P3/4Q1K1 w - - 0 1");  // e2 pawn shields the queen
  EXPECT_EQ(loose_pieces_term(100).mg, 0);
  set_fen("4k3/6b1/8/8/3R4/2n5/R7/6K1 w - - 0 1");  // d4 by the g7 bishop, a2 by the c3 knight
  EXPECT_EQ(loose_pieces_term(30).mg, -(rook * 30 / 100));
  set_fen("4k3/8/8/8/8/1n6/3B4/R5K1 w - - 0 1");  // d2 bishop and a1 rook hit by the knight: only
                                                  // the rook counts
  EXPECT_EQ(loose_pieces_term(30).mg, 0);
}

}  // namespace
}  // namespace kelmstrad::test
