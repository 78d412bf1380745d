// The environment switches: every variable the engine reads, in one table.
//
// A switch read anywhere must be listed here: a profile may set only these
// (a misspelt name would otherwise leave a silently default engine), and a
// shipped value is put into the environment at start-up where the variable
// is unset, so every reader sees it exactly as if the user had exported it.
// tests/io/switch_table_test.py checks that the table and the names the
// sources read agree.
#pragma once

#include <string_view>

namespace kelmstrad {

struct EnvironmentSwitch {
  const char* name;
  const char* shipped;  // installed at start-up when unset, or nullptr
  bool names_file;      // a relative file name in a profile is taken from the profile's folder
};

// clang-format off
inline constexpr EnvironmentSwitch ENVIRONMENT_SWITCHES[] = {
    {"ASP", nullptr, false},
    {"BADLAST", "1", false},
    {"BOOKFILE", nullptr, true},
    {"CHEAPSEE", nullptr, false},
    {"CHKEXT", nullptr, false},
    {"CMOVE", nullptr, false},
    {"CORR", nullptr, false},
    {"CORRCOST", nullptr, false},
    {"CORRMAX", nullptr, false},
    {"CORRN", nullptr, false},
    {"CORRW", nullptr, false},
    {"CTRACE", nullptr, false},
    {"DELTA", nullptr, false},
    {"EGK", "15", false},
    {"EVDBG", nullptr, false},
    {"EVDBG2", nullptr, false},
    {"FUT2", "350", false},
    {"GCPCOST", nullptr, false},
    {"HIST", nullptr, false},
    {"HISTP", nullptr, false},
    {"IIR", nullptr, false},
    {"KEEPTT", nullptr, false},
    {"KLMRAW", nullptr, false},
    {"KT", nullptr, false},
    {"KTCOST", nullptr, false},
    {"KTOPP", nullptr, false},
    {"KTROP", nullptr, false},
    {"LAZYM", nullptr, false},
    {"LAZYQ", "200", false},
    {"LAZYS", "1", false},
    {"LCOST", nullptr, false},
    {"LMP", "3/6/12", false},
    {"LMR3", nullptr, false},
    {"LMRLOG", nullptr, false},
    {"LOOSE", nullptr, false},
    {"MHK", "40", false},
    {"MHKG", nullptr, false},
    {"MHKP", "20", false},
    {"MOBEV", nullptr, false},
    {"MOBPC", nullptr, false},
    {"MOBSQ", nullptr, false},
    {"MOPC", nullptr, false},
    {"MOPK", nullptr, false},
    {"NECOST", nullptr, false},
    {"NEXT", nullptr, false},
    {"NMRD", nullptr, false},
    {"NNBLEND", nullptr, false},
    {"NNFCOST", nullptr, false},
    {"NNOCOST", nullptr, false},
    {"NNRES", nullptr, false},
    {"NNSCALE", nullptr, false},
    {"NNUE", nullptr, true},
    {"NOEXT", nullptr, false},
    {"NOFUT", nullptr, false},
    {"NOHIST", nullptr, false},
    {"NOLMR", nullptr, false},
    {"NOPVS", nullptr, false},
    {"NOQS", nullptr, false},
    {"NOTT", nullptr, false},
    {"NOTTM", nullptr, false},
    {"NTHR", nullptr, false},
    {"NTHRM", nullptr, false},
    {"OPK", "8", false},
    {"OPKG", nullptr, false},
    {"OPKW", "20", false},
    {"ORC", "1", false},
    {"OUTP", nullptr, false},
    {"PARAMS", nullptr, true},
    {"PGBOOK", nullptr, true},
    {"PGFIX", nullptr, false},
    {"PGSEED", nullptr, false},
    {"PHSIM", nullptr, false},
    {"PVORD", nullptr, false},
    {"PVS", nullptr, false},
    {"QCHK", nullptr, false},
    {"QDELTA", nullptr, false},
    {"QFUT", nullptr, false},
    {"QMAX", nullptr, false},
    {"QREC", nullptr, false},
    {"QREPSTAT", nullptr, false},
    {"QSTAT", nullptr, false},
    {"QTT", nullptr, false},
    {"QTTCOST", nullptr, false},
    {"RAZOR", nullptr, false},
    {"RECAP", nullptr, false},
    {"RFP", "100", false},
    {"RFPD", nullptr, false},
    {"RFPM", nullptr, false},
    {"RTGUARD", nullptr, false},
    {"SEEC", nullptr, false},
    {"SEEQ", nullptr, false},
    {"SKPASS", nullptr, false},
    {"SKSEE", nullptr, false},
    {"SOFT", nullptr, false},
    {"STAGED", nullptr, false},
    {"STORM", nullptr, false},
    {"TBD", nullptr, false},
    {"TBRK", nullptr, false},
    {"TDIV", nullptr, false},
    {"THRX", "7", false},
    {"TINC", nullptr, false},
    {"TMODE", nullptr, false},
    {"TRAP", nullptr, false},
    {"TRAPCOST", nullptr, false},
    {"TT2", nullptr, false},
    {"TTENT", "512", false},
    {"VCOSTFILE", nullptr, true},
    {"VSCALE", nullptr, false},
};
// clang-format on

// The table's entry for a name, or nullptr when the engine reads no such switch.
constexpr const EnvironmentSwitch* find_switch(std::string_view name) {
  for (const EnvironmentSwitch& entry : ENVIRONMENT_SWITCHES)
    if (name == entry.name) return &entry;
  return nullptr;
}

// The shipped value of a switch as a whole number, or its field-th number
// when it holds several separated by '/' ("3/6/12"); 0 when it has none.
constexpr int shipped_int(std::string_view name, int field = 0) {
  const EnvironmentSwitch* entry = find_switch(name);
  if (entry == nullptr || entry->shipped == nullptr) return 0;
  const char* p = entry->shipped;
  for (; field > 0 && *p != '\0'; ++p)
    if (*p == '/') --field;
  int value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10 + (*p - '0');
  return value;
}

}  // namespace kelmstrad
