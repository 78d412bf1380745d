// The match's command line, time controls and openings lines.
#include "config.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace kelmstrad::match {
namespace {

// Parses a command line given as words (the program name is added).
bool parse(std::vector<const char*> words, MatchConfig* c, std::string* error) {
  words.insert(words.begin(), "match");
  return parse_command_line(static_cast<int>(words.size()), words.data(), c, error);
}

TEST(MatchConfig, TimeControls) {
  TimeControl tc;
  ASSERT_TRUE(parse_time_control("40/60+0.5", &tc));
  EXPECT_TRUE(tc.clock);
  EXPECT_EQ(tc.moves, 40);
  EXPECT_EQ(tc.base_ms, 60000);
  EXPECT_EQ(tc.inc_ms, 500);
  ASSERT_TRUE(parse_time_control("1:30+1", &tc));
  EXPECT_EQ(tc.moves, 0);
  EXPECT_EQ(tc.base_ms, 90000);
  EXPECT_EQ(tc.inc_ms, 1000);
  ASSERT_TRUE(parse_time_control("0.2+0.01", &tc));
  EXPECT_EQ(tc.base_ms, 200);
  EXPECT_EQ(tc.inc_ms, 10);
  ASSERT_TRUE(parse_time_control("inf", &tc));
  EXPECT_FALSE(tc.clock);
  for (const char* bad : {"", "abc", "10+", "/10", "0/10", "10+x", "1.2.3", "0", "-5"})
    EXPECT_FALSE(parse_time_control(bad, &tc)) << bad;
}

TEST(MatchConfig, FullCommandLine) {
  MatchConfig c;
  std::string error;
  ASSERT_TRUE(parse({"-engine",
                     "cmd=./kelmstrad -x",
                     "name=K",
                     "env.TTENT=1024",
                     "option.VirtualClock=false",
                     "tc=10+0.1",
                     "-engine",
                     "cmd=stockfish",
                     "option.Skill Level=3",
                     "nodes=20000",
                     "ponder",
                     "-each",
                     "timemargin=50",
                     "option.Hash=16",
                     "-rounds",
                     "10",
                     "-concurrency",
                     "2",
                     "-openings",
                     "file=book.txt",
                     "order=random",
                     "plies=8",
                     "-pgnout",
                     "out.pgn",
                     "min",
                     "-sprt",
                     "elo0=-5",
                     "elo1=5",
                     "alpha=0.05",
                     "beta=0.1",
                     "-timeout",
                     "800",
                     "-maxmoves",
                     "150",
                     "-strict",
                     "first"},
                    &c, &error))
      << error;
  EXPECT_EQ(c.games, 20);
  EXPECT_EQ(c.concurrency, 2);
  EXPECT_EQ(c.engines[0].cmd, "./kelmstrad -x");
  EXPECT_EQ(c.engines[0].name, "K");
  ASSERT_EQ(c.engines[0].env.size(), 1u);
  EXPECT_EQ(c.engines[0].env[0].first, "TTENT");
  EXPECT_EQ(c.engines[0].env[0].second, "1024");
  // -each keys come first, the engine's own follow.
  ASSERT_EQ(c.engines[0].options.size(), 2u);
  EXPECT_EQ(c.engines[0].options[0].first, "Hash");
  EXPECT_EQ(c.engines[0].options[1].first, "VirtualClock");
  EXPECT_EQ(c.engines[1].options[1].first, "Skill Level");
  EXPECT_EQ(c.engines[1].options[1].second, "3");
  EXPECT_TRUE(c.engines[0].tc.clock);
  EXPECT_EQ(c.engines[0].tc.inc_ms, 100);
  EXPECT_FALSE(c.engines[1].tc.clock);
  EXPECT_EQ(c.engines[1].tc.nodes, 20000u);
  EXPECT_TRUE(c.engines[1].ponder);
  EXPECT_FALSE(c.engines[0].ponder);
  EXPECT_EQ(c.engines[1].timemargin_ms, 50);
  EXPECT_EQ(c.openings_file, "book.txt");
  EXPECT_TRUE(c.openings_random);
  EXPECT_EQ(c.openings_plies, 8);
  EXPECT_EQ(c.pgn_file, "out.pgn");
  EXPECT_TRUE(c.pgn.minimal);
  EXPECT_TRUE(c.sprt);
  EXPECT_DOUBLE_EQ(c.sprt_setup.elo0, -5);
  EXPECT_DOUBLE_EQ(c.sprt_setup.beta, 0.1);
  EXPECT_EQ(c.timeout_ms, 800);
  EXPECT_EQ(c.maxmoves, 150);
  EXPECT_EQ(c.strict, 1);
}

TEST(MatchConfig, EngineOwnKeysOverrideEach) {
  MatchConfig c;
  std::string error;
  ASSERT_TRUE(parse({"-each", "st=0.25", "-engine", "cmd=a", "movetime=40", "-engine", "cmd=b"}, &c,
                    &error))
      << error;
  EXPECT_EQ(c.engines[0].tc.movetime_ms, 40);
  EXPECT_EQ(c.engines[1].tc.movetime_ms, 250);
}

TEST(MatchConfig, BadCommandLines) {
  const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
      {{"-engine", "cmd=a", "tc=1"}, "two -engine options are needed (see -h)"},
      {{"-engine", "tc=1", "-engine", "cmd=b", "tc=1"}, "the first engine needs cmd=COMMAND"},
      {{"-engine", "cmd=a", "-engine", "cmd=b", "tc=1"},
       "the first engine has no time control (tc=, st=, depth= or nodes=)"},
      {{"-engine", "cmd=a", "tc=x", "-engine", "cmd=b"}, "bad time control \"x\""},
      {{"-engine", "cmd=a", "colour"}, "engine key \"colour\" needs a value (KEY=VALUE)"},
      {{"-engine", "cmd=a", "colour=red"}, "bad engine key \"colour=red\""},
      {{"-engine", "cmd=a", "depth=zero"}, "bad engine key \"depth=zero\""},
      {{"-games", "0"}, "-games needs a number of at least 1"},
      {{"-games"}, "-games needs a number of at least 1"},
      {{"-bogus"}, "unknown option \"-bogus\" (see -h)"},
      {{"-sprt", "elo0=5", "elo1=0"}, "-sprt needs elo1 > elo0"},
      {{"-sprt", "alpha=0.7"}, "-sprt needs 0 < alpha, beta < 0.5"},
      {{"-sprt", "elo0=x"}, "bad -sprt value \"elo0=x\""},
      {{"-openings", "order=random"}, "-openings needs file=FILE or book=FILE"},
      {{"-strict", "third"}, "-strict needs first, second or both"},
      {{"-pgnout"}, "-pgnout needs FILE [min]"},
  };
  for (const auto& [words, message] : cases) {
    MatchConfig c;
    std::string error;
    EXPECT_FALSE(parse(words, &c, &error)) << message;
    EXPECT_EQ(error, message);
  }
}

TEST(MatchConfig, HelpStopsParsing) {
  MatchConfig c;
  std::string error;
  ASSERT_TRUE(parse({"-h"}, &c, &error));
  EXPECT_TRUE(c.help);
  EXPECT_NE(std::string(usage_text()).find("-concurrency N"), std::string::npos);
}

TEST(MatchConfig, OpeningLines) {
  Opening o;
  std::string error;
  ASSERT_TRUE(parse_opening_line("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", &o,
                                 &error));
  EXPECT_EQ(o.fen, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  EXPECT_TRUE(o.moves.empty());
  ASSERT_TRUE(parse_opening_line("4k3/8/8/8/8/8/4P3/4K3 w - - bm e4; id \"x\";", &o, &error));
  EXPECT_EQ(o.fen, "4k3/8/8/8/8/8/4P3/4K3 w - -");
  EXPECT_TRUE(o.moves.empty());
  ASSERT_TRUE(parse_opening_line("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1 moves e2e4 e8d7", &o, &error));
  EXPECT_EQ(o.moves, (std::vector<std::string>{"e2e4", "e8d7"}));
  ASSERT_TRUE(parse_opening_line("1. e4 e5 2. Nf3 Nc6 3... a6 *", &o, &error));
  EXPECT_EQ(o.fen, "startpos");
  EXPECT_EQ(o.moves, (std::vector<std::string>{"e4", "e5", "Nf3", "Nc6", "a6"}));
  EXPECT_FALSE(parse_opening_line("8/8 w", &o, &error));
  EXPECT_EQ(error, "a FEN needs at least four fields");
}

TEST(MatchConfig, OpeningsFileIsCheckedAndCut) {
  const std::string path =
      testing::TempDir() + "match_openings_" + std::to_string(getpid()) + ".txt";
  std::ofstream(path) << "# a comment\n"
                         "\n"
                         "1. e4 e5 2. Nf3 Nc6\n"
                         "e1e3 e7e5\n"
                         "4k3/8/8/8/8/8/8/4K3 w - - 0 1\n"
                         "d2d4 d7d5 c2c4\n";
  MatchConfig c;
  c.openings_file = path;
  c.openings_plies = 2;
  std::vector<std::string> warnings;
  std::string error;
  ASSERT_TRUE(load_openings(&c, &warnings, &error)) << error;
  ASSERT_EQ(c.openings.size(), 2u);
  EXPECT_EQ(c.openings[0].moves, (std::vector<std::string>{"e2e4", "e7e5"}));
  EXPECT_EQ(c.openings[1].moves, (std::vector<std::string>{"d2d4", "d7d5"}));
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[0], path + ":4: illegal opening move \"e1e3\" (skipped)");
  EXPECT_EQ(warnings[1], path + ":5: the game is already over in the opening position (skipped)");
  c.openings_file = path + ".missing";
  EXPECT_FALSE(load_openings(&c, &warnings, &error));
  EXPECT_EQ(error, "cannot read openings file \"" + path + ".missing\"");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace kelmstrad::match
