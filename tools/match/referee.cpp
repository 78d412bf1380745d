#include "referee.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>

#include "board/attack.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/make.h"
#include "board/move.h"
#include "board/movegen.h"
#include "board/position.h"
#include "fail.h"

namespace kelmstrad::match {

namespace {

// Serialises every use of the engine's one global position.
std::mutex referee_mutex;

constexpr const char* PIECE_LETTERS = " PNBRQK";  // SAN letters by kind

// Splits text on blanks.
std::vector<std::string> split_words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

// True when the number text is all digits (and not empty).
bool is_number(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// True when the side to move's king is attacked on the global position.
bool side_in_check() { return in_check(position.side); }

// Square name ("e4") of a 0x88 square.
std::string square_name(int sq) {
  return std::string(1, static_cast<char>('a' + square_file(sq))) +
         static_cast<char>('1' + square_rank(sq));
}

// True when the move is a pawn capturing en passant on the global position.
bool is_en_passant(Move m) {
  return piece_kind(position.board[move_from(m)]) == PAWN && position.ep_square != NO_EP_SQUARE &&
         move_to(m) == position.ep_square && square_file(move_from(m)) != square_file(move_to(m));
}

// The first four FEN fields of the global position; the en-passant square only
// when one of the given legal moves captures there.
std::string key_fields(const std::vector<Move>& legal) {
  std::string ep = "-";
  for (Move m : legal)
    if (is_en_passant(m)) ep = square_name(position.ep_square);
  return fen_placement() + (position.side == WHITE ? " w " : " b ") + fen_castling() + " " + ep;
}

// True when neither side has material left that could ever mate: bare kings,
// one minor piece, or bishops that all stand on squares of one colour.
bool material_is_dead() {
  int minors = 0, knights = 0, light = 0, dark = 0;
  for (int sq = 0; sq < 128; ++sq) {
    if (!on_board(sq) || position.board[sq] == 0) continue;
    const int kind = piece_kind(position.board[sq]);
    if (kind == PAWN || kind == ROOK || kind == QUEEN) return false;
    if (kind == KNIGHT) ++knights, ++minors;
    if (kind == BISHOP) {
      ++minors;
      ((square_file(sq) + square_rank(sq)) % 2 ? light : dark)++;
    }
  }
  if (minors <= 1) return true;
  return knights == 0 && (light == 0 || dark == 0);
}

// Refreshes the derived fields of the state from the global position (which
// holds the state's position); returns the legal moves.
std::vector<Move> refresh_state(GameState& state) {
  const std::vector<Move> legal = legal_moves();
  const std::string key = key_fields(legal);
  state.fen =
      key + " " + std::to_string(state.halfmove_clock) + " " + std::to_string(state.fullmove);
  state.keys.push_back(key);
  state.white_to_move = position.side == WHITE;
  state.legal_moves = static_cast<int>(legal.size());
  state.in_check = side_in_check();
  state.dead_material = material_is_dead();
  return legal;
}

// SAN of a legal move of the global position, with "+" or "#".
std::string san_of(Move m, const std::vector<Move>& legal) {
  const int from = move_from(m), to = move_to(m);
  const Piece piece = position.board[from];
  const int kind = piece_kind(piece);
  const bool capture = position.board[to] != 0 || is_en_passant(m);
  std::string san;
  if (kind == KING && (to == from + 2 || to + 2 == from)) {
    san = to > from ? "O-O" : "O-O-O";
  } else if (kind == PAWN) {
    if (capture) san = std::string(1, static_cast<char>('a' + square_file(from))) + "x";
    san += square_name(to);
    if (square_rank(to) == 0 || square_rank(to) == 7)
      san += std::string("=") + PIECE_LETTERS[promo_kinds[promo_index(m)]];
  } else {
    san = PIECE_LETTERS[kind];
    bool clash = false, same_file = false, same_rank = false;
    for (Move other : legal) {
      const int f2 = move_from(other);
      if (f2 == from || move_to(other) != to || position.board[f2] != piece) continue;
      clash = true;
      same_file |= square_file(f2) == square_file(from);
      same_rank |= square_rank(f2) == square_rank(from);
    }
    if (clash && (!same_file || same_rank)) san += static_cast<char>('a' + square_file(from));
    if (clash && same_file) san += static_cast<char>('1' + square_rank(from));
    if (capture) san += 'x';
    san += square_name(to);
  }
  in_check_hint = side_in_check() ? 1 : 0;
  make_move(m);
  if (side_in_check()) san += legal_moves().empty() ? "#" : "+";
  unmake_move();
  return san;
}

// Plays a legal move of the global position on the state: texts, clocks, keys.
void apply_move(GameState& state, Move m, const std::vector<Move>& legal) {
  const bool reset =
      piece_kind(position.board[move_from(m)]) == PAWN || position.board[move_to(m)] != 0;
  state.sans.push_back(san_of(m, legal));
  state.moves.push_back(move_to_text(m));
  in_check_hint = side_in_check() ? 1 : 0;
  make_move(m);
  state.halfmove_clock = reset ? 0 : state.halfmove_clock + 1;
  if (position.side == WHITE) ++state.fullmove;
  refresh_state(state);
}

// SAN text reduced for comparison: no check marks, annotations or "=".
std::string plain_san(std::string text) {
  std::string out;
  for (char c : text)
    if (std::strchr("+#!?=", c) == nullptr) out += c;
  std::replace(out.begin(), out.end(), '0', 'O');
  return out;
}

// True when the placement field has eight ranks of eight known squares.
bool placement_is_wellformed(const std::string& field) {
  int rank_count = 1, files = 0;
  for (char c : field) {
    if (c == '/') {
      if (files != 8) return false;
      ++rank_count;
      files = 0;
    } else if (c >= '1' && c <= '8') {
      files += c - '0';
    } else if (std::strchr("pnbrqkPNBRQK", c) != nullptr) {
      ++files;
    } else {
      return false;
    }
    if (files > 8) return false;
  }
  return rank_count == 8 && files == 8;
}

// Checks the FEN fields and fills in missing counters; false with a message.
bool normalise_fen(const std::string& fen, std::vector<std::string>* fields, std::string* error) {
  *fields = split_words(fen);
  if (fields->size() < 4 || fields->size() > 6)
    return fail(error, "a FEN needs four to six fields");
  const auto& f = *fields;
  if (!placement_is_wellformed(f[0])) return fail(error, "bad piece placement \"" + f[0] + "\"");
  if (f[1] != "w" && f[1] != "b") return fail(error, "bad side to move \"" + f[1] + "\"");
  if (f[2] != "-" && f[2].find_first_not_of("KQkq") != std::string::npos)
    return fail(error, "bad castling field \"" + f[2] + "\"");
  const bool ep_ok = f[3] == "-" || (f[3].size() == 2 && f[3][0] >= 'a' && f[3][0] <= 'h' &&
                                     (f[3][1] == (f[1] == "w" ? '6' : '3')));
  if (!ep_ok) return fail(error, "bad en-passant field \"" + f[3] + "\"");
  if (f.size() < 5) fields->push_back("0");
  if (f.size() < 6) fields->push_back("1");
  if (!is_number((*fields)[4]) || !is_number((*fields)[5]) || std::atoi((*fields)[5].c_str()) < 1)
    return fail(error, "bad move counters");
  return true;
}

// Checks the global position by the engine's own rule (kings, the side not
// to move) and for pawns on the end ranks; drops castling rights whose king
// or rook is not at home. False with a message.
bool position_is_playable(std::string* error) {
  for (int sq = 0; sq < 128; ++sq) {
    const Piece p = position.board[sq];
    if (on_board(sq) && piece_kind(p) == PAWN && (square_rank(sq) == 0 || square_rank(sq) == 7))
      return fail(error, "a pawn stands on the first or last rank");
  }
  if (const char* why = unplayable_reason()) return fail(error, why);
  constexpr struct {
    uint8_t right, king, rook;
    Piece piece;
  } HOMES[4] = {{1, 4, 7, 0}, {2, 4, 0, 0}, {4, 116, 119, 8}, {8, 116, 112, 8}};
  const uint8_t rights = position.castling;
  for (const auto& h : HOMES)
    if (position.board[h.king] != (h.piece | KING) || position.board[h.rook] != (h.piece | ROOK))
      position.castling &= static_cast<uint8_t>(~h.right);
  // The rights are part of the key: the old rights' key leaves, the new one comes.
  position.hash ^= castle_keys[rights] ^ castle_keys[position.castling];
  return true;
}

}  // namespace

// Only the tables that move generation, make and the position key read: the
// engine's full start-up also writes environment variables the engines under
// test would inherit.
void referee_init() {
  static std::once_flag once;
  std::call_once(once, [] {
    attack_tables_init();
    castle_masks_init();
    keys_init();
  });
}

// Sets up a game from FEN text; false with a message when it is not playable.
bool referee_start(GameState& state, const std::string& fen, std::string* error) {
  std::vector<std::string> fields;
  const bool startpos = fen == "startpos";
  if (!normalise_fen(startpos ? START_FEN : fen, &fields, error)) return false;
  std::lock_guard<std::mutex> lock(referee_mutex);
  const std::string text = fields[0] + " " + fields[1] + " " + fields[2] + " " + fields[3] + " 0 1";
  parse_fen(text.c_str());
  if (!position_is_playable(error)) return false;
  state = GameState();
  state.halfmove_clock = std::atoi(fields[4].c_str());
  state.fullmove = std::atoi(fields[5].c_str());
  refresh_state(state);
  state.startpos = startpos;
  state.start_fen = state.fen;
  state.start_fullmove = state.fullmove;
  state.start_white_to_move = state.white_to_move;
  return true;
}

// Checks a UCI move text and plays it if legal.
MoveCheck referee_play(GameState& state, const std::string& text) {
  if (!looks_like_uci_move(text)) return MoveCheck::UNPARSABLE;
  std::lock_guard<std::mutex> lock(referee_mutex);
  parse_fen(state.fen.c_str());
  const std::vector<Move> legal = legal_moves();
  for (Move m : legal) {
    if (text != move_to_text(m)) continue;
    apply_move(state, m, legal);
    return MoveCheck::LEGAL;
  }
  return MoveCheck::ILLEGAL;
}

// Plays a move given as UCI text or SAN; false and nothing changed otherwise.
bool referee_play_any(GameState& state, const std::string& text) {
  if (referee_play(state, text) == MoveCheck::LEGAL) return true;
  std::lock_guard<std::mutex> lock(referee_mutex);
  parse_fen(state.fen.c_str());
  const std::vector<Move> legal = legal_moves();
  const std::string wanted = plain_san(text);
  for (Move m : legal) {
    if (plain_san(san_of(m, legal)) != wanted) continue;
    apply_move(state, m, legal);
    return true;
  }
  return false;
}

// True when the UCI text is a legal move of the current position.
bool referee_is_legal(const GameState& state, const std::string& text) {
  if (!looks_like_uci_move(text)) return false;
  std::lock_guard<std::mutex> lock(referee_mutex);
  parse_fen(state.fen.c_str());
  for (Move m : legal_moves())
    if (text == move_to_text(m)) return true;
  return false;
}

// The verdict of the rules on the current position.
Verdict referee_verdict(const GameState& state) {
  if (state.legal_moves == 0) return state.in_check ? Verdict::CHECKMATE : Verdict::STALEMATE;
  if (state.dead_material) return Verdict::INSUFFICIENT_MATERIAL;
  if (state.halfmove_clock >= 100) return Verdict::FIFTY_MOVES;
  if (!state.keys.empty() &&
      std::count(state.keys.begin(), state.keys.end(), state.keys.back()) >= 3)
    return Verdict::REPETITION;
  return Verdict::ONGOING;
}

// The "position" command for the game so far, with optional extra moves.
std::string position_command(const GameState& state, const std::string& extra_move) {
  std::string cmd = state.startpos ? "position startpos" : "position fen " + state.start_fen;
  if (state.moves.empty() && extra_move.empty()) return cmd;
  cmd += " moves";
  for (const std::string& m : state.moves) cmd += " " + m;
  if (!extra_move.empty()) cmd += " " + extra_move;
  return cmd;
}

// True when the text has the form of a UCI move.
bool looks_like_uci_move(const std::string& t) {
  const auto square_ok = [&](size_t i) {
    return t[i] >= 'a' && t[i] <= 'h' && t[i + 1] >= '1' && t[i + 1] <= '8';
  };
  if (t.size() != 4 && t.size() != 5) return false;
  if (!square_ok(0) || !square_ok(2)) return false;
  return t.size() == 4 || std::strchr("qnrb", t[4]) != nullptr;
}

}  // namespace kelmstrad::match
