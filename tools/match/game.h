// One game between two UCI engines, refereed move by move.
//
// Per move the engine to play gets "position ...", "isready" (answered within
// the time-out) and "go"; its clock runs from "go" to "bestmove". A pondering
// engine gets "ponderhit" when the expected move came, otherwise "stop" (and
// must still answer "bestmove"). Every fault ends the game as a loss for the
// engine that made it, except a missing "bestmove" after "stop" once the game
// is already decided, which is recorded without changing the result.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "engine.h"
#include "referee.h"

namespace kelmstrad::match {

enum class GameResult { NONE, WHITE_WINS, BLACK_WINS, DRAW };

struct Opening {
  std::string fen = "startpos";    // start position ("startpos" or a FEN)
  std::vector<std::string> moves;  // moves played from it, in UCI text
  std::string source;              // where it came from, for messages
};

struct GameFault {
  int engine = 0;  // 0 first engine of the match, 1 second
  bool white = true;
  bool decided_game = false;  // the fault ended the game
  Fault fault;
};

struct MoveNote {
  bool book = false;  // from the opening
  SearchReply reply;  // the engine's last score and depth, the time used
};

struct GameSetup {
  int number = 1;  // game number in the match (round of the PGN)
  const Opening* opening = nullptr;
  const EngineConfig* engines[2] = {};  // first and second engine of the match
  bool first_is_white = true;
  int64_t timeout_ms = 5000;    // answer time for uciok, readyok, bestmove after stop
  int64_t movewait_ms = 60000;  // limit for a move without clock or movetime
  int maxmoves = 0;             // draw after this many full moves (0: never)
  const std::atomic<bool>* abort = nullptr;
};

struct GameRecord {
  int number = 0;
  std::string white_name, black_name;
  int white_engine = 0;  // match index of the engine playing White
  GameState state;
  int opening_plies = 0;                 // leading moves of state.moves from the opening
  std::vector<MoveNote> notes;           // one per move of state.moves
  GameResult result = GameResult::NONE;  // NONE: aborted
  std::string reason;                    // "White mates", "Black loses on time", ...
  std::string termination;               // PGN Termination tag
  std::vector<GameFault> faults;
  std::string date;          // "2026.12.07"
  std::string time_control;  // PGN TimeControl tag of White's control
};

// Plays one game; the record holds the moves, the result and every fault.
GameRecord play_game(const GameSetup& setup);

// Sets up the referee's state for an opening; false with a message when the
// opening is not a playable start.
bool opening_state(const Opening& opening, GameState* state, std::string* error);

// "1-0", "0-1", "1/2-1/2" or "*".
const char* result_text(GameResult r);

// The PGN TimeControl tag value of a time control ("40/60+0.5", "10+0.1", "-" ...).
std::string time_control_tag(const TimeControl& tc);

}  // namespace kelmstrad::match
