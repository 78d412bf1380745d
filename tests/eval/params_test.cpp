// The parameter store: the built-in text, the record reader and "dumpparams".
#include "eval/params.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "eval/param_table.h"
#include "support.h"
#include "uci/commands.h"

namespace kelmstrad {
namespace {

// Every test starts from the built-in tables (flags off) and leaves the store
// as it found it, since the other tests share the process.
class ParamsTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = eval_params;
    saved_extras_ = pawn_extras_enabled;
    saved_mobility_ = mobility_enabled;
    eval_tables_init();
    pawn_extras_enabled = false;
    mobility_enabled = false;
    builtin_ = eval_params;
  }
  void TearDown() override {
    eval_params = saved_;
    fill_piece_square_scores();
    pawn_extras_enabled = saved_extras_;
    mobility_enabled = saved_mobility_;
  }
  bool unchanged() const { return memcmp(&eval_params, &builtin_, sizeof(EvalParams)) == 0; }

  EvalParams builtin_;

 private:
  EvalParams saved_;
  bool saved_extras_ = false;
  bool saved_mobility_ = false;
};

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// The eight entries of one rank of a square table, files a..h.
std::vector<int> table_row(const int8_t (&table)[64], int rank) {
  return std::vector<int>(table + rank * 8, table + rank * 8 + 8);
}

TEST_F(ParamsTest, DefaultTextHasItsSizeAndEndsEveryLine) {
  const std::string text = DEFAULT_PARAM_TEXT;
  EXPECT_EQ(text.size(), 10766u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 800);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(text.compare(0, 13, "matmg 1 0 52\n"), 0);
  EXPECT_EQ(load_eval_params_text(DEFAULT_PARAM_TEXT), 800);
}

TEST_F(ParamsTest, DefaultTextSetsTheTunedMaterialPassersAndScalars) {
  load_eval_params_text(DEFAULT_PARAM_TEXT);
  const EvalParams& p = eval_params;
  EXPECT_EQ(std::vector<int>(p.matmg + 1, p.matmg + 7),
            (std::vector<int>{52, 348, 362, 470, 1029, 0}));
  EXPECT_EQ(std::vector<int>(p.mateg + 1, p.mateg + 7),
            (std::vector<int>{60, 298, 306, 515, 942, 0}));
  EXPECT_EQ(std::vector<int>(p.passmg + 1, p.passmg + 7), (std::vector<int>{7, 9, 16, 25, 42, 61}));
  EXPECT_EQ(std::vector<int>(p.passeg + 1, p.passeg + 7),
            (std::vector<int>{12, 19, 38, 61, 91, 131}));
  EXPECT_EQ(
      (std::vector<int>{p.isomg, p.isoeg, p.dblmg, p.dbleg, p.ropen, p.rhalf, p.pairmg, p.paireg}),
      (std::vector<int>{5, 9, 0, 14, 27, 10, 34, 51}));
  // Nothing of the pawn extras, king shelter or mobility.
  EXPECT_FALSE(pawn_extras_enabled);
  EXPECT_FALSE(mobility_enabled);
  EXPECT_EQ(std::vector<int>(p.ksw + 1, p.ksw + 6), (std::vector<int>{8, 20, 10, 20, 20}));
  EXPECT_EQ(memcmp(p.nemg, builtin_.nemg, sizeof(p.nemg)), 0);
  EXPECT_EQ(memcmp(p.mobmg, builtin_.mobmg, sizeof(p.mobmg)), 0);
}

TEST_F(ParamsTest, DefaultTextSetsTheQuotedPawnAndKingRows) {
  load_eval_params_text(DEFAULT_PARAM_TEXT);
  const auto& mg = eval_params.pstmg;
  const auto& eg = eval_params.psteg;
  EXPECT_EQ(table_row(mg[PAWN], 1), (std::vector<int>{-9, -6, 0, -9, -6, 7, 2, -12}));
  EXPECT_EQ(table_row(mg[PAWN], 3), (std::vector<int>{-2, 0, 6, 16, 14, 13, 1, 1}));
  EXPECT_EQ(table_row(mg[PAWN], 6), (std::vector<int>{1, 0, 20, 20, 20, 20, 0, 0}));
  EXPECT_EQ(table_row(eg[PAWN], 1), (std::vector<int>{1, 2, 4, 0, 0, 12, 3, -3}));
  EXPECT_EQ(table_row(eg[PAWN], 6), (std::vector<int>{40, 40, 39, 39, 39, 39, 39, 39}));
  for (int rank : {0, 7}) {
    EXPECT_EQ(table_row(mg[PAWN], rank), std::vector<int>(8, 0));
    EXPECT_EQ(table_row(eg[PAWN], rank), std::vector<int>(8, 0));
  }
  EXPECT_EQ(table_row(mg[KING], 0), (std::vector<int>{19, 20, 21, -2, 6, -1, 15, 14}));
  EXPECT_EQ(table_row(mg[KING], 1), (std::vector<int>{-10, -10, -9, -10, -10, -9, -6, -8}));
  for (int rank = 2; rank < 8; ++rank)
    EXPECT_EQ(table_row(mg[KING], rank), std::vector<int>(8, -40));
  EXPECT_EQ(eg[KING][27], 27);  // d4
  EXPECT_EQ(eg[KING][28], 28);  // e4
  EXPECT_EQ(eg[KING][0], -21);
  EXPECT_EQ(eg[KING][7], -26);
  EXPECT_EQ(eg[KING][56], -20);
  EXPECT_EQ(eg[KING][63], -20);
}

TEST_F(ParamsTest, DefaultTextSetsTheQuotedPieceRanges) {
  load_eval_params_text(DEFAULT_PARAM_TEXT);
  const auto& mg = eval_params.pstmg;
  const auto& eg = eval_params.psteg;
  EXPECT_EQ(table_row(mg[ROOK], 6), (std::vector<int>{13, 12, 13, 16, 16, 12, 12, 12}));
  EXPECT_EQ(mg[ROOK][0], -7);
  EXPECT_EQ(mg[ROOK][7], -3);
  EXPECT_EQ(*std::min_element(eg[ROOK], eg[ROOK] + 64), -5);
  EXPECT_EQ(*std::max_element(eg[ROOK], eg[ROOK] + 64), 1);
  // Extremes and where they stand (the first square holding the extreme).
  EXPECT_EQ(std::min_element(mg[KNIGHT], mg[KNIGHT] + 64) - mg[KNIGHT], 56);  // a8
  EXPECT_EQ(mg[KNIGHT][56], -16);
  EXPECT_EQ(std::max_element(mg[KNIGHT], mg[KNIGHT] + 64) - mg[KNIGHT], 35);  // d5
  EXPECT_EQ(mg[KNIGHT][35], 26);
  EXPECT_EQ(std::min_element(mg[BISHOP], mg[BISHOP] + 64) - mg[BISHOP], 5);  // f1
  EXPECT_EQ(mg[BISHOP][5], -13);
  EXPECT_EQ(*std::max_element(mg[BISHOP], mg[BISHOP] + 64), 12);
  for (int corner : {0, 7, 56, 63}) EXPECT_EQ(eg[QUEEN][corner], -10);
  for (int centre : {27, 28, 35, 36}) EXPECT_EQ(eg[QUEEN][centre], 14);
  EXPECT_EQ(*std::min_element(eg[QUEEN], eg[QUEEN] + 64), -10);
  EXPECT_EQ(*std::max_element(eg[QUEEN], eg[QUEEN] + 64), 14);
}

TEST_F(ParamsTest, DumpReprintsTheDefaultTextInItsOwnOrder) {
  load_eval_params_text(DEFAULT_PARAM_TEXT);
  const std::vector<std::string> dump =
      split_lines(test::capture_output([] { test::run_command(cmd_dumpparams, ""); }));
  ASSERT_EQ(dump.size(), 800u);
  EXPECT_EQ(dump[0], "passmg 1 0 7");
  EXPECT_EQ(dump[1], "passeg 1 0 12");
  EXPECT_EQ(dump[11], "passeg 6 0 131");
  EXPECT_EQ(dump[12], "isomg 0 0 5");
  EXPECT_EQ(dump[19], "paireg 0 0 51");
  EXPECT_EQ(dump[20], "matmg 1 0 52");
  EXPECT_EQ(dump[21], "mateg 1 0 60");
  EXPECT_EQ(dump[22], "pstmg 1 0 0");
  EXPECT_EQ(dump[23], "psteg 1 0 0");
  EXPECT_EQ(dump[20 + 130 * 5], "matmg 6 0 0");
  EXPECT_EQ(dump[799], "psteg 6 63 -20");
  // The same 800 records as the text, only ordered differently.
  std::vector<std::string> text = split_lines(DEFAULT_PARAM_TEXT);
  std::vector<std::string> printed = dump;
  std::sort(text.begin(), text.end());
  std::sort(printed.begin(), printed.end());
  EXPECT_EQ(printed, text);
}

// A row with a wrong field, width or index range would share bytes with
// another entry or reach past the store.
TEST_F(ParamsTest, TableEntriesAreDisjointAndInsideTheStore) {
  std::vector<std::pair<size_t, size_t>> spans;  // first byte, one past the last
  for_each_param_entry([&](const ParamRecord& row, int index, int square) {
    const size_t first =
        static_cast<size_t>(static_cast<const char*>(param_entry(row, index, square)) -
                            reinterpret_cast<const char*>(&eval_params));
    spans.emplace_back(first, first + static_cast<size_t>(row.bits / 8));
  });
  ASSERT_EQ(spans.size(), 800u + 5 + 2 * 4 + 2 * 5);  // dumped, shelter, mobility, extras
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i) EXPECT_LE(spans[i - 1].second, spans[i].first) << i;
  EXPECT_LE(spans.back().second, sizeof(EvalParams));
}

TEST_F(ParamsTest, BuiltInTablesFollowCentreCloseness) {
  const auto& mg = eval_params.pstmg;
  const auto& eg = eval_params.psteg;
  EXPECT_EQ(eval_params.matmg[PAWN], 82);
  EXPECT_EQ(eval_params.mateg[PAWN], 94);
  EXPECT_EQ(mg[KNIGHT][27], 21);  // d4: closeness 6
  EXPECT_EQ(eg[KNIGHT][0], -15);  // a1: closeness 0
  EXPECT_EQ(mg[BISHOP][9], -2);   // b2: closeness 2
  EXPECT_EQ(eg[QUEEN][36], 14);   // e5
  EXPECT_EQ(mg[QUEEN][56], -5);   // a8
  EXPECT_EQ(table_row(mg[PAWN], 3), (std::vector<int>{0, 0, 8, 20, 20, 8, 0, 0}));
  EXPECT_EQ(table_row(mg[PAWN], 4), (std::vector<int>{0, 0, 12, 24, 24, 12, 0, 0}));
  EXPECT_EQ(table_row(eg[PAWN], 6), std::vector<int>(8, 40));
  EXPECT_EQ(table_row(mg[ROOK], 6), (std::vector<int>{12, 12, 12, 16, 16, 12, 12, 12}));
  EXPECT_EQ(table_row(mg[ROOK], 0), (std::vector<int>{0, 0, 0, 4, 4, 0, 0, 0}));
  EXPECT_EQ(table_row(mg[KING], 0), (std::vector<int>{20, 20, 20, 0, 0, 0, 20, 20}));
  EXPECT_EQ(mg[KING][8], -10);
  EXPECT_EQ(mg[KING][16], -40);
  EXPECT_EQ(eg[KING][28], 28);
  EXPECT_EQ(eg[KING][63], -20);
}

TEST_F(ParamsTest, OutOfRangeIndicesChangeNothing) {
  EXPECT_EQ(load_eval_params_text("pstmg 2 64 5\nmatmg 7 0 5\n"), 2);
  EXPECT_TRUE(unchanged());
  load_eval_params_text(
      "pstmg 0 3 5 psteg 2 -1 5 matmg 0 0 5 mateg -1 0 5 passmg 0 0 5 passeg 7 0 5 "
      "nemg 5 0 5 neeg 11 0 5 ksw 0 0 5 ksw 6 0 5 mobmg 1 0 5 mobeg 6 0 5 "
      "matmg 4294967297 0 5 pstmg 1 18446744073709551617 5");
  EXPECT_TRUE(unchanged());
  EXPECT_FALSE(pawn_extras_enabled);
  EXPECT_FALSE(mobility_enabled);
}

TEST_F(ParamsTest, UnknownNamesAreSkippedAndReadingGoesOn) {
  EXPECT_EQ(load_eval_params_text("Ropen 0 0 5\nropenx 0 0 6\nrope 0 0 7\nropen 0 0 44\n"), 4);
  EXPECT_EQ(eval_params.ropen, 44);
  EXPECT_EQ(eval_params.rhalf, builtin_.rhalf);
}

TEST_F(ParamsTest, ValuesKeepTheLowBitsOfTheirWidth) {
  load_eval_params_text("pstmg 1 20 200\n");
  EXPECT_EQ(eval_params.pstmg[PAWN][20], -56);
  load_eval_params_text(
      "psteg 6 0 -129 matmg 1 0 70000 passeg 2 0 -32769 isomg 0 0 65536 "
      "ksw 1 0 4294967297 ksw 2 0 -2147483649 pstmg 2 0 18446744073709551617");
  EXPECT_EQ(eval_params.psteg[KING][0], 127);
  EXPECT_EQ(eval_params.matmg[PAWN], 70000 - 65536);
  EXPECT_EQ(eval_params.passeg[2], 32767);
  EXPECT_EQ(eval_params.isomg, 0);
  EXPECT_EQ(eval_params.ksw[1], 1);
  EXPECT_EQ(eval_params.ksw[2], 2147483647);
  EXPECT_EQ(eval_params.pstmg[KNIGHT][0], 1);  // 2^64 + 1
}

TEST_F(ParamsTest, ScalarsIgnoreTheirIndexFieldsAndLaterRecordsWin) {
  load_eval_params_text("ropen 99 -5 12\nrhalf 0 0 3\nrhalf 0 0 4\npairmg 0 0 -7\n");
  EXPECT_EQ(eval_params.ropen, 12);
  EXPECT_EQ(eval_params.rhalf, 4);
  EXPECT_EQ(eval_params.pairmg, -7);
}

TEST_F(ParamsTest, RecordsMaySpreadOverAnyWhiteSpace) {
  EXPECT_EQ(load_eval_params_text("  ropen\t0 0\n\n 31 rhalf 0\r\n0 +3 dbleg 0 0 -0"), 3);
  EXPECT_EQ(eval_params.ropen, 31);
  EXPECT_EQ(eval_params.rhalf, 3);
  EXPECT_EQ(eval_params.dbleg, 0);
}

TEST_F(ParamsTest, AnIncompleteRecordEndsLoading) {
  EXPECT_EQ(load_eval_params_text("ropen 0 0 33\nisomg 0 7\npairmg 0 0 99\n"), 1);
  EXPECT_EQ(eval_params.ropen, 33);
  EXPECT_EQ(eval_params.isomg, builtin_.isomg);
  EXPECT_EQ(eval_params.pairmg, builtin_.pairmg);
  EXPECT_EQ(load_eval_params_text("rhalf 0 0 x5 ropen 0 0 1"), 0);
  EXPECT_EQ(load_eval_params_text("rhalf 0 0 - ropen 0 0 1"), 0);
  EXPECT_EQ(eval_params.ropen, 33);
  EXPECT_EQ(load_eval_params_text(""), 0);
  EXPECT_EQ(load_eval_params_text("  \n"), 0);
}

TEST_F(ParamsTest, ANameOfMoreThan63CharactersEndsLoading) {
  const std::string long_name(64, 'r');
  EXPECT_EQ(load_eval_params_text((long_name + " 0 0 1 ropen 0 0 1").c_str()), 0);
  EXPECT_EQ(load_eval_params_text((long_name.substr(1) + " 0 0 1 ropen 0 0 2").c_str()), 2);
  EXPECT_EQ(eval_params.ropen, 2);
}

TEST_F(ParamsTest, MobilityStaysOnOnceAWeightWasNonZero) {
  load_eval_params_text("mobmg 3 0 0\nmobeg 5 0 0\n");
  EXPECT_FALSE(mobility_enabled);
  load_eval_params_text("mobmg 3 0 4\n");
  EXPECT_TRUE(mobility_enabled);
  EXPECT_EQ(eval_params.mobmg[3], 4);
  load_eval_params_text("mobmg 3 0 0\n");
  EXPECT_TRUE(mobility_enabled);
  EXPECT_EQ(eval_params.mobmg[3], 0);
  EXPECT_FALSE(pawn_extras_enabled);
}

TEST_F(ParamsTest, PawnExtrasStayOnOnceAWeightWasNonZero) {
  load_eval_params_text("nemg 6 0 0\nneeg 10 0 0\nksw 3 0 9\n");
  EXPECT_FALSE(pawn_extras_enabled);
  EXPECT_EQ(eval_params.ksw[3], 9);
  load_eval_params_text("neeg 10 0 -3\nneeg 10 0 0\n");
  EXPECT_TRUE(pawn_extras_enabled);
  EXPECT_EQ(eval_params.neeg[10], 0);
  EXPECT_FALSE(mobility_enabled);
}

}  // namespace
}  // namespace kelmstrad
