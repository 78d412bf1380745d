#include "pgn.h"

#include <cstdio>
#include <cstdlib>

namespace kelmstrad::match {

namespace {

constexpr size_t PGN_LINE_LIMIT = 79;

// Appends one tag pair line.
void add_tag(std::string& out, const std::string& name, const std::string& value) {
  std::string escaped;
  for (char c : value) {
    if (c == '"' || c == '\\') escaped += '\\';
    escaped += c;
  }
  out += "[" + name + " \"" + escaped + "\"]\n";
}

// A comment token; a closing brace inside would end it early, so it becomes ")".
std::string comment(const std::string& text) {
  std::string body;
  for (char c : text) body += c == '}' ? ')' : c;
  return "{" + body + "}";
}

// Appends a word to the line, starting a new line when it would grow too long.
void add_word(std::string& out, std::string& line, const std::string& word) {
  if (word.empty()) return;
  if (!line.empty() && line.size() + 1 + word.size() > PGN_LINE_LIMIT) {
    out += line + "\n";
    line.clear();
  }
  line += (line.empty() ? "" : " ") + word;
}

// Joins tokens into lines of at most PGN_LINE_LIMIT characters.
std::string wrap(const std::vector<std::string>& tokens) {
  std::string out, line;
  for (const std::string& token : tokens) {
    size_t start = 0;
    while (start < token.size()) {
      size_t end = token.find(' ', start);
      if (end == std::string::npos) end = token.size();
      add_word(out, line, token.substr(start, end - start));
      start = end + 1;
    }
  }
  return out + line + "\n";
}

// The closing comment: the reason and, for each fault, its text and last lines.
std::string closing_comment(const GameRecord& game) {
  std::string text = game.reason;
  for (const GameFault& f : game.faults) {
    text += std::string("; ") + (f.white ? "White " : "Black ") + fault_kind_name(f.fault.kind) +
            ": " + f.fault.text;
    if (f.fault.last_lines.empty()) continue;
    text += "; last lines:";
    for (const std::string& line : f.fault.last_lines) text += " | " + line;
  }
  return comment(text);
}

}  // namespace

// The per-move comment of an engine reply.
std::string move_comment(const SearchReply& reply) {
  char time[32];
  std::snprintf(time, sizeof(time), "%.3fs", reply.elapsed_ms / 1000.0);
  if (!reply.has_score) return time;
  char score[48];
  if (reply.mate)
    std::snprintf(score, sizeof(score), "%sM%d", reply.score < 0 ? "-" : "+",
                  std::abs(reply.score));
  else
    std::snprintf(score, sizeof(score), "%+.2f", reply.score / 100.0);
  return std::string(score) + "/" + std::to_string(reply.depth) + " " + time;
}

// The PGN record of a game.
std::string pgn_text(const GameRecord& game, const PgnOptions& options) {
  const GameState& s = game.state;
  std::string out;
  add_tag(out, "Event", options.event);
  add_tag(out, "Site", options.site);
  add_tag(out, "Date", game.date);
  add_tag(out, "Round", std::to_string(game.number));
  add_tag(out, "White", game.white_name);
  add_tag(out, "Black", game.black_name);
  add_tag(out, "Result", result_text(game.result));
  if (!s.startpos) {
    add_tag(out, "FEN", s.start_fen);
    add_tag(out, "SetUp", "1");
  }
  add_tag(out, "PlyCount", std::to_string(s.moves.size()));
  add_tag(out, "Termination", game.termination.empty() ? "unterminated" : game.termination);
  add_tag(out, "TimeControl", game.time_control);
  out += "\n";
  std::vector<std::string> tokens;
  int number = s.start_fullmove;
  bool white = s.start_white_to_move;
  for (size_t i = 0; i < s.sans.size(); ++i) {
    if (white)
      tokens.push_back(std::to_string(number) + ".");
    else if (i == 0)
      tokens.push_back(std::to_string(number) + "...");
    tokens.push_back(s.sans[i]);
    if (!options.minimal && i < game.notes.size())
      tokens.push_back(comment(game.notes[i].book ? "book" : move_comment(game.notes[i].reply)));
    if (!white) ++number;
    white = !white;
  }
  if (!game.reason.empty()) tokens.push_back(closing_comment(game));
  tokens.push_back(result_text(game.result));
  return out + wrap(tokens) + "\n";
}

}  // namespace kelmstrad::match
