// Perft counts, perftx checksums against a from-scratch recomputation, and
// the output of "perft", "perftx", "d" and "histkeys".
#include "board/perft.h"

#include <gtest/gtest.h>

#include <regex>

#include "board_support.h"
#include "eval/params.h"
#include "support.h"
#include "uci/commands.h"

namespace kelmstrad::test {
namespace {

// Depths that keep the suite quick; the deep counts run under the label "slow".
constexpr int FAST_DEPTH[] = {4, 3, 4, 3, 3, 3};

TEST(Perft, StandardPositions) {
  int index = 0;
  for (const PerftCase& c : STANDARD_PERFT) {
    set_position(c.fen);
    for (int depth = 1; depth <= FAST_DEPTH[index]; ++depth)
      EXPECT_EQ(perft(depth), c.counts[depth]) << c.name << " depth " << depth;
    ++index;
  }
}

struct OwnCase {
  const char* fen;
  unsigned long long counts[5];
};

// Counts for depths 1..4 taken from Stockfish 15.1 (Debian) "go perft".
constexpr OwnCase SPECIAL_MOVES[] = {
    // En passant that would expose the king along the rank, White and Black.
    {"8/8/8/KPp4r/8/8/8/6k1 w - c6 0 1", {1, 4, 68, 317, 5621}},
    {"6K1/8/8/8/kpP4R/8/8/8 b - c3 0 1", {1, 4, 68, 317, 5621}},
    // Castling through check (short) and into check (long).
    {"4k3/8/8/8/8/b7/5r2/R3K2R w KQ - 0 1", {1, 16, 369, 6870, 144912}},
    {"r3k2r/5R2/B7/8/8/8/8/4K3 b kq - 0 1", {1, 16, 369, 6870, 144912}},
    // All four promotions, with capture on either side and without.
    {"r1n1k3/1P6/8/8/8/8/8/4K3 w - - 0 1", {1, 17, 205, 2665, 39632}},
    {"4k3/8/8/8/8/8/1p6/R1N1K3 b - - 0 1", {1, 17, 205, 2665, 39632}},
    // Rights lost by a captured rook (rook takes rook, knight takes rook).
    {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", {1, 26, 568, 13744, 314346}},
    {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", {1, 26, 568, 13744, 314346}},
    {"r3k2r/8/6N1/8/8/6n1/8/R3K2R w KQkq - 0 1", {1, 29, 731, 19498, 498563}},
    {"r3k2r/8/6N1/8/8/6n1/8/R3K2R b KQkq - 0 1", {1, 29, 731, 19498, 498563}},
};

TEST(Perft, SpecialMovesForBothColours) {
  for (const OwnCase& c : SPECIAL_MOVES) {
    set_position(c.fen);
    for (int depth = 1; depth <= 4; ++depth)
      EXPECT_EQ(perft(depth), c.counts[depth]) << c.fen << " depth " << depth;
  }
}

TEST(Perft, DepthZeroIsOneLeafAndThePositionIsUnchanged) {
  set_position("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
  const Position before = position;
  EXPECT_EQ(perft(0), 1u);
  EXPECT_EQ(perft(-3), 1u);
  EXPECT_EQ(perft(2), 2039u);
  EXPECT_EQ(position_difference(before, position), "");
  EXPECT_EQ(move_stack_len, 0);
}

// Checksums of the leaves, each leaf recomputed from its board alone.
struct Reference {
  uint32_t csh = 0;
  uint16_t csm = 0;
  uint16_t cse = 0;
  uint64_t leaves = 0;
  uint64_t pawn_key_errors = 0;
};

void fold_from_scratch(Reference* ref) {
  uint32_t hash = 0;
  uint32_t pawn_king = 0;
  int mg = 0;
  int eg = 0;
  for (int sq = 0; sq < 128; ++sq) {
    const Piece p = position.board[sq];
    if ((sq & 0x88) != 0 || p == 0) continue;
    const int i = (sq >> 4) * 8 + (sq & 7);
    const int k = p & 7;
    const bool white = (p & 8) == 0;
    const int r = white ? i : (i ^ 56);
    hash ^= piece_keys[p][i];
    if (k == PAWN || k == KING) pawn_king ^= piece_keys[p][i];
    const int vmg = eval_params.matmg[k] + root_terms[p][i] + eval_params.pstmg[k][r];
    const int veg = eval_params.mateg[k] + eval_params.psteg[k][r];
    mg += white ? vmg : -vmg;
    eg += white ? veg : -veg;
  }
  hash ^= castle_keys[position.castling];
  if (position.ep_square != NO_EP_SQUARE) hash ^= ep_keys[position.ep_square & 7];
  ref->csh ^= hash ^ (position.side == BLACK ? side_key : 0);
  ref->csm = static_cast<uint16_t>(ref->csm + mg);
  ref->cse = static_cast<uint16_t>(ref->cse + eg);
  ref->leaves += 1;
  if (pawn_king != position.pawn_king_key) ref->pawn_key_errors += 1;
}

void reference_walk(int depth, Reference* ref) {
  if (depth == 0) {
    fold_from_scratch(ref);
    return;
  }
  const uint16_t mark = move_stack_len;
  generate_moves(true);
  generate_moves(false);
  const uint16_t end = move_stack_len;
  for (int i = mark; i < end; ++i) {
    if (!make_move(move_stack[i])) continue;
    reference_walk(depth - 1, ref);
    unmake_move();
  }
  move_stack_len = mark;
}

class PerftChecksum : public ::testing::Test {
 protected:
  // Root bonuses make mg_score depend on every piece code and square.
  void SetUp() override {
    for (int p = 0; p < 16; ++p)
      for (int i = 0; i < 64; ++i)
        root_terms[p][i] = static_cast<int16_t>((p * 7 + i * 3) % 23 - 11);
    fill_piece_square_scores();
  }
  void TearDown() override {
    memset(root_terms, 0, sizeof(root_terms));
    fill_piece_square_scores();
  }
};

TEST_F(PerftChecksum, EqualsRecomputationAtEveryLeaf) {
  const char* fens[] = {
      STANDARD_PERFT[0].fen, STANDARD_PERFT[1].fen, STANDARD_PERFT[3].fen, STANDARD_PERFT[4].fen,
      SPECIAL_MOVES[0].fen,  SPECIAL_MOVES[5].fen,  SPECIAL_MOVES[8].fen,
  };
  for (const char* fen : fens) {
    set_position(fen);
    Reference ref;
    reference_walk(3, &ref);
    csh = 0;
    csm = 0;
    cse = 0;
    EXPECT_EQ(perft_checksum(3), ref.leaves) << fen;
    EXPECT_EQ(csh, ref.csh) << fen;
    EXPECT_EQ(csm, ref.csm) << fen;
    EXPECT_EQ(cse, ref.cse) << fen;
    EXPECT_EQ(ref.pawn_key_errors, 0u) << fen;
  }
}

TEST_F(PerftChecksum, CommandPrintsTheSameSums) {
  set_position(STANDARD_PERFT[1].fen);
  Reference ref;
  reference_walk(2, &ref);
  char expected[96];
  snprintf(expected, sizeof(expected), "perftx nodes %llu csh %08x csm %04x cse %04x\n",
           static_cast<unsigned long long>(ref.leaves), ref.csh, ref.csm, ref.cse);
  EXPECT_EQ(capture_output([] { run_command(cmd_perftx, "2"); }), expected);
}

TEST(PerftxCommand, DepthZeroIsThePositionItself) {
  set_position("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  char expected[96];
  snprintf(expected, sizeof(expected), "perftx nodes 1 csh %08x csm %04x cse %04x\n",
           position.hash ^ side_key, static_cast<uint16_t>(position.mg_score),
           static_cast<uint16_t>(position.eg_score));
  EXPECT_EQ(capture_output([] { run_command(cmd_perftx, "0"); }), expected);
}

TEST(PerftCommand, DepthOneListsEveryMoveInGenerationOrder) {
  set_position(START_FEN);
  const std::string out = capture_output([] { run_command(cmd_perft, "1"); });
  const std::regex shape(
      "b1c3: 1\nb1a3: 1\ng1h3: 1\ng1f3: 1\na2a3: 1\na2a4: 1\nb2b3: 1\nb2b4: 1\nc2c3: 1\n"
      "c2c4: 1\nd2d3: 1\nd2d4: 1\ne2e3: 1\ne2e4: 1\nf2f3: 1\nf2f4: 1\ng2g3: 1\ng2g4: 1\n"
      "h2h3: 1\nh2h4: 1\n\nNodes: 20  \\(\\d+ ms\\)\n");
  EXPECT_TRUE(std::regex_match(out, shape)) << out;
}

TEST(PerftCommand, ZeroMissingOrTextDepthActsAsOne) {
  set_position(START_FEN);
  const std::regex depth_one("(?:[a-h][1-8][a-h][1-8]: 1\n){20}\nNodes: 20  \\(\\d+ ms\\)\n");
  EXPECT_TRUE(std::regex_match(capture_output([] { run_command(cmd_perft, "0"); }), depth_one));
  EXPECT_TRUE(std::regex_match(capture_output([] { run_command(cmd_perft, ""); }), depth_one));
  EXPECT_TRUE(std::regex_match(capture_output([] { run_command(cmd_perft, "x"); }), depth_one));
  EXPECT_TRUE(std::regex_match(capture_output([] { run_command(cmd_perft, "-2"); }), depth_one));
}

TEST(PerftCommand, IllegalMovesPrintNothing) {
  set_position("8/8/8/KPp4r/8/8/8/6k1 w - c6 0 1");
  const std::string out = capture_output([] { run_command(cmd_perft, "2"); });
  const std::regex shape("a5a6: 17\na5a4: 17\na5b6: 17\nb5b6: 17\n\nNodes: 68  \\(\\d+ ms\\)\n");
  EXPECT_TRUE(std::regex_match(out, shape)) << out;
}

TEST(DiagramCommand, StartPosition) {
  set_position(START_FEN);
  char status[96];
  snprintf(status, sizeof(status), "side w  castle 15  ep 80  hash %08x  eval 10\n", position.hash);
  EXPECT_EQ(
      capture_output([] { run_command(cmd_d, ""); }),
      std::string("r n b q k b n r \np p p p p p p p \n. . . . . . . . \n. . . . . . . . \n"
                  ". . . . . . . . \n. . . . . . . . \nP P P P P P P P \nR N B Q K B N R \n") +
          status);
}

TEST(DiagramCommand, BlackToMoveShowsSideKeyAndEnPassant) {
  set_position(START_FEN);
  ASSERT_TRUE(make_move(0x3414));
  const std::string out = capture_output([] { run_command(cmd_d, ""); });
  char status[96];
  snprintf(status, sizeof(status), "side b  castle 15  ep 24  hash %08x  eval ",
           position.hash ^ side_key);
  EXPECT_NE(out.find(". . . . P . . . \n. . . . . . . . \nP P P P . P P P \n"), std::string::npos);
  EXPECT_NE(out.find(status), std::string::npos) << out;
}

TEST(HistkeysCommand, NewestFirstAtMostN) {
  set_position(START_FEN);
  const uint32_t start_hash = position.hash;
  char one[32];
  snprintf(one, sizeof(one), "histkeys %08x\n", start_hash);
  const char* moves[] = {"e2e4", "e7e5"};
  play_position_moves(moves, 1);
  const uint32_t after_e4 = position.hash;
  EXPECT_EQ(capture_output([] { run_command(cmd_histkeys, ""); }), one);
  play_position_moves(moves + 1, 1);
  char two[48];
  snprintf(two, sizeof(two), "histkeys %08x %08x\n", after_e4, start_hash);
  EXPECT_EQ(capture_output([] { run_command(cmd_histkeys, ""); }), two);
  char newest[32];
  snprintf(newest, sizeof(newest), "histkeys %08x\n", after_e4);
  EXPECT_EQ(capture_output([] { run_command(cmd_histkeys, "1"); }), newest);
  EXPECT_EQ(capture_output([] { run_command(cmd_histkeys, "0"); }), "histkeys\n");
  EXPECT_EQ(capture_output([] { run_command(cmd_histkeys, "-5"); }), "histkeys\n");
  set_position(START_FEN);
  EXPECT_EQ(capture_output([] { run_command(cmd_histkeys, "32"); }), "histkeys\n");
}

}  // namespace
}  // namespace kelmstrad::test
