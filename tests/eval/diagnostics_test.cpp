// The evaluation commands' output lines and the reduced evaluation.
#include "eval/diagnostics.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "clock/counters.h"
#include "eval/pawns.h"
#include "eval/reduced.h"
#include "eval_support.h"
#include "support.h"
#include "uci/commands.h"

namespace kelmstrad::test {
namespace {

const EvalParams& P = eval_params;

std::string run(void (*handler)(TokenReader&)) {
  return capture_output([&] { run_command(handler, ""); });
}

// The position of FullEval.PassedAndIsolatedPawnsWithShelter: phase 0, so the
// score is the endgame sum plus the endgame terms.
constexpr const char* PAWNS_FEN = "4k3/p6p/8/4P3/8/8/8/4K3 w - - 0 1";

int pawns_fen_white_score() {
  const int eg = piece_eg('K', "e1") + piece_eg('k', "e8") + piece_eg('P', "e5") +
                 piece_eg('p', "a7") + piece_eg('p', "h7");
  return TEMPO_BONUS + eg + P.passeg[4] - 2 * P.passeg[1] + P.isoeg;
}

TEST(EvalCommands, StartPositionScores) {
  set_fen(START_FEN);
  EXPECT_EQ(run(cmd_eval), "10\n");
  EXPECT_EQ(run(cmd_tuneeval), "10\n");
  EXPECT_EQ(run(cmd_tunefeat), "tf 10 16\n");
  set_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1");
  EXPECT_EQ(run(cmd_eval), "10\n");
  EXPECT_EQ(run(cmd_tuneeval), "-10\n");
  EXPECT_EQ(run(cmd_tunefeat), "tf -10 16\n");
}

TEST(EvalCommands, EvalskelFloorsTheBlend) {
  set_fen("4k3/8/8/8/8/8/8/4K3 b - - 0 1");
  position.mg_score = -30;
  position.eg_score = -30;
  const uint32_t evals = op_counters[EVAL];
  EXPECT_EQ(run(cmd_evalskel), "40\n");  // K = -30, Black to move: 10 - K
  EXPECT_EQ(op_counters[EVAL] - evals, 1u);
  position.side = WHITE;
  position.phase = 12;  // p16 8
  position.mg_score = -1;
  position.eg_score = 0;
  EXPECT_EQ(run(cmd_evalskel), "9\n");  // (-1 * 8) >> 4 = -1
  EXPECT_EQ(quick_eval(), 10);          // trunc(-8 / 16) = 0
}

TEST(EvalCommands, TermfeatLines) {
  set_fen(PAWNS_FEN);
  const int score = pawns_fen_white_score();
  EXPECT_EQ(run(cmd_termfeat), "tf2 " + std::to_string(score) + " 0 -2 0 0 1 0 0 -1 0 0 0 0\n");
  // Mobility (no pieces), pawn extras (off: zeros), shelter differences:
  // only Black's term 3 on the e-file is unmatched.
  EXPECT_EQ(run(cmd_termfeat3), "tf3 " + std::to_string(score) +
                                    " 0 -2 0 0 1 0 0 -1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 -1 0 0\n");
  set_fen(START_FEN);
  std::string zeros;
  for (int i = 0; i < 25; ++i) zeros += " 0";
  EXPECT_EQ(run(cmd_termfeat3), "tf3 10 16" + zeros + "\n");
  EXPECT_FALSE(mobility_forced);
}

// The words of a line.
std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

// Mobility is counted for "termfeat3" although every weight is 0: the lone
// bishop on c1 reaches b2, a3 and d2 to h6 (7), the b-pawn's attack on a3 is
// White's own. Kinds 2..5 follow the 2 + 6 + 5 leading numbers.
TEST(EvalCommands, Termfeat3ForcesMobility) {
  set_fen("4k3/8/8/8/8/8/1P6/2B1K3 w - - 0 1");
  const std::vector<std::string> w = words(run(cmd_termfeat3));
  ASSERT_EQ(w.size(), 1u + 2 + 6 + 5 + 4 + 5 + 5);
  EXPECT_EQ(w[14], "0");
  EXPECT_EQ(w[15], "5");  // b2 holds the own pawn: only d2 to h6
  EXPECT_EQ(w[16], "0");
  EXPECT_EQ(w[17], "0");
  set_fen("4k3/8/8/8/8/8/8/2B1K3 w - - 0 1");
  EXPECT_EQ(words(run(cmd_termfeat3))[15], "7");
  set_fen("4k3/8/8/8/6p1/8/8/2B1K3 w - - 0 1");  // g4 attacks f3 and h3, off the diagonals
  EXPECT_EQ(words(run(cmd_termfeat3))[15], "7");
  // g5 attacks f4 (passed over, not counted); g5 itself is counted and ends the
  // ray: b2, a3, d2, e3, g5.
  set_fen("4k3/8/8/6p1/8/8/8/2B1K3 w - - 0 1");
  EXPECT_EQ(words(run(cmd_termfeat3))[15], "5");
}

// White d5/e5 (a phalanx, d5 passed at relative rank 4: weight 2, front d6
// is 5 from the white king and 2 from the black one; e5 is not passed because
// of f7), black f7 backward (its only neighbour g6 is ahead and e5 attacks f6),
// black g6 defended by f7 and passed only at relative rank 2.
TEST(EvalCommands, Nefeat) {
  set_fen(START_FEN);
  EXPECT_EQ(run(cmd_nefeat), "0 0 0 0 0\n");
  set_fen("4k3/5p2/6p1/3PP3/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(run(cmd_nefeat), "10 4 2 -1 -1\n");
  set_fen(mirror_fen("4k3/5p2/6p1/3PP3/8/8/8/4K3 w - - 0 1"));
  EXPECT_EQ(run(cmd_nefeat), "-10 -4 -2 1 1\n");
}

TEST(PawnExtras, WeightedSums) {
  EvalSettingsGuard guard;
  for (int i = 6; i <= 10; ++i) {
    eval_params.nemg[i] = static_cast<int16_t>(i);
    eval_params.neeg[i] = static_cast<int16_t>(-2 * i);
  }
  set_fen("4k3/5p2/6p1/3PP3/8/8/8/4K3 w - - 0 1");
  PawnFileTable files;
  build_pawn_file_table(&files);
  const TermPair sum = pawn_extras(files);
  EXPECT_EQ(sum.mg, 6 * 10 + 7 * 4 + 8 * 2 - 9 - 10);
  EXPECT_EQ(sum.eg, -2 * (6 * 10 + 7 * 4 + 8 * 2 - 9 - 10));
  // With the extras enabled "termfeat3" prints them.
  pawn_extras_enabled = true;
  const std::string line = run(cmd_termfeat3);
  EXPECT_NE(line.find(" 10 4 2 -1 -1 "), std::string::npos) << line;
}

TEST(EvalCommands, CounterPrints) {
  EXPECT_EQ(run(cmd_phstat), "phstat probes " + std::to_string(phstat_probes) + " misses " +
                                 std::to_string(phstat_misses) + "\n");
  EXPECT_EQ(run(cmd_mobstat), "mobstat " + std::to_string(side_counters[MOB_SQUARE_COUNT]) + " " +
                                  std::to_string(side_counters[MOB_PIECE_COUNT]) + " " +
                                  std::to_string(side_counters[MOB_EVAL_COUNT]) + "\n");
}

TEST(EvalCommands, PositionWithoutKingIsNotEvaluated) {
  set_fen("8/8/8/8/8/8/8/4K3 w - - 0 1");
  const uint32_t evals = op_counters[EVAL];
  for (auto handler : {cmd_eval, cmd_tuneeval, cmd_evalskel, cmd_evalskel2, cmd_tunefeat,
                       cmd_termfeat, cmd_termfeat3, cmd_nefeat})
    EXPECT_EQ(run(handler), "info string no evaluation: Black has no king\n");
  EXPECT_EQ(op_counters[EVAL], evals);
  set_fen("4k3/8/8/8/8/8/8/8 w - - 0 1");
  EXPECT_EQ(run(cmd_eval), "info string no evaluation: White has no king\n");
}

// Passers e5 (relative rank 4) for White, a7 and h7 (relative rank 1) for
// Black; phase 0, so the score is the endgame side.
TEST(SkeletonEval, PassersFromItsOwnPawnHash) {
  skeleton_pawn_hash_clear();
  set_fen(PAWNS_FEN);
  const int eg = piece_eg('K', "e1") + piece_eg('k', "e8") + piece_eg('P', "e5") +
                 piece_eg('p', "a7") + piece_eg('p', "h7");
  const uint32_t evals = op_counters[EVAL], ks = op_counters[KS];
  const int first = skeleton_eval_passers();
  EXPECT_EQ(first, TEMPO_BONUS + eg + P.passeg[4] - 2 * P.passeg[1]);
  EXPECT_EQ(skel_pawn_probes, 1u);
  EXPECT_EQ(skel_pawn_hits, 0u);
  EXPECT_EQ(skeleton_eval_passers(), first);
  EXPECT_EQ(skel_pawn_probes, 2u);
  EXPECT_EQ(skel_pawn_hits, 1u);
  EXPECT_EQ(op_counters[EVAL] - evals, 2u);
  EXPECT_EQ(op_counters[KS] - ks, 2u);
  // The Terms mask does not switch the passers off here.
  EvalSettingsGuard guard;
  terms_mask = 0;
  skeleton_pawn_hash_clear();
  EXPECT_EQ(skeleton_eval_passers(), first);
  skeleton_pawn_hash_clear();
  EXPECT_EQ(skel_pawn_probes + skel_pawn_hits, 0u);
}

}  // namespace
}  // namespace kelmstrad::test
