#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "fail.h"

extern char** environ;

namespace kelmstrad::match {

namespace {

std::vector<std::string>
    base_environment;                  // the tool's environment at start, passed on to every child
std::once_flag base_environment_once;  // guards the first capture
constexpr size_t READ_CHUNK = 4096;

// Takes one line off the front of the buffer; false when it holds no complete line.
bool take_line(std::string& buffer, std::string* line) {
  const size_t end = buffer.find('\n');
  if (end == std::string::npos) return false;
  *line = buffer.substr(0, end);
  buffer.erase(0, end + 1);
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

// Reads what is available on fd into the buffer; false at end of file or error.
bool drain(int fd, std::string& buffer) {
  char chunk[READ_CHUNK];
  const ssize_t n = read(fd, chunk, sizeof(chunk));
  if (n > 0) {
    buffer.append(chunk, static_cast<size_t>(n));
    return true;
  }
  return n < 0 && (errno == EINTR || errno == EAGAIN);
}

// Closes a descriptor if open and marks it closed.
void close_fd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Moves complete standard-error lines (and, at its end, the rest) into err_lines.
void collect_error_lines(ChildProcess& child, std::vector<std::string>* err_lines, bool ended) {
  std::string line;
  while (take_line(child.err_buffer, &line))
    if (err_lines) err_lines->push_back(line);
  if (ended && !child.err_buffer.empty()) {
    if (err_lines) err_lines->push_back(child.err_buffer);
    child.err_buffer.clear();
  }
}

// The child's environment: the captured base with the setup's variables replaced or added.
std::vector<std::string> child_environment(const ProcessSetup& launch) {
  capture_base_environment();
  std::vector<std::string> env = base_environment;
  for (const auto& [name, value] : launch.env) {
    const std::string prefix = name + "=";
    std::erase_if(env,
                  [&](const std::string& e) { return e.compare(0, prefix.size(), prefix) == 0; });
    env.push_back(prefix + value);
  }
  return env;
}

// Pointer array of strings for exec, ending in nullptr.
std::vector<char*> c_array(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

// Remembers the environment the children start from.
void capture_base_environment() {
  std::call_once(base_environment_once, [] {
    for (char** e = environ; e && *e; ++e) base_environment.emplace_back(*e);
  });
}

// Splits a command line into words with shell-like quoting.
std::vector<std::string> split_command_line(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  char quote = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == quote)
        quote = 0;
      else if (c == '\\' && quote == '"' && i + 1 < text.size())
        word += text[++i];
      else
        word += c;
    } else if (c == '"' || c == '\'') {
      quote = c, in_word = true;
    } else if (c == '\\' && i + 1 < text.size()) {
      word += text[++i], in_word = true;
    } else if (c == ' ' || c == '\t') {
      if (in_word) words.push_back(word);
      word.clear(), in_word = false;
    } else {
      word += c, in_word = true;
    }
  }
  if (in_word) words.push_back(word);
  return words;
}

// Starts the child with its three standard streams on pipes.
bool process_start(ChildProcess& child, const ProcessSetup& launch, std::string* error) {
  if (launch.argv.empty()) return fail(error, "empty command");
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0) return fail(error, std::strerror(errno));
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in_pipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  if (!launch.dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, launch.dir.c_str());
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
  std::vector<std::string> args = launch.argv, env = child_environment(launch);
  std::vector<char*> argv = c_array(args), envp = c_array(env);
  const int rc = posix_spawnp(&child.pid, argv[0], &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(in_pipe[0]), close(out_pipe[1]), close(err_pipe[1]);
  child.in_fd = in_pipe[1], child.out_fd = out_pipe[0], child.err_fd = err_pipe[0];
  child.reaped = false;
  child.out_buffer.clear(), child.err_buffer.clear();
  if (rc != 0) {
    *error = "cannot start \"" + launch.argv[0] + "\": " + std::strerror(rc);
    child.pid = -1;
    close_fd(child.in_fd), close_fd(child.out_fd), close_fd(child.err_fd);
    return false;
  }
  return true;
}

// Writes one line to the child's input.
bool process_write_line(ChildProcess& child, const std::string& line) {
  if (child.in_fd < 0) return false;
  const std::string text = line + "\n";
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(child.in_fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Waits at most timeout_ms for one line of the child's standard output.
ReadResult process_read_line(ChildProcess& child, int64_t timeout_ms, std::string* line,
                             std::vector<std::string>* err_lines) {
  const int64_t deadline = now_ms() + timeout_ms;
  while (true) {
    collect_error_lines(child, err_lines, child.err_fd < 0);
    if (take_line(child.out_buffer, line)) return ReadResult::LINE;
    if (child.out_fd < 0) {
      if (child.out_buffer.empty()) return ReadResult::CLOSED;
      *line = child.out_buffer;  // a last line without line feed
      child.out_buffer.clear();
      return ReadResult::LINE;
    }
    const int64_t left = deadline - now_ms();
    if (left <= 0) return ReadResult::TIMEOUT;
    pollfd fds[2] = {{child.out_fd, POLLIN, 0}, {child.err_fd, POLLIN, 0}};
    const int n = poll(fds, child.err_fd >= 0 ? 2 : 1, static_cast<int>(left));
    if (n < 0 && errno != EINTR) return ReadResult::CLOSED;
    if (n <= 0) continue;
    if (fds[0].revents && !drain(child.out_fd, child.out_buffer)) close_fd(child.out_fd);
    if (child.err_fd >= 0 && fds[1].revents && !drain(child.err_fd, child.err_buffer))
      close_fd(child.err_fd);
  }
}

// Reads standard error until it ends or the time-out passes.
void process_drain_errors(ChildProcess& child, int64_t timeout_ms,
                          std::vector<std::string>* err_lines) {
  const int64_t deadline = now_ms() + timeout_ms;
  while (child.err_fd >= 0) {
    const int64_t left = deadline - now_ms();
    if (left <= 0) break;
    pollfd fd = {child.err_fd, POLLIN, 0};
    const int n = poll(&fd, 1, static_cast<int>(left));
    if (n < 0 && errno != EINTR) break;
    if (n > 0 && !drain(child.err_fd, child.err_buffer)) close_fd(child.err_fd);
  }
  collect_error_lines(child, err_lines, true);
}

// Reaps the child if it has ended.
bool process_reap_nowait(ChildProcess& child) {
  if (child.pid <= 0 || child.reaped) return true;
  const pid_t r = waitpid(child.pid, &child.status, WNOHANG);
  if (r == child.pid || (r < 0 && errno == ECHILD)) child.reaped = true;
  return child.reaped;
}

// Closes the child's input, waits up to grace_ms, then kills it; closes every pipe.
void process_finish(ChildProcess& child, int64_t grace_ms) {
  close_fd(child.in_fd);
  const int64_t deadline = now_ms() + grace_ms;
  while (!process_reap_nowait(child) && now_ms() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  process_kill(child);
}

// Kills the child at once and reaps it.
void process_kill(ChildProcess& child) {
  if (child.pid > 0 && !process_reap_nowait(child)) {
    kill(child.pid, SIGKILL);
    while (waitpid(child.pid, &child.status, 0) < 0 && errno == EINTR) {
    }
    child.reaped = true;
  }
  close_fd(child.in_fd), close_fd(child.out_fd), close_fd(child.err_fd);
}

// How the child ended.
std::string process_exit_text(const ChildProcess& child) {
  if (child.pid <= 0) return "not started";
  if (!child.reaped) return "still running";
  if (WIFEXITED(child.status))
    return "exited with status " + std::to_string(WEXITSTATUS(child.status));
  if (WIFSIGNALED(child.status)) {
    const int sig = WTERMSIG(child.status);
    return "killed by signal " + std::to_string(sig) + " (" + strsignal(sig) + ")";
  }
  return "ended";
}

// Milliseconds of a monotonic clock.
int64_t now_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace kelmstrad::match
