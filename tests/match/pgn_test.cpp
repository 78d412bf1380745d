// PGN records written for finished games, checked line by line.
#include "pgn.h"

#include <gtest/gtest.h>

namespace kelmstrad::match {
namespace {

// A record of the given opening and game moves, with fixed names and date.
GameRecord record_of(const std::string& fen, const std::vector<std::string>& book,
                     const std::vector<std::string>& played) {
  GameRecord r;
  std::string error;
  EXPECT_TRUE(referee_start(r.state, fen, &error)) << error;
  for (const std::string& m : book) {
    EXPECT_EQ(referee_play(r.state, m), MoveCheck::LEGAL) << m;
    r.notes.push_back(MoveNote{true, SearchReply()});
  }
  r.opening_plies = static_cast<int>(book.size());
  for (const std::string& m : played) {
    EXPECT_EQ(referee_play(r.state, m), MoveCheck::LEGAL) << m;
    r.notes.push_back(MoveNote{false, SearchReply()});
  }
  r.number = 3;
  r.white_name = "Alpha";
  r.black_name = "Beta \"B\"";
  r.date = "2026.12.07";
  r.time_control = "10+0.1";
  return r;
}

TEST(Pgn, MoveComments) {
  SearchReply r;
  r.elapsed_ms = 1234;
  EXPECT_EQ(move_comment(r), "1.234s");
  r.has_score = true;
  r.score = 25;
  r.depth = 12;
  EXPECT_EQ(move_comment(r), "+0.25/12 1.234s");
  r.score = -130;
  EXPECT_EQ(move_comment(r), "-1.30/12 1.234s");
  r.mate = true;
  r.score = -3;
  r.depth = 20;
  r.elapsed_ms = 5;
  EXPECT_EQ(move_comment(r), "-M3/20 0.005s");
}

TEST(Pgn, MateFromTheStartPositionWithBookMoves) {
  GameRecord r = record_of("startpos", {"e2e4", "e7e5"}, {"f1c4", "b8c6", "d1h5", "g8f6", "h5f7"});
  r.notes[2].reply.has_score = true;
  r.notes[2].reply.score = 31;
  r.notes[2].reply.depth = 9;
  r.notes[2].reply.elapsed_ms = 250;
  r.notes[6].reply.has_score = true;
  r.notes[6].reply.mate = true;
  r.notes[6].reply.score = 1;
  r.notes[6].reply.depth = 2;
  r.notes[6].reply.elapsed_ms = 1000;
  r.result = GameResult::WHITE_WINS;
  r.reason = "White mates";
  r.termination = "normal";
  PgnOptions options;
  options.event = "Smoke";
  EXPECT_EQ(pgn_text(r, options),
            "[Event \"Smoke\"]\n"
            "[Site \"?\"]\n"
            "[Date \"2026.12.07\"]\n"
            "[Round \"3\"]\n"
            "[White \"Alpha\"]\n"
            "[Black \"Beta \\\"B\\\"\"]\n"
            "[Result \"1-0\"]\n"
            "[PlyCount \"7\"]\n"
            "[Termination \"normal\"]\n"
            "[TimeControl \"10+0.1\"]\n"
            "\n"
            "1. e4 {book} e5 {book} 2. Bc4 {+0.31/9 0.250s} Nc6 {0.000s} 3. Qh5 {0.000s} Nf6\n"
            "{0.000s} 4. Qxf7# {+M1/2 1.000s} {White mates} 1-0\n"
            "\n");
}

TEST(Pgn, FenStartWithBlackToMoveAndAFault) {
  GameRecord r = record_of("4k3/8/8/8/8/8/4P3/4K3 b - - 0 40", {}, {"e8d7", "e2e4"});
  r.result = GameResult::WHITE_WINS;
  r.reason = "Black makes an illegal move: a1h8";
  r.termination = "rules infraction";
  GameFault f;
  f.engine = 1;
  f.white = false;
  f.decided_game = true;
  f.fault.kind = FaultKind::ILLEGAL;
  f.fault.text = "a1h8";
  f.fault.last_lines = {"< info depth 1 {x}", "< bestmove a1h8"};
  r.faults.push_back(f);
  PgnOptions options;
  options.minimal = true;
  EXPECT_EQ(pgn_text(r, options),
            "[Event \"?\"]\n"
            "[Site \"?\"]\n"
            "[Date \"2026.12.07\"]\n"
            "[Round \"3\"]\n"
            "[White \"Alpha\"]\n"
            "[Black \"Beta \\\"B\\\"\"]\n"
            "[Result \"1-0\"]\n"
            "[FEN \"4k3/8/8/8/8/8/4P3/4K3 b - - 0 40\"]\n"
            "[SetUp \"1\"]\n"
            "[PlyCount \"2\"]\n"
            "[Termination \"rules infraction\"]\n"
            "[TimeControl \"10+0.1\"]\n"
            "\n"
            "40... Kd7 41. e4 {Black makes an illegal move: a1h8; Black illegal move: a1h8;\n"
            "last lines: | < info depth 1 {x) | < bestmove a1h8} 1-0\n"
            "\n");
}

TEST(Pgn, UnfinishedGameIsUnterminated) {
  GameRecord r = record_of("startpos", {}, {});
  const std::string text = pgn_text(r, PgnOptions());
  EXPECT_NE(text.find("[Result \"*\"]\n"), std::string::npos);
  EXPECT_NE(text.find("[Termination \"unterminated\"]\n"), std::string::npos);
  EXPECT_NE(text.find("\n\n*\n\n"), std::string::npos);
}

}  // namespace
}  // namespace kelmstrad::match
