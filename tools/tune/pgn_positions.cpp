#include "pgn_positions.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "board/fen.h"
#include "eval/evaluate.h"
#include "param_file.h"
#include "referee.h"
#include "search/quiesce.h"
#include "search/switches.h"

namespace kelmstrad::tune {

namespace {

struct PgnMove {
  std::string san;
  std::string comment;
};

struct PgnGame {
  std::string result;
  std::string fen;  // empty: the start position
  std::vector<PgnMove> moves;
};

// The value of a tag line [Name "value"], or "" when the line is another tag.
std::string tag_value(const std::string& line, const std::string& name) {
  const std::string head = "[" + name + " \"";
  if (line.compare(0, head.size(), head) != 0) return "";
  const size_t end = line.rfind('"');
  return end > head.size() ? line.substr(head.size(), end - head.size()) : "";
}

bool is_result(const std::string& t) {
  return t == "1-0" || t == "0-1" || t == "1/2-1/2" || t == "*";
}

// Splits movetext into moves with the comment that follows each.
void read_movetext(const std::string& text, PgnGame* game) {
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '{') {
      const size_t end = text.find('}', i);
      const std::string comment =
          text.substr(i + 1, (end == std::string::npos ? text.size() : end) - i - 1);
      if (!game->moves.empty()) game->moves.back().comment = comment;
      i = end == std::string::npos ? text.size() : end + 1;
      continue;
    }
    if (isspace(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < text.size() && !isspace(static_cast<unsigned char>(text[end])) && text[end] != '{')
      ++end;
    std::string token = text.substr(i, end - i);
    i = end;
    const size_t dots = token.find_last_of('.');
    if (dots != std::string::npos) token = token.substr(dots + 1);  // "12." or "12...e5"
    if (token.empty() || is_result(token)) continue;
    game->moves.push_back(PgnMove{token, ""});
  }
}

// Reads the game starting at lines[*next]; false at the end of the lines.
bool next_game(const std::vector<std::string>& lines, size_t* next, PgnGame* game) {
  *game = PgnGame();
  std::string movetext;
  bool any = false;
  for (; *next < lines.size(); ++*next) {
    const std::string& line = lines[*next];
    if (!line.empty() && line[0] == '[') {
      if (!movetext.empty()) break;  // the next game's tags
      any = true;
      if (std::string v = tag_value(line, "Result"); !v.empty()) game->result = v;
      if (std::string v = tag_value(line, "FEN"); !v.empty()) game->fen = v;
      continue;
    }
    if (line.find_first_not_of(" \t\r") != std::string::npos) any = true;
    movetext += line + "\n";
  }
  read_movetext(movetext, game);
  return any;
}

// True when the quiescence search of the position returns its static
// evaluation: no capture sequence changes the score, so the evaluation alone
// explains the position.
bool quiet_position(const std::string& fen) {
  parse_fen(fen.c_str());
  const int static_score = evaluate();
  qs_root_ply = 0;
  qs_in_check = 0;
  qs_evasion = 0;
  return quiesce(-NO_SCORE, NO_SCORE, 0) == static_score;
}

}  // namespace

bool write_pgn_positions(const std::string& pgn_path, const std::string& out_path, int skip,
                         PgnSummary* summary, std::string* error) {
  std::ifstream in(pgn_path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + pgn_path;
    return false;
  }
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  size_t next = 0;
  std::string text = "# positions from " + pgn_path + "\n";
  PgnGame game;
  while (next_game(lines, &next, &game)) {
    const char* label = game.result == "1-0"       ? "1.0"
                        : game.result == "0-1"     ? "0.0"
                        : game.result == "1/2-1/2" ? "0.5"
                                                   : nullptr;
    if (label == nullptr) continue;
    match::GameState state;
    if (!match::referee_start(state, game.fen.empty() ? "startpos" : game.fen, error)) {
      *error = pgn_path + " game " + std::to_string(summary->games + 1) + ": " + *error;
      return false;
    }
    ++summary->games;
    for (size_t ply = 0; ply < game.moves.size(); ++ply) {
      const PgnMove& m = game.moves[ply];
      const bool searched = m.comment.find('/') != std::string::npos;
      const bool quiet =
          m.san.find('x') == std::string::npos && m.san.find('=') == std::string::npos;
      if (searched && quiet && static_cast<int>(ply) >= skip && !state.in_check &&
          quiet_position(state.fen)) {
        text += state.fen + " [" + label + "]\n";
        ++summary->positions;
      }
      if (!match::referee_play_any(state, m.san)) {
        *error = pgn_path + " game " + std::to_string(summary->games) + ": illegal move " + m.san;
        return false;
      }
    }
  }
  return write_file_atomically(out_path, text, error);
}

}  // namespace kelmstrad::tune
