// Training positions from the match runner's games: the PGN reader, the
// filters (book plies, early plies, check, capture played, quiet) and the
// result labels.
#include "tune/positions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "board/fen.h"
#include "board/position.h"
#include "search/switches.h"

namespace kelmstrad::tune {
namespace {

// The Blackburne Shilling trap: after 6...Qxe4+ White is in check, after
// 2...Nc6 nothing can be taken with profit; the mate's score comment, not the
// closing one, tells it was searched. In the drawn game 1...d5 came from the
// engine's own book (a time, no score) and after 2. c4 Black can take a pawn.
constexpr const char* GAMES = R"([Event "t"]
[Result "0-1"]
[Termination "normal"]

1. e4 {book} e5 {book} 2. Nf3 {+0.30/5 0.010s} Nc6 {-0.20/5 0.010s} 3. Bc4 Nd4
4. Nxe5 Qg5 5. Nxf7 Qxg2 6. Rf1 Qxe4+ 7. Be2 Nf3# {-M1/3 0.010s} {Black mates} 0-1

[Result "1-0"]
[Termination "normal"]

1.e4 (1. d4 d5) e5 $1 2.Nf3 Nc6 ; a comment to the end of the line
3.Bc4 1-0

[Result "1/2-1/2"]
[Termination "adjudication"]

1. d4 {book} d5 {0.001s} 2. c4 {+0.10/4 0.010s} e6 {-0.20/4 0.010s} 1/2-1/2

[Result "1-0"]
[Termination "rules infraction"]

1. e4 e5 {Black makes an illegal move} 1-0

[Result "*"]

1. e4 *

[Result "1-0"]

1. e4 e5 2. Nf3 Nc6 3. Bc4 1-0
)";

constexpr const char* QUIET_AFTER_NC6 =
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";
constexpr const char* HANGING_C4 = "rnbqkbnr/ppp1pppp/8/3p4/2PP4/8/PP2PPPP/RNBQKBNR b KQkq";

std::vector<std::string> lines_of(const std::string& text, int skip, ExtractCounts* counts) {
  std::istringstream in(text);
  PgnGame game;
  std::string error;
  std::vector<std::string> lines;
  std::set<std::string> seen;
  while (read_pgn_game(in, &game, &error))
    EXPECT_TRUE(extract_game(game, skip, &seen, &lines, counts, &error));
  EXPECT_EQ(error, "");
  return lines;
}

bool has_line(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Keeps the search switches of the other tests.
class TrainingPositions : public testing::Test {
 protected:
  void SetUp() override {
    ensure_search_switches();
    saved_ = search_switches;
    prepare_filters();
  }
  void TearDown() override {
    search_switches = saved_;
    parse_fen(START_FEN);
  }

 private:
  SearchSwitches saved_;
};

TEST_F(TrainingPositions, FiltersAndLabels) {
  ExtractCounts counts;
  const std::vector<std::string> lines = lines_of(GAMES, 0, &counts);
  EXPECT_EQ(counts.games, 3);
  EXPECT_EQ(counts.skipped_games, 2);  // the faulty and the unfinished one
  EXPECT_EQ(counts.repeated_games, 1);
  EXPECT_EQ(counts.book, 4);
  EXPECT_EQ(counts.early, 0);
  EXPECT_EQ(counts.in_check, 1);  // before 7. Be2
  EXPECT_EQ(counts.capture, 4);   // Nxe5, Nxf7, Qxg2, Qxe4+
  EXPECT_EQ(counts.kept + counts.not_quiet, 14 + 5 + 4 - 4 - 1 - 4);
  EXPECT_EQ(counts.kept, static_cast<long>(lines.size()));
  // Book plies: the start and the position after 1. e4 of the first game are
  // not taken; the second game (no book marks) gives the start position.
  EXPECT_FALSE(has_line(lines, std::string(START_FEN) + " [0.0]"));
  EXPECT_TRUE(has_line(lines, std::string(START_FEN) + " [1.0]"));
  EXPECT_TRUE(has_line(lines, std::string(QUIET_AFTER_NC6) + " [0.0]"));
  EXPECT_TRUE(has_line(lines, std::string(QUIET_AFTER_NC6) + " [1.0]"));
  for (const std::string& line : lines) EXPECT_EQ(line.find(HANGING_C4), std::string::npos);
  // The drawn game (the only one with a pawn on d4) is labelled 0.5.
  for (const std::string& line : lines)
    if (line.find("3P4") != std::string::npos) {
      EXPECT_EQ(line.substr(line.size() - 5), "[0.5]") << line;
    }
  // Each kept position is quiet and not in check when set up again.
  for (const std::string& line : lines) {
    parse_fen(line.substr(0, line.rfind(' ')).c_str());
    EXPECT_TRUE(quiet_position()) << line;
  }
  // Plies before the fourth: 2. Nf3 of the first game, all three of the second, 2. c4 of the third.
  ExtractCounts later;
  lines_of(GAMES, 3, &later);
  EXPECT_EQ(later.early, 5);
  EXPECT_EQ(later.kept + later.not_quiet + later.early, counts.kept + counts.not_quiet);
}

TEST_F(TrainingPositions, MalformedGames) {
  ExtractCounts counts;
  PgnGame game;
  std::string error;
  std::istringstream no_result("[Result \"1-0\"]\n\n1. e4 e5\n");
  EXPECT_FALSE(read_pgn_game(no_result, &game, &error));
  EXPECT_EQ(error, "a game ends without a result");
  std::istringstream bad_tag("[Result 1-0]\n\n1. e4 1-0\n");
  EXPECT_FALSE(read_pgn_game(bad_tag, &game, &error));
  EXPECT_EQ(error, "malformed tag line: [Result 1-0]");
  std::istringstream illegal("[Result \"1-0\"]\n\n1. e4 e5 2. Ke3 1-0\n");
  ASSERT_TRUE(read_pgn_game(illegal, &game, &error));
  std::vector<std::string> lines;
  std::set<std::string> seen;
  EXPECT_FALSE(extract_game(game, 0, &seen, &lines, &counts, &error));
  EXPECT_EQ(error, "cannot play move 3 \"Ke3\"");
  EXPECT_TRUE(lines.empty());
}

}  // namespace
}  // namespace kelmstrad::tune
