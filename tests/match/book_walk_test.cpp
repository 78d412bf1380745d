// The book walk of the match: lines drawn by weight from a Polyglot book,
// distinct, legal, inside the book, and the same for the same seed.
#include "book_walk.h"

#include <gtest/gtest.h>

#include <set>

#include "config.h"
#include "driver/book_support.h"

namespace kelmstrad::match {
namespace {

using test::book_fixture;

std::set<std::string> first_moves(const std::vector<Opening>& lines) {
  std::set<std::string> moves;
  for (const Opening& o : lines) moves.insert(o.moves.at(0));
  return moves;
}

TEST(BookWalk, FixtureBookGivesEveryWeightedMoveOnceAndNoMore) {
  // Start run: e2e4 (weight 1), g1f3 (2), c2c4 (0), d2d4 (3); nothing after them.
  std::vector<Opening> lines;
  std::string error;
  ASSERT_TRUE(walk_book_lines(book_fixture("pg_runs.bin"), 1, 3, 9, &lines, &error)) << error;
  EXPECT_EQ(first_moves(lines), (std::set<std::string>{"e2e4", "g1f3", "d2d4"}));
  EXPECT_EQ(lines[0].fen, "startpos");
  EXPECT_FALSE(walk_book_lines(book_fixture("pg_runs.bin"), 1, 4, 9, &lines, &error));
  EXPECT_EQ(error, "the book \"" + book_fixture("pg_runs.bin") +
                       "\" gave only 3 distinct lines of 1 plies");
  // Two plies leave the book after the first; a move that does not exist is never played.
  EXPECT_FALSE(walk_book_lines(book_fixture("pg_runs.bin"), 2, 1, 9, &lines, &error));
  EXPECT_FALSE(walk_book_lines(book_fixture("pg_illegal.bin"), 1, 1, 9, &lines, &error));
  EXPECT_FALSE(walk_book_lines(book_fixture("pg_zero_weights.bin"), 1, 1, 9, &lines, &error));
  EXPECT_FALSE(walk_book_lines("/nonexistent/book.bin", 1, 1, 9, &lines, &error));
  EXPECT_EQ(error, "cannot read Polyglot book \"/nonexistent/book.bin\"");
}

TEST(BookWalk, GnuchessLinesRepeatForASeedAndStayInTheBook) {
  if (!test::gnuchess_book_readable()) GTEST_SKIP() << "no " << test::GNUCHESS_BOOK;
  const PolyglotBook book = test::load_book(test::GNUCHESS_BOOK);
  std::vector<Opening> a, b, c;
  std::string error;
  ASSERT_TRUE(walk_book_lines(test::GNUCHESS_BOOK, 10, 40, 12345, &a, &error)) << error;
  ASSERT_TRUE(walk_book_lines(test::GNUCHESS_BOOK, 10, 40, 12345, &b, &error)) << error;
  ASSERT_TRUE(walk_book_lines(test::GNUCHESS_BOOK, 10, 40, 54321, &c, &error)) << error;
  std::set<std::vector<std::string>> distinct;
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].moves, b[i].moves);
    distinct.insert(a[i].moves);
    ASSERT_EQ(a[i].moves.size(), 10u);
    // Every move is legal and is one of the book's entries for its position.
    parse_fen(START_FEN);
    for (const std::string& text : a[i].moves) {
      const uint64_t key = polyglot_key();
      bool found = false;
      for (long k = polyglot_find(book.bytes, book.count, key);
           k >= 0 && k < book.count && polyglot_entry(book.bytes, k).key == key; ++k)
        found |= test::text_of(polyglot_book_move(polyglot_entry(book.bytes, k).move)) == text;
      EXPECT_TRUE(found) << text;
      const Move move = parse_move_text(text.c_str());
      ASSERT_NE(move, 0) << text;
      ASSERT_TRUE(make_move(move)) << text;
    }
  }
  parse_fen(START_FEN);
  EXPECT_EQ(distinct.size(), a.size());
  size_t same = 0;
  for (size_t i = 0; i < a.size(); ++i) same += a[i].moves == c[i].moves;
  EXPECT_LT(same, a.size() / 2);
}

TEST(BookWalk, CommandLineNeedsOneSourceAndPlies) {
  const auto parse = [](std::vector<const char*> words, std::string* error) {
    std::vector<const char*> argv = {"match",   "-engine", "cmd=a",  "depth=1",
                                     "-engine", "cmd=b",   "depth=1"};
    argv.insert(argv.end(), words.begin(), words.end());
    MatchConfig c;
    const bool ok = parse_command_line(static_cast<int>(argv.size()), argv.data(), &c, error);
    return ok ? c.openings_book + "/" + std::to_string(c.openings_plies) : std::string();
  };
  std::string error;
  EXPECT_EQ(parse({"-openings", "book=b.bin", "plies=6"}, &error), "b.bin/6");
  EXPECT_EQ(parse({"-openings", "book=b.bin"}, &error), "");
  EXPECT_EQ(error, "-openings book=FILE needs plies=N (at least 1)");
  EXPECT_EQ(parse({"-openings", "book=b.bin", "file=o.txt", "plies=2"}, &error), "");
  EXPECT_EQ(error, "-openings needs file=FILE or book=FILE");
}

}  // namespace
}  // namespace kelmstrad::match
