#include "eval/network.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/make.h"
#include "clock/counters.h"
#include "eval/evaluate.h"
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

constexpr int W = NETWORK_MAX_WIDTH;
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

// Output weights spread over two rows of the full width, widened to 16 bits
// and zero beyond the network's width: the side to move's and the other's.
struct OutputWeights {
  alignas(64) int16_t us[W];
  alignas(64) int16_t them[W];
};

// The installed network's output weights; filled by network_install.
OutputWeights installed_output;

// The output layer's weights of `weights` in the full-width layout.
void spread_output_weights(const NetworkWeights& weights, OutputWeights* out) {
  memset(out, 0, sizeof(*out));
  for (int i = 0; i < weights.width; ++i) {
    out->us[i] = weights.output_weights[i];
    out->them[i] = weights.output_weights[weights.width + i];
  }
}

// The units of one view, clamped to 0..127, against their weights. A
// fixed-length loop over 16-bit values that the compiler turns into
// multiply-and-add vector instructions; the weights beyond the width are
// zero, so those units add nothing.
int32_t clamped_dot(const int16_t* units, const int16_t* weights) {
  int32_t sum = 0;
  for (int i = 0; i < W; ++i) {
    const int16_t u = units[i] < 0 ? 0 : (units[i] > NETWORK_CLAMP ? NETWORK_CLAMP : units[i]);
    sum += u * weights[i];
  }
  return sum;
}

// bias + both views' clamped units against their weights, shifted.
int output_layer(const int16_t* us, const int16_t* them, const OutputWeights& w, int32_t bias) {
  const int32_t sum = clamped_dot(us, w.us) + clamped_dot(them, w.them);
  // The bias may be anywhere in the 32-bit range: the total wraps like 32-bit arithmetic.
  const auto out = static_cast<int32_t>(static_cast<uint32_t>(bias) + static_cast<uint32_t>(sum));
  return out >> OUTPUT_SHIFT;
}

// (network_forward * NNSCALE) >> 6, held inside the score limit. Charges NNO.
int scaled_forward() {
  static const int nnscale = env_int("NNSCALE", NNSCALE_DEFAULT);
  ++op_counters[NNO];
  const int64_t product = static_cast<int64_t>(network_forward()) * nnscale;
  return hold_eval_score(product >> SCALE_SHIFT);
}

}  // namespace

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

// The first layer to the board (every kept sum stale from now), the output
// weights to their full-width copy.
void network_install() {
  set_feature_weights(network_weights.feature_weights, network_weights.hidden_biases,
                      network_weights.width);
  spread_output_weights(network_weights, &installed_output);
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
  network_install();
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

// Both accumulators from scratch, then the output layer on the side to move's
// and the other view's.
int network_output(const NetworkWeights& weights, const Position& pos) {
  alignas(64) int16_t sums[2][W];
  accumulators_sum(pos, weights.feature_weights, weights.hidden_biases, sums);
  OutputWeights output;
  spread_output_weights(weights, &output);
  const int us = pos.side == WHITE ? 0 : 1;
  return output_layer(sums[us], sums[1 - us], output, weights.output_bias);
}

// The installed network on the global position's kept accumulators. Make
// keeps them only while network_active (always, once a file has loaded).
int network_forward() {
  if (!network_active || !accumulators_current()) accumulators_refresh();
  const int us = position.side == WHITE ? 0 : 1;
  return output_layer(position.accumulators[us], position.accumulators[1 - us], installed_output,
                      network_weights.output_bias);
}

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
    return hold_eval_score(static_cast<int64_t>(network_forward()) + h);
  }
  if (p16 == 0) return h;
  const int64_t mixed =
      static_cast<int64_t>(16 - p16) * h + static_cast<int64_t>(p16) * scaled_forward();
  return hold_eval_score(mixed / 16);
}

}  // namespace kelmstrad
