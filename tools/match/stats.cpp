#include "stats.h"

#include <cmath>

namespace kelmstrad::match {

namespace {

// Per-game variance of the score about its mean.
double score_variance(const Tally& t) {
  const int n = tally_games(t);
  if (n == 0) return 0;
  const double s = tally_score(t);
  return (t.wins * (1 - s) * (1 - s) + t.losses * s * s + t.draws * (0.5 - s) * (0.5 - s)) / n;
}

}  // namespace

// Games in the tally.
int tally_games(const Tally& t) { return t.wins + t.losses + t.draws; }

// Mean score per game, 0 without games.
double tally_score(const Tally& t) {
  const int n = tally_games(t);
  return n == 0 ? 0 : (t.wins + 0.5 * t.draws) / n;
}

// Elo difference of a mean score.
double elo_of_score(double score) { return -400.0 * std::log10(1.0 / score - 1.0); }

// Expected score of an Elo difference.
double score_of_elo(double elo) { return 1.0 / (1.0 + std::pow(10.0, -elo / 400.0)); }

// Elo difference and 95% error bar; not valid at a score of 0% or 100%.
EloEstimate elo_estimate(const Tally& t) {
  EloEstimate e;
  const int n = tally_games(t);
  const double s = tally_score(t);
  if (n == 0 || s <= 0 || s >= 1) return e;
  const double margin = Z_95 * std::sqrt(score_variance(t) / n);
  e.valid = true;
  e.diff = elo_of_score(s);
  // An interval reaching a score of 0% or 100% has no finite Elo bound.
  if (s - margin <= 0 || s + margin >= 1)
    e.error = HUGE_VAL;
  else
    e.error = (elo_of_score(s + margin) - elo_of_score(s - margin)) / 2;
  return e;
}

// LLR = n ((s - s0)^2 - (s - s1)^2) / (2 var), decided against the Wald bounds.
SprtState sprt_state(const Tally& t, const SprtSetup& setup) {
  SprtState st;
  st.lower = std::log(setup.beta / (1 - setup.alpha));
  st.upper = std::log((1 - setup.beta) / setup.alpha);
  const double var = score_variance(t);
  const int n = tally_games(t);
  if (n == 0 || var <= 0) return st;
  const double s = tally_score(t);
  const double s0 = score_of_elo(setup.elo0), s1 = score_of_elo(setup.elo1);
  st.llr = n * ((s - s0) * (s - s0) - (s - s1) * (s - s1)) / (2 * var);
  if (st.llr >= st.upper) st.decision = SprtDecision::ACCEPT_H1;
  if (st.llr <= st.lower) st.decision = SprtDecision::ACCEPT_H0;
  return st;
}

}  // namespace kelmstrad::match
