// The colour mirror of a position (board flipped, colours, side to move,
// castling and en passant swapped) must score the same for the side to move,
// and every white-relative term must change its sign.
#include <gtest/gtest.h>

#include <string>

#include "board/move.h"
#include "eval/endgame.h"
#include "eval/terms.h"
#include "eval_support.h"

namespace kelmstrad::test {
namespace {

const char* const VARIED[] = {
    START_FEN,
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "4k3/B1p5/1p6/8/8/8/8/4K3 w - - 0 1",
    "7k/8/8/P7/8/8/8/4K3 w - - 0 1",
    "4k3/8/8/1p2p3/N4N2/8/8/4K3 w - - 0 1",
    "r3k3/3Q4/8/8/8/5n2/8/R3K3 w - - 0 1",
    "4k3/8/8/8/8/8/8/2B1K3 w - - 45 80",
    "8/8/8/4k3/8/8/8/Q3K3 b - - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "2kr3r/pp1n1ppp/2p1bn2/8/2PP4/2N2N2/PP3PPP/R1B1R1K1 b - - 3 14",
    "6k1/5ppp/8/8/8/5PK1/5P1P/8 b - - 0 1",
    "rnbq1rk1/pppp1ppp/5n2/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 w - - 6 5",
    "4k3/4p3/8/8/8/8/4P3/R3K2r w - - 60 40",
    "1k6/1pp5/8/8/8/8/5PP1/6K1 b - - 0 1",
};

// evaluate of the position and of its mirror.
void expect_mirror_equal(const char* what) {
  for (const char* fen : VARIED) {
    set_fen(fen);
    const int score = evaluate();
    set_fen(mirror_fen(fen));
    EXPECT_EQ(evaluate(), score) << what << ": " << fen;
  }
}

TEST(Symmetry, EvaluateUnderEverySetting) {
  EvalSettingsGuard guard;
  expect_mirror_equal("default");
  for (int mask : {0, 1, 2, 4, 8, 16, 32, 21, 42}) {
    terms_mask = mask;
    expect_mirror_equal("terms");
  }
  terms_mask = 63;
  lean_mode = 1;
  expect_mirror_equal("lean");
  lean_mode = 0;
  for (int kind = KNIGHT; kind <= QUEEN; ++kind) {
    eval_params.mobmg[kind] = static_cast<int16_t>(kind + 1);
    eval_params.mobeg[kind] = static_cast<int16_t>(2 * kind - 3);
  }
  mobility_enabled = true;
  expect_mirror_equal("mobility");
  for (int i = 6; i <= 10; ++i) {
    eval_params.nemg[i] = static_cast<int16_t>(i - 8);
    eval_params.neeg[i] = static_cast<int16_t>(3 * i - 20);
  }
  pawn_extras_enabled = true;
  expect_mirror_equal("pawn extras");
  // Quick and lean values at odd blends, where a floor instead of a
  // truncation would differ by one between the colours.
  for (const char* fen : VARIED) {
    set_fen(fen);
    const int quick = quick_eval();
    set_fen(mirror_fen(fen));
    EXPECT_EQ(quick_eval(), quick) << fen;
  }
}

TEST(Symmetry, SwitchableTermsChangeSign) {
  for (const char* fen : VARIED) {
    set_fen(fen);
    const int central = central_pawn_term(17);
    const int tropism = king_tropism_term(137);
    const TermPair trapped = trapped_pieces_term();
    const TermPair loose = loose_pieces_term(70);
    const int rules_plus = endgame_rules(123, 15, 10, 3);
    const int rules_minus = endgame_rules(-77, 15, 7, 2);
    const int race = pawn_race();
    set_fen(mirror_fen(fen));
    EXPECT_EQ(central_pawn_term(17), -central) << fen;
    EXPECT_EQ(king_tropism_term(137), -tropism) << fen;
    EXPECT_EQ(trapped_pieces_term().mg, -trapped.mg) << fen;
    EXPECT_EQ(trapped_pieces_term().eg, -trapped.eg) << fen;
    EXPECT_EQ(loose_pieces_term(70).mg, -loose.mg) << fen;
    EXPECT_EQ(endgame_rules(-123, 15, 10, 3), -rules_plus) << fen;
    EXPECT_EQ(endgame_rules(77, 15, 7, 2), -rules_minus) << fen;
    EXPECT_EQ(pawn_race(), -race) << fen;
  }
}

TEST(Symmetry, SearchLinePenalty) {
  const char* fen = "rnbqk2r/ppppbppp/5n2/4p3/4P3/5N2/PPPPBPPP/RNBQK2R w KQkq - 0 1";
  int white_line[2];
  int black_line[2];
  set_fen(fen);
  position.history[0] = UndoRecord{};
  position.history[0].move = encode_move(7, 6);  // Rh1g1
  position.history[0].piece = ROOK;
  position.history_top = 1;
  search_path_penalties(40, 20, white_line);
  set_fen(mirror_fen(fen));
  position.history[0] = UndoRecord{};
  position.history[0].move = encode_move(0x77, 0x76);  // Rh8g8
  position.history[0].piece = BLACK | ROOK;
  position.history_top = 1;
  search_path_penalties(40, 20, black_line);
  EXPECT_EQ(white_line[0], black_line[1]);
  EXPECT_EQ(white_line[1], black_line[0]);
  EXPECT_EQ(white_line[0], 40);
}

}  // namespace
}  // namespace kelmstrad::test
