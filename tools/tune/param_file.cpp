#include "param_file.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "eval/param_table.h"
#include "eval/params.h"

namespace kelmstrad::tune {

namespace {

// A decimal integer token (optional sign), within +-2^40 so range checks hold.
bool integer_token(const std::string& token, long long* value) {
  if (token.empty() || token.size() > 13) return false;
  size_t i = (token[0] == '+' || token[0] == '-') ? 1 : 0;
  if (i == token.size()) return false;
  for (size_t j = i; j < token.size(); ++j)
    if (token[j] < '0' || token[j] > '9') return false;
  *value = std::stoll(token);
  return true;
}

// Why one line is not a record the engine applies, or "" when it is.
std::string record_problem(const std::string& line) {
  std::istringstream in(line);
  std::string name, f1, f2, f3, extra;
  in >> name >> f1 >> f2 >> f3;
  long long piece, square, value;
  if (!integer_token(f1, &piece) || !integer_token(f2, &square) || !integer_token(f3, &value))
    return "not a record 'name piece square value'";
  if (in >> extra) return "more than four fields";
  const ParamRecord* row = param_record(name.c_str());
  if (row == nullptr) return "unknown parameter name '" + name + "'";
  if (!row->scalar() && (piece < row->low || piece > row->high))
    return "index " + f1 + " outside " + std::to_string(row->low) + ".." +
           std::to_string(row->high);
  if (row->square && (square < 0 || square > 63)) return "square " + f2 + " outside 0..63";
  const long long limit = row->bits == 8 ? 127 : (row->bits == 16 ? 32767 : 2147483647LL);
  if (value < -limit - 1 || value > limit)
    return "value " + f3 + " does not fit its " + std::to_string(row->bits) + "-bit entry";
  return "";
}

}  // namespace

void load_shipped_params() {
  eval_tables_init();
  load_eval_params_text(DEFAULT_PARAM_TEXT);
}

bool load_param_file(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read parameter file " + path;
    return false;
  }
  std::stringstream whole;
  whole << in.rdbuf();
  const std::string text = whole.str();
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  int records = 0;
  int comment_line = 0;
  while (std::getline(lines, line)) {
    ++number;
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) continue;
    if (line[first] == '#') {
      if (comment_line == 0) comment_line = number;
      continue;
    }
    const std::string problem = record_problem(line);
    const std::string where = path + " line " + std::to_string(number) + ": ";
    if (!problem.empty()) {
      *error = where + problem + "; the engine would stop or skip there";
      return false;
    }
    if (comment_line != 0) {
      *error = where + "a record after the comment on line " + std::to_string(comment_line) +
               "; the engine stops reading at the first comment";
      return false;
    }
    ++records;
  }
  if (records == 0) {
    *error = "parameter file " + path + " holds no record";
    return false;
  }
  eval_tables_init();
  const int read = load_eval_params_text(text.c_str());
  if (read != records) {
    *error = "parameter file " + path + ": the engine read " + std::to_string(read) + " of " +
             std::to_string(records) + " records";
    return false;
  }
  return true;
}

std::string param_text(const std::string& comment) {
  std::string out;
  char line[96];
  // Every row in the table's print order: the "dumpparams" lines first.
  for_each_param_entry([&](const ParamRecord& row, int index, int square) {
    snprintf(line, sizeof(line), "%s %d %d %d\n", row.name, index, square,
             param_entry_value(row, index, square));
    out += line;
  });
  std::istringstream lines(comment);
  std::string c;
  while (std::getline(lines, c)) out += "# " + c + "\n";
  return out;
}

bool write_file_atomically(const std::string& path, const std::string& text, std::string* error) {
  const std::string temp = path + ".tmp" + std::to_string(getpid());
  FILE* f = fopen(temp.c_str(), "wb");
  if (f == nullptr) {
    *error = "cannot write " + temp + ": " + strerror(errno);
    return false;
  }
  const bool written = fwrite(text.data(), 1, text.size(), f) == text.size();
  const bool closed = fclose(f) == 0;
  if (!written || !closed || rename(temp.c_str(), path.c_str()) != 0) {
    *error = "cannot write " + path + ": " + strerror(errno);
    remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace kelmstrad::tune
