// The module: the count of live objects and server locks that decides whether the library may
// be unloaded, and the class factories of the two component classes.
#pragma once

#include <cpservices/cpservices.h>

namespace cps {

void module_lock();
void module_unlock();
long module_lock_count();

}  // namespace cps
