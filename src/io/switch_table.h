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
  const char* shipped = nullptr;  // installed at start-up when unset, or nullptr
  bool names_file = false;  // a relative file name in a profile is taken from the profile's folder
};

// clang-format off
inline constexpr EnvironmentSwitch ENVIRONMENT_SWITCHES[] = {
    {"ASP"}, {"BADLAST", "1"}, {"BOOKFILE", nullptr, true}, {"CHEAPSEE"}, {"CHKEXT"}, {"CMOVE"},
    {"CORR"}, {"CORRCOST"}, {"CORRMAX"}, {"CORRN"}, {"CORRW"}, {"CTRACE"}, {"DELTA"}, {"EGK", "15"},
    {"EVDBG"}, {"EVDBG2"}, {"FUT2", "350"}, {"GCPCOST"}, {"HIST"}, {"HISTP"}, {"IIR"}, {"KEEPTT"},
    {"KLMRAW"}, {"KT"}, {"KTCOST"}, {"KTOPP"}, {"KTROP"}, {"LAZYM"}, {"LAZYQ", "200"},
    {"LAZYS", "1"}, {"LCOST"}, {"LMP", "3/6/12"}, {"LMR3"}, {"LMRLOG"}, {"LOOSE"}, {"MHK", "40"},
    {"MHKG"}, {"MHKP", "20"}, {"MOBEV"}, {"MOBPC"}, {"MOBSQ"}, {"MOPC"}, {"MOPK"}, {"NECOST"},
    {"NEXT"}, {"NMRD"}, {"NNBLEND"}, {"NNFCOST"}, {"NNOCOST"}, {"NNRES"}, {"NNSCALE"},
    {"NNUE", nullptr, true}, {"NOEXT"}, {"NOFUT"}, {"NOHIST"}, {"NOLMR"}, {"NOPVS"}, {"NOQS"},
    {"NOTT"}, {"NOTTM"}, {"NTHR"}, {"NTHRM"}, {"OPK", "8"}, {"OPKG"}, {"OPKW", "20"}, {"ORC", "1"},
    {"OUTP"}, {"PARAMS", nullptr, true}, {"PGBOOK", nullptr, true}, {"PGFIX"}, {"PGSEED"},
    {"PHSIM"}, {"PVORD"}, {"PVS"}, {"QCHK"}, {"QDELTA"}, {"QFUT"}, {"QMAX"}, {"QREC"}, {"QREPSTAT"},
    {"QSTAT"}, {"QTT"}, {"QTTCOST"}, {"RAZOR"}, {"RECAP"}, {"RFP", "100"}, {"RFPD"}, {"RFPM"},
    {"RTGUARD"}, {"SEEC"}, {"SEEQ"}, {"SKPASS"}, {"SKSEE"}, {"SOFT"}, {"STAGED"}, {"STORM"},
    {"TBD"}, {"TBRK"}, {"TDIV"}, {"THRX", "7"}, {"TINC"}, {"TMODE"}, {"TRAP"}, {"TRAPCOST"},
    {"TT2"}, {"TTENT", "512"}, {"VCOSTFILE", nullptr, true}, {"VSCALE"},
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
