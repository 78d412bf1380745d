#include "eval/network.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "board/make.h"
#include "clock/counters.h"
#include "eval/params.h"
#include "io/env.h"
#include "platform/platform.h"

namespace kelmstrad {

// The loaded network; all zero until a file is read.
NetworkWeights network_weights;
// Whether the first evaluation found a network.
NetworkState network_state = NETWORK_NOT_TRIED;
// How the network combines with the hand-made evaluation.
int network_mode = NETWORK_ONLY;

namespace {

constexpr int OPPONENT_INPUTS = 384;
constexpr int ROWS_PER_KIND = 64;
constexpr int OUTPUT_SHIFT = 4;
constexpr int SCALE_SHIFT = 6;
constexpr int TEMPO = 10;

// Reads one decimal integer as "%d" would: white space skipped, an optional
// sign, at least one digit. Digits beyond the 32-bit range wrap, so the low
// bits of the written number are kept. False at the end of the file or at
// anything that is not a number.
bool read_int(FILE* f, int32_t* value) {
  int c = getc(f);
  while (c != EOF && isspace(c)) c = getc(f);
  const bool negative = c == '-';
  if (c == '-' || c == '+') c = getc(f);
  if (c == EOF || !isdigit(c)) return false;
  uint32_t magnitude = 0;
  while (c != EOF && isdigit(c)) {
    magnitude = magnitude * 10u + static_cast<uint32_t>(c - '0');
    c = getc(f);
  }
  if (c != EOF) ungetc(c, f);
  *value = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
  return true;
}

// Reads `count` values into `out`, keeping the low 16 bits of each.
bool read_int16s(FILE* f, int16_t* out, int count) {
  int32_t value;
  for (int i = 0; i < count; ++i) {
    if (!read_int(f, &value)) return false;
    out[i] = static_cast<int16_t>(value);
  }
  return true;
}

// Everything after the width: feature rows, hidden biases, output weights, bias.
bool read_network_body(FILE* f, NetworkWeights* w) {
  const int n = w->width;
  for (auto& row : w->feature_weights)
    if (!read_int16s(f, row, n)) return false;
  if (!read_int16s(f, w->hidden_biases, n)) return false;
  int32_t value;
  for (int i = 0; i < 2 * n; ++i) {
    if (!read_int(f, &value)) return false;
    w->output_weights[i] = static_cast<int8_t>(value);
  }
  return read_int(f, &w->output_bias);
}

// Clamps a score of the network paths into +-NETWORK_SCORE_LIMIT.
int limit_score(int64_t score) {
  if (score > NETWORK_SCORE_LIMIT) return NETWORK_SCORE_LIMIT;
  if (score < -NETWORK_SCORE_LIMIT) return -NETWORK_SCORE_LIMIT;
  return static_cast<int>(score);
}

// (network_forward * NNSCALE) >> 6, held inside the score limit. Charges NNO.
int scaled_forward() {
  static const int nnscale = env_int("NNSCALE", NNSCALE_DEFAULT);
  ++op_counters[NNO];
  const int64_t product = static_cast<int64_t>(network_forward()) * nnscale;
  return limit_score(product >> SCALE_SHIFT);
}

}  // namespace

// Own pieces first, then the opponent's; Black's view flips the ranks.
int feature_index(Piece piece, Square square, Side view) {
  const int q = view == WHITE ? square_index(square) : (square_index(square) ^ 56);
  const int base = piece_side(piece) == view ? 0 : OPPONENT_INPUTS;
  return base + (piece_kind(piece) - 1) * ROWS_PER_KIND + q;
}

// Fills `weights` from the file; the width is checked before anything else.
NetworkReadStatus read_network_file(const char* path, NetworkWeights* weights) {
  FILE* f = fopen(path, "r");
  if (f == nullptr) return NETWORK_READ_REJECTED;
  int32_t width = 0;
  if (!read_int(f, &width) || width <= 0 || width > NETWORK_MAX_WIDTH) {
    fclose(f);
    return NETWORK_READ_REJECTED;
  }
  weights->width = width;
  const bool complete = read_network_body(f, weights);
  fclose(f);
  return complete ? NETWORK_READ_OK : NETWORK_READ_INCOMPLETE;
}

// Both costs follow the width unless NNFCOST / NNOCOST name them.
void set_network_costs(int width, const char* vscale, const char* nnfcost, const char* nnocost) {
  const double s = vscale != nullptr ? atof(vscale) : 1.0;
  const double nnf = nnfcost != nullptr ? static_cast<double>(atol(nnfcost))
                                        : static_cast<double>(width) * NNF_COST_PER_UNIT;
  const double nno = nnocost != nullptr ? static_cast<double>(atol(nnocost))
                                        : static_cast<double>(width) * NNO_COST_PER_UNIT;
  op_costs[NNF] = truncate_cost(nnf * s);
  op_costs[NNO] = truncate_cost(nno * s);
}

// A file that cannot be used ends the process: nothing sensible can follow.
void load_network_file(const char* path) {
  switch (read_network_file(path, &network_weights)) {
    case NETWORK_READ_OK:
      break;
    case NETWORK_READ_REJECTED:
      fprintf(stderr, "NNUE load failed\n");
      process_exit(1);
    case NETWORK_READ_INCOMPLETE:
      process_exit(1);
  }
  network_state = NETWORK_LOADED;
  network_active = true;  // the board's flag: make charges NNF from now on
  set_network_costs(network_weights.width, env_str("VSCALE"), env_str("NNFCOST"),
                    env_str("NNOCOST"));
}

// Tried once; the state is none unless a file loads.
void load_network() {
  if (network_state != NETWORK_NOT_TRIED) return;
  network_state = NETWORK_NONE;
  const char* path = env_str("NNUE");
  if (path == nullptr || path[0] == '\0') return;
  load_network_file(path);
}

// Loads the network and fixes the mode, both once.
void network_first_use() {
  static bool done = false;
  if (done) return;
  done = true;
  load_network();
  if (env_present("NNRES"))
    network_mode = NETWORK_RESIDUAL;
  else if (env_present("NNBLEND"))
    network_mode = NETWORK_BLEND;
  else
    network_mode = NETWORK_ONLY;
}

// Both accumulators from the biases and every piece's two rows, then the
// clamped units of the side to move and of the other view against the output weights.
int network_output(const NetworkWeights& weights, const Position& pos) {
  const int n = weights.width;
  int16_t white_acc[NETWORK_MAX_WIDTH];
  int16_t black_acc[NETWORK_MAX_WIDTH];
  // The accumulators always span all 128 entries: a fixed length lets the
  // compiler vectorise, and entries beyond N never reach the output.
  for (int i = 0; i < NETWORK_MAX_WIDTH; ++i)
    white_acc[i] = black_acc[i] = weights.hidden_biases[i];
  for (uint8_t sq : pos.slot_square) {
    if (sq == NO_SQUARE) continue;
    const Piece piece = pos.board[sq];
    const int16_t* white_row = weights.feature_weights[feature_index(piece, sq, WHITE)];
    const int16_t* black_row = weights.feature_weights[feature_index(piece, sq, BLACK)];
    for (int i = 0; i < NETWORK_MAX_WIDTH; ++i) {
      white_acc[i] = static_cast<int16_t>(white_acc[i] + white_row[i]);
      black_acc[i] = static_cast<int16_t>(black_acc[i] + black_row[i]);
    }
  }
  const int16_t* us = pos.side == WHITE ? white_acc : black_acc;
  const int16_t* them = pos.side == WHITE ? black_acc : white_acc;
  int32_t sum = 0;
  for (int i = 0; i < n; ++i) {
    const int u = us[i] < 0 ? 0 : (us[i] > NETWORK_CLAMP ? NETWORK_CLAMP : us[i]);
    const int t = them[i] < 0 ? 0 : (them[i] > NETWORK_CLAMP ? NETWORK_CLAMP : them[i]);
    sum += u * weights.output_weights[i] + t * weights.output_weights[n + i];
  }
  // The bias may be anywhere in the 32-bit range: the total wraps like 32-bit arithmetic.
  const auto out =
      static_cast<int32_t>(static_cast<uint32_t>(weights.output_bias) + static_cast<uint32_t>(sum));
  return out >> OUTPUT_SHIFT;
}

// The loaded network on the global position; charges nothing.
int network_forward() { return network_output(network_weights, position); }

// True once a network file has loaded.
bool network_enabled() { return network_state == NETWORK_LOADED; }

// True when the network alone evaluates at this blend weight.
bool network_replaces_eval(int p16) {
  if (!network_enabled()) return false;
  return network_mode == NETWORK_ONLY || (network_mode == NETWORK_BLEND && p16 == 16);
}

// True when a loaded network corrects the hand-made value.
bool network_corrects_eval() {
  return network_enabled() && (network_mode == NETWORK_RESIDUAL || network_mode == NETWORK_BLEND);
}

// The scaled network value for the side to move; charges one NNO.
int network_scaled_eval() { return scaled_forward(); }

// Residual adds the raw output; blend mixes by phase and skips the network at p16 = 0.
int network_combine(int v, int p16) {
  const int h = (position.side == WHITE ? v : -v) + TEMPO;
  if (network_mode == NETWORK_RESIDUAL) {
    ++op_counters[NNO];
    return limit_score(static_cast<int64_t>(network_forward()) + h);
  }
  if (p16 == 0) return h;
  const int64_t mixed =
      static_cast<int64_t>(16 - p16) * h + static_cast<int64_t>(p16) * scaled_forward();
  return limit_score(mixed / 16);
}

}  // namespace kelmstrad
