#include "game.h"

#include <ctime>
#include <sstream>

namespace kelmstrad::match {

namespace {

struct Game {
  const GameSetup* setup = nullptr;
  GameRecord record;
  EngineSession sessions[2];  // by colour: 0 White, 1 Black
  int engine_of[2] = {0, 1};  // match index of the engine playing each colour
  bool failed[2] = {false, false};
};

constexpr const char* SIDE_NAMES[2] = {"White", "Black"};

// True when the match asked every game to stop.
bool aborted(const Game& g) { return g.setup->abort && g.setup->abort->load(); }

// Today's date as PGN writes it.
std::string pgn_date() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  char text[16];
  std::strftime(text, sizeof(text), "%Y.%m.%d", &parts);
  return text;
}

// Seconds text without trailing zeros ("0.1", "10").
std::string seconds_text(int64_t ms) {
  std::ostringstream out;
  out << ms / 1000;
  if (ms % 1000) {
    std::string frac = std::to_string(1000 + ms % 1000).substr(1);
    while (frac.back() == '0') frac.pop_back();
    out << "." << frac;
  }
  return out.str();
}

// Records a fault of a colour; a deciding fault ends the game as a loss.
void record_fault(Game& g, int colour, const Fault& fault, bool decides) {
  GameFault gf;
  gf.engine = g.engine_of[colour];
  gf.white = colour == 0;
  gf.decided_game = decides;
  gf.fault = fault;
  g.record.faults.push_back(gf);
  g.failed[colour] = true;
  if (!decides) return;
  const std::string side = SIDE_NAMES[colour];
  g.record.result = colour == 0 ? GameResult::BLACK_WINS : GameResult::WHITE_WINS;
  switch (fault.kind) {
    case FaultKind::ILLEGAL:
      g.record.reason = side + " makes an illegal move: " + fault.text;
      g.record.termination = "rules infraction";
      break;
    case FaultKind::CRASH:
      g.record.reason = side + " disconnects";
      g.record.termination = "abandoned";
      break;
    case FaultKind::STALL:
      g.record.reason = side + "'s connection stalls";
      g.record.termination = "stalled connection";
      break;
    default:
      g.record.reason = side + " loses on time";
      g.record.termination = "time forfeit";
  }
}

// Records a fault that decides the game; returns false, the turn's result.
bool decisive_fault(Game& g, int colour, const Fault& fault) {
  record_fault(g, colour, fault, true);
  return false;
}

// Ends the game with a result given by the rules or by adjudication.
void record_end(Game& g, GameResult result, const std::string& reason,
                const std::string& termination) {
  g.record.result = result;
  g.record.reason = reason;
  g.record.termination = termination;
}

// Decides the game if the rules (or the move limit) end it; true when over.
bool adjudicate(Game& g) {
  const GameState& s = g.record.state;
  const GameResult mover_wins = s.white_to_move ? GameResult::BLACK_WINS : GameResult::WHITE_WINS;
  switch (referee_verdict(s)) {
    case Verdict::CHECKMATE:
      record_end(g, mover_wins, std::string(SIDE_NAMES[s.white_to_move ? 1 : 0]) + " mates",
                 "normal");
      return true;
    case Verdict::STALEMATE:
      record_end(g, GameResult::DRAW, "Draw by stalemate", "normal");
      return true;
    case Verdict::REPETITION:
      record_end(g, GameResult::DRAW, "Draw by 3-fold repetition", "normal");
      return true;
    case Verdict::FIFTY_MOVES:
      record_end(g, GameResult::DRAW, "Draw by fifty moves rule", "normal");
      return true;
    case Verdict::INSUFFICIENT_MATERIAL:
      record_end(g, GameResult::DRAW, "Draw by insufficient mating material", "normal");
      return true;
    default:
      break;
  }
  const int played = static_cast<int>(s.moves.size()) - g.record.opening_plies;
  if (g.setup->maxmoves > 0 && played >= 2 * g.setup->maxmoves) {
    record_end(g, GameResult::DRAW, "Draw by adjudication: move limit", "adjudication");
    return true;
  }
  return false;
}

// The "go" line for the engine of a colour, with both clocks.
std::string go_line(Game& g, int colour, bool ponder) {
  const TimeControl& tc = g.sessions[colour].config->tc;
  std::string line = ponder ? "go ponder" : "go";
  return line + go_parameters(tc, g.sessions[0].clock_ms, g.sessions[1].clock_ms,
                              g.sessions[colour].moves_to_go);
}

// The moment past which the engine of a colour has overstepped its time; 0 never.
int64_t move_deadline(Game& g, int colour, int64_t start, bool* limited) {
  const EngineSession& e = g.sessions[colour];
  const TimeControl& tc = e.config->tc;
  *limited = tc.clock || tc.movetime_ms;
  if (!*limited) return start + g.setup->movewait_ms;
  int64_t allowed = tc.clock ? e.clock_ms : tc.movetime_ms;
  if (tc.clock && tc.movetime_ms) allowed = std::min(allowed, tc.movetime_ms);
  return start + allowed + e.config->timemargin_ms;
}

// Charges the time used to the engine's clock and adds increment and new periods.
void charge_clock(EngineSession& e, int64_t used) {
  const TimeControl& tc = e.config->tc;
  if (!tc.clock) return;
  // An overrun within the margin leaves 1 ms: "wtime 0" would mean no limit at all.
  e.clock_ms = std::max<int64_t>(e.clock_ms - used, 1) + tc.inc_ms;
  if (tc.moves > 0 && --e.moves_to_go == 0) {
    e.clock_ms += tc.base_ms;
    e.moves_to_go = tc.moves;
  }
}

// Handles an engine that let its deadline pass; true when the game goes on with its move.
bool overstep(Game& g, int colour, bool limited, int64_t allowed, SearchReply* reply) {
  EngineSession& e = g.sessions[colour];
  const int64_t timeout = g.setup->timeout_ms;
  const Fault stopped = engine_stop(e, timeout, reply);
  if (aborted(g)) return false;
  if (!limited && stopped.kind == FaultKind::NONE) return true;  // slow, but it obeyed "stop"
  if (!limited) {
    Fault f = stopped;
    f.text = "no bestmove within " + std::to_string(g.setup->movewait_ms) + " ms, " + f.text;
    record_fault(g, colour, f, true);
    return false;
  }
  Fault f = stopped;
  if (f.kind == FaultKind::CRASH) return decisive_fault(g, colour, f);
  f.kind = FaultKind::TIME;
  f.text = "no bestmove within " + std::to_string(allowed) + " ms";
  if (e.config->tc.clock) f.text += " (" + std::to_string(e.clock_ms) + " ms on the clock)";
  if (stopped.kind != FaultKind::NONE) f.text += "; " + stopped.text;
  record_fault(g, colour, f, true);
  return false;
}

// Starts a ponder search on the predicted reply; false on a fault.
bool start_ponder(Game& g, int colour, const std::string& predicted) {
  EngineSession& e = g.sessions[colour];
  const GameState& s = g.record.state;
  if (!e.config->ponder || predicted.empty() || !referee_is_legal(s, predicted)) return true;
  Fault f = engine_send(e, position_command(s, predicted));
  if (f.kind == FaultKind::NONE) f = engine_sync(e, g.setup->timeout_ms);
  if (f.kind == FaultKind::NONE) f = engine_send(e, go_line(g, colour, true));
  if (f.kind != FaultKind::NONE) return aborted(g) ? false : decisive_fault(g, colour, f);
  e.pondering = true;
  e.ponder_move = predicted;
  e.last = SearchReply();
  return true;
}

// Ends a ponder search before the engine's turn; true when the engine may think
// normally, false when the game ended (fault or abort). hit: the search goes on.
bool resolve_ponder(Game& g, int colour, bool* hit) {
  EngineSession& e = g.sessions[colour];
  *hit = false;
  if (!e.pondering) return true;
  e.pondering = false;
  const GameState& s = g.record.state;
  if (!s.moves.empty() && s.moves.back() == e.ponder_move) {
    *hit = true;
    const Fault f = engine_send(e, "ponderhit");
    if (f.kind != FaultKind::NONE) return decisive_fault(g, colour, f);
    return true;
  }
  SearchReply discarded;
  const Fault f = engine_stop(e, g.setup->timeout_ms, &discarded);
  if (aborted(g)) return false;
  if (f.kind != FaultKind::NONE) return decisive_fault(g, colour, f);
  return true;
}

// Lets the engine of the side to move think and plays its move; false when the game ended.
bool play_one_move(Game& g) {
  const int colour = g.record.state.white_to_move ? 0 : 1;
  EngineSession& e = g.sessions[colour];
  bool hit = false;
  if (!resolve_ponder(g, colour, &hit)) return false;
  if (!hit) {
    Fault f = engine_send(e, position_command(g.record.state));
    if (f.kind == FaultKind::NONE) f = engine_sync(e, g.setup->timeout_ms);
    if (f.kind == FaultKind::NONE) f = engine_send(e, go_line(g, colour, false));
    if (aborted(g)) return false;
    if (f.kind != FaultKind::NONE) return decisive_fault(g, colour, f);
    e.last = SearchReply();
  }
  const int64_t start = now_ms();
  bool limited = false, timed_out = false;
  const int64_t deadline = move_deadline(g, colour, start, &limited);
  SearchReply reply = e.last;
  const Fault f = engine_wait_bestmove(e, deadline, &reply, &timed_out);
  if (aborted(g)) return false;
  if (f.kind != FaultKind::NONE) return decisive_fault(g, colour, f);
  if (timed_out && !overstep(g, colour, limited, deadline - start, &reply)) return false;
  reply.elapsed_ms = now_ms() - start;
  charge_clock(e, reply.elapsed_ms);
  const MoveCheck check = referee_play(g.record.state, reply.bestmove);
  if (check != MoveCheck::LEGAL) {
    Fault bad;
    bad.kind = FaultKind::ILLEGAL;
    bad.text = reply.bestmove.empty() ? "(none)" : reply.bestmove;
    if (check == MoveCheck::UNPARSABLE) bad.text += " (unparsable)";
    bad.last_lines.assign(e.last_lines.begin(), e.last_lines.end());
    return decisive_fault(g, colour, bad);
  }
  MoveNote note;
  note.reply = reply;
  g.record.notes.push_back(note);
  if (adjudicate(g)) return false;
  return start_ponder(g, colour, reply.ponder);
}

// Starts both engines and a new game in each; false when one fails.
bool start_engines(Game& g) {
  for (int colour = 0; colour < 2; ++colour) {
    EngineSession& e = g.sessions[colour];
    e.config = g.setup->engines[g.engine_of[colour]];
    e.abort = g.setup->abort;
    Fault f = engine_start(e, g.setup->timeout_ms);
    if (f.kind == FaultKind::NONE) f = engine_new_game(e, g.setup->timeout_ms);
    if (aborted(g)) return false;
    if (f.kind != FaultKind::NONE) return decisive_fault(g, colour, f);
  }
  return true;
}

// Stops ponder searches, then lets the engines quit (or kills those that failed).
void close_engines(Game& g) {
  for (int colour = 0; colour < 2; ++colour) {
    EngineSession& e = g.sessions[colour];
    if (e.pondering && !g.failed[colour] && !aborted(g)) {
      SearchReply discarded;
      const Fault f = engine_stop(e, g.setup->timeout_ms, &discarded);
      if (f.kind != FaultKind::NONE && !aborted(g)) record_fault(g, colour, f, false);
    }
    if (g.failed[colour] || aborted(g))
      process_kill(e.process);
    else
      engine_quit(e);
  }
}

}  // namespace

// Plays one game from the setup's opening.
GameRecord play_game(const GameSetup& setup) {
  Game g;
  g.setup = &setup;
  g.engine_of[0] = setup.first_is_white ? 0 : 1;
  g.engine_of[1] = 1 - g.engine_of[0];
  GameRecord& r = g.record;
  r.number = setup.number;
  r.white_engine = g.engine_of[0];
  r.date = pgn_date();
  r.time_control = time_control_tag(setup.engines[g.engine_of[0]]->tc);
  std::string error;
  opening_state(*setup.opening, &r.state, &error);
  r.opening_plies = static_cast<int>(r.state.moves.size());
  r.notes.assign(r.opening_plies, MoveNote{true, SearchReply()});
  if (start_engines(g) && !adjudicate(g)) {
    while (play_one_move(g) && !aborted(g)) {
    }
  }
  close_engines(g);
  std::string names[2];  // by match index
  for (int colour = 0; colour < 2; ++colour) {
    const EngineSession& e = g.sessions[colour];
    names[g.engine_of[colour]] = e.name.empty() ? setup.engines[g.engine_of[colour]]->cmd : e.name;
  }
  if (names[1] == names[0]) names[1] += " (2)";  // self-play: keep the two apart in reports and PGN
  r.white_name = names[g.engine_of[0]];
  r.black_name = names[g.engine_of[1]];
  if (aborted(g) && r.result == GameResult::NONE) r.reason = "Game aborted";
  return r;
}

// Sets up the referee's state for an opening.
bool opening_state(const Opening& opening, GameState* state, std::string* error) {
  if (!referee_start(*state, opening.fen, error)) return false;
  for (const std::string& m : opening.moves) {
    if (!referee_play_any(*state, m)) {
      *error = "illegal opening move \"" + m + "\"";
      return false;
    }
  }
  if (referee_verdict(*state) != Verdict::ONGOING) {
    *error = "the game is already over in the opening position";
    return false;
  }
  return true;
}

// "1-0", "0-1", "1/2-1/2" or "*".
const char* result_text(GameResult r) {
  switch (r) {
    case GameResult::WHITE_WINS:
      return "1-0";
    case GameResult::BLACK_WINS:
      return "0-1";
    case GameResult::DRAW:
      return "1/2-1/2";
    default:
      return "*";
  }
}

// The PGN TimeControl value of a time control.
std::string time_control_tag(const TimeControl& tc) {
  if (tc.clock) {
    std::string tag = tc.moves ? std::to_string(tc.moves) + "/" : "";
    tag += seconds_text(tc.base_ms);
    if (tc.inc_ms) tag += "+" + seconds_text(tc.inc_ms);
    return tag;
  }
  if (tc.movetime_ms) return "1/" + seconds_text(tc.movetime_ms);
  return "-";
}

}  // namespace kelmstrad::match
