// Interim: the parameter text reader and DEFAULT_PARAM_TEXT land with the board work.
#include "eval/params.h"

namespace kelmstrad {

const char DEFAULT_PARAM_TEXT[] = "";

void load_eval_params() {}

int load_eval_params_text(const char*) { return 0; }

void cmd_dumpparams(TokenReader&) {}

}  // namespace kelmstrad
