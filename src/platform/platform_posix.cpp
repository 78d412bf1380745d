// The operating-system layer on POSIX systems (Linux): pthreads, the
// monotonic clock, setenv. platform_windows.cpp is the same layer on Windows;
// the build compiles one of the two.
#ifndef _WIN32

#include <pthread.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/assert.h"
#include "platform/platform.h"

namespace kelmstrad {

namespace {

pthread_mutex_t output_mutex = PTHREAD_MUTEX_INITIALIZER;

int64_t monotonic_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Taken during static initialisation, before main runs.
const int64_t process_start_ms = monotonic_ms();

}  // namespace

// Starts the thread detached from nothing: the caller joins it with thread_join.
bool thread_start(ThreadHandle* handle, void* (*proc)(void*), void* arg) {
  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) return false;
  pthread_attr_setstacksize(&attr, SEARCH_THREAD_STACK_BYTES);
  pthread_t tid;
  const int rc = pthread_create(&tid, &attr, proc, arg);
  pthread_attr_destroy(&attr);
  if (rc != 0) return false;
  handle->id = static_cast<uint64_t>(tid);
  handle->running = true;
  return true;
}

// Joins the thread if one was started; the handle is empty afterwards.
void thread_join(ThreadHandle* handle) {
  if (!handle->running) return;
  pthread_join(static_cast<pthread_t>(handle->id), nullptr);
  handle->running = false;
}

void output_lock() { pthread_mutex_lock(&output_mutex); }
void output_unlock() { pthread_mutex_unlock(&output_mutex); }

uint64_t tick_ms() { return static_cast<uint64_t>(monotonic_ms()); }

int64_t process_clock_ms() { return monotonic_ms() - process_start_ms; }

void sleep_1ms() {
  timespec ts{0, 1000000};
  nanosleep(&ts, nullptr);
}

int64_t calendar_seconds() { return static_cast<int64_t>(time(nullptr)); }

// Only the two output streams are flushed: fflush(nullptr) would also take
// the lock of standard input, which the command loop holds while it waits for
// a line, and a search thread ending the process would wait for ever.
void process_exit(int status) {
  fflush(stdout);
  fflush(stderr);
  _Exit(status);
}

// Prints the failed condition with its place and aborts (a core dump, a
// sanitizer's stack trace).
void assert_failed(const char* condition, const char* file, int line) {
  fprintf(stderr, "ASSERT failed: %s (%s:%d)\n", condition, file, line);
  fflush(nullptr);
  abort();
}

const char* env_lookup(const char* name) { return getenv(name); }

void env_assign(const char* name, const char* value) { setenv(name, value, 1); }

size_t path_folder_length(const char* path) {
  const char* slash = strrchr(path, '/');
  return slash == nullptr ? 0 : static_cast<size_t>(slash - path) + 1;
}

bool path_is_absolute(const char* path) { return path[0] == '/'; }

}  // namespace kelmstrad

#endif  // !_WIN32
