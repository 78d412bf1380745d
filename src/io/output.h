// Output channel. Every thread collects text in its own 64 KiB line buffer;
// only complete lines reach the sink, one line at a time under the output
// lock, flushed after each. Four statistics prefixes are dropped unless the
// environment variable KLMRAW is set (looked up afresh for every line).
#pragma once

#include <cstdio>

namespace kelmstrad {

constexpr int OUTPUT_BUFFER_BYTES = 65536;

// Formats like printf into this thread's buffer and writes every completed
// line; returns the formatted length, or the negative formatting result.
int uci_print(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Where complete lines go (standard output unless redirected, e.g. by tests).
void set_output_sink(FILE* sink);
FILE* output_sink();

}  // namespace kelmstrad
