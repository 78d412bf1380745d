// tune: fits the evaluation's parameters to game results (see usage_text).
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data_set.h"
#include "features.h"
#include "optimise.h"
#include "param_file.h"
#include "param_set.h"
#include "pgn_positions.h"
#include "synthetic.h"
#include "uci/loop.h"

namespace kelmstrad::tune {

namespace {

const char* usage_text() {
  return "usage: tune -data FILE [options]      tune the parameters to game results\n"
         "       tune synth -o FILE [-n N] [-seed S] [-k K] [-params FILE]\n"
         "                                        write labelled positions from random games\n"
         "       tune pgn -pgn GAMES.pgn -o FILE [-skip PLIES]\n"
         "                                        write the quiet positions of match games\n"
         "                                        (book plies, checks, captures played and\n"
         "                                        unfinished, faulty or repeated games left out)\n"
         "Data: one position a line, '<FEN with 6 fields> [<r>]', r 1.0, 0.5 or 0.0 for White;\n"
         "'#' lines and blank lines are skipped. A tenth is held out and decides the best\n"
         "pass: every tenth game (a run of lines with one result and a rising move number).\n"
         "Options:\n"
         "  -params FILE   start values (default: the shipped parameters)\n"
         "  -o FILE        the tuned parameter file (default tuned.txt), written whole\n"
         "                 each time the held-out error improves; PARAMS=FILE loads it\n"
         "  -groups LIST   material,pst,passers,pawns,rooks,pair,shelter,mobility,extras\n"
         "                 or all (default all)\n"
         "  -passes N      at most N passes (default 60)\n"
         "  -steps N       gradient steps per pass (default 25)\n"
         "  -rate X        step size in centipawns (default 1)\n"
         "  -reg X         adds X * sum((w - start) / 100)^2 to the training error (default 0)\n"
         "  -patience N    stop after N passes without a better held-out error (default 4)\n"
         "  -k K           scaling constant (default: fitted to the start values)\n"
         "  -threads N     1 or 2 (default 1)\n"
         "  -curve FILE    the picture of the error curves (default: -o with .png);\n"
         "                 the numbers go to the same name with .csv; -curve none: neither\n";
}

struct Options {
  bool synth = false;
  bool pgn = false;
  int skip = 0;
  std::string pgn_file, data, params, out = "tuned.txt", curve;
  int n = 10000;
  uint64_t seed = 1;
  TuneSettings settings{.groups = GROUP_ALL,
                        .passes = 60,
                        .steps = 25,
                        .rate = 1.0,
                        .reg = 0.0,
                        .patience = 4,
                        .threads = 1,
                        .k = 0.0};
};

bool number(const char* text, double low, double high, double* value) {
  char* end = nullptr;
  *value = strtod(text, &end);
  return end != text && *end == '\0' && *value >= low && *value <= high;
}

// Reads the command line; false with a message.
bool parse_options(int argc, char** argv, Options* o, std::string* error) {
  int i = 1;
  if (argc > 1 && strcmp(argv[1], "synth") == 0) {
    o->synth = true;
    o->out.clear();
    i = 2;
  } else if (argc > 1 && strcmp(argv[1], "pgn") == 0) {
    o->pgn = true;
    o->out.clear();
    i = 2;
  }
  for (; i < argc; ++i) {
    const std::string flag = argv[i];
    if (i + 1 >= argc) {
      *error = "option " + flag + " needs a value";
      return false;
    }
    const char* value = argv[++i];
    double x = 0;
    auto numeric = [&](double low, double high) {
      if (number(value, low, high, &x)) return true;
      *error = "option " + flag + ": '" + value + "' is not a number in " + std::to_string(low) +
               ".." + std::to_string(high);
      return false;
    };
    if (flag == "-pgn") {
      o->pgn_file = value;
    } else if (flag == "-skip") {
      if (!numeric(0, 10000)) return false;
      o->skip = static_cast<int>(x);
    } else if (flag == "-data") {
      o->data = value;
    } else if (flag == "-params") {
      o->params = value;
    } else if (flag == "-o") {
      o->out = value;
    } else if (flag == "-curve") {
      o->curve = value;
    } else if (flag == "-groups") {
      if (!parse_groups(value, &o->settings.groups, error)) return false;
    } else if (flag == "-passes") {
      if (!numeric(0, 100000)) return false;
      o->settings.passes = static_cast<int>(x);
    } else if (flag == "-steps") {
      if (!numeric(1, 100000)) return false;
      o->settings.steps = static_cast<int>(x);
    } else if (flag == "-rate") {
      if (!numeric(1e-6, 1000)) return false;
      o->settings.rate = x;
    } else if (flag == "-reg") {
      if (!numeric(0, 1e9)) return false;
      o->settings.reg = x;
    } else if (flag == "-patience") {
      if (!numeric(1, 100000)) return false;
      o->settings.patience = static_cast<int>(x);
    } else if (flag == "-k") {
      if (!numeric(1e-6, 10)) return false;
      o->settings.k = x;
    } else if (flag == "-threads") {
      if (!numeric(1, 2)) return false;
      o->settings.threads = static_cast<int>(x);
    } else if (flag == "-n") {
      if (!numeric(1, 1e8)) return false;
      o->n = static_cast<int>(x);
    } else if (flag == "-seed") {
      if (!numeric(0, 1e15)) return false;
      o->seed = static_cast<uint64_t>(x);
    } else {
      *error = "unknown option " + flag;
      return false;
    }
  }
  if (o->out.empty()) {
    *error = "no output file (-o)";
    return false;
  }
  if (o->pgn && o->pgn_file.empty()) {
    *error = "no games (-pgn)";
    return false;
  }
  if (!o->synth && !o->pgn && o->data.empty()) {
    *error = "no data file (-data)";
    return false;
  }
  if (o->synth && o->settings.k == 0) o->settings.k = 0.01;
  if (o->curve.empty()) {
    const size_t dot = o->out.rfind('.');
    const size_t slash = o->out.rfind('/');
    const bool has_extension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    o->curve = (has_extension ? o->out.substr(0, dot) : o->out) + ".png";
  }
  return true;
}

// Runs the plotting script on the CSV; false with a message.
bool draw_curves(const std::string& csv, const std::string& png, std::string* error) {
  const pid_t child = fork();
  if (child < 0) {
    *error = "cannot start the plotting script";
    return false;
  }
  if (child == 0) {
    execl(TUNE_PLOT_SCRIPT, TUNE_PLOT_SCRIPT, csv.c_str(), png.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  *error = std::string(TUNE_PLOT_SCRIPT) + " failed (it needs /usr/bin/python3 with matplotlib)";
  return false;
}

std::string csv_text(const TuneResult& r) {
  std::string text = "pass,train,valid\n";
  char line[96];
  for (const PassErrors& e : r.passes) {
    snprintf(line, sizeof(line), "%d,%.8f,%.8f\n", e.pass, e.train, e.valid);
    text += line;
  }
  return text;
}

int fail(const std::string& message) {
  fprintf(stderr, "tune: %s\n", message.c_str());
  return 1;
}

int run(int argc, char** argv) {
  Options o;
  std::string error;
  if (argc > 1 && (strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "--help") == 0)) {
    fputs(usage_text(), stdout);
    return 0;
  }
  if (!parse_options(argc, argv, &o, &error)) return fail(error + "\n" + usage_text());
  startup();
  if (o.params.empty())
    load_shipped_params();
  else if (!load_param_file(o.params, &error))
    return fail(error);
  enter_tuning_mode();
  if (o.pgn) {
    ExtractCounts c;
    if (!write_pgn_positions(o.pgn_file, o.out, o.skip, &c, &error)) return fail(error);
    printf(
        "%ld games (skipped: %ld unfinished or faulty, %ld repeated), %ld positions written to "
        "%s; dropped: %ld book, %ld early, %ld in check, %ld capture, %ld not quiet\n",
        c.games, c.skipped_games, c.repeated_games, c.kept, o.out.c_str(), c.book, c.early,
        c.in_check, c.capture, c.not_quiet);
    return 0;
  }
  if (o.synth) {
    if (!write_synthetic_data(o.out, o.n, o.seed, o.settings.k, &error)) return fail(error);
    printf("wrote %d positions to %s\n", o.n, o.out.c_str());
    return 0;
  }
  DataSet data;
  if (!read_data_file(o.data, &data, &error)) return fail(error);
  printf("%zu positions: %zu for training, %zu held out\n", data.samples.size(), data.train_count,
         data.valid_count);
  extract_features(&data, o.settings.groups);
  bool write_failed = false;
  auto provenance = [&](const TuneResult& result, const PassErrors& e) {
    char text[512];
    snprintf(text, sizeof(text),
             "tuned by tools/tune from %s (%zu positions, %zu held out), start %s\n"
             "groups %u, passes up to %d x %d steps, rate %g, reg %g, K %.6f\n"
             "best pass %d: train %.6f valid %.6f (start: train %.6f valid %.6f)",
             o.data.c_str(), data.samples.size(), data.valid_count,
             o.params.empty() ? "shipped values" : o.params.c_str(), o.settings.groups,
             o.settings.passes, o.settings.steps, o.settings.rate, o.settings.reg, result.k, e.pass,
             e.train, e.valid, result.passes[0].train, result.passes[0].valid);
    return std::string(text);
  };
  // The result so far is written whole at each improvement, so a stopped run keeps it.
  const TuneResult result = tune(&data, o.settings, [&](const TuneResult& so_far) {
    const PassErrors& last = so_far.passes.back();
    if (!write_file_atomically(o.out, param_text(provenance(so_far, last)), &error))
      write_failed = true;
  });
  const PassErrors& best = result.passes[result.best_pass];
  if (!write_file_atomically(o.out, param_text(provenance(result, best)), &error) || write_failed)
    return fail(error);
  printf("best pass %d: train %.6f valid %.6f; wrote %s\n", best.pass, best.train, best.valid,
         o.out.c_str());
  if (o.curve != "none") {
    const size_t dot = o.curve.rfind('.');
    const std::string csv = (dot == std::string::npos ? o.curve : o.curve.substr(0, dot)) + ".csv";
    if (!write_file_atomically(csv, csv_text(result), &error)) return fail(error);
    if (!draw_curves(csv, o.curve, &error)) return fail(error);
    printf("error curves: %s (numbers in %s)\n", o.curve.c_str(), csv.c_str());
  }
  return 0;
}

}  // namespace

}  // namespace kelmstrad::tune

int main(int argc, char** argv) { return kelmstrad::tune::run(argc, argv); }
