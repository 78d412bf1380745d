#include "uci/profile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "io/switch_table.h"
#include "platform/platform.h"
#include "uci/options.h"

namespace kelmstrad {

namespace {

constexpr const char* BLANKS = " \t\r";

// Options read by the last apply_profile, for apply_profile_options.
ProfileSettings pending_options;

// `text` without its leading and trailing blanks.
std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(BLANKS);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(BLANKS) - first + 1);
}

// One line, already trimmed and not a comment: its setting, or a reason.
bool parse_setting(const std::string& line, std::pair<std::string, std::string>* setting,
                   std::string* why) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos) {
    *why = "not NAME=VALUE";
    return false;
  }
  const std::string name = trimmed(line.substr(0, equals));
  std::string value = line.substr(equals + 1);
  // A '#' after a blank starts a comment; one inside a word is part of the value.
  for (size_t i = 1; i < value.size(); ++i) {
    if (value[i] == '#' && strchr(BLANKS, value[i - 1]) != nullptr) {
      value.resize(i);
      break;
    }
  }
  value = trimmed(value);
  if (name.empty()) {
    *why = "no switch name before '='";
    return false;
  }
  if (find_switch(name) == nullptr) {
    *why = "unknown switch " + name;
    return false;
  }
  if (value.empty()) {
    *why = "no value for " + name;
    return false;
  }
  *setting = {name, value};
  return true;
}

bool is_whole_number(const std::string& text) {
  size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
  if (i == text.size() || text.size() > 11) return false;
  for (; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

// Splits a trimmed line into its blank-separated words.
std::vector<std::string> words_of(const std::string& line) {
  std::vector<std::string> words;
  size_t at = 0;
  while ((at = line.find_first_not_of(BLANKS, at)) != std::string::npos) {
    const size_t end = line.find_first_of(BLANKS, at);
    words.push_back(line.substr(at, end == std::string::npos ? std::string::npos : end - at));
    at = end;
  }
  return words;
}

// An option line "setoption name OPTION value VALUE" (a " #" starts a
// comment): its setting, or a reason.
bool parse_option_line(const std::string& line, std::pair<std::string, std::string>* setting,
                       std::string* why) {
  std::vector<std::string> words = words_of(line);
  for (size_t i = 1; i < words.size(); ++i) {
    if (words[i][0] == '#') {
      words.resize(i);
      break;
    }
  }
  if (words.size() != 5 || words[1] != "name" || words[3] != "value") {
    *why = "not setoption name OPTION value VALUE";
    return false;
  }
  const std::string& name = words[2];
  const std::string& value = words[4];
  const UciOption* known = find_uci_option(name.c_str());
  if (known == nullptr) {
    *why = "unknown option " + name;
    return false;
  }
  const bool check = value == "true" || value == "false";
  const bool spin = is_whole_number(value);
  const bool fits = known->kind == OptionKind::CHECK  ? check
                    : known->kind == OptionKind::SPIN ? spin
                                                      : check || spin;
  if (!fits) {
    *why = "option " + name + " cannot take the value " + value;
    return false;
  }
  *setting = {name, value};
  return true;
}

}  // namespace

bool parse_profile(const std::string& text, ProfileSettings* settings, std::string* why,
                   ProfileSettings* options) {
  settings->clear();
  ProfileSettings option_lines;
  size_t start = 0;
  for (int number = 1; start < text.size(); ++number) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = trimmed(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == '#') continue;
    std::pair<std::string, std::string> setting;
    std::string reason;
    if (line.compare(0, 9, "setoption") == 0 &&
        (line.size() == 9 || strchr(BLANKS, line[9]) != nullptr)) {
      if (!parse_option_line(line, &setting, &reason)) {
        *why = "line " + std::to_string(number) + ": " + reason;
        return false;
      }
      for (const auto& earlier : option_lines) {
        if (earlier.first == setting.first) {
          *why = "line " + std::to_string(number) + ": option " + setting.first + " set twice";
          return false;
        }
      }
      option_lines.push_back(setting);
      continue;
    }
    if (!parse_setting(line, &setting, &reason)) {
      *why = "line " + std::to_string(number) + ": " + reason;
      return false;
    }
    for (const auto& earlier : *settings) {
      if (earlier.first == setting.first) {
        *why = "line " + std::to_string(number) + ": " + setting.first + " set twice";
        return false;
      }
    }
    settings->push_back(setting);
  }
  // An empty file is more likely the wrong file than a wish for the defaults.
  if (settings->empty() && option_lines.empty()) {
    *why = "no NAME=VALUE line";
    return false;
  }
  if (options != nullptr) *options = option_lines;
  return true;
}

bool apply_profile(const char* path, std::string* why) {
  FILE* f = fopen(path, "rb");
  if (f == nullptr) {
    *why = std::string("cannot open: ") + strerror(errno);
    return false;
  }
  std::string text;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof(chunk), f)) > 0) text.append(chunk, n);
  // A folder opens but cannot be read.
  const bool failed = ferror(f) != 0;
  const int error = errno;
  fclose(f);
  if (failed) {
    *why = std::string("cannot read: ") + strerror(error);
    return false;
  }
  if (text.find('\0') != std::string::npos) {
    *why = "not a text file";
    return false;
  }
  ProfileSettings settings;
  ProfileSettings options;
  if (!parse_profile(text, &settings, why, &options)) return false;
  pending_options = options;
  const std::string folder(path, path_folder_length(path));
  for (auto& [name, value] : settings) {
    if (find_switch(name)->names_file && !path_is_absolute(value.c_str())) value = folder + value;
    env_assign(name.c_str(), value.c_str());
  }
  return true;
}

void apply_profile_options() {
  for (const auto& [name, value] : pending_options) set_option(name.c_str(), value.c_str());
}

}  // namespace kelmstrad
