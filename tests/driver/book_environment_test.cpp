// The book's environment switches (PGBOOK, PGSEED, PGFIX, BOOKFILE). They are
// read once per process, so every case runs in a child process of its own: a
// death test in the threadsafe style starts the test binary afresh, sets the
// variables and probes the start position through the think thread's entry point.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "driver/book.h"
#include "driver/book_support.h"
#include "platform/platform.h"
#include "support.h"

namespace kelmstrad::test {
namespace {

using Variables = std::vector<std::pair<const char*, std::string>>;

// In the child: sets exactly the given book variables, probes `probes` times
// and reports the moves and the output on standard error, then exits with 0.
[[noreturn]] void probe_in_child(const Variables& variables, int probes) {
  for (const char* name : {"PGBOOK", "PGSEED", "PGFIX", "BOOKFILE"}) unsetenv(name);
  for (const auto& [name, value] : variables) env_assign(name, value.c_str());
  parse_fen(START_FEN);
  std::string moves;
  const std::string output = capture_output([&] {
    for (int i = 0; i < probes; ++i) moves += " " + text_of(probe_book());
  });
  fprintf(stderr, "moves:%s output: %s", moves.c_str(), output.c_str());
  exit(0);
}

class BookEnvironment : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(BookEnvironment, BookFileReplacesTheCompiledInTable) {
  EXPECT_EXIT(probe_in_child({{"BOOKFILE", book_fixture("bk_start_d4.bin")}}, 2),
              ::testing::ExitedWithCode(0), "moves: d2d4 d2d4 output: $");
  EXPECT_EXIT(probe_in_child({{"BOOKFILE", book_fixture("bk_empty.bin")}}, 1),
              ::testing::ExitedWithCode(0), "moves: none output: $");
}

TEST_F(BookEnvironment, UnreadableBookFileFallsBackToTheCompiledInTable) {
  EXPECT_EXIT(probe_in_child({{"BOOKFILE", "/nonexistent/book.bin"}}, 2),
              ::testing::ExitedWithCode(0),
              "moves: e2e4 e2e4 output: info string cannot read the book file "
              "/nonexistent/book.bin; the compiled-in book is used\n$");
  EXPECT_EXIT(probe_in_child({}, 1), ::testing::ExitedWithCode(0), "moves: e2e4 output: $");
}

TEST_F(BookEnvironment, OverlongBookFileIsCutAndSaysSo) {
  auto child = [] {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 16385; ++i) bytes.insert(bytes.end(), {0x66, 0xFA, 0x13, 0x33});
    const std::string path = write_temp_file(bytes);
    probe_in_child({{"BOOKFILE", path}}, 1);
  };
  EXPECT_EXIT(child(), ::testing::ExitedWithCode(0),
              "moves: d2d4 output: info string book file .* is longer than 65536 bytes; only its "
              "first 16384 entries are used\n$");
}

TEST_F(BookEnvironment, UnreadablePolyglotBookMeansNoBookAtAll) {
  EXPECT_EXIT(probe_in_child({{"PGBOOK", "/nonexistent/pg.bin"}}, 2), ::testing::ExitedWithCode(0),
              "moves: none none output: info string cannot read the Polyglot book "
              "/nonexistent/pg.bin\n$");
}

TEST_F(BookEnvironment, PolyglotBookWithZeroWeightsGivesNoMove) {
  EXPECT_EXIT(probe_in_child({{"PGBOOK", book_fixture("pg_zero_weights.bin")}}, 1),
              ::testing::ExitedWithCode(0), "moves: none output: $");
}

TEST_F(BookEnvironment, PolyglotBookWithFixedOrSeededDraws) {
  if (!gnuchess_book_readable())
    GTEST_SKIP() << GNUCHESS_BOOK << " cannot be read: apt-get install gnuchess-book";
  EXPECT_EXIT(probe_in_child({{"PGBOOK", GNUCHESS_BOOK}, {"PGFIX", "12135"}}, 2),
              ::testing::ExitedWithCode(0), "moves: d2d4 d2d4 output: $");
  EXPECT_EXIT(probe_in_child({{"PGBOOK", GNUCHESS_BOOK}, {"PGSEED", "1"}}, 5),
              ::testing::ExitedWithCode(0), "moves: g1f3 e2e4 d2d4 d2d4 c2c4 output: $");
}

}  // namespace
}  // namespace kelmstrad::test
