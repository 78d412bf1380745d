// Match statistics from the first engine's point of view: score, the logistic
// Elo difference with its 95% error bar (per-game variance of the score, as
// the common match managers print it) and a sequential probability ratio test
// in the normal approximation of the generalised SPRT.
#pragma once

namespace kelmstrad::match {

constexpr double Z_95 = 1.959963984540054;  // two-sided 95% quantile of the normal law

struct Tally {
  int wins = 0;
  int losses = 0;
  int draws = 0;
};

struct EloEstimate {
  bool valid = false;  // false when the score is 0% or 100% (or no games)
  double diff = 0;     // Elo difference
  double error = 0;    // half-width of the 95% interval; infinite when it reaches 0% or 100%
};

struct SprtSetup {
  double elo0 = 0;
  double elo1 = 5;
  double alpha = 0.05;
  double beta = 0.05;
};

enum class SprtDecision { CONTINUE, ACCEPT_H0, ACCEPT_H1 };

struct SprtState {
  double llr = 0;    // log-likelihood ratio
  double lower = 0;  // log(beta / (1 - alpha))
  double upper = 0;  // log((1 - beta) / alpha)
  SprtDecision decision = SprtDecision::CONTINUE;
};

// Games in the tally.
int tally_games(const Tally& t);

// Mean score per game (0..1), 0 without games.
double tally_score(const Tally& t);

// Elo difference of a mean score: -400 log10(1/score - 1).
double elo_of_score(double score);

// Expected score of an Elo difference.
double score_of_elo(double elo);

// Elo difference and 95% error bar of the tally.
EloEstimate elo_estimate(const Tally& t);

// Log-likelihood ratio of the tally for H1 (elo1) against H0 (elo0) and the decision.
SprtState sprt_state(const Tally& t, const SprtSetup& setup);

}  // namespace kelmstrad::match
