// The match's command line and its openings file.
//
// The command line follows the match managers users know:
//   match -engine cmd=./kelmstrad option.Hash=16 env.TTENT=1024 tc=10+0.1
//         -engine cmd=stockfish "option.Skill Level=3" nodes=20000
//         -games 20 -openings file=book.txt -concurrency 2 -pgnout games.pgn
// An openings file holds one opening per line: a FEN (or EPD; opcodes after
// the fourth field are ignored; "moves ..." may follow), or a list of moves
// from the start position in UCI text or SAN, with or without move numbers.
// Empty lines and lines starting with "#" are skipped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine.h"
#include "game.h"
#include "pgn.h"
#include "stats.h"

namespace kelmstrad::match {

struct MatchConfig {
  EngineConfig engines[2];
  int games = 2;
  int concurrency = 1;
  std::string openings_file;
  bool openings_random = false;
  int openings_plies = 0;  // 0: whole opening
  int openings_start = 1;  // first opening used (1-based)
  uint32_t seed = 0;       // shuffle of a random opening order
  std::vector<Opening> openings;
  std::string openings_book;  // Polyglot book walked for one line per game pair (plies deep)
  bool seed_given = false;    // -srand named (it also seeds the walk); else the walk draws one
  std::string pgn_file;
  PgnOptions pgn;
  bool sprt = false;
  SprtSetup sprt_setup;
  int64_t timeout_ms = 5000;
  int64_t movewait_ms = 60000;
  int maxmoves = 0;
  int strict = 0;  // bit 1: faults of the first engine fail the run, bit 2: of the second
  bool help = false;
};

// The usage text printed by -h.
const char* usage_text();

// Reads the command line; false with a message for the user on bad input.
bool parse_command_line(int argc, const char* const* argv, MatchConfig* config, std::string* error);

// Reads a time control "[moves/]base[+inc]" in seconds ("40/60+0.5", "1:30+1",
// "inf" for none); false on bad text.
bool parse_time_control(const std::string& text, TimeControl* tc);

// Parses one line of an openings file; false with a message when it is no opening.
bool parse_opening_line(const std::string& line, Opening* opening, std::string* error);

// Loads the openings named by the config (the start position when none is
// named); bad lines are reported in `warnings` and skipped. False when no
// opening is left or the file cannot be read. A book walk draws one line per
// game pair (a seed from the system when none was given, left in config->seed).
bool load_openings(MatchConfig* config, std::vector<std::string>* warnings, std::string* error);

}  // namespace kelmstrad::match
