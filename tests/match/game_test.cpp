// Whole games against the scripted fake engine: normal ends, each kind of
// fault recorded with its text and the engine's last lines, pondering, and a
// small match with concurrency, PGN output and an SPRT that stops it.
#include "game.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "match.h"

namespace kelmstrad::match {
namespace {

// An engine config running the fake engine with the given arguments.
EngineConfig fake(const std::string& args, const std::string& name) {
  EngineConfig e;
  e.cmd = std::string(MATCH_PYTHON) + " " + MATCH_FAKE_ENGINE + " " + args;
  e.name = name;
  e.tc.movetime_ms = 2000;
  return e;
}

struct Played {
  EngineConfig first, second;
  Opening opening;
  GameRecord record;
};

// Plays one game, the first engine White, with short time-outs.
void play(Played& p, int64_t timeout_ms = 1000) {
  GameSetup setup;
  setup.opening = &p.opening;
  setup.engines[0] = &p.first;
  setup.engines[1] = &p.second;
  setup.timeout_ms = timeout_ms;
  p.record = play_game(setup);
}

// True when one of the lines equals the text.
bool has_line(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& l : lines)
    if (l == text) return true;
  return false;
}

TEST(MatchGame, ScholarsMateEndsTheGame) {
  Played p{fake("", "A"), fake("", "B"), Opening(), GameRecord()};
  play(p);
  EXPECT_EQ(p.record.result, GameResult::WHITE_WINS);
  EXPECT_EQ(p.record.reason, "White mates");
  EXPECT_EQ(p.record.termination, "normal");
  EXPECT_TRUE(p.record.faults.empty());
  EXPECT_EQ(p.record.state.sans,
            (std::vector<std::string>{"e4", "e5", "Bc4", "Nc6", "Qh5", "Nf6", "Qxf7#"}));
  EXPECT_EQ(p.record.white_name, "A");
  ASSERT_EQ(p.record.notes.size(), 7u);
  EXPECT_EQ(p.record.notes[0].reply.score, 13);
}

TEST(MatchGame, SelfPlayNamesAreKeptApart) {
  Played p{fake("", ""), fake("", ""), Opening(), GameRecord()};
  play(p);
  EXPECT_EQ(p.record.white_name, "Fake none");
  EXPECT_EQ(p.record.black_name, "Fake none (2)");
}

TEST(MatchGame, RepetitionEndsTheGame) {
  Played p{fake("--script repeat", "A"), fake("--script repeat", "B"), Opening(), GameRecord()};
  play(p);
  EXPECT_EQ(p.record.result, GameResult::DRAW);
  EXPECT_EQ(p.record.reason, "Draw by 3-fold repetition");
  EXPECT_EQ(p.record.state.moves.size(), 8u);
}

TEST(MatchGame, OpeningMovesAreBookAndTheEngineNameComesFromId) {
  Played p{fake("", ""), fake("", "B"), Opening(), GameRecord()};
  p.opening.moves = {"e2e4", "e7e5"};
  play(p);
  EXPECT_EQ(p.record.white_name, "Fake none");
  EXPECT_EQ(p.record.opening_plies, 2);
  EXPECT_TRUE(p.record.notes[1].book);
  EXPECT_FALSE(p.record.notes[2].book);
  EXPECT_EQ(p.record.reason, "White mates");
}

TEST(MatchGame, IllegalBestmove) {
  Played p{fake("", "A"), fake("--fail illegal --at 3", "B"), Opening(), GameRecord()};
  play(p);
  EXPECT_EQ(p.record.result, GameResult::WHITE_WINS);
  EXPECT_EQ(p.record.reason, "Black makes an illegal move: a1h8");
  EXPECT_EQ(p.record.termination, "rules infraction");
  ASSERT_EQ(p.record.faults.size(), 1u);
  const GameFault& f = p.record.faults[0];
  EXPECT_EQ(f.engine, 1);
  EXPECT_FALSE(f.white);
  EXPECT_EQ(f.fault.kind, FaultKind::ILLEGAL);
  EXPECT_EQ(f.fault.last_lines.back(), "< bestmove a1h8");
  EXPECT_EQ(p.record.state.moves.size(), 3u);  // the illegal move is not played
}

TEST(MatchGame, UnparsableBestmove) {
  Played p{fake("--fail garbage --at 0", "A"), fake("", "B"), Opening(), GameRecord()};
  play(p);
  EXPECT_EQ(p.record.result, GameResult::BLACK_WINS);
  EXPECT_EQ(p.record.reason, "White makes an illegal move: xyz (unparsable)");
}

TEST(MatchGame, CrashKeepsBothStreams) {
  Played p{fake("--fail crash --at 2", "A"), fake("", "B"), Opening(), GameRecord()};
  play(p);
  EXPECT_EQ(p.record.result, GameResult::BLACK_WINS);
  EXPECT_EQ(p.record.reason, "White disconnects");
  EXPECT_EQ(p.record.termination, "abandoned");
  ASSERT_EQ(p.record.faults.size(), 1u);
  const Fault& f = p.record.faults[0].fault;
  EXPECT_EQ(f.kind, FaultKind::CRASH);
  EXPECT_EQ(f.text,
            "disconnected while waiting for bestmove: killed by signal 11 (Segmentation fault)");
  EXPECT_TRUE(has_line(f.last_lines, "< info string about to crash"));
  EXPECT_TRUE(has_line(f.last_lines, "! fake: crashing"));
}

TEST(MatchGame, EngineThatCannotStart) {
  Played p{fake("", "A"), fake("", "B"), Opening(), GameRecord()};
  p.second.cmd = "/nonexistent/engine";
  play(p);
  EXPECT_EQ(p.record.result, GameResult::WHITE_WINS);
  ASSERT_EQ(p.record.faults.size(), 1u);
  EXPECT_EQ(p.record.faults[0].fault.kind, FaultKind::CRASH);
  EXPECT_EQ(p.record.faults[0].fault.text,
            "cannot start \"/nonexistent/engine\": No such file or directory");
}

TEST(MatchGame, NoUciok) {
  Played p{fake("", "A"), fake("--fail nouciok", "B"), Opening(), GameRecord()};
  play(p, 1000);
  EXPECT_EQ(p.record.result, GameResult::WHITE_WINS);
  EXPECT_EQ(p.record.reason, "Black's connection stalls");
  EXPECT_EQ(p.record.termination, "stalled connection");
  ASSERT_EQ(p.record.faults.size(), 1u);
  EXPECT_EQ(p.record.faults[0].fault.kind, FaultKind::STALL);
  EXPECT_EQ(p.record.faults[0].fault.text, "no uciok within 1000 ms");
}

TEST(MatchGame, NoReadyokBeforeAMove) {
  Played p{fake("--fail noreadyok --at 2", "A"), fake("", "B"), Opening(), GameRecord()};
  play(p, 1000);
  EXPECT_EQ(p.record.result, GameResult::BLACK_WINS);
  ASSERT_EQ(p.record.faults.size(), 1u);
  EXPECT_EQ(p.record.faults[0].fault.kind, FaultKind::STALL);
  EXPECT_EQ(p.record.faults[0].fault.text, "no readyok within 1000 ms");
  EXPECT_EQ(p.record.state.moves.size(), 2u);
}

TEST(MatchGame, SilentEngineLosesOnTimeAndIgnoresStop) {
  Played p{fake("", "A"), fake("--fail silent --at 1", "B"), Opening(), GameRecord()};
  p.second.tc.movetime_ms = 100;
  p.second.timemargin_ms = 20;
  play(p, 1000);
  EXPECT_EQ(p.record.result, GameResult::WHITE_WINS);
  EXPECT_EQ(p.record.reason, "Black loses on time");
  EXPECT_EQ(p.record.termination, "time forfeit");
  ASSERT_EQ(p.record.faults.size(), 1u);
  EXPECT_EQ(p.record.faults[0].fault.kind, FaultKind::TIME);
  EXPECT_EQ(p.record.faults[0].fault.text,
            "no bestmove within 120 ms; no bestmove after stop within 1000 ms");
}

TEST(MatchGame, SlowEngineOnTheClockLosesOnTime) {
  Played p{fake("--fail slow --at 0", "A"), fake("", "B"), Opening(), GameRecord()};
  p.first.tc = TimeControl();
  p.first.tc.clock = true;
  p.first.tc.base_ms = 150;
  play(p);
  EXPECT_EQ(p.record.reason, "White loses on time");
  ASSERT_EQ(p.record.faults.size(), 1u);
  EXPECT_EQ(p.record.faults[0].fault.text, "no bestmove within 150 ms (150 ms on the clock)");
}

TEST(MatchGame, PonderHitContinuesTheSearch) {
  Played p{fake("", "A"), fake("", "B"), Opening(), GameRecord()};
  p.second.ponder = true;
  play(p);
  EXPECT_EQ(p.record.reason, "White mates");
  EXPECT_TRUE(p.record.faults.empty());
  // Black's moves after its first were answered on "ponderhit" (depth 7, score 77).
  EXPECT_EQ(p.record.notes[1].reply.depth, 1);
  EXPECT_EQ(p.record.notes[3].reply.depth, 7);
  EXPECT_EQ(p.record.notes[5].reply.score, 77);
}

TEST(MatchGame, PonderMissWithoutBestmoveAfterStop) {
  Played p{fake("", "A"), fake("--fail nostop --ponder-move a2a3", "B"), Opening(), GameRecord()};
  p.second.ponder = true;
  play(p, 1000);
  EXPECT_EQ(p.record.result, GameResult::WHITE_WINS);
  EXPECT_EQ(p.record.reason, "Black's connection stalls");
  ASSERT_EQ(p.record.faults.size(), 1u);
  EXPECT_EQ(p.record.faults[0].fault.kind, FaultKind::STALL);
  EXPECT_EQ(p.record.faults[0].fault.text, "no bestmove after stop within 1000 ms");
  EXPECT_EQ(p.record.state.moves.size(), 3u);
}

TEST(MatchGame, PonderingEngineIsStoppedWhenTheGameEnds) {
  // White mates while Black ponders; the stop must still be answered.
  Played p{fake("", "A"), fake("--fail nostop", "B"), Opening(), GameRecord()};
  p.first.ponder = true;
  play(p, 1000);
  EXPECT_EQ(p.record.reason, "White mates");
  ASSERT_EQ(p.record.faults.size(), 0u);  // White's ponder search on Qxf7# is never started
  p.second.ponder = true;
  p.first.ponder = false;
  p.opening.moves = {"e2e4", "e7e5", "f1c4", "b8c6", "d1h5"};
  play(p, 1000);  // Black (pondering on h5f7 after g8f6) is stopped when Qxf7# ends the game
  EXPECT_EQ(p.record.reason, "White mates");
  ASSERT_EQ(p.record.faults.size(), 1u);
  EXPECT_FALSE(p.record.faults[0].decided_game);
  EXPECT_EQ(p.record.faults[0].fault.text, "no bestmove after stop within 1000 ms");
}

TEST(MatchGame, TimeControlTags) {
  TimeControl tc;
  EXPECT_EQ(time_control_tag(tc), "-");
  tc.movetime_ms = 500;
  EXPECT_EQ(time_control_tag(tc), "1/0.5");
  ASSERT_TRUE(parse_time_control("40/90+0.25", &tc));
  EXPECT_EQ(time_control_tag(tc), "40/90+0.25");
  EXPECT_EQ(go_parameters(tc, 1000, 2000, 7),
            " wtime 1000 btime 2000 winc 250 binc 250 movestogo 7 movetime 500");
  TimeControl fixed;
  fixed.depth = 5;
  fixed.nodes = 1000;
  EXPECT_EQ(go_parameters(fixed, 0, 0, 0), " depth 5 nodes 1000");
}

TEST(MatchRun, ConcurrentGamesCountedFromTheFirstEnginesView) {
  MatchConfig c;
  c.engines[0] = fake("", "A");
  c.engines[1] = fake("", "B");
  c.games = 4;
  c.concurrency = 2;
  c.openings.push_back(Opening());
  c.pgn_file = testing::TempDir() + "match_run_" + std::to_string(getpid()) + ".pgn";
  std::remove(c.pgn_file.c_str());
  FILE* out = std::tmpfile();
  const MatchSummary s = run_match(c, out);
  std::fclose(out);
  // White always mates in the script: A wins games 1 and 3, loses 2 and 4.
  EXPECT_EQ(s.games_played, 4);
  EXPECT_EQ(s.tally.wins, 2);
  EXPECT_EQ(s.tally.losses, 2);
  EXPECT_EQ(s.tally.draws, 0);
  std::ifstream pgn(c.pgn_file);
  std::stringstream text;
  text << pgn.rdbuf();
  size_t games = 0;
  for (size_t at = text.str().find("[Event "); at != std::string::npos;
       at = text.str().find("[Event ", at + 1))
    ++games;
  EXPECT_EQ(games, 4u);
  std::remove(c.pgn_file.c_str());
}

TEST(MatchRun, UnwritablePgnFileIsReportedAsSuchAndPlaysNoGame) {
  MatchConfig c;
  c.engines[0] = fake("", "A");
  c.engines[1] = fake("", "B");
  c.games = 2;
  c.openings.push_back(Opening());
  c.pgn_file = testing::TempDir() + "no_such_folder/match_run.pgn";
  FILE* out = std::tmpfile();
  const MatchSummary s = run_match(c, out);
  std::rewind(out);
  char line[256] = {};
  ASSERT_NE(std::fgets(line, sizeof line, out), nullptr);
  std::fclose(out);
  EXPECT_EQ(std::string(line), "cannot write PGN file \"" + c.pgn_file + "\"\n");
  EXPECT_TRUE(s.pgn_unwritable);
  EXPECT_FALSE(s.engine_missing);
  EXPECT_EQ(s.games_played, 0);
}

TEST(MatchRun, SprtStopsTheMatchOnceItDecides) {
  // A draws by repetition as White and wins as Black (B's first move is illegal):
  // after six games 3 wins and 3 draws give LLR 2.995 > 2.944 for elo1 = 200.
  MatchConfig c;
  c.engines[0] = fake("--script repeat", "A");
  c.engines[1] = fake("--script repeat --fail illegal --side white", "B");
  c.games = 40;
  c.openings.push_back(Opening());
  c.sprt = true;
  c.sprt_setup = SprtSetup{0, 200, 0.05, 0.05};
  FILE* out = std::tmpfile();
  const MatchSummary s = run_match(c, out);
  std::fclose(out);
  EXPECT_EQ(s.games_played, 6);
  EXPECT_EQ(s.tally.wins, 3);
  EXPECT_EQ(s.tally.draws, 3);
  EXPECT_TRUE(s.sprt_decided);
  EXPECT_EQ(s.sprt.decision, SprtDecision::ACCEPT_H1);
  EXPECT_EQ(s.faults[1][static_cast<int>(FaultKind::ILLEGAL)], 3);
  EXPECT_EQ(s.faults[0][static_cast<int>(FaultKind::ILLEGAL)], 0);
}

}  // namespace
}  // namespace kelmstrad::match
