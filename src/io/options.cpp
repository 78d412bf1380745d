#include "io/options.h"

namespace kelmstrad {

int real_speed_option = 0;
int skeleton_mode = 0;
int own_book = 1;
int no_tt = 0;
int see_enabled = 1;
int cheap_see = 0;
int terms_mask = 63;
int lean_mode = 0;

}  // namespace kelmstrad
