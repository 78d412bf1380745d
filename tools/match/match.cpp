#include "match.h"

#include <atomic>
#include <cstdarg>
#include <mutex>
#include <thread>
#include <vector>

#include "board/attack.h"
#include "referee.h"

namespace kelmstrad::match {

namespace {

struct Runner {
  const MatchConfig* config = nullptr;
  FILE* out = nullptr;
  FILE* pgn = nullptr;
  std::mutex lock;                // guards the summary, the report and the PGN file
  std::atomic<int> next_game{0};  // next game index to hand out
  std::atomic<bool> stop{false};  // no new games; running ones give up
  MatchSummary summary;
};

// Writes one formatted report line and flushes it.
void say(FILE* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void say(FILE* out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(out, format, args);
  va_end(args);
  std::fputc('\n', out);
  std::fflush(out);
}

// Prints a fault of a game with the engine's last lines.
void report_fault(Runner& r, const GameRecord& game, const GameFault& f) {
  const std::string& name = r.summary.names[f.engine];
  say(r.out, "Fault in game %d: %s (%s) %s: %s", game.number, name.c_str(),
      f.white ? "White" : "Black", fault_kind_name(f.fault.kind), f.fault.text.c_str());
  if (!f.fault.last_lines.empty()) say(r.out, "  last lines of %s:", name.c_str());
  for (const std::string& line : f.fault.last_lines) say(r.out, "    %s", line.c_str());
}

// Counts a finished game, reports it, appends its PGN and checks the SPRT.
void record_game(Runner& r, const GameRecord& game) {
  std::lock_guard<std::mutex> guard(r.lock);
  MatchSummary& s = r.summary;
  const int w = game.white_engine;
  if (s.names[w].empty()) s.names[w] = game.white_name;
  if (s.names[1 - w].empty()) s.names[1 - w] = game.black_name;
  for (const GameFault& f : game.faults) {
    ++s.faults[f.engine][static_cast<int>(f.fault.kind)];
    if (f.fault.kind == FaultKind::CRASH && f.fault.text.rfind("cannot start", 0) == 0)
      s.engine_missing = true;
    report_fault(r, game, f);
  }
  if (game.result == GameResult::NONE) return;  // abandoned when the match stopped
  const bool first_white = w == 0;
  if (game.result == GameResult::DRAW)
    ++s.tally.draws;
  else if ((game.result == GameResult::WHITE_WINS) == first_white)
    ++s.tally.wins;
  else
    ++s.tally.losses;
  ++s.games_played;
  say(r.out, "Finished game %d (%s vs %s): %s {%s}", game.number, game.white_name.c_str(),
      game.black_name.c_str(), result_text(game.result), game.reason.c_str());
  say(r.out, "Score of %s vs %s: %d - %d - %d  [%.3f] %d", s.names[0].c_str(), s.names[1].c_str(),
      s.tally.wins, s.tally.losses, s.tally.draws, tally_score(s.tally), s.games_played);
  if (r.pgn) {
    std::fputs(pgn_text(game, r.config->pgn).c_str(), r.pgn);
    std::fflush(r.pgn);
  }
  if (r.config->sprt) {
    s.sprt = sprt_state(s.tally, r.config->sprt_setup);
    if (s.sprt.decision != SprtDecision::CONTINUE) s.sprt_decided = true;
  }
  if (s.sprt_decided || s.engine_missing) r.stop = true;
}

// One worker: plays games until none is left or the match stops.
void worker(Runner& r) {
  const MatchConfig& c = *r.config;
  while (!r.stop) {
    const int index = r.next_game++;
    if (index >= c.games) return;
    GameSetup setup;
    setup.number = index + 1;
    setup.opening = &c.openings[static_cast<size_t>(index / 2) % c.openings.size()];
    setup.engines[0] = &c.engines[0];
    setup.engines[1] = &c.engines[1];
    setup.first_is_white = index % 2 == 0;
    setup.timeout_ms = c.timeout_ms;
    setup.movewait_ms = c.movewait_ms;
    setup.maxmoves = c.maxmoves;
    setup.abort = &r.stop;
    record_game(r, play_game(setup));
  }
}

}  // namespace

// Plays the match on config.concurrency worker threads.
MatchSummary run_match(const MatchConfig& config, FILE* out) {
  Runner r;
  r.config = &config;
  r.out = out;
  for (int i = 0; i < 2; ++i) r.summary.names[i] = config.engines[i].name;
  if (!config.pgn_file.empty()) r.pgn = std::fopen(config.pgn_file.c_str(), "a");
  if (!config.pgn_file.empty() && !r.pgn) {
    say(out, "cannot write PGN file \"%s\"", config.pgn_file.c_str());
    r.summary.pgn_unwritable = true;
    return r.summary;
  }
  std::vector<std::thread> threads;
  const int count = std::min(config.concurrency, config.games);
  for (int i = 0; i < count; ++i) threads.emplace_back(worker, std::ref(r));
  for (std::thread& t : threads) t.join();
  if (r.pgn) std::fclose(r.pgn);
  return r.summary;
}

// Writes the final report.
void print_summary(const MatchConfig& config, const MatchSummary& s, FILE* out) {
  const Tally& t = s.tally;
  say(out, "Games: %d, %s: %d wins, %d losses, %d draws, score %.1f%%", s.games_played,
      s.names[0].c_str(), t.wins, t.losses, t.draws, 100 * tally_score(t));
  const EloEstimate e = elo_estimate(t);
  if (e.valid)
    say(out, "Elo difference: %.1f +/- %.1f (95%%)", e.diff + 0.0, e.error);  // never "-0.0"
  else
    say(out, "Elo difference: not measurable (score 0%%, 100%% or no games)");
  if (config.sprt) {
    const char* verdict = s.sprt.decision == SprtDecision::ACCEPT_H1   ? "H1 accepted"
                          : s.sprt.decision == SprtDecision::ACCEPT_H0 ? "H0 accepted"
                                                                       : "no decision";
    say(out, "SPRT (elo0 %.1f, elo1 %.1f, alpha %.3f, beta %.3f): llr %.3f, bounds %.3f %.3f: %s",
        config.sprt_setup.elo0, config.sprt_setup.elo1, config.sprt_setup.alpha,
        config.sprt_setup.beta, s.sprt.llr, s.sprt.lower, s.sprt.upper, verdict);
  }
  for (int i = 0; i < 2; ++i) {
    const int* f = s.faults[i];
    say(out, "Faults of %s: illegal moves %d, crashes %d, stalls %d, time losses %d",
        s.names[i].c_str(), f[static_cast<int>(FaultKind::ILLEGAL)],
        f[static_cast<int>(FaultKind::CRASH)], f[static_cast<int>(FaultKind::STALL)],
        f[static_cast<int>(FaultKind::TIME)]);
  }
}

// The whole tool; returns the exit status.
int match_main(int argc, const char* const* argv) {
  MatchConfig config;
  std::string error;
  if (!parse_command_line(argc, argv, &config, &error)) {
    std::fprintf(stderr, "match: %s\n", error.c_str());
    return 1;
  }
  if (config.help) {
    std::fputs(usage_text(), stdout);
    return 0;
  }
  referee_init();
  std::vector<std::string> warnings;
  const bool loaded = load_openings(&config, &warnings, &error);
  for (const std::string& w : warnings) std::fprintf(stderr, "match: %s\n", w.c_str());
  if (!loaded) {
    std::fprintf(stderr, "match: %s\n", error.c_str());
    return 2;
  }
  if (!config.openings_book.empty())
    std::printf("Openings: %zu lines of %d plies from %s, seed %u (repeat with -srand %u)\n",
                config.openings.size(), config.openings_plies, config.openings_book.c_str(),
                config.seed, config.seed);
  const MatchSummary summary = run_match(config, stdout);
  print_summary(config, summary, stdout);
  if (summary.engine_missing || summary.pgn_unwritable) return 2;
  for (int i = 0; i < 2; ++i) {
    if (!(config.strict & (1 << i))) continue;
    for (int k = 1; k < FAULT_KINDS; ++k)
      if (summary.faults[i][k] > 0) return 3;
  }
  return 0;
}

}  // namespace kelmstrad::match
