// The packed training-position format (round trip through a file, damaged
// files refused) and the self-play games (filters, same seed same games).
#include "packed.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "board/fen.h"
#include "board/position.h"
#include "selfplay.h"

namespace kelmstrad::train_data {
namespace {

constexpr const char* FENS[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b Kq - 7 1",
    "rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 1",
    "8/8/8/4k3/8/8/8/3QK3 b - - 99 1",
};

std::string temporary_path(const char* name) {
  return "/tmp/packed_test_" + std::to_string(getpid()) + "_" + name;
}

void write_bytes(const std::string& path, const std::string& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

TEST(PackedPosition, RoundTripThroughAFile) {
  std::vector<PackedPosition> written;
  int score = -1234;
  for (const char* fen : FENS) {
    parse_fen(fen);
    written.push_back(pack_current_position(score, 2));
    score = score * -3 + 7;
    EXPECT_EQ(packed_fen(written.back()), fen);
  }
  // Scores are stored for White: Black to move with 2 for itself is -2.
  EXPECT_EQ(written[0].score, -1234);
  EXPECT_EQ(written[1].score, -3709);
  EXPECT_EQ(written[1].black_to_move, 1);
  EXPECT_EQ(written[2].ep, 43);  // d6
  const std::string path = temporary_path("round");
  std::string error;
  ASSERT_TRUE(write_positions(path, written, &error)) << error;
  std::vector<PackedPosition> read;
  ASSERT_TRUE(read_positions(path, &read, &error)) << error;
  EXPECT_EQ(read, written);
  FILE* f = fopen(path.c_str(), "rb");
  fseek(f, 0, SEEK_END);
  EXPECT_EQ(ftell(f), MAGIC_BYTES + RECORD_BYTES * 4);
  fclose(f);
  remove(path.c_str());
}

TEST(PackedPosition, DamagedFilesAreRefused) {
  parse_fen(FENS[0]);
  uint8_t record[RECORD_BYTES];
  ASSERT_TRUE(pack_record(pack_current_position(5, 1), record));
  const std::string good(reinterpret_cast<char*>(record), RECORD_BYTES);
  const std::string path = temporary_path("bad");
  std::vector<PackedPosition> read;
  std::string error;
  write_bytes(path, std::string(FILE_MAGIC) + good + good.substr(0, 31));
  EXPECT_FALSE(read_positions(path, &read, &error));
  EXPECT_NE(error.find("truncated after record 1"), std::string::npos) << error;
  write_bytes(path, "KLMPOS00" + good);
  EXPECT_FALSE(read_positions(path, &read, &error));
  std::string empty_nibble = good;
  empty_nibble[8] = 0;  // the a1 rook's code: an occupied square with no piece
  write_bytes(path, std::string(FILE_MAGIC) + good + empty_nibble);
  EXPECT_FALSE(read_positions(path, &read, &error));
  EXPECT_NE(error.find("record 2 is malformed"), std::string::npos) << error;
  std::string bad_result = good;
  bad_result[27] = 3;
  write_bytes(path, std::string(FILE_MAGIC) + bad_result);
  EXPECT_FALSE(read_positions(path, &read, &error));
  write_bytes(path, FILE_MAGIC);
  EXPECT_TRUE(read_positions(path, &read, &error)) << error;
  EXPECT_TRUE(read.empty());
  remove(path.c_str());
}

TEST(Selfplay, SameSeedSameGamesAndFiltersHold) {
  SelfplaySettings s{.seed = 7,
                     .nodes = 300,
                     .random_plies = 3,
                     .max_plies = 60,
                     .openings = {"e4 e5 Nf3 Nc6", "d4 d5 c4 e6"}};
  std::vector<PackedPosition> first, again, other;
  SelfplayCounts c1, c2, c3;
  for (long g = 0; g < 3; ++g) play_game(s, g, &first, &c1);
  // Game 2 alone, after other games: the same positions as in the first run.
  play_game(s, 5, &again, &c2);
  again.clear();
  play_game(s, 2, &again, &c2);
  s.seed = 8;
  for (long g = 0; g < 3; ++g) play_game(s, g, &other, &c3);
  ASSERT_GT(c1.kept, 20);
  EXPECT_EQ(c1.kept, static_cast<long>(first.size()));
  EXPECT_EQ(c1.searched, c1.kept + c1.in_check + c1.capture + c1.mate_score);
  EXPECT_TRUE(std::equal(again.begin(), again.end(), first.end() - again.size()));
  EXPECT_NE(first, other);
  for (const PackedPosition& p : first) {
    parse_fen(packed_fen(p).c_str());
    EXPECT_LE(p.result, 2);
    EXPECT_LT(p.score < 0 ? -p.score : p.score, 29000);
  }
}

}  // namespace
}  // namespace kelmstrad::train_data
