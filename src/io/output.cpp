#include "io/output.h"

#include <cstdarg>
#include <cstring>

#include "platform/platform.h"

namespace kelmstrad {

namespace {

constexpr const char* FILTERED_PREFIXES[] = {
    "info string see_least",
    "info string leaves",
    "info string vclock",
    "info string tused",
};

thread_local char line_buffer[OUTPUT_BUFFER_BYTES];
thread_local int line_fill = 0;

FILE* sink_file = nullptr;

// True when the line starts with one of the statistics prefixes.
bool is_filtered(const char* line, int length) {
  for (const char* prefix : FILTERED_PREFIXES) {
    const int n = static_cast<int>(strlen(prefix));
    if (length >= n && memcmp(line, prefix, n) == 0) return true;
  }
  return false;
}

// Writes one complete line (with its line feed) under the lock and flushes it.
void emit_line(const char* line, int length) {
  if (env_lookup("KLMRAW") == nullptr && is_filtered(line, length)) return;
  FILE* out = output_sink();
  output_lock();
  fwrite(line, 1, static_cast<size_t>(length), out);
  fflush(out);
  output_unlock();
}

}  // namespace

void set_output_sink(FILE* sink) { sink_file = sink; }

FILE* output_sink() { return sink_file ? sink_file : stdout; }

int uci_print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int room = OUTPUT_BUFFER_BYTES - line_fill;
  const int result = vsnprintf(line_buffer + line_fill, static_cast<size_t>(room), format, args);
  va_end(args);
  if (result < 0) return result;
  line_fill += result;
  if (line_fill > OUTPUT_BUFFER_BYTES - 1) line_fill = OUTPUT_BUFFER_BYTES - 1;
  for (;;) {
    char* newline = static_cast<char*>(memchr(line_buffer, '\n', static_cast<size_t>(line_fill)));
    if (newline == nullptr) break;
    const int length = static_cast<int>(newline - line_buffer) + 1;
    emit_line(line_buffer, length);
    memmove(line_buffer, line_buffer + length, static_cast<size_t>(line_fill - length));
    line_fill -= length;
  }
  // A line longer than the buffer would block this thread's output for good:
  // hand over what is there and start afresh.
  if (line_fill == OUTPUT_BUFFER_BYTES - 1) {
    emit_line(line_buffer, line_fill);
    line_fill = 0;
  }
  return result;
}

}  // namespace kelmstrad
