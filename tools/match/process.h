// Child processes talking in lines over pipes: the engines of a match.
//
// Every pipe is created close-on-exec so that an engine never inherits the
// pipes of another game's engines (which would hide their end of input).
// Standard error is read as well, so a chatty engine never blocks on a full
// pipe; its lines are handed to the caller for the diagnosis ring.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kelmstrad::match {

struct ProcessSetup {
  std::vector<std::string> argv;                         // program and arguments
  std::vector<std::pair<std::string, std::string>> env;  // variables set for this child only
  std::string dir;                                       // working directory, empty: inherited
};

struct ChildProcess {
  pid_t pid = -1;
  int in_fd = -1;   // the child's standard input (we write)
  int out_fd = -1;  // the child's standard output
  int err_fd = -1;  // the child's standard error
  std::string out_buffer;
  std::string err_buffer;
  bool reaped = false;
  int status = 0;  // wait status once reaped
};

enum class ReadResult { LINE, TIMEOUT, CLOSED };

// Remembers the environment the children start from (call before anything changes it).
void capture_base_environment();

// Splits a command line into words; double and single quotes group, backslash escapes.
std::vector<std::string> split_command_line(const std::string& text);

// Starts the child; false with a message when it cannot be started.
bool process_start(ChildProcess& child, const ProcessSetup& launch, std::string* error);

// Writes one line (a line feed is added); false when the child no longer reads.
bool process_write_line(ChildProcess& child, const std::string& line);

// Waits at most timeout_ms for one line of standard output (line feed and
// carriage return removed). Lines of standard error met meanwhile are appended
// to err_lines. CLOSED when standard output ended.
ReadResult process_read_line(ChildProcess& child, int64_t timeout_ms, std::string* line,
                             std::vector<std::string>* err_lines);

// Reads standard error until it ends or timeout_ms pass, appending its lines.
void process_drain_errors(ChildProcess& child, int64_t timeout_ms,
                          std::vector<std::string>* err_lines);

// Closes the child's input, waits up to grace_ms for it to end, then kills it;
// reaps it and closes every pipe.
void process_finish(ChildProcess& child, int64_t grace_ms);

// Kills the child at once and reaps it.
void process_kill(ChildProcess& child);

// Reaps the child if it has ended; true when it has.
bool process_reap_nowait(ChildProcess& child);

// "exited with status 3", "killed by signal 11 (Segmentation fault)", or "still running".
std::string process_exit_text(const ChildProcess& child);

// Milliseconds of a monotonic clock.
int64_t now_ms();

}  // namespace kelmstrad::match
