// The four reduced-search commands: arguments and defaults, the counters
// they zero and charge, their exact output lines, and legal best moves.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "board/attack.h"
#include "skeleton_support.h"
#include "support.h"
#include "uci/commands.h"

namespace kelmstrad::test {
namespace {

// The numbers of a line after its first word.
std::vector<unsigned long> numbers_after_word(const std::string& line) {
  std::istringstream in(line);
  std::string word;
  in >> word;
  std::vector<unsigned long> values;
  for (unsigned long v; in >> v;) values.push_back(v);
  return values;
}

std::vector<std::string> run_lines(void (*handler)(TokenReader&), const std::string& args) {
  return lines_of(capture_output([&] { run_command(handler, args); }));
}

// From the start position every child of the root is a quiescence node: 20
// makes, 20 legal moves, one interior node, one quiet generation.
TEST(SkelCommand, SkelDefaultsToDepthOneAndPrintsTheCounters) {
  SkelFixtureState state;
  set_skel_position("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  op_counters[THR] = 77;  // zeroed by the command
  const auto lines = run_lines(cmd_skel, "");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex("skel depth 1 nodes 21 score -?\\d+")))
      << lines[0];
  const auto counts = numbers_after_word(lines[1]);
  EXPECT_EQ(lines[1].rfind("vstats ", 0), 0u);
  ASSERT_EQ(counts.size(), 34u);
  EXPECT_EQ(counts[GENQ], 1u);
  EXPECT_EQ(counts[GENQ_MV], 20u);
  EXPECT_EQ(counts[MAKE], 20u);
  EXPECT_EQ(counts[UNMAKE], 20u);
  EXPECT_EQ(counts[AB], 1u);
  EXPECT_EQ(counts[QS], 20u);
  EXPECT_EQ(counts[LEGAL], 20u);
  EXPECT_EQ(counts[THR], 0u);
  EXPECT_EQ(skel_nodes, 21u);
}

TEST(SkelCommand, Skel3WithoutKillersPrintsEightZeroPairs) {
  SkelFixtureState state;
  set_skel_position("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
  const auto lines = run_lines(cmd_skel3, "4 0 0 0 0");
  ASSERT_EQ(lines.size(), 2u);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(
      lines[0], m,
      std::regex(
          "skel3 depth 4 nodes (\\d+) score -?\\d+ probes (\\d+) cuts (\\d+) stores (\\d+)")))
      << lines[0];
  EXPECT_EQ(std::stoul(m[1]), skel_nodes);
  EXPECT_EQ(std::stoul(m[2]), skel_stats.table_probes);
  EXPECT_EQ(std::stoul(m[4]), op_counters[TTSTORE]);
  EXPECT_EQ(lines[1],
            "c killers: [0]0000/0000 [1]0000/0000 [2]0000/0000 [3]0000/0000 [4]0000/0000 "
            "[5]0000/0000 [6]0000/0000 [7]0000/0000");
}

// With killers on the pairs are the raw bytes of the moves: from, to.
TEST(SkelCommand, Skel3PrintsKillerBytes) {
  SkelFixtureState state;
  set_skel_position("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
  const auto lines = run_lines(cmd_skel3, "3");
  ASSERT_EQ(lines.size(), 2u);
  std::string expected = "c killers:";
  char pair[32];
  for (int ply = 0; ply < 8; ++ply) {
    snprintf(pair, sizeof(pair), " [%d]%02x%02x/%02x%02x", ply, skel_killers[ply][0] & 0xff,
             skel_killers[ply][0] >> 8, skel_killers[ply][1] & 0xff, skel_killers[ply][1] >> 8);
    expected += pair;
  }
  EXPECT_EQ(lines[1], expected);
  EXPECT_NE(skel_killers[1][0], 0);  // some quiet move cut at ply 1
}

TEST(SkelCommand, MateScoresOfEachCommand) {
  SkelFixtureState state;
  set_skel_position(MATED_IN_ONE);
  EXPECT_TRUE(std::regex_match(run_lines(cmd_skel, "3")[0],
                               std::regex("skel depth 3 nodes \\d+ score -30000")));
  EXPECT_TRUE(std::regex_match(
      run_lines(cmd_skel2, "3")[0],
      std::regex("skel2 depth 3 nodes \\d+ score -29998 probes \\d+ hits \\d+ cuts \\d+")));
  EXPECT_TRUE(std::regex_match(
      run_lines(cmd_skel3, "3")[0],
      std::regex("skel3 depth 3 nodes \\d+ score -29998 probes \\d+ cuts \\d+ stores \\d+")));
  const auto lines = run_lines(cmd_skel4, "3");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(std::regex_match(
      lines[3],
      std::regex("skel4 bestmove a1b1 depth 3 nodes \\d+ score -29998 pawnhash 0/0 hits \\(0%\\)")))
      << lines[3];
}

// Mated at the root: no quiescence node, no null window, no lazy try, so
// every ratio has a zero divisor and prints 0. Two iterations of one node.
TEST(SkelCommand, Skel4PrintsZeroRatiosWithoutDivisors) {
  SkelFixtureState state;
  set_skel_position(CHECKMATED);
  const auto lines = run_lines(cmd_skel4, "2");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0],
            "qs: 0 ofre scannet, 0.00 pr. knude | 0 slag genereret, 0 provet, 0 afkortninger "
            "(0.00 provet pr. knude)");
  EXPECT_EQ(lines[1], "pvs 0 nulvinduer, 0 gensogninger (0%)");
  EXPECT_EQ(lines[2], "lazy 0/0 (0%) gate2 0/0 (0%)");
  EXPECT_EQ(lines[3], "skel4 bestmove 0000 depth 2 nodes 2 score -30000 pawnhash 0/0 hits (0%)");

  set_skel_position(STALEMATED);
  EXPECT_EQ(run_lines(cmd_skel4, "1")[3],
            "skel4 bestmove 0000 depth 1 nodes 1 score 0 pawnhash 0/0 hits (0%)");
}

// The skel4 lines on positions with play; the best move must be legal.
TEST(SkelCommand, Skel4LinesParseAndTheBestMoveIsLegal) {
  const char* positions[] = {
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      ROOK_TAKES_QUEEN_OR_PAWN,
      MATED_IN_ONE,
  };
  const std::regex qs_line(
      "qs: (\\d+) ofre scannet, \\d+\\.\\d\\d pr\\. knude \\| (\\d+) slag genereret, (\\d+) "
      "provet, (\\d+) afkortninger \\(\\d+\\.\\d\\d provet pr\\. knude\\)");
  const std::regex pvs_line("pvs \\d+ nulvinduer, \\d+ gensogninger \\(\\d+%\\)");
  const std::regex lazy_line("lazy (\\d+)/(\\d+) \\(\\d+%\\) gate2 0/0 \\(0%\\)");
  const std::regex best_line(
      "skel4 bestmove ([a-h][1-8][a-h][1-8]) depth 3 nodes (\\d+) score -?\\d+ pawnhash "
      "\\d+/\\d+ hits \\(\\d+%\\)");
  for (const char* fen : positions) {
    SkelFixtureState state;
    set_skel_position(fen);
    const auto lines = run_lines(cmd_skel4, "3");
    ASSERT_EQ(lines.size(), 4u) << fen;
    std::smatch m;
    EXPECT_TRUE(std::regex_match(lines[0], m, qs_line)) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], pvs_line)) << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], m, lazy_line)) << lines[2];
    EXPECT_EQ(std::stoul(m[2]), op_counters[QS]) << "one lazy try per quiescence node";
    ASSERT_TRUE(std::regex_match(lines[3], m, best_line)) << lines[3];
    EXPECT_EQ(std::stoul(m[2]), skel_nodes);
    const Move best = parse_move_text(m[1].str().c_str());
    ASSERT_NE(best, 0) << fen << " " << m[1];
    const Square king = position.slot_square[side_slot_base(position.side)];
    in_check_hint = square_attacked(king, position.side ^ BLACK) ? 1 : 0;
    ASSERT_TRUE(make_move(best)) << fen << " " << m[1];
    unmake_move();
  }
}

// "skel4" takes its switches from the environment (here only RFP, which
// start-up always sets) and they stay in force afterwards.
TEST(SkelCommand, Skel4LoadsTheSwitchesAndTheyStay) {
  SkelFixtureState state;
  EXPECT_EQ(SKEL_SWITCHES_OFF.lazy_margin, 200);
  EXPECT_FALSE(SKEL_SWITCHES_OFF.rfp);
  set_skel_position("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  run_lines(cmd_skel4, "1");
  EXPECT_TRUE(skel_switches.rfp);
  EXPECT_EQ(skel_switches.rfp_margin, 120);
  EXPECT_EQ(skel_switches.rfp_depth, 3);
  EXPECT_EQ(skel_switches.lazy_margin, 200);
  EXPECT_EQ(skel_switches.qmax, 0);
  run_lines(cmd_skel, "1");
  EXPECT_TRUE(skel_switches.rfp);
}

// Every command zeroes the counters and its tables first.
TEST(SkelCommand, CommandsZeroWhatTheyReport) {
  SkelFixtureState state;
  set_skel_position("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
  const std::string first = run_lines(cmd_skel2, "3")[0];
  EXPECT_EQ(run_lines(cmd_skel2, "3")[0], first);
  const std::string third = run_lines(cmd_skel3, "3 1 1 1 1")[0];
  EXPECT_EQ(run_lines(cmd_skel3, "3 1 1 1 1")[0], third);
  const auto fourth = run_lines(cmd_skel4, "3");
  EXPECT_EQ(run_lines(cmd_skel4, "3"), fourth);
}

// Arguments are read with atoi: text reads as 0, so depth 0 runs the
// quiescence of the root alone.
TEST(SkelCommand, TextArgumentsReadAsZero) {
  SkelFixtureState state;
  set_skel_position("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EXPECT_EQ(run_lines(cmd_skel, "deep")[0], "skel depth 0 nodes 1 score 10");
  EXPECT_EQ(run_lines(cmd_skel4, "x")[3],
            "skel4 bestmove 0000 depth 0 nodes 1 score 10 pawnhash 0/0 hits (0%)");
}

}  // namespace
}  // namespace kelmstrad::test
