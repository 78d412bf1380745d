// The match referee: the rules of chess decided by the engine's own board.
//
// The engine has one global position, so a game never owns it. Each game keeps
// its state as text (the current FEN plus the move list and the repetition keys)
// and every referee call rebuilds the global position from that FEN under one
// process-wide lock, so games on several threads never see each other's board.
//
// Repetition keys are the first four FEN fields, with the en-passant square
// written only when an en-passant capture is legal, so two positions repeat
// exactly when the rules of chess say they do.
#pragma once

#include <string>
#include <vector>

namespace kelmstrad::match {

// How a game stands after the last move.
enum class Verdict {
  ONGOING,
  CHECKMATE,
  STALEMATE,
  REPETITION,
  FIFTY_MOVES,
  INSUFFICIENT_MATERIAL
};

// What the referee made of a move text.
enum class MoveCheck { LEGAL, ILLEGAL, UNPARSABLE };

struct GameState {
  std::string start_fen;           // where the game began (sanitised)
  bool startpos = true;            // began from the standard start position
  std::string fen;                 // the current position
  std::vector<std::string> moves;  // UCI text of every move since the start
  std::vector<std::string> sans;   // SAN of every move since the start
  std::vector<std::string> keys;   // repetition key of every position, the current one last
  int halfmove_clock = 0;          // plies since the last capture or pawn move
  int fullmove = 1;                // number of the current full move
  bool white_to_move = true;
  int start_fullmove = 1;           // fullmove number of the start position
  bool start_white_to_move = true;  // side to move in the start position
  int legal_moves = 0;              // legal moves in the current position
  bool in_check = false;            // the side to move is in check
  bool dead_material = false;       // neither side can ever mate
};

// Fills the board tables the referee reads (attacks, castling masks, hash
// keys) and nothing else of the engine's start-up; once per process.
void referee_init();

// Sets up a game from FEN text ("startpos" for the standard position); false
// with a message when the FEN is malformed or not a playable position.
bool referee_start(GameState& state, const std::string& fen, std::string* error);

// Checks a UCI move text (exact, lowercase promotion letter) and plays it if legal.
MoveCheck referee_play(GameState& state, const std::string& text);

// Plays a move given as UCI text or as SAN ("Nf3", "exd5", "O-O", "e8=Q+");
// false and nothing changed when it is neither.
bool referee_play_any(GameState& state, const std::string& text);

// True when the UCI text is a legal move of the current position; nothing changes.
bool referee_is_legal(const GameState& state, const std::string& text);

// The verdict of the rules on the current position (no lock needed).
Verdict referee_verdict(const GameState& state);

// The "position" command that sets up the game so far, with optional extra moves.
std::string position_command(const GameState& state, const std::string& extra_move = "");

// True when the text has the form of a UCI move ("e2e4", "e7e8q").
bool looks_like_uci_move(const std::string& text);

}  // namespace kelmstrad::match
