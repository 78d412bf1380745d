// Thin operating-system layer: the only place that talks to the OS.
//
// Threads are started with a 64 MiB stack and joined without time-out; the
// output lock serialises whole lines; clocks are monotonic milliseconds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelmstrad {

constexpr uint64_t SEARCH_THREAD_STACK_BYTES = 64ull * 1024 * 1024;

struct ThreadHandle {
  uint64_t id;   // pthread_t, kept opaque
  bool running;  // a thread was started and not yet joined
};

// Starts `proc(arg)` on a new thread with a 64 MiB stack; false if it cannot be created.
bool thread_start(ThreadHandle* handle, void* (*proc)(void*), void* arg);

// Waits without time-out for the thread to end and forgets it; nothing if none runs.
void thread_join(ThreadHandle* handle);

// The process-wide lock around one line of output.
void output_lock();
void output_unlock();

// Monotonic milliseconds since an arbitrary origin (the tick count).
uint64_t tick_ms();

// Monotonic wall-clock milliseconds since the process started (the "process clock").
int64_t process_clock_ms();

// Pauses the calling thread for about one millisecond.
void sleep_1ms();

// Seconds of the calendar clock.
int64_t calendar_seconds();

// Flushes the standard streams and ends the process at once with `status`,
// without running static destructors (another thread may still be running).
[[noreturn]] void process_exit(int status);

// Reads an environment variable afresh (nullptr when unset); no caching.
const char* env_lookup(const char* name);

// Sets an environment variable so that later lookups in this process see it.
// The value must not be empty (Windows removes a variable set to nothing).
void env_assign(const char* name, const char* value);

// The length of the folder part of a file path, up to and including its last
// separator ('/'; on Windows also '\\' and a drive's ':'); 0 when there is none.
size_t path_folder_length(const char* path);

// True when no folder can be put in front of the path: it starts with '/' (on
// Windows also with '\\' or a drive, as "C:\\name" and "C:name" do).
bool path_is_absolute(const char* path);

}  // namespace kelmstrad
