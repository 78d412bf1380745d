// Network evaluation: inputs, file reading, forward pass, costs and modes.
#include "eval/network.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "board/attack.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/make.h"
#include "board/move.h"
#include "clock/counters.h"
#include "eval/evaluate.h"
#include "random_positions.h"

namespace kelmstrad {
namespace {

constexpr int OWN_KING_E1 = 5 * 64 + 4;
constexpr int OWN_QUEEN_D1 = 4 * 64 + 3;
constexpr int OWN_PAWN_E4 = 28;

std::unique_ptr<NetworkWeights> empty_network(int width) {
  auto w = std::make_unique<NetworkWeights>();
  memset(w.get(), 0, sizeof(NetworkWeights));
  w->width = width;
  return w;
}

// The output for the position of `fen` with the given weights.
int output_on(const NetworkWeights& w, const char* fen) {
  parse_fen(fen);
  const int out = network_output(w, position);
  parse_fen(START_FEN);
  return out;
}

// A file of `width` with every weight 0 except the given tail values.
std::string network_text(int width, const std::string& hidden, const std::string& outputs,
                         const std::string& bias) {
  std::string text = std::to_string(width) + "\n";
  for (int row = 0; row < NETWORK_INPUTS; ++row) {
    for (int i = 0; i < width; ++i) text += "0 ";
    text += "\n";
  }
  return text + hidden + "\n" + outputs + "\n" + bias + "\n";
}

std::string scratch_file(const char* name, const std::string& text) {
  const std::string path = testing::TempDir() + "kelmstrad_network_" + name;
  FILE* f = fopen(path.c_str(), "w");
  fputs(text.c_str(), f);
  fclose(f);
  return path;
}

NetworkReadStatus read_text(const char* name, const std::string& text, NetworkWeights* w) {
  return read_network_file(scratch_file(name, text).c_str(), w);
}

TEST(FeatureIndex, WhiteViewSeesTheBoardAsItIs) {
  EXPECT_EQ(feature_index(PAWN, 0x14, WHITE), 12);                       // own pawn e2
  EXPECT_EQ(feature_index(KING, 0x04, WHITE), OWN_KING_E1);              // own king e1
  EXPECT_EQ(feature_index(BLACK | KNIGHT, 0x76, WHITE), 384 + 64 + 62);  // their knight g8
  EXPECT_EQ(feature_index(BLACK | QUEEN, 0x00, WHITE), 384 + 256 + 0);   // their queen a1
}

TEST(FeatureIndex, BlackViewFlipsTheRanksAndOwnership) {
  EXPECT_EQ(feature_index(PAWN, 0x14, BLACK), 384 + 52);             // their pawn, seen on e7
  EXPECT_EQ(feature_index(BLACK | KNIGHT, 0x76, BLACK), 64 + 6);     // own knight, seen on g1
  EXPECT_EQ(feature_index(BLACK | KING, 0x74, BLACK), OWN_KING_E1);  // own king e8 -> e1
  EXPECT_EQ(feature_index(ROOK, 0x77, BLACK), 384 + 192 + 7);        // their rook h8 -> h1
}

TEST(NetworkForward, OutputBiasAloneForEitherSideToMove) {
  auto w = empty_network(1);
  w->output_bias = 160;
  EXPECT_EQ(output_on(*w, START_FEN), 10);
  EXPECT_EQ(output_on(*w, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"), 10);
}

TEST(NetworkForward, ShiftFloorsNegativeSums) {
  auto w = empty_network(1);
  const int32_t biases[] = {-17, -16, -1, 15, 31, -2147483647 - 1};
  const int expected[] = {-2, -1, -1, 0, 1, -134217728};
  for (int i = 0; i < 6; ++i) {
    w->output_bias = biases[i];
    EXPECT_EQ(output_on(*w, START_FEN), expected[i]) << biases[i];
  }
}

TEST(NetworkForward, UnitsClampToZeroAnd127) {
  auto w = empty_network(2);
  w->hidden_biases[0] = 300;
  w->hidden_biases[1] = -5;
  w->output_weights[0] = 16;
  w->output_weights[1] = 16;
  EXPECT_EQ(output_on(*w, START_FEN), 127);  // 127 * 16 >> 4; the -5 unit adds nothing
  w->output_weights[2] = 1;                  // the other view's unit 0 at 300 as well
  EXPECT_EQ(output_on(*w, START_FEN), (127 * 16 + 127) >> 4);
}

TEST(NetworkForward, AccumulatorsWrapAt16Bits) {
  auto w = empty_network(1);
  w->hidden_biases[0] = 32767;
  w->feature_weights[OWN_KING_E1][0] = 32767;  // 65534 wraps to -2
  w->feature_weights[OWN_QUEEN_D1][0] = 100;   // -2 + 100 = 98
  w->output_weights[0] = 16;
  EXPECT_EQ(output_on(*w, "4k3/8/8/8/8/8/8/4K3 w - - 0 1"), 0);  // -2 clamps to 0
  EXPECT_EQ(output_on(*w, "4k3/8/8/8/8/8/8/3QK3 w - - 0 1"), 98);
}

TEST(NetworkForward, EachViewUsesItsOwnOutputWeights) {
  auto w = empty_network(1);
  w->feature_weights[OWN_PAWN_E4][0] = 50;
  w->output_weights[0] = 16;  // side to move's unit
  w->output_weights[1] = 32;  // the other view's unit
  // White's e4 pawn lights White's view only.
  EXPECT_EQ(output_on(*w, "4k3/8/8/8/4P3/8/8/4K3 w - - 0 1"), 50);
  EXPECT_EQ(output_on(*w, "4k3/8/8/8/4P3/8/8/4K3 b - - 0 1"), 100);
  // Black's e5 pawn is "own pawn e4" in Black's flipped view.
  EXPECT_EQ(output_on(*w, "4k3/8/8/4p3/8/8/8/4K3 b - - 0 1"), 50);
  EXPECT_EQ(output_on(*w, "4k3/8/8/4p3/8/8/8/4K3 w - - 0 1"), 100);
  // Black's e4 pawn is "own pawn e5" for Black: nothing.
  EXPECT_EQ(output_on(*w, "4k3/8/8/8/4p3/8/8/4K3 b - - 0 1"), 0);
}

// Unit u counts the pieces of input block u eight times; the output weights
// value own pieces plus and the opponent's minus, from both views.
std::unique_ptr<NetworkWeights> material_counter() {
  auto w = empty_network(12);
  const int values[6] = {1, 3, 3, 5, 9, 0};
  for (int row = 0; row < NETWORK_INPUTS; ++row) w->feature_weights[row][row / 64] = 8;
  for (int k = 0; k < 6; ++k) {
    w->output_weights[k] = static_cast<int8_t>(values[k]);
    w->output_weights[6 + k] = static_cast<int8_t>(-values[k]);
    w->output_weights[12 + k] = static_cast<int8_t>(-values[k]);
    w->output_weights[18 + k] = static_cast<int8_t>(values[k]);
  }
  return w;
}

TEST(NetworkForward, MaterialCounterFromBothSides) {
  auto w = material_counter();
  EXPECT_EQ(output_on(*w, START_FEN), 0);
  EXPECT_EQ(output_on(*w, "4k3/8/8/8/8/8/8/Q3K3 w - - 0 1"), 9);
  EXPECT_EQ(output_on(*w, "4k3/8/8/8/8/8/8/Q3K3 b - - 0 1"), -9);
  // White 3P + N + B = 9, Black R + 2P = 7.
  EXPECT_EQ(output_on(*w, "r3k3/pp6/8/8/8/8/PPP5/1N2K1B1 w - - 0 1"), 2);
  EXPECT_EQ(output_on(*w, "r3k3/pp6/8/8/8/8/PPP5/1N2K1B1 b - - 0 1"), -2);
  // Start position without White's queen and Black's two rooks.
  EXPECT_EQ(output_on(*w, "1nbqkbn1/pppppppp/8/8/8/8/PPPPPPPP/RNB1KBNR b KQ - 0 1"), -1);
}

TEST(ReadNetwork, ValuesKeepTheirLowBits) {
  auto w = empty_network(0);
  std::string text = "2\n65541 -32769\n";
  for (int row = 1; row < NETWORK_INPUTS; ++row) text += "1 -1\n";
  text += "70000 -3\n257 200 -129 127\n-2147483648\n9 9 9 junk\n";
  ASSERT_EQ(read_text("bits.txt", text, w.get()), NETWORK_READ_OK);
  EXPECT_EQ(w->width, 2);
  EXPECT_EQ(w->feature_weights[0][0], 5);
  EXPECT_EQ(w->feature_weights[0][1], 32767);
  EXPECT_EQ(w->feature_weights[767][1], -1);
  EXPECT_EQ(w->hidden_biases[0], 70000 - 65536);
  EXPECT_EQ(w->hidden_biases[1], -3);
  EXPECT_EQ(w->output_weights[0], 1);
  EXPECT_EQ(w->output_weights[1], -56);
  EXPECT_EQ(w->output_weights[2], 127);
  EXPECT_EQ(w->output_weights[3], 127);
  EXPECT_EQ(w->output_bias, -2147483647 - 1);
}

TEST(ReadNetwork, WidthProblemsRejectTheFile) {
  auto w = empty_network(0);
  EXPECT_EQ(read_network_file("/nonexistent/kelmstrad/net.txt", w.get()), NETWORK_READ_REJECTED);
  EXPECT_EQ(read_text("empty.txt", "", w.get()), NETWORK_READ_REJECTED);
  EXPECT_EQ(read_text("word.txt", "wide\n", w.get()), NETWORK_READ_REJECTED);
  EXPECT_EQ(read_text("w129.txt", network_text(129, "0", "0", "0"), w.get()),
            NETWORK_READ_REJECTED);
  EXPECT_EQ(read_text("w0.txt", "0\n0\n", w.get()), NETWORK_READ_REJECTED);
  EXPECT_EQ(read_text("wneg.txt", "-3\n0\n", w.get()), NETWORK_READ_REJECTED);
}

TEST(ReadNetwork, MissingOrBadValuesAfterTheWidthAreIncomplete) {
  auto w = empty_network(0);
  EXPECT_EQ(read_text("short.txt", "1\n1 2 3\n", w.get()), NETWORK_READ_INCOMPLETE);
  EXPECT_EQ(read_text("nobias.txt", network_text(1, "0", "0 0", ""), w.get()),
            NETWORK_READ_INCOMPLETE);
  EXPECT_EQ(read_text("letter.txt", network_text(1, "0", "0 x", "0"), w.get()),
            NETWORK_READ_INCOMPLETE);
  EXPECT_EQ(read_text("sign.txt", network_text(1, "0", "0 0", "-"), w.get()),
            NETWORK_READ_INCOMPLETE);
  EXPECT_EQ(read_text("w128.txt", network_text(128, "0", "0", "0"), w.get()),
            NETWORK_READ_INCOMPLETE);  // three values where 385 are due
}

TEST(ReadNetwork, FullWidthFileLoads) {
  auto w = empty_network(0);
  std::string outputs;
  for (int i = 0; i < 256; ++i) outputs += std::to_string(i % 7) + " ";
  std::string hidden;
  for (int i = 0; i < 128; ++i) hidden += "3 ";
  ASSERT_EQ(read_text("w128ok.txt", network_text(128, hidden, outputs, "-5"), w.get()),
            NETWORK_READ_OK);
  EXPECT_EQ(w->width, 128);
  EXPECT_EQ(w->hidden_biases[127], 3);
  EXPECT_EQ(w->output_weights[255], 255 % 7);
  EXPECT_EQ(w->output_bias, -5);
}

TEST(LoadNetworkDeathTest, UnusableFilesEndTheProcess) {
  const std::string w129 = scratch_file("d129.txt", network_text(129, "0", "0", "0"));
  const std::string w0 = scratch_file("d0.txt", "0\n5\n");
  const std::string word = scratch_file("dword.txt", "x\n");
  const std::string cut = scratch_file("dcut.txt", "1\n4 4 4\n");
  const std::string bad = scratch_file("dbad.txt", network_text(1, "0", "0 0", "one"));
  EXPECT_EXIT(load_network_file("/nonexistent/kelmstrad/net.txt"), testing::ExitedWithCode(1),
              "^NNUE load failed\n$");
  EXPECT_EXIT(load_network_file(w129.c_str()), testing::ExitedWithCode(1), "^NNUE load failed\n$");
  EXPECT_EXIT(load_network_file(w0.c_str()), testing::ExitedWithCode(1), "^NNUE load failed\n$");
  EXPECT_EXIT(load_network_file(word.c_str()), testing::ExitedWithCode(1), "^NNUE load failed\n$");
  EXPECT_EXIT(load_network_file(cut.c_str()), testing::ExitedWithCode(1), "^$");
  EXPECT_EXIT(load_network_file(bad.c_str()), testing::ExitedWithCode(1), "^$");
}

// Keeps the cost table and the network globals as they were.
class NetworkGlobals : public testing::Test {
 protected:
  void SetUp() override {
    memcpy(saved_costs_, op_costs, sizeof(op_costs));
    memcpy(saved_counters_, op_counters, sizeof(op_counters));
    saved_state_ = network_state;
    saved_mode_ = network_mode;
    saved_active_ = network_active;
  }
  void TearDown() override {
    memcpy(op_costs, saved_costs_, sizeof(op_costs));
    memcpy(op_counters, saved_counters_, sizeof(op_counters));
    network_state = saved_state_;
    network_mode = saved_mode_;
    network_active = saved_active_;
    memset(&network_weights, 0, sizeof(network_weights));
    network_install();
    parse_fen(START_FEN);
  }
  // Installs a loaded network with only an output bias.
  void install(int mode, int32_t bias) {
    memset(&network_weights, 0, sizeof(network_weights));
    network_weights.width = 1;
    network_weights.output_bias = bias;
    network_install();
    network_state = NETWORK_LOADED;
    network_mode = mode;
  }
  int32_t saved_costs_[COST_KEY_COUNT];
  uint32_t saved_counters_[COST_KEY_COUNT];
  NetworkState saved_state_;
  int saved_mode_;
  bool saved_active_;
};

TEST_F(NetworkGlobals, CostsFollowTheWidthAndScale) {
  set_network_costs(128, nullptr, nullptr, nullptr);
  EXPECT_EQ(op_costs[NNF], 15104);
  EXPECT_EQ(op_costs[NNO], 20608);
  set_network_costs(128, "0.5", nullptr, nullptr);
  EXPECT_EQ(op_costs[NNF], 7552);
  EXPECT_EQ(op_costs[NNO], 10304);
  set_network_costs(3, "0.3", nullptr, nullptr);  // 106.2 and 144.9, truncated
  EXPECT_EQ(op_costs[NNF], 106);
  EXPECT_EQ(op_costs[NNO], 144);
  set_network_costs(64, "0.5", "501", "77");  // the variables replace the width
  EXPECT_EQ(op_costs[NNF], 250);
  EXPECT_EQ(op_costs[NNO], 38);
  set_network_costs(64, nullptr, "abc", "12.9");  // read as integers
  EXPECT_EQ(op_costs[NNF], 0);
  EXPECT_EQ(op_costs[NNO], 12);
  set_network_costs(64, "fast", nullptr, nullptr);
  EXPECT_EQ(op_costs[NNF], 0);
  EXPECT_EQ(op_costs[NNO], 0);
}

TEST_F(NetworkGlobals, LoadingMarksTheNetworkActiveAndPricesIt) {
  if (getenv("VSCALE") || getenv("NNFCOST") || getenv("NNOCOST"))
    GTEST_SKIP() << "cost variables set in the environment";
  network_state = NETWORK_NONE;
  load_network_file(scratch_file("ok.txt", network_text(2, "0 0", "0 0 0 0", "48")).c_str());
  EXPECT_EQ(network_state, NETWORK_LOADED);
  EXPECT_TRUE(network_active);
  EXPECT_TRUE(network_enabled());
  EXPECT_EQ(op_costs[NNF], 236);
  EXPECT_EQ(op_costs[NNO], 322);
  EXPECT_EQ(network_forward(), 3);
}

// Fills the global network with random weights of the given width: feature
// weights and biases over the whole 16-bit range, so that the sums wrap.
void install_random_network(test::Random* rng, int width) {
  memset(&network_weights, 0, sizeof(network_weights));
  network_weights.width = width;
  for (auto& row : network_weights.feature_weights)
    for (int i = 0; i < width; ++i) row[i] = static_cast<int16_t>(rng->next());
  for (int i = 0; i < width; ++i)
    network_weights.hidden_biases[i] = static_cast<int16_t>(rng->next());
  for (int i = 0; i < 2 * width; ++i)
    network_weights.output_weights[i] = static_cast<int8_t>(rng->next());
  network_weights.output_bias = static_cast<int32_t>(rng->next() >> 8);
  network_install();
  network_state = NETWORK_LOADED;
  network_active = true;
}

// Along random games with captures, promotions, castling, en passant, null
// moves and take-backs, the sums make and unmake keep equal a sum from
// scratch at every ply, and the output from them equals network_output.
TEST_F(NetworkGlobals, KeptAccumulatorsEqualASumFromScratch) {
  const char* const fens[] = {
      START_FEN,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
      "4k3/2p5/8/3pPp2/8/8/3P4/4K3 w - d6 0 2",
  };
  test::Random rng{0x2545F491u};
  int captures = 0, promotions = 0, castlings = 0, en_passants = 0, nulls = 0, takebacks = 0;
  for (const int width : {NETWORK_MAX_WIDTH, 37}) {
    install_random_network(&rng, width);
    for (int game = 0; game < 60; ++game) {
      parse_fen(fens[game % 5]);
      std::vector<bool> null_moves;  // what each ply played, for the take-backs
      for (int ply = 0; ply < 80; ++ply) {
        int16_t sums[2][NETWORK_MAX_WIDTH];
        accumulators_sum(position, network_weights.feature_weights, network_weights.hidden_biases,
                         sums);
        ASSERT_EQ(memcmp(sums, position.accumulators, sizeof(sums)), 0) << "game " << game;
        ASSERT_EQ(network_forward(), network_output(network_weights, position));
        if (!null_moves.empty() && rng.below(6) == 0) {
          if (null_moves.back())
            unmake_null_move();
          else
            unmake_move();
          null_moves.pop_back();
          ++takebacks;
          continue;
        }
        if (!in_check(position.side) && rng.below(10) == 0) {
          make_null_move();
          null_moves.push_back(true);
          ++nulls;
          continue;
        }
        const std::vector<Move> moves = legal_moves();
        if (moves.empty()) break;
        const Move m = moves[rng.below(static_cast<int>(moves.size()))];
        const Piece p = position.board[move_from(m)];
        const int to = move_to(m), from = move_from(m);
        const bool pawn = piece_kind(p) == PAWN;
        captures += position.board[to] != 0;
        en_passants += pawn && to == position.ep_square && position.board[to] == 0;
        promotions += pawn && (square_rank(to) == 0 || square_rank(to) == 7);
        castlings += piece_kind(p) == KING && (to == from + 2 || to == from - 2);
        ASSERT_TRUE(make_move(m));
        null_moves.push_back(false);
      }
    }
  }
  // Every kind of change to the sums was met.
  EXPECT_GT(captures, 50);
  EXPECT_GT(promotions, 10);
  EXPECT_GT(castlings, 10);
  EXPECT_GT(en_passants, 0);
  EXPECT_GT(nulls, 50);
  EXPECT_GT(takebacks, 50);
}

TEST_F(NetworkGlobals, WhichPathTheNetworkTakes) {
  network_state = NETWORK_NONE;
  network_mode = NETWORK_ONLY;
  EXPECT_FALSE(network_replaces_eval(16));
  EXPECT_FALSE(network_corrects_eval());
  install(NETWORK_ONLY, 0);
  EXPECT_TRUE(network_replaces_eval(0));
  EXPECT_FALSE(network_corrects_eval());
  install(NETWORK_BLEND, 0);
  EXPECT_TRUE(network_replaces_eval(16));
  EXPECT_FALSE(network_replaces_eval(15));
  EXPECT_TRUE(network_corrects_eval());
  install(NETWORK_RESIDUAL, 0);
  EXPECT_FALSE(network_replaces_eval(16));
  EXPECT_TRUE(network_corrects_eval());
}

TEST_F(NetworkGlobals, ScaledEvalChargesOneOutput) {
  install(NETWORK_ONLY, 160);
  const uint32_t before = op_counters[NNO];
  EXPECT_EQ(network_scaled_eval(), 10);
  EXPECT_EQ(op_counters[NNO], before + 1);
  install(NETWORK_ONLY, -17);
  EXPECT_EQ(network_scaled_eval(), -2);
  install(NETWORK_ONLY, 2147483647);  // 134217727 would read as a mate
  EXPECT_EQ(network_scaled_eval(), EVAL_SCORE_LIMIT);
}

TEST_F(NetworkGlobals, ResidualAddsTheRawOutputAndTheTempo) {
  install(NETWORK_RESIDUAL, 160);
  const uint32_t before = op_counters[NNO];
  EXPECT_EQ(network_combine(50, 24), 10 + 50 + 10);
  parse_fen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  EXPECT_EQ(network_combine(50, 24), 10 - 50 + 10);
  EXPECT_EQ(op_counters[NNO], before + 2);
}

TEST_F(NetworkGlobals, BlendMixesByPhaseAndSkipsTheNetworkAtZero) {
  install(NETWORK_BLEND, 160);
  const uint32_t before = op_counters[NNO];
  EXPECT_EQ(network_combine(50, 0), 60);
  EXPECT_EQ(op_counters[NNO], before);
  EXPECT_EQ(network_combine(50, 8), (8 * 60 + 8 * 10) / 16);
  EXPECT_EQ(network_combine(-55, 1), -41);  // (15 * -45 + 10) / 16 = -41.6, toward zero
  EXPECT_EQ(op_counters[NNO], before + 2);
}

}  // namespace
}  // namespace kelmstrad
