// Make, unmake and null move: bookkeeping of every special move, legality
// charges, the recapture ring, "position ... moves" and exact restoration.
#include <gtest/gtest.h>

#include <memory>

#include "board/attack.h"
#include "board/perft.h"
#include "board_support.h"

namespace kelmstrad::test {
namespace {

// hash, pawn_king_key and scores of a position set from FEN.
struct Keys {
  uint32_t hash;
  uint32_t pawn_king_key;
  int16_t mg;
  int16_t eg;
  uint8_t phase;
};

Keys keys_of(const char* fen) {
  set_position(fen);
  return {position.hash, position.pawn_king_key, position.mg_score, position.eg_score,
          position.phase};
}

void expect_keys(const Keys& k) {
  EXPECT_EQ(position.hash, k.hash);
  EXPECT_EQ(position.pawn_king_key, k.pawn_king_key);
  EXPECT_EQ(position.mg_score, k.mg);
  EXPECT_EQ(position.eg_score, k.eg);
  EXPECT_EQ(position.phase, k.phase);
}

TEST(Make, DoubleStepSetsEnPassantAndUnmakeRestores) {
  const Keys after = keys_of("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  const Keys no_ep = keys_of("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
  EXPECT_EQ(after.hash, no_ep.hash ^ ep_keys[4]);
  set_position(START_FEN);
  const Position before = position;
  ASSERT_TRUE(make_move(0x3414));
  expect_keys(after);
  EXPECT_EQ(position.ep_square, 0x24);
  EXPECT_EQ(position.halfmove_clock, 0);
  EXPECT_EQ(position.side, BLACK);
  EXPECT_EQ(position.castling, 15);
  EXPECT_EQ(position.history_top, 1);
  unmake_move();
  EXPECT_EQ(position_difference(before, position), "");
}

// A clock of 255 stays 255 (a wrap to 0 would reopen the fifty-move rule and
// close the repetition window); unmake still gives back the clock it saved.
TEST(Make, HalfmoveClockStopsAt255) {
  set_position("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 254 1");
  ASSERT_TRUE(make_move(encode_move(6, 0x25)));  // g1f3
  EXPECT_EQ(position.halfmove_clock, 255);
  ASSERT_TRUE(make_move(encode_move(0x76, 0x55)));  // g8f6
  EXPECT_EQ(position.halfmove_clock, 255);
  unmake_move();
  EXPECT_EQ(position.halfmove_clock, 255);
  unmake_move();
  EXPECT_EQ(position.halfmove_clock, 254);
  ASSERT_TRUE(make_move(0x3414));  // e2e4: a pawn move starts the count again
  EXPECT_EQ(position.halfmove_clock, 0);
}

TEST(Make, QuietPieceMoveCountsTheHalfmoveClock) {
  set_position(START_FEN);
  ASSERT_TRUE(make_move(encode_move(6, 0x25)));
  EXPECT_EQ(position.halfmove_clock, 1);
  EXPECT_EQ(position.ep_square, NO_EP_SQUARE);
  const Keys expected = keys_of("rnbqkbnr/pppppppp/8/8/8/5N2/PPPPPPPP/RNBQKB1R b KQkq - 1 1");
  set_position(START_FEN);
  make_move(encode_move(6, 0x25));
  expect_keys(expected);
}

TEST(Make, RightsFollowTheMasksOfBothSquares) {
  const char* fen = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
  set_position(fen);
  ASSERT_TRUE(make_move(encode_move(7, 0x17)));  // h1h2
  EXPECT_EQ(position.castling, 14);
  set_position(fen);
  ASSERT_TRUE(make_move(encode_move(4, 0x14)));  // e1e2
  EXPECT_EQ(position.castling, 12);
  set_position(fen);
  ASSERT_TRUE(make_move(encode_move(0, 0x70)));  // a1xa8
  EXPECT_EQ(position.castling, 5);
  expect_keys(keys_of("R3k2r/8/8/8/8/8/8/4K2R b Kk - 0 1"));
  set_position("r3k2r/8/8/8/8/6n1/8/R3K2R b KQkq - 0 1");
  ASSERT_TRUE(make_move(encode_move(0x26, 7)));  // g3xh1 takes White's short right
  EXPECT_EQ(position.castling, 14);
}

TEST(Make, CastlingMovesTheRookWithItsSlot) {
  set_position("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  const Position before = position;
  const int rook_slot = position.square_slot[7];
  ASSERT_TRUE(make_move(encode_move(4, 6)));
  EXPECT_EQ(position.board[6], KING);
  EXPECT_EQ(position.board[5], ROOK);
  EXPECT_EQ(position.board[7], 0);
  EXPECT_EQ(position.board[4], 0);
  EXPECT_EQ(position.slot_square[rook_slot], 5);
  EXPECT_EQ(position.slot_square[0], 6);
  EXPECT_EQ(position.castling, 12);
  EXPECT_TRUE(position_is_ok());
  unmake_move();
  EXPECT_EQ(position_difference(before, position), "");
}

TEST(Make, BlackLongCastling) {
  set_position("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1");
  const Position before = position;
  ASSERT_TRUE(make_move(encode_move(0x74, 0x72)));
  EXPECT_EQ(position.board[0x72], BLACK | KING);
  EXPECT_EQ(position.board[0x73], BLACK | ROOK);
  EXPECT_EQ(position.board[0x70], 0);
  EXPECT_EQ(position.castling, 3);
  expect_keys(keys_of("2kr3r/8/8/8/8/8/8/R3K2R w KQ - 1 2"));
  set_position("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1");
  make_move(encode_move(0x74, 0x72));
  unmake_move();
  EXPECT_EQ(position_difference(before, position), "");
}

TEST(Make, UnderpromotionRaisesThePhaseAndUnmakeRestoresThePawn) {
  set_position("7k/4P3/8/8/8/8/8/K7 w - - 0 1");
  const Position before = position;
  ASSERT_TRUE(make_move(0x74E4));
  EXPECT_EQ(position.board[0x74], KNIGHT);
  EXPECT_EQ(position.board[0x64], 0);
  EXPECT_EQ(position.phase, 1);
  expect_keys(keys_of("4N2k/8/8/8/8/8/8/K7 b - - 0 1"));
  set_position("7k/4P3/8/8/8/8/8/K7 w - - 0 1");
  make_move(0x74E4);
  unmake_move();
  EXPECT_EQ(position.board[0x64], PAWN);
  EXPECT_EQ(position_difference(before, position), "");
}

TEST(Make, PromotionWithCaptureForBlack) {
  set_position("4k3/8/8/8/8/8/1p6/R1N1K3 b - - 0 1");
  ASSERT_TRUE(make_move(encode_move(0x11, 0x00, 0)));  // b2xa1=Q
  EXPECT_EQ(position.board[0], BLACK | QUEEN);
  EXPECT_EQ(position.phase, 5);  // 3, minus the rook's 2, plus the queen's 4
  expect_keys(keys_of("4k3/8/8/8/8/8/8/q1N1K3 w - - 0 2"));
}

TEST(Make, EnPassantCaptureTakesThePawnBehind) {
  set_position("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
  const Position before = position;
  CounterWatch watch;
  ASSERT_TRUE(make_move(encode_move(0x44, 0x53)));
  EXPECT_EQ(position.board[0x53], PAWN);
  EXPECT_EQ(position.board[0x43], 0);
  EXPECT_EQ(position.history[0].capture_square, 0x43);
  EXPECT_EQ(position.history[0].captured, BLACK | PAWN);
  EXPECT_EQ(position.recapture_square, NO_SQUARE);
  EXPECT_EQ(watch.delta(MAKE_CAP), 1u);
  EXPECT_EQ(watch.delta(ATT), 1u);  // en passant pays the full test
  EXPECT_EQ(watch.delta(MAKE_CHEAP), 0u);
  expect_keys(keys_of("4k3/8/3P4/8/8/8/8/4K3 b - - 0 1"));
  set_position("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
  make_move(encode_move(0x44, 0x53));
  unmake_move();
  EXPECT_EQ(position_difference(before, position), "");
}

TEST(Make, EnPassantExposingTheKingIsRefusedForBothColours) {
  set_position("8/8/8/KPp4r/8/8/8/6k1 w - c6 0 1");
  Position before = position;
  CounterWatch watch;
  EXPECT_FALSE(make_move(encode_move(0x41, 0x52)));
  EXPECT_EQ(position_difference(before, position), "");
  EXPECT_EQ(watch.delta(MAKE), 1u);
  EXPECT_EQ(watch.delta(MAKE_CAP), 1u);
  EXPECT_EQ(watch.delta(UNMAKE), 1u);
  EXPECT_EQ(watch.delta(UNMAKE_CAP), 1u);
  EXPECT_EQ(watch.delta(ATT), 1u);
  EXPECT_EQ(watch.delta(ATT_PC), 2u);  // king and rook: the c5 pawn is already off
  EXPECT_EQ(watch.bucket(3), 1u);
  set_position("6K1/8/8/8/kpP4R/8/8/8 b - c3 0 1");
  before = position;
  EXPECT_FALSE(make_move(encode_move(0x31, 0x22)));
  EXPECT_EQ(position_difference(before, position), "");
}

TEST(Make, PinnedPieceCheapOrFullByTheHint) {
  set_position("4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1");
  const Position before = position;
  CounterWatch cheap;
  EXPECT_FALSE(make_move(encode_move(0x14, 0x22)));
  EXPECT_EQ(position_difference(before, position), "");
  EXPECT_EQ(cheap.delta(MAKE_CHEAP), 1u);
  EXPECT_EQ(cheap.delta(ATT), 0u);
  EXPECT_EQ(cheap.delta(UNMAKE), 1u);
  in_check_hint = 1;
  attack_context = 2;
  CounterWatch full;
  EXPECT_FALSE(make_move(encode_move(0x14, 0x22)));
  EXPECT_EQ(full.delta(MAKE_CHEAP), 0u);
  EXPECT_EQ(full.delta(ATT), 1u);
  EXPECT_EQ(full.delta(ATT_PC), 2u);
  EXPECT_EQ(full.bucket(3), 1u);
  EXPECT_EQ(full.bucket(2), 0u);
  EXPECT_EQ(attack_context, 2u);  // restored after the charge
  in_check_hint = 0;
}

TEST(Make, KingMovesAlwaysPayTheFullTest) {
  set_position("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
  CounterWatch watch;
  EXPECT_TRUE(make_move(encode_move(4, 3)));
  EXPECT_EQ(watch.delta(ATT), 1u);
  EXPECT_EQ(watch.delta(ATT_PC), 1u);
  EXPECT_EQ(watch.delta(MAKE_CHEAP), 0u);
}

TEST(Make, NetworkFeatureChargesOnlyWhileActive) {
  set_position("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  CounterWatch off;
  make_move(encode_move(4, 6));
  EXPECT_EQ(off.delta(NNF), 0u);
  network_active = true;
  set_position("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  CounterWatch on;
  make_move(encode_move(4, 6));  // castling: 2 + 2
  EXPECT_EQ(on.delta(NNF), 4u);
  make_move(encode_move(0x70, 0x60));  // quiet: 2
  EXPECT_EQ(on.delta(NNF), 6u);
  make_move(encode_move(0, 0x60));  // a1xa7: capture, 3
  EXPECT_EQ(on.delta(NNF), 9u);
  network_active = false;
}

TEST(Make, RecaptureSquareAndItsRing) {
  set_position("4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1");
  ASSERT_TRUE(make_move(encode_move(0x34, 0x43)));
  EXPECT_EQ(position.recapture_square, 0x43);
  EXPECT_EQ(recapture_ring[0], NO_SQUARE);
  ASSERT_TRUE(make_move(encode_move(0x74, 0x63)));  // e8d7, quiet
  EXPECT_EQ(position.recapture_square, NO_SQUARE);
  EXPECT_EQ(recapture_ring[1], 0x43);
  unmake_move();
  EXPECT_EQ(position.recapture_square, 0x43);
  unmake_move();
  EXPECT_EQ(position.recapture_square, NO_SQUARE);
}

TEST(Make, FullHistoryRefusesWithoutCharging) {
  set_position(START_FEN);
  position.history_top = HISTORY_CAPACITY;
  const Position before = position;
  CounterWatch watch;
  EXPECT_FALSE(make_move(0x3414));
  EXPECT_EQ(position_difference(before, position), "");
  EXPECT_EQ(watch.delta(MAKE), 0u);
  set_position(START_FEN);
}

TEST(NullMove, RemovesTheEnPassantKeyAndComesBack) {
  set_position("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 3 1");
  const Position before = position;
  uint8_t ring[RECAPTURE_RING_SIZE];
  memcpy(ring, recapture_ring, sizeof(ring));
  CounterWatch watch;
  make_null_move();
  EXPECT_EQ(position.hash, before.hash ^ ep_keys[4]);
  EXPECT_EQ(position.side, WHITE);
  EXPECT_EQ(position.ep_square, NO_EP_SQUARE);
  EXPECT_EQ(position.halfmove_clock, 0);
  EXPECT_EQ(position.history_top, 1);
  EXPECT_EQ(position.history[0].move, 0);
  EXPECT_EQ(position.history[0].hash, before.hash);
  unmake_null_move();
  EXPECT_EQ(position_difference(before, position), "");
  EXPECT_EQ(memcmp(ring, recapture_ring, sizeof(ring)), 0);
  for (int key = 0; key < COST_KEY_COUNT; ++key)
    EXPECT_EQ(watch.delta(static_cast<CostKey>(key)), 0u);
}

TEST(MakeFaults, CaptureOnAnOccupiedEnPassantSquareIsOrdinary) {
  set_position("4k3/8/8/8/8/4p3/3P4/4K3 w - e3 0 1");
  const Position before = position;
  ASSERT_TRUE(make_move(encode_move(0x13, 0x24)));
  EXPECT_EQ(position.board[0x24], PAWN);
  EXPECT_EQ(position.history[0].capture_square, 0x24);
  EXPECT_TRUE(position_is_ok());
  unmake_move();
  EXPECT_EQ(position_difference(before, position), "");
  set_position("4k3/8/8/8/8/8/4P3/4K3 w - e3 0 1");  // a push onto a bogus en-passant square
  ASSERT_TRUE(make_move(encode_move(0x14, 0x24)));
  EXPECT_EQ(position.board[0x24], PAWN);
  EXPECT_EQ(position.history[0].captured, 0);
  EXPECT_TRUE(position_is_ok());
}

TEST(MakeFaults, SideWithoutKing) {
  set_position("8/8/8/8/8/8/8/R3k3 w - - 0 1");
  EXPECT_EQ(perft(1), 11u);                   // nothing can make a missing king illegal
  ASSERT_TRUE(make_move(encode_move(0, 4)));  // takes the only Black piece
  EXPECT_EQ(position.slot_square[16], NO_SQUARE);
  EXPECT_TRUE(position_is_ok());
  EXPECT_EQ(perft(1), 0u);
  EXPECT_FALSE(gives_check(encode_move(4, 0x14)));
  unmake_move();
  set_position("8/8/8/8/8/8/8/R3k3 b - - 0 1");
  EXPECT_EQ(perft(1), 3u);  // Ke2, Kd2, Kf2: the rook sweeps the whole first rank
}

TEST(PositionMoves, StopsAtAnUnknownOrIllegalMove) {
  set_position(START_FEN);
  const char* moves[] = {"e2e4", "e7e5", "e1e3", "d2d4"};
  play_position_moves(moves, 4);
  EXPECT_EQ(position.history_top, 2);
  set_position("4k3/8/8/8/8/8/4r3/4K3 w - - 0 1");
  const char* illegal[] = {"e1d2", "e1e2"};
  play_position_moves(illegal, 2);
  EXPECT_EQ(position.history_top, 0);
  EXPECT_EQ(position.board[4], KING);
  play_position_moves(illegal + 1, 1);
  EXPECT_EQ(position.board[0x14], KING);
}

TEST(PositionMoves, LongGamesKeepTheLast128Records) {
  set_position(START_FEN);
  const char* cycle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  uint32_t cycle_hash[4];
  for (int i = 0; i < 4; ++i) {
    cycle_hash[i] = position.hash;
    play_position_moves(cycle + i, 1);
  }
  std::vector<const char*> game;
  for (int i = 4; i < 960; ++i) game.push_back(cycle[i % 4]);
  play_position_moves(game.data(), static_cast<int>(game.size()));
  // 952 records reached at the 952nd move: compacted to 128, then 8 more.
  EXPECT_EQ(position.history_top, 136);
  const Move cycle_move[4] = {encode_move(6, 0x25), encode_move(0x76, 0x55), encode_move(0x25, 6),
                              encode_move(0x55, 0x76)};
  for (int i = 0; i < position.history_top; ++i) {
    EXPECT_EQ(position.history[i].hash, cycle_hash[i % 4]) << i;
    EXPECT_EQ(position.history[i].move, cycle_move[i % 4]) << i;
  }
  EXPECT_EQ(position.board[6], KNIGHT);  // 960 moves: back to the start
  // The clock stops at 255 rather than wrapping (960 % 256 would be 192).
  EXPECT_EQ(position.halfmove_clock, 255);
}

// Makes and unmakes every generated move below the current position and
// checks that each unmake (and each refused make) restores every field.
bool restores_everything(int depth) {
  if (depth == 0) return true;
  const uint16_t mark = move_stack_len;
  generate_moves(true);
  generate_moves(false);
  const uint16_t end = move_stack_len;
  const auto before = std::make_unique<Position>(position);
  bool ok = true;
  for (int i = mark; i < end && ok; ++i) {
    const std::string text = move_to_text(move_stack[i]);
    if (make_move(move_stack[i])) {
      if (depth <= 2 && !position_is_ok()) {
        ADD_FAILURE() << "keys or slots wrong after " << text;
        ok = false;
      }
      ok = ok && restores_everything(depth - 1);
      unmake_move();
    }
    const std::string diff = position_difference(*before, position);
    if (!diff.empty()) {
      ADD_FAILURE() << diff << " differs after unmaking " << text;
      ok = false;
    }
  }
  move_stack_len = mark;
  return ok;
}

// Below the current position: wherever the side to move's king is not
// attacked, make_move_king_safe answers every generated move as make_move
// does, with the same charges and the same resulting position.
bool king_safe_make_agrees(int depth) {
  if (depth == 0) return true;
  const uint16_t mark = move_stack_len;
  generate_moves(true);
  generate_moves(false);
  const uint16_t end = move_stack_len;
  const bool safe = !square_attacked(position.slot_square[position.side * 2], position.side ^ 8);
  bool ok = true;
  for (int i = mark; i < end && ok; ++i) {
    const Move m = move_stack[i];
    const std::string text = move_to_text(m);
    CounterWatch plain;
    const bool legal = make_move(m);
    uint32_t plain_delta[COST_KEY_COUNT];
    for (int k = 0; k < COST_KEY_COUNT; ++k) plain_delta[k] = plain.delta(static_cast<CostKey>(k));
    const auto after = std::make_unique<Position>(position);
    if (legal) unmake_move();
    if (safe) {
      CounterWatch fast;
      const bool fast_legal = make_move_king_safe(m);
      for (int k = 0; k < COST_KEY_COUNT; ++k) {
        if (fast.delta(static_cast<CostKey>(k)) == plain_delta[k]) continue;
        ADD_FAILURE() << "charge " << COST_KEY_NAMES[k] << " differs on " << text;
        ok = false;
      }
      if (fast_legal != legal || (legal && position_difference(*after, position) != "")) {
        ADD_FAILURE() << "king-safe make differs on " << text;
        ok = false;
      }
      if (fast_legal) unmake_move();
    }
    if (legal) {
      make_move(m);
      ok = ok && king_safe_make_agrees(depth - 1);
      unmake_move();
    }
  }
  move_stack_len = mark;
  return ok;
}

TEST(MakeKingSafe, AgreesWithMakeEverywhere) {
  for (const PerftCase& c : STANDARD_PERFT) {
    set_position(c.fen);
    EXPECT_TRUE(king_safe_make_agrees(2)) << c.name;
  }
  const char* pins[] = {"4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1", "4k3/8/8/8/b7/8/2P5/4K3 w - - 0 1",
                        "8/8/8/KPp4r/8/8/8/6k1 w - c6 0 1", "4k3/8/8/8/8/8/4P3/4K2q w - - 0 1"};
  for (const char* fen : pins) {
    set_position(fen);
    EXPECT_TRUE(king_safe_make_agrees(2)) << fen;
  }
}

TEST(MakeUnmake, StandardPositionsRestoreBitForBit) {
  for (const PerftCase& c : STANDARD_PERFT) {
    set_position(c.fen);
    EXPECT_TRUE(restores_everything(2)) << c.name;
  }
}

TEST(MakeUnmake, SpecialMovePositionsRestoreBitForBit) {
  const char* fens[] = {
      "8/8/8/KPp4r/8/8/8/6k1 w - c6 0 1",         "6K1/8/8/8/kpP4R/8/8/8 b - c3 0 1",
      "4k3/8/8/8/8/b7/5r2/R3K2R w KQ - 0 1",      "r3k2r/5R2/B7/8/8/8/8/4K3 b kq - 0 1",
      "r1n1k3/1P6/8/8/8/8/8/4K3 w - - 0 1",       "4k3/8/8/8/8/8/1p6/R1N1K3 b - - 0 1",
      "r3k2r/8/6N1/8/8/6n1/8/R3K2R w KQkq - 0 1", "P3k3/8/8/8/8/8/8/p3K3 w - e3 0 1",
  };
  for (const char* fen : fens) {
    set_position(fen);
    EXPECT_TRUE(restores_everything(3)) << fen;
  }
}

}  // namespace
}  // namespace kelmstrad::test
