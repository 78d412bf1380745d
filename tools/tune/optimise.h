// The optimisation: the scaling constant K, then gradient descent (Adam) on
// the mean squared error between the game result r and sigmoid(K * eval),
// eval being the white-relative evaluation.
//
// Between two exact evaluations of all positions (one "pass") the tuner
// takes `steps` gradient steps on a linear model of the evaluation around
// the last exact one: eval(w) = anchor + scale * (linear(w) - linear(anchor)).
// Each pass then evaluates every position exactly with the weights rounded as
// the engine will store them, and that exact error is what is printed and
// what decides the best pass (by the held-out positions).
#pragma once

#include <functional>
#include <vector>

#include "data_set.h"

namespace kelmstrad::tune {

struct TuneSettings {
  uint32_t groups;  // parameter groups tuned
  int passes;       // at most this many passes
  int steps;        // gradient steps per pass
  double rate;      // Adam step size, in evaluation units
  double reg;       // weight of sum((w - w0) / 100)^2 added to the training error
  int patience;     // stop after this many passes without a better validation error
  int threads;      // 1 or 2
  double k;         // scaling constant; 0: fitted to the start values
};

struct PassErrors {
  int pass;
  double train;
  double valid;
};

struct TuneResult {
  double k;
  std::vector<PassErrors> passes;  // pass 0 is the start values
  int best_pass;
};

// Mean squared error of sigmoid(k * anchor) against the result, over the
// training (held_out false) or the held-out positions.
double anchor_error(const DataSet& data, double k, bool held_out);

// The K in (0, 0.1] that minimises the training error of the anchors.
double fit_k(const DataSet& data);

// Evaluates every position exactly with the store as it is; refreshes anchor,
// scale and anchor_linear.
void refresh_anchors(DataSet* data);

// Tunes the weights of settings.groups in the engine's store, starting from
// the store's values. Leaves the store at the best pass; calls `on_best`
// each time a pass beats the best validation error so far (store set to it,
// the result so far given).
TuneResult tune(DataSet* data, const TuneSettings& settings,
                const std::function<void(const TuneResult&)>& on_best);

}  // namespace kelmstrad::tune
