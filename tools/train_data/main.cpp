// datagen: self-play training positions for the network trainer.
//   datagen -out FILE [-games N] [-nodes N] [-seed N] [-random N] [-maxplies N]
//           [-openings FILE] [-jobs N]
// Games are split into -jobs contiguous blocks, each played by its own
// process (the engine has one global position); the blocks are joined in game
// order, so the file depends on the seed and settings only, not on -jobs.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "selfplay.h"

namespace kelmstrad::train_data {

namespace {

struct Options {
  std::string out;
  std::string openings = "tools/openings/book_walk8.txt";
  long games = 100;
  int jobs = 1;
  SelfplaySettings settings{
      .seed = 1, .nodes = 5000, .random_plies = 4, .max_plies = 400, .openings = {}};
};

int fail(const std::string& message) {
  fprintf(stderr, "datagen: %s\n", message.c_str());
  return 1;
}

// A whole decimal number in [low, high]; false when the text is not one.
bool parse_number(const char* text, long low, long high, long* value) {
  char* end = nullptr;
  const long long v = strtoll(text, &end, 10);
  if (end == text || *end != '\0' || v < low || v > high) return false;
  *value = static_cast<long>(v);
  return true;
}

bool parse_options(int argc, char** argv, Options* o, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (i + 1 >= argc) return *error = "missing value after " + name, false;
    const char* value = argv[++i];
    long v = 0;
    bool ok = true;
    if (name == "-out")
      o->out = value;
    else if (name == "-openings")
      o->openings = value;
    else if (name == "-games")
      ok = parse_number(value, 1, 100000000, &o->games);
    else if (name == "-jobs")
      ok = parse_number(value, 1, 64, &v), o->jobs = static_cast<int>(v);
    else if (name == "-nodes")
      ok = parse_number(value, 1, 100000000, &v), o->settings.nodes = static_cast<uint32_t>(v);
    else if (name == "-random")
      ok = parse_number(value, 0, 40, &v), o->settings.random_plies = static_cast<int>(v);
    else if (name == "-maxplies")
      ok = parse_number(value, 20, 1000, &v), o->settings.max_plies = static_cast<int>(v);
    else if (name == "-seed")
      ok = parse_number(value, 0, 0x7fffffffffffffffL, &v),
      o->settings.seed = static_cast<uint64_t>(v);
    else
      return *error = "unknown option " + name, false;
    if (!ok) return *error = "bad value for " + name + ": " + value, false;
  }
  if (o->out.empty()) return *error = "no output file (-out)", false;
  return read_openings(o->openings, &o->settings.openings, error);
}

// Plays games [first, last) into `path`; the counts line on standard error.
int play_block(const Options& o, long first, long last, const std::string& path) {
  std::vector<PackedPosition> kept;
  SelfplayCounts c;
  for (long g = first; g < last; ++g) play_game(o.settings, g, &kept, &c);
  std::string error;
  if (!write_positions(path, kept, &error)) return fail(error);
  fprintf(stderr,
          "games %ld-%ld: %ld searched, dropped %ld in check, %ld capture, %ld mate; kept %ld\n",
          first + 1, last, c.searched, c.in_check, c.capture, c.mate_score, c.kept);
  return 0;
}

// Joins the block files into the output through a temporary name; false with a message.
bool join_blocks(const std::vector<std::string>& parts, const std::string& out,
                 std::string* error) {
  std::vector<PackedPosition> all, block;
  for (const std::string& part : parts) {
    if (!read_positions(part, &block, error)) return false;
    all.insert(all.end(), block.begin(), block.end());
    remove(part.c_str());
  }
  const std::string temporary = out + ".tmp";
  if (!write_positions(temporary, all, error)) return false;
  if (rename(temporary.c_str(), out.c_str()) != 0) return *error = "cannot rename to " + out, false;
  fprintf(stderr, "%zu positions written to %s\n", all.size(), out.c_str());
  return true;
}

int run(int argc, char** argv) {
  Options o;
  std::string error;
  if (!parse_options(argc, argv, &o, &error)) return fail(error);
  selfplay_init();
  const uint64_t start = tick_ms();
  std::vector<std::string> parts;
  std::vector<pid_t> children;
  for (int j = 0; j < o.jobs; ++j) {
    parts.push_back(o.out + ".part" + std::to_string(j));
    const long first = o.games * j / o.jobs, last = o.games * (j + 1) / o.jobs;
    const pid_t child = fork();
    if (child < 0) return fail("cannot start a worker process");
    if (child == 0) _exit(play_block(o, first, last, parts.back()));
    children.push_back(child);
  }
  bool ok = true;
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  if (!ok || !join_blocks(parts, o.out, &error)) {
    for (const std::string& part : parts) remove(part.c_str());
    return fail(ok ? error : "a worker failed");
  }
  fprintf(stderr, "%.1f s real time\n", static_cast<double>(tick_ms() - start) / 1000.0);
  return 0;
}

}  // namespace

}  // namespace kelmstrad::train_data

int main(int argc, char** argv) { return kelmstrad::train_data::run(argc, argv); }
