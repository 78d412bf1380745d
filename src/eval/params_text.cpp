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

// The field's low 16, 8 or 32 bits as a signed entry of that width.
int16_t low16(const Field& f) { return static_cast<int16_t>(static_cast<uint16_t>(f.low_bits)); }
int8_t low8(const Field& f) { return static_cast<int8_t>(static_cast<uint8_t>(f.low_bits)); }
int32_t low32(const Field& f) { return static_cast<int32_t>(static_cast<uint32_t>(f.low_bits)); }

// True when the field lies in low..high.
bool in_range(const Field& f, int low, int high) { return f.value >= low && f.value <= high; }

// The scalar entry a name selects, or nullptr when the name is not a scalar.
int16_t* scalar_entry(const char* name) {
  struct Scalar {
    const char* name;
    int16_t* entry;
  };
  const Scalar scalars[] = {
      {"isomg", &eval_params.isomg},   {"isoeg", &eval_params.isoeg},
      {"dblmg", &eval_params.dblmg},   {"dbleg", &eval_params.dbleg},
      {"ropen", &eval_params.ropen},   {"rhalf", &eval_params.rhalf},
      {"pairmg", &eval_params.pairmg}, {"paireg", &eval_params.paireg},
  };
  for (const Scalar& s : scalars)
    if (strcmp(name, s.name) == 0) return s.entry;
  return nullptr;
}

// The per-index 16-bit table a name selects with its index range, or nullptr.
int16_t* indexed_entry(const char* name, const Field& index, bool* enables_extras,
                       bool* enables_mobility) {
  struct Indexed {
    const char* name;
    int16_t* table;
    int low, high;
    bool extras, mobility;
  };
  const Indexed tables[] = {
      {"matmg", eval_params.matmg, 1, 6, false, false},
      {"mateg", eval_params.mateg, 1, 6, false, false},
      {"passmg", eval_params.passmg, 1, 6, false, false},
      {"passeg", eval_params.passeg, 1, 6, false, false},
      {"nemg", eval_params.nemg, 6, 10, true, false},
      {"neeg", eval_params.neeg, 6, 10, true, false},
      {"mobmg", eval_params.mobmg, 2, 5, false, true},
      {"mobeg", eval_params.mobeg, 2, 5, false, true},
  };
  for (const Indexed& t : tables) {
    if (strcmp(name, t.name) != 0) continue;
    if (!in_range(index, t.low, t.high)) return nullptr;
    *enables_extras = t.extras;
    *enables_mobility = t.mobility;
    return &t.table[index.value];
  }
  return nullptr;
}

// Stores one record in the store; unknown names and out-of-range indices change nothing.
void apply_record(const Record& r) {
  const bool is_pstmg = strcmp(r.name, "pstmg") == 0;
  if (is_pstmg || strcmp(r.name, "psteg") == 0) {
    if (!in_range(r.piece, 1, 6) || !in_range(r.square, 0, 63)) return;
    auto& table = is_pstmg ? eval_params.pstmg : eval_params.psteg;
    table[r.piece.value][r.square.value] = low8(r.value);
    return;
  }
  if (strcmp(r.name, "ksw") == 0) {
    if (in_range(r.piece, 1, 5)) eval_params.ksw[r.piece.value] = low32(r.value);
    return;
  }
  if (int16_t* scalar = scalar_entry(r.name)) {
    *scalar = low16(r.value);
    return;
  }
  bool extras = false;
  bool mobility = false;
  int16_t* entry = indexed_entry(r.name, r.piece, &extras, &mobility);
  if (entry == nullptr) return;
  *entry = low16(r.value);
  // The flags only ever switch on: a later zero weight leaves the term running.
  if (r.value.value != 0 && extras) pawn_extras_enabled = true;
  if (r.value.value != 0 && mobility) mobility_enabled = true;
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

// Prints passers, scalars, then material and square tables by kind, one record a line.
void dump_params() {
  const EvalParams& p = eval_params;
  for (int r = 1; r <= 6; ++r)
    uci_print("passmg %d 0 %d\npasseg %d 0 %d\n", r, p.passmg[r], r, p.passeg[r]);
  uci_print(
      "isomg 0 0 %d\nisoeg 0 0 %d\ndblmg 0 0 %d\ndbleg 0 0 %d\nropen 0 0 %d\nrhalf 0 0 %d\n"
      "pairmg 0 0 %d\npaireg 0 0 %d\n",
      p.isomg, p.isoeg, p.dblmg, p.dbleg, p.ropen, p.rhalf, p.pairmg, p.paireg);
  for (int kind = 1; kind <= 6; ++kind) {
    uci_print("matmg %d 0 %d\nmateg %d 0 %d\n", kind, p.matmg[kind], kind, p.mateg[kind]);
    for (int s = 0; s < 64; ++s)
      uci_print("pstmg %d %d %d\npsteg %d %d %d\n", kind, s, p.pstmg[kind][s], kind, s,
                p.psteg[kind][s]);
  }
}

}  // namespace kelmstrad
