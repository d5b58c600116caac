// What only the browser tests reach: exported by the tests' program, not by the public one.

#include <cstdlib>

#include "model/crystal.h"

// A fault inside the program, as running out of memory ends it: the page must show it ended.
extern "C" void frimel_fault() { std::abort(); }

// How many objects the program holds: once a sketch is opened, only the scene's own.
extern "C" int frimel_kept_objects() { return static_cast<int>(keptCrystalCount()); }
