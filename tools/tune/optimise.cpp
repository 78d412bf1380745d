#include "optimise.h"

#include <cmath>
#include <cstdio>
#include <thread>

#include "board/fen.h"
#include "features.h"
#include "param_set.h"
#include "progress.h"

namespace kelmstrad::tune {

namespace {

constexpr double ADAM_BETA1 = 0.9;
constexpr double ADAM_BETA2 = 0.999;
constexpr double ADAM_EPSILON = 1e-12;
constexpr double K_HIGH = 0.1;
constexpr double REG_UNIT = 100.0;  // the regularisation counts changes in pawns

double sigmoid(double x) { return 1.0 / (1.0 + std::exp(-x)); }

// The blend share of a parameter at blend weight p16.
inline double phase_share(bool mg, int p16) { return (mg ? p16 : 16 - p16) / 16.0; }

// Sum of weight * count * share over a position's entries.
double linear_value(const DataSet& data, const Sample& s, const std::vector<double>& w,
                    const std::vector<char>& mg) {
  double sum = 0;
  for (uint32_t i = s.first; i < s.first + s.entry_count; ++i) {
    const Entry& e = data.entries[i];
    sum += w[e.param] * e.count * phase_share(mg[e.param], s.p16);
  }
  return sum;
}

// The training error of the linear model and its gradient for the samples
// [begin, end), added into *loss and *grad.
void gradient_part(const DataSet& data, size_t begin, size_t end, double k,
                   const std::vector<double>& w, const std::vector<char>& mg, double* loss,
                   std::vector<double>* grad) {
  const double n = static_cast<double>(data.train_count);
  for (size_t i = begin; i < end; ++i) {
    const Sample& s = data.samples[i];
    if (s.held_out) continue;
    const double eval = s.anchor + s.scale * (linear_value(data, s, w, mg) - s.anchor_linear);
    const double sig = sigmoid(k * eval);
    const double diff = sig - s.result;
    *loss += diff * diff / n;
    const double g = 2.0 * diff * sig * (1.0 - sig) * k * s.scale / n;
    if (g == 0) continue;
    for (uint32_t j = s.first; j < s.first + s.entry_count; ++j) {
      const Entry& e = data.entries[j];
      (*grad)[e.param] += g * e.count * phase_share(mg[e.param], s.p16);
    }
  }
}

// The gradient of the training error over all training samples, split
// between the threads.
double gradient(const DataSet& data, int threads, double k, const std::vector<double>& w,
                const std::vector<char>& mg, std::vector<double>* grad) {
  const size_t n = data.samples.size();
  std::fill(grad->begin(), grad->end(), 0.0);
  if (threads < 2) {
    double loss = 0;
    gradient_part(data, 0, n, k, w, mg, &loss, grad);
    return loss;
  }
  std::vector<double> other(grad->size(), 0.0);
  double loss = 0, other_loss = 0;
  std::thread helper(gradient_part, std::cref(data), n / 2, n, k, std::cref(w), std::cref(mg),
                     &other_loss, &other);
  gradient_part(data, 0, n / 2, k, w, mg, &loss, grad);
  helper.join();
  for (size_t i = 0; i < grad->size(); ++i) (*grad)[i] += other[i];
  return loss + other_loss;
}

}  // namespace

double anchor_error(const DataSet& data, double k, bool held_out) {
  double sum = 0;
  size_t count = 0;
  for (const Sample& s : data.samples) {
    if (s.held_out != held_out) continue;
    const double diff = sigmoid(k * s.anchor) - s.result;
    sum += diff * diff;
    ++count;
  }
  return count ? sum / static_cast<double>(count) : 0.0;
}

// Golden-section search: the error is unimodal in K for any sensible data.
double fit_k(const DataSet& data) {
  const double ratio = (std::sqrt(5.0) - 1) / 2;
  double lo = 0, hi = K_HIGH;
  double a = hi - ratio * (hi - lo), b = lo + ratio * (hi - lo);
  double fa = anchor_error(data, a, false), fb = anchor_error(data, b, false);
  for (int i = 0; i < 60; ++i) {
    if (fa < fb) {
      hi = b;
      b = a;
      fb = fa;
      a = hi - ratio * (hi - lo);
      fa = anchor_error(data, a, false);
    } else {
      lo = a;
      a = b;
      fa = fb;
      b = lo + ratio * (hi - lo);
      fb = anchor_error(data, b, false);
    }
  }
  return (lo + hi) / 2;
}

void refresh_anchors(DataSet* data) {
  const std::vector<Param>& params = all_params();
  std::vector<double> w(params.size());
  std::vector<char> mg(params.size());
  for (size_t i = 0; i < params.size(); ++i) {
    w[i] = param_value(params[i]);
    mg[i] = params[i].mg;
  }
  Progress progress("evaluating", data->samples.size());
  for (size_t i = 0; i < data->samples.size(); ++i) {
    Sample& s = data->samples[i];
    parse_fen(s.fen.c_str());
    s.anchor = static_cast<float>(exact_eval_white(&s.scale));
    s.anchor_linear = static_cast<float>(linear_value(*data, s, w, mg));
    progress.step(i + 1);
  }
}

TuneResult tune(DataSet* data, const TuneSettings& settings,
                const std::function<void(const TuneResult&)>& on_best) {
  const std::vector<Param>& params = all_params();
  const size_t count = params.size();
  std::vector<double> start(count), w(count), best(count), grad(count);
  std::vector<double> m(count, 0.0), v(count, 0.0);
  std::vector<char> mg(count), tuned(count);
  for (size_t i = 0; i < count; ++i) {
    start[i] = w[i] = best[i] = param_value(params[i]);
    mg[i] = params[i].mg;
    tuned[i] = (params[i].group & settings.groups) != 0;
  }
  // A weight whose feature counts run large (mobility squares, king distances)
  // takes proportionally smaller steps: the step is rate / (RMS of its non-zero counts).
  std::vector<double> step_size(count, settings.rate);
  {
    std::vector<double> squares(count, 0.0), seen(count, 0.0);
    for (const Entry& e : data->entries) {
      squares[e.param] += static_cast<double>(e.count) * e.count;
      seen[e.param] += 1;
    }
    for (size_t i = 0; i < count; ++i)
      if (seen[i] > 0)
        step_size[i] = settings.rate / std::fmax(1.0, std::sqrt(squares[i] / seen[i]));
  }
  TuneResult result;
  refresh_anchors(data);
  result.k = settings.k > 0 ? settings.k : fit_k(*data);
  printf("K %.6f (%s)\n", result.k, settings.k > 0 ? "given" : "fitted to the start values");
  auto record = [&](int pass) {
    const PassErrors e{pass, anchor_error(*data, result.k, false),
                       anchor_error(*data, result.k, true)};
    result.passes.push_back(e);
    return e;
  };
  const PassErrors first = record(0);
  printf("pass 0 train %.6f valid %.6f (start values)\n", first.train, first.valid);
  fflush(stdout);
  double best_valid = first.valid;
  result.best_pass = 0;
  long t = 0;
  for (int pass = 1; pass <= settings.passes; ++pass) {
    double loss = 0;
    Progress progress("gradient steps", static_cast<size_t>(settings.steps));
    for (int step = 0; step < settings.steps; ++step) {
      progress.step(static_cast<size_t>(step));
      loss = gradient(*data, settings.threads, result.k, w, mg, &grad);
      ++t;
      const double c1 = 1 - std::pow(ADAM_BETA1, static_cast<double>(t));
      const double c2 = 1 - std::pow(ADAM_BETA2, static_cast<double>(t));
      for (size_t i = 0; i < count; ++i) {
        if (!tuned[i]) continue;
        const double change = (w[i] - start[i]) / REG_UNIT;
        const double g = grad[i] + settings.reg * 2 * change / REG_UNIT;
        m[i] = ADAM_BETA1 * m[i] + (1 - ADAM_BETA1) * g;
        v[i] = ADAM_BETA2 * v[i] + (1 - ADAM_BETA2) * g * g;
        w[i] -= step_size[i] * (m[i] / c1) / (std::sqrt(v[i] / c2) + ADAM_EPSILON);
      }
    }
    for (size_t i = 0; i < count; ++i)
      if (tuned[i]) set_param_value(params[i], w[i]);
    refresh_anchors(data);
    const PassErrors e = record(pass);
    const bool better = e.valid < best_valid;
    printf("pass %d train %.6f valid %.6f model %.6f%s\n", pass, e.train, e.valid, loss,
           better ? " best" : "");
    fflush(stdout);
    if (better) {
      best_valid = e.valid;
      result.best_pass = pass;
      for (size_t i = 0; i < count; ++i) best[i] = param_value(params[i]);
      on_best(result);
    } else if (pass - result.best_pass >= settings.patience) {
      break;
    }
  }
  for (size_t i = 0; i < count; ++i)
    if (tuned[i]) set_param_value(params[i], best[i]);
  return result;
}

}  // namespace kelmstrad::tune
