// The match: games handed out to worker threads, results counted from the
// first engine's view, PGN appended as games finish, an optional SPRT that
// stops the match (and abandons the games still running) once it decides.
#pragma once

#include <cstdio>
#include <string>

#include "config.h"

namespace kelmstrad::match {

constexpr int FAULT_KINDS = 5;  // indexed by FaultKind

struct MatchSummary {
  Tally tally;                      // first engine's wins, losses, draws
  int faults[2][FAULT_KINDS] = {};  // per engine and kind
  std::string names[2];
  int games_played = 0;
  bool sprt_decided = false;
  SprtState sprt;
  bool engine_missing = false;  // an engine could not be started at all
  bool pgn_unwritable = false;  // the -pgnout file could not be opened, so no game was played
};

// Plays the match; progress and fault reports go to `out`, games to the PGN file.
MatchSummary run_match(const MatchConfig& config, FILE* out);

// Writes the final report: score, Elo, SPRT and faults.
void print_summary(const MatchConfig& config, const MatchSummary& summary, FILE* out);

// The whole tool: command line, openings, match, report; returns the exit status.
int match_main(int argc, const char* const* argv);

}  // namespace kelmstrad::match
