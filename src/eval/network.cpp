#include "eval/network.h"

namespace kelmstrad {

bool network_active = false;

}  // namespace kelmstrad
