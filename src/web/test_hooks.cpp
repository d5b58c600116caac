// What the browser tests reach besides the page: one frame drawn on demand.

#include <cstdlib>

#include "render/frame.h"

extern "C" void frimel_display() { display(); }

// A fault inside the program, as running out of memory ends it: the page must show it ended.
extern "C" void frimel_fault() { std::abort(); }
