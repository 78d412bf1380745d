// The parameter text: reading records into the store and the "dumpparams" print.
//
// A record is a name of at most 63 characters without white space and three
// decimal integers (piece or rank/feature/term, square, value), separated by
// any white space. Reading stops at the first record that is incomplete.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "eval/param_table.h"
#include "eval/params.h"
#include "io/env.h"
#include "io/output.h"

namespace kelmstrad {

namespace {

constexpr size_t PARAM_NAME_LIMIT = 63;

// One integer field as read: its value held within 64 bits for range checks,
// and its exact low 64 bits for storage in a narrower entry.
struct Field {
  int64_t value;
  uint64_t low_bits;
};

// One record as read: the name and its three fields.
struct Record {
  char name[PARAM_NAME_LIMIT + 1];
  Field piece;
  Field square;
  Field value;
};

// Skips white space; returns the new cursor.
const char* skip_space(const char* p) {
  while (*p != '\0' && isspace(static_cast<unsigned char>(*p))) ++p;
  return p;
}

// Reads an optionally signed decimal integer after white space; false (and
// *cursor unchanged) when there are no digits.
bool read_field(const char** cursor, Field* field) {
  const char* p = skip_space(*cursor);
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (!isdigit(static_cast<unsigned char>(*p))) return false;
  constexpr uint64_t HELD = static_cast<uint64_t>(INT64_MAX);
  uint64_t magnitude = 0;
  uint64_t bits = 0;
  for (; isdigit(static_cast<unsigned char>(*p)); ++p) {
    const uint64_t digit = static_cast<uint64_t>(*p - '0');
    bits = bits * 10 + digit;  // wraps: only the low bits are kept
    magnitude = magnitude > (HELD - digit) / 10 ? HELD : magnitude * 10 + digit;
  }
  field->value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  field->low_bits = negative ? ~bits + 1 : bits;
  *cursor = p;
  return true;
}

// Reads one whole record; false at the end of the text or when a field is
// missing or the name is longer than 63 characters. Advances *cursor past it.
bool read_record(const char** cursor, Record* record) {
  const char* p = skip_space(*cursor);
  const char* start = p;
  while (*p != '\0' && !isspace(static_cast<unsigned char>(*p))) ++p;
  const size_t length = static_cast<size_t>(p - start);
  if (length == 0 || length > PARAM_NAME_LIMIT) return false;
  memcpy(record->name, start, length);
  record->name[length] = '\0';
  if (!read_field(&p, &record->piece) || !read_field(&p, &record->square) ||
      !read_field(&p, &record->value))
    return false;
  *cursor = p;
  return true;
}

// True when the field lies in low..high.
bool in_range(const Field& f, int low, int high) { return f.value >= low && f.value <= high; }

// Stores the field's low bits (8, 16 or 32, the row's width) as a signed entry.
void store_low_bits(const ParamRecord& row, int index, int square, const Field& f) {
  void* entry = param_entry(row, index, square);
  if (row.bits == 8)
    *static_cast<int8_t*>(entry) = static_cast<int8_t>(static_cast<uint8_t>(f.low_bits));
  else if (row.bits == 16)
    *static_cast<int16_t*>(entry) = static_cast<int16_t>(static_cast<uint16_t>(f.low_bits));
  else
    *static_cast<int32_t*>(entry) = static_cast<int32_t>(static_cast<uint32_t>(f.low_bits));
}

// Stores one record in the store; unknown names and out-of-range indices
// change nothing. A scalar's index fields are not read.
void apply_record(const Record& r) {
  const ParamRecord* row = param_record(r.name);
  if (row == nullptr) return;
  if (!row->scalar() && !in_range(r.piece, row->low, row->high)) return;
  if (row->square && !in_range(r.square, 0, 63)) return;
  const int index = row->scalar() ? 0 : static_cast<int>(r.piece.value);
  const int square = row->square ? static_cast<int>(r.square.value) : 0;
  store_low_bits(*row, index, square, r.value);
  // The flags only ever switch on: a later zero weight leaves the term running.
  if (r.value.value != 0 && row->term == ParamTerm::PAWN_EXTRA) pawn_extras_enabled = true;
  if (r.value.value != 0 && row->term == ParamTerm::MOBILITY) mobility_enabled = true;
}

// The whole content of a file, or false when it cannot be opened.
bool read_whole_file(const char* path, std::string* text) {
  FILE* f = fopen(path, "rb");
  if (f == nullptr) return false;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof(chunk), f)) > 0) text->append(chunk, n);
  fclose(f);
  return true;
}

}  // namespace

// Applies records in order until the first incomplete one; returns how many were read.
int load_eval_params_text(const char* text) {
  int records = 0;
  const char* cursor = text;
  Record record;
  while (read_record(&cursor, &record)) {
    apply_record(record);
    ++records;
  }
  fill_piece_square_scores();
  return records;
}

// Loads the PARAMS file when the variable is set (an unopenable file loads
// nothing, silently), otherwise the built-in text.
void load_eval_params() {
  const char* path = env_str("PARAMS");
  if (path == nullptr) {
    load_eval_params_text(DEFAULT_PARAM_TEXT);
    return;
  }
  std::string text;
  if (read_whole_file(path, &text)) load_eval_params_text(text.c_str());
}

// Prints the dumped rows of the parameter table in its print order
// (passers, scalars, then material and square tables by kind), one record a line.
void dump_params() {
  for_each_param_entry([](const ParamRecord& row, int index, int square) {
    if (row.dumped)
      uci_print("%s %d %d %d\n", row.name, index, square, param_entry_value(row, index, square));
  });
}

}  // namespace kelmstrad
