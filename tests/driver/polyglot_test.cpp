// Polyglot keys, the draw and the probe, on hand-made books and Debian's gnuchess book.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "driver/book.h"
#include "driver/book_support.h"
#include "support.h"
#include "uci/commands.h"
#include "uci/loop.h"

namespace kelmstrad::test {
namespace {

constexpr uint64_t START_KEY = 0x463b96181691fc9cull;

std::string pgkey_output() {
  return capture_output([] { run_command(cmd_pgkey, ""); });
}

TEST(PolyglotKey, CompiledTableEqualsThePublishedNumbers) {
  std::ifstream in(std::string(KELMSTRAD_TEST_DATA) + "/polyglot-random64.txt");
  ASSERT_TRUE(in.good());
  std::vector<uint64_t> published;
  std::string line;
  while (std::getline(in, line))
    if (!line.empty() && line[0] != '#') published.push_back(std::stoull(line, nullptr, 16));
  ASSERT_EQ(published.size(), static_cast<size_t>(POLYGLOT_RANDOM_COUNT));
  for (int i = 0; i < POLYGLOT_RANDOM_COUNT; ++i)
    EXPECT_EQ(polyglot_random64[i], published[i]) << i;
}

TEST(PolyglotKey, PgkeyPrintsTheStartKey) {
  parse_fen(START_FEN);
  EXPECT_EQ(polyglot_key(), START_KEY);
  EXPECT_EQ(pgkey_output(), "463b96181691fc9c\n");
}

TEST(PolyglotKey, PublishedKeysAfterMoves) {
  const std::pair<const char*, const char*> cases[] = {
      {"e2e4", "823c9b50fd114196\n"},
      {"e2e4 d7d5", "0756b94461c50fb0\n"},
      {"e2e4 d7d5 e4e5", "662fafb965db29d4\n"},
      {"e2e4 d7d5 e4e5 f7f5", "22a48b5a8e47ff78\n"},
      {"e2e4 d7d5 e4e5 f7f5 e1e2", "652a607ca3f242c1\n"},
      {"e2e4 d7d5 e4e5 f7f5 e1e2 e8f7", "00fdd303c946bdd9\n"},
      {"a2a4 b7b5 h2h4 b5b4 c2c4", "3c8123ea7b067637\n"},
      {"a2a4 b7b5 h2h4 b5b4 c2c4 b4c3 a1a3", "5c3f9b829b279560\n"},
  };
  for (const auto& [moves, key] : cases) {
    play_from_start(moves);
    EXPECT_EQ(pgkey_output(), key) << moves;
  }
}

// The en-passant file counts only when the side to move has a pawn beside the double-stepped one.
TEST(PolyglotKey, EnPassantFileOnlyWhenACaptureIsPossible) {
  parse_fen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  const uint64_t with_square = polyglot_key();
  parse_fen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
  EXPECT_EQ(with_square, polyglot_key());
  EXPECT_EQ(with_square, 0x823c9b50fd114196ull);

  parse_fen("rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3");
  const uint64_t capture_possible = polyglot_key();
  parse_fen("rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq - 0 3");
  EXPECT_EQ(capture_possible, 0x22a48b5a8e47ff78ull);
  EXPECT_EQ(capture_possible ^ polyglot_key(), polyglot_random64[POLYGLOT_EP_ENTRY + 5]);
}

TEST(PolyglotKey, TurnEntryOnlyWhenWhiteIsToMove) {
  parse_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1");
  EXPECT_EQ(polyglot_key() ^ START_KEY, polyglot_random64[POLYGLOT_TURN_ENTRY]);
}

TEST(PolyglotDraw, XorshiftSteps) {
  EXPECT_EQ(xorshift16(1), 0x8181);  // 1 ^ 0x80 = 0x81; >> 9 adds nothing; ^ 0x8100
  EXPECT_EQ(xorshift16(0x8181), 0x6021);
  EXPECT_EQ(xorshift16(0x6021), 0xe999);
  // Full period: every non-zero state comes round after 65535 steps, not before.
  uint16_t x = 1;
  int steps = 0;
  do {
    x = xorshift16(x);
    ++steps;
  } while (x != 1 && steps < 70000);
  EXPECT_EQ(steps, 65535);
}

TEST(PolyglotDraw, SeedFromTextOrRandomState) {
  const std::pair<const char*, uint16_t> cases[] = {
      {"7", 7}, {"0x10", 16}, {"010", 8}, {"0", 1}, {"65536", 1}, {"65537", 1}, {"abc", 1}};
  for (const auto& [text, seed] : cases) {
    book_rng = 0;
    seed_book_rng(text);
    EXPECT_EQ(book_rng, seed) << text;
  }
  seed_book_rng("99");  // seeded once: a later seed changes nothing
  EXPECT_EQ(book_rng, 1);
  const uint32_t saved = random_state;
  random_state = 0x12345678u;  // 0x12345678 ^ 0x1234 = 0x1234444c, low half OR 1
  book_rng = 0;
  seed_book_rng(nullptr);
  EXPECT_EQ(book_rng, 0x444d);
  random_state = saved;
}

TEST(PolyglotDraw, DrawsFromSeedOne) {
  // mask 0x7fff below 30797: each draw is the second step of a pair, the pair's
  // first step reaching only the bits the mask clears.
  book_rng = 1;
  const uint64_t expected[] = {24609, 11787, 22947, 17913, 27874};
  for (uint64_t r : expected) EXPECT_EQ(polyglot_draw(30797, nullptr), r);
  EXPECT_EQ(book_rng, 0x6ce2);
}

TEST(PolyglotDraw, FixedDrawLeavesTheGeneratorAlone) {
  book_rng = 5;
  EXPECT_EQ(polyglot_draw(30797, "30800"), 3u);
  EXPECT_EQ(polyglot_draw(30797, "0x10"), 16u);
  EXPECT_EQ(polyglot_draw(1, "12345"), 0u);
  EXPECT_EQ(book_rng, 5);
}

// Weight sums above 2^19 once made every draw land in the first 2^19 units.
TEST(PolyglotDraw, LargeWeightSumsReachTheWholeRun) {
  book_rng = 1;
  int high = 0;
  for (int i = 0; i < 2000; ++i) {
    const uint64_t r = polyglot_draw(600000, nullptr);
    ASSERT_LT(r, 600000u);
    if (r >= (1u << 19)) ++high;
  }
  EXPECT_GT(high, 100);
}

TEST(PolyglotProbe, BisectionFindsTheFirstEntryOfARun) {
  const PolyglotBook book = load_book(book_fixture("pg_runs.bin"));
  ASSERT_EQ(book.count, 9);
  EXPECT_EQ(polyglot_find(book.bytes, book.count, START_KEY - 1), 0);
  EXPECT_EQ(polyglot_find(book.bytes, book.count, START_KEY), 3);
  EXPECT_EQ(polyglot_find(book.bytes, book.count, START_KEY + 1), 7);
  EXPECT_EQ(polyglot_find(book.bytes, book.count, START_KEY + 2), -1);
  EXPECT_EQ(polyglot_find(book.bytes, 0, START_KEY), -1);
}

// Run e2e4 1, g1f3 2, c2c4 0, d2d4 3: r walks down the weights of all but the last entry.
TEST(PolyglotProbe, WalkOverTheRun) {
  const PolyglotBook book = load_book(book_fixture("pg_runs.bin"));
  parse_fen(START_FEN);
  const char* expected[] = {"e2e4", "g1f3", "g1f3", "d2d4", "d2d4", "d2d4", "e2e4"};
  for (int r = 0; r < 7; ++r) {
    const std::string fix = std::to_string(r);
    EXPECT_EQ(text_of(probe_polyglot(book, nullptr, fix.c_str())), expected[r]) << r;
  }
}

TEST(PolyglotProbe, AllWeightsZeroGiveNoMove) {
  const PolyglotBook book = load_book(book_fixture("pg_zero_weights.bin"));
  parse_fen(START_FEN);
  book_rng = 0;
  EXPECT_EQ(probe_polyglot(book, nullptr, nullptr), 0);
  EXPECT_EQ(book_rng, 0);  // no draw, so nothing was seeded
}

TEST(PolyglotProbe, PartialEntriesAreIgnored) {
  parse_fen(START_FEN);
  const PolyglotBook trailing = load_book(book_fixture("pg_trailing_bytes.bin"));
  EXPECT_EQ(trailing.count, 1);
  EXPECT_EQ(text_of(probe_polyglot(trailing, "1", nullptr)), "d2d4");
  const PolyglotBook short_file = load_book(book_fixture("pg_short.bin"));
  EXPECT_EQ(short_file.count, 0);
  EXPECT_EQ(probe_polyglot(short_file, "1", "0"), 0);
}

TEST(PolyglotProbe, UnreadableFilesGiveAnEmptyBook) {
  PolyglotBook book;
  EXPECT_FALSE(load_polyglot_book("/nonexistent/book.bin", &book));
  EXPECT_EQ(book.count, 0);
  EXPECT_FALSE(load_polyglot_book(KELMSTRAD_TEST_DATA, &book));  // a folder
  EXPECT_EQ(book.count, 0);
  EXPECT_FALSE(load_polyglot_book(nullptr, &book));
  parse_fen(START_FEN);
  EXPECT_EQ(probe_polyglot(book, "1", "0"), 0);
}

TEST(PolyglotProbe, MovesThatAreNotLegalHereGiveNoMove) {
  const PolyglotBook book = load_book(book_fixture("pg_illegal.bin"));
  parse_fen(START_FEN);  // e2e5 is not generated
  EXPECT_EQ(probe_polyglot(book, nullptr, "0"), 0);
  parse_fen("4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1");  // e2c3 is generated but the knight is pinned
  EXPECT_EQ(probe_polyglot(book, nullptr, "0"), 0);
  EXPECT_EQ(move_stack_len, 0);
  EXPECT_TRUE(position_is_ok());
}

TEST(PolyglotProbe, KingTakesRookIsCastling) {
  const PolyglotBook book = load_book(book_fixture("pg_castling.bin"));
  parse_fen("r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1");
  EXPECT_EQ(probe_polyglot(book, nullptr, "0"), encode_move(4, 2));
  EXPECT_EQ(probe_polyglot(book, nullptr, "1"), encode_move(4, 6));
  parse_fen("r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R b KQkq - 0 1");
  EXPECT_EQ(text_of(probe_polyglot(book, nullptr, "0")), "e8g8");
  EXPECT_EQ(text_of(probe_polyglot(book, nullptr, "1")), "e8c8");
  parse_fen("r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w - - 0 1");  // no rights: not castling
  EXPECT_EQ(probe_polyglot(book, nullptr, "0"), 0);
}

TEST(PolyglotProbe, PromotionPiecesAreMatched) {
  const PolyglotBook book = load_book(book_fixture("pg_promotion.bin"));
  parse_fen("n1n1k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
  const char* expected[] = {"b7a8n", "b7c8r", "b7b8b", "b7b8q", "b7a8q"};
  for (int r = 0; r < 5; ++r) {
    const std::string fix = std::to_string(r);
    EXPECT_EQ(text_of(probe_polyglot(book, nullptr, fix.c_str())), expected[r]) << r;
  }
}

class GnuchessBook : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { loaded_ = load_polyglot_book(GNUCHESS_BOOK, &book_); }
  void SetUp() override {
    // .ci/run installs the book; elsewhere these cases are skipped without it.
    if (!loaded_) GTEST_SKIP() << GNUCHESS_BOOK << " cannot be read: apt-get install gnuchess-book";
  }
  static bool loaded_;
  static PolyglotBook book_;
};
bool GnuchessBook::loaded_ = false;
PolyglotBook GnuchessBook::book_;

// The start run, its weights, and each entry chosen by a draw inside its weight band.
TEST_F(GnuchessBook, StartPositionMovesAndWeights) {
  ASSERT_EQ(book_.count, 180358);
  parse_fen(START_FEN);
  const std::pair<const char*, int> expected[] = {
      {"e2e4", 12135}, {"d2d4", 11257}, {"g1f3", 3745}, {"c2c4", 3294}, {"g2g3", 243},
      {"b2b3", 38},    {"f2f4", 35},    {"b1c3", 16},   {"b2b4", 16},   {"e2e3", 7},
      {"d2d3", 5},     {"g2g4", 4},     {"a2a3", 2}};
  const long first = polyglot_find(book_.bytes, book_.count, START_KEY);
  ASSERT_GE(first, 0);
  int below = 0;
  for (int i = 0; i < 13; ++i) {
    const PolyglotEntry entry = polyglot_entry(book_.bytes, first + i);
    EXPECT_EQ(entry.key, START_KEY);
    EXPECT_EQ(text_of(polyglot_book_move(entry.move)), expected[i].first);
    EXPECT_EQ(entry.weight, expected[i].second);
    for (int r : {below, below + expected[i].second - 1}) {
      const std::string fix = std::to_string(r);
      EXPECT_EQ(text_of(probe_polyglot(book_, nullptr, fix.c_str())), expected[i].first) << r;
    }
    below += expected[i].second;
  }
  EXPECT_NE(polyglot_entry(book_.bytes, first + 13).key, START_KEY);
  EXPECT_EQ(text_of(probe_polyglot(book_, nullptr, std::to_string(below).c_str())), "e2e4");
}

TEST_F(GnuchessBook, OutOfBookGivesNoMove) {
  parse_fen("8/8/8/3k4/8/8/8/K7 w - - 0 1");
  EXPECT_EQ(probe_polyglot(book_, "1", nullptr), 0);
}

TEST_F(GnuchessBook, CastlingEntriesArePlayedAsKingMoves) {
  play_from_start("e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6");
  EXPECT_EQ(text_of(probe_polyglot(book_, nullptr, "0")), "e1g1");  // entry e1h1, weight 7424
  play_from_start("e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6 e1g1 f8e7 f1e1 b7b5 a4b3 d7d6 c2c3");
  EXPECT_EQ(text_of(probe_polyglot(book_, nullptr, "0")), "e8g8");  // entry e8h8, weight 1901
}

// Seed 1 draws 24609, 11787, 22947, 17913, 27874 (see DrawsFromSeedOne); the
// weight bands of the start run turn them into these moves.
TEST_F(GnuchessBook, SeededDrawsAreReproducible) {
  parse_fen(START_FEN);
  book_rng = 0;
  const char* expected[] = {"g1f3", "e2e4", "d2d4", "d2d4", "c2c4"};
  for (const char* move : expected) EXPECT_EQ(text_of(probe_polyglot(book_, "1", nullptr)), move);
  std::string runs[2];
  for (std::string& run : runs) {
    book_rng = 0;
    for (int i = 0; i < 100; ++i) run += text_of(probe_polyglot(book_, "0xbeef", nullptr)) + " ";
  }
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_NE(runs[0].find("c2c4"), std::string::npos);
}

}  // namespace
}  // namespace kelmstrad::test
