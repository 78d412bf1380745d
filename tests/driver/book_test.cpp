// The built-in book: its key, the compiled-in table, the probe and BOOKFILE-format tables.
#include "driver/book.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "board/movegen.h"
#include "driver/book_support.h"
#include "support.h"
#include "uci/commands.h"
#include "uci/loop.h"

namespace kelmstrad::test {
namespace {

const uint8_t* const TABLE = &builtin_book[0][0];

uint16_t row_key(int i) {
  return static_cast<uint16_t>(builtin_book[i][0] << 8 | builtin_book[i][1]);
}
Move row_move(int i) { return static_cast<Move>(builtin_book[i][2] | builtin_book[i][3] << 8); }

std::string bookkey_output() {
  return capture_output([] { run_command(cmd_bookkey, ""); });
}

TEST(BookKey, StartPosition) {
  parse_fen(START_FEN);
  EXPECT_EQ(position.hash, 0x4666FADEu);
  EXPECT_EQ(bookkey_output(), "4666fa\n");
  EXPECT_EQ(book_key16(), 0x66FA);
}

// After 1. e4 hash holds the e-file key; the book key folds it in once more and
// so loses it, while "bookkey" keeps it. The Polyglot key has no en-passant
// share here, since no black pawn stands beside e4.
TEST(BookKey, AfterE4TheBookKeyFoldsInTheEnPassantFile) {
  play_from_start("e2e4");
  ASSERT_EQ(position.ep_square, 0x24);
  EXPECT_EQ(bookkey_output(), "b5c019\n");
  EXPECT_EQ(book_key16(), 0x445E);
  EXPECT_EQ(book_key16() ^ 0xC019, (ep_keys[4] >> 8) & 0xFFFF);
  EXPECT_EQ(polyglot_key(), 0x823c9b50fd114196ull);
  const uint16_t key = book_key16();
  parse_fen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
  EXPECT_EQ(book_key16(), key);
  EXPECT_NE(bookkey_output(), "b5c019\n");
}

TEST(CompiledBook, SortedWithTheStatedRuns) {
  std::map<uint16_t, std::vector<Move>> runs;
  for (int i = 0; i < BUILTIN_BOOK_ENTRIES; ++i) runs[row_key(i)].push_back(row_move(i));
  for (int i = 1; i < BUILTIN_BOOK_ENTRIES; ++i) EXPECT_LE(row_key(i - 1), row_key(i)) << i;
  std::map<size_t, int> by_length;
  for (const auto& [key, moves] : runs) ++by_length[moves.size()];
  EXPECT_EQ(runs.size(), 204u);
  EXPECT_EQ(by_length, (std::map<size_t, int>{{1, 63}, {2, 140}, {4, 1}}));
  EXPECT_EQ(runs[0x66FA], std::vector<Move>{encode_move(0x14, 0x34)});  // e2e4
  EXPECT_EQ(runs[0x0078], (std::vector<Move>{encode_move(0x12, 0x32), encode_move(0x13, 0x33)}));
}

// Walks the table's own moves from the start position and from every position
// after one move: each entry must be generated and legal where its key stands,
// and every key of the table must be met.
class CompiledBookWalk {
 public:
  void walk() {
    const uint32_t seen = position.hash ^ (position.side == BLACK ? side_key : 0);
    if (!visited_.insert(seen).second) return;
    const uint16_t key = book_key16();
    const long first = book_find(TABLE, BUILTIN_BOOK_ENTRIES, key);
    if (first < 0) return;
    keys_.insert(key);
    for (long i = first; i < BUILTIN_BOOK_ENTRIES && row_key(i) == key; ++i) {
      const Move move = row_move(i);
      ASSERT_EQ(generated_move(move_from(move), move_to(move), 0), move) << std::hex << key;
      ASSERT_TRUE(make_move(move)) << std::hex << key;
      walk();
      unmake_move();
    }
  }
  std::set<uint16_t> keys_;

 private:
  std::set<uint32_t> visited_;
};

TEST(CompiledBook, EveryMoveIsLegalWhereItStands) {
  CompiledBookWalk walk;
  parse_fen(START_FEN);
  walk.walk();
  const uint16_t base = move_stack_len;
  generate_moves(false);
  const std::vector<Move> first_moves(move_stack + base, move_stack + move_stack_len);
  move_stack_len = base;
  for (Move m : first_moves) {
    ASSERT_TRUE(make_move(m));
    walk.walk();
    unmake_move();
  }
  std::set<uint16_t> all;
  for (int i = 0; i < BUILTIN_BOOK_ENTRIES; ++i) all.insert(row_key(i));
  EXPECT_EQ(walk.keys_, all);
  EXPECT_TRUE(position_is_ok());
}

// A game that follows the book leaves it only where its position has no key in the table.
TEST(BuiltinProbe, GamesLeaveTheBookOnlyWhenItRunsOut) {
  const uint32_t saved = random_state;
  std::set<std::string> games;
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    random_state = seed * 2654435761u;
    parse_fen(START_FEN);
    std::string game;
    for (int ply = 0; ply < 40; ++ply) {
      const Move move = probe_builtin(TABLE, BUILTIN_BOOK_ENTRIES);
      if (move == 0) {
        EXPECT_LT(book_find(TABLE, BUILTIN_BOOK_ENTRIES, book_key16()), 0) << game;
        break;
      }
      game += text_of(move) + " ";
      ASSERT_TRUE(make_move(move)) << game;
    }
    EXPECT_EQ(game.rfind("e2e4 ", 0), 0u);
    EXPECT_GE(game.size(), 5u * 4);  // no line of the book is shorter than four moves
    games.insert(game);
  }
  EXPECT_GT(games.size(), 20u);
  random_state = saved;
}

TEST(BuiltinProbe, SecondEntryWhenTheNewStateEndsInTwoZeroBits) {
  const uint32_t saved = random_state;
  parse_fen("rnbqkb1r/pppppppp/5n2/8/8/5N2/PPPPPPPP/RNBQKB1R w KQkq - 2 2");  // 1. Nf3 Nf6
  ASSERT_EQ(book_key16(), 0x0078);
  random_state = 1;  // one step: 0x2001, then 0x2001 ^ 0x40020 = 0x42021
  EXPECT_EQ(text_of(probe_builtin(TABLE, BUILTIN_BOOK_ENTRIES)), "c2c4");
  EXPECT_EQ(random_state, 0x42021u);
  int second = 0;
  for (int i = 0; i < 4000; ++i) {
    const Move move = probe_builtin(TABLE, BUILTIN_BOOK_ENTRIES);
    EXPECT_EQ(text_of(move), (random_state & 3) == 0 ? "d2d4" : "c2c4");
    if (text_of(move) == "d2d4") ++second;
  }
  EXPECT_NEAR(second, 1000, 150);
  random_state = saved;
}

TEST(BuiltinProbe, LaterEntriesOfARunAreNeverChosen) {
  play_from_start("e2e4");
  const long first = book_find(TABLE, BUILTIN_BOOK_ENTRIES, book_key16());
  ASSERT_GE(first, 0);
  ASSERT_EQ(row_key(first + 3), book_key16());  // the run of four
  std::map<std::string, int> chosen;
  for (int i = 0; i < 2000; ++i) ++chosen[text_of(probe_builtin(TABLE, BUILTIN_BOOK_ENTRIES))];
  EXPECT_EQ(chosen.size(), 2u);
  EXPECT_GT(chosen["c7c5"], chosen["e7e5"]);
  EXPECT_GT(chosen["e7e5"], 0);
}

TEST(BuiltinProbe, OutOfBookLeavesRandomStateAlone) {
  parse_fen("8/8/8/3k4/8/8/8/K7 w - - 0 1");
  const uint32_t before = random_state;
  EXPECT_EQ(probe_builtin(TABLE, BUILTIN_BOOK_ENTRIES), 0);
  EXPECT_EQ(random_state, before);
  EXPECT_EQ(probe_builtin(TABLE, 0), 0);
}

// Loads a built-in-format file into a fresh buffer; returns the entry count or -1.
struct LoadedFile {
  uint8_t bytes[BOOK_FILE_MAX_BYTES];
  long count = -1;
  bool truncated = false;
  bool load(const std::string& path) {
    return load_book_file(path.c_str(), bytes, &count, &truncated);
  }
};

TEST(BookFile, EntriesOfTheFileReplaceTheTable) {
  parse_fen(START_FEN);
  LoadedFile file;
  ASSERT_TRUE(file.load(book_fixture("bk_start_d4.bin")));
  EXPECT_EQ(file.count, 1);
  EXPECT_EQ(text_of(probe_builtin(file.bytes, file.count)), "d2d4");
  ASSERT_TRUE(file.load(book_fixture("bk_odd_size.bin")));  // two stray bytes at the end
  EXPECT_EQ(file.count, 1);
  EXPECT_EQ(text_of(probe_builtin(file.bytes, file.count)), "d2d4");
  ASSERT_TRUE(file.load(book_fixture("bk_empty.bin")));
  EXPECT_EQ(file.count, 0);
  EXPECT_EQ(probe_builtin(file.bytes, file.count), 0);
  ASSERT_TRUE(file.load(book_fixture("bk_illegal.bin")));  // e2e5
  EXPECT_EQ(probe_builtin(file.bytes, file.count), 0);
  EXPECT_FALSE(file.truncated);
}

TEST(BookFile, UnreadableFilesAreRefused) {
  LoadedFile file;
  EXPECT_FALSE(file.load("/nonexistent/book.bin"));
  EXPECT_FALSE(file.load(KELMSTRAD_TEST_DATA));  // a folder opens but cannot be read
}

// 16385 entries: the start entry is the one past 65536 bytes and is not read.
TEST(BookFile, OnlyTheFirst65536BytesAreRead) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 16384; ++i) bytes.insert(bytes.end(), {0x00, 0x01, 0x14, 0x34});
  bytes.insert(bytes.end(), {0x66, 0xFA, 0x14, 0x34});
  const std::string path = write_temp_file(bytes);
  LoadedFile file;
  ASSERT_TRUE(file.load(path));
  EXPECT_EQ(file.count, 16384);
  EXPECT_TRUE(file.truncated);
  parse_fen(START_FEN);
  EXPECT_EQ(probe_builtin(file.bytes, file.count), 0);
  bytes.resize(65536);
  const std::string exact = write_temp_file(bytes);
  ASSERT_TRUE(file.load(exact));
  EXPECT_FALSE(file.truncated);
  remove(path.c_str());
  remove(exact.c_str());
}

}  // namespace
}  // namespace kelmstrad::test
