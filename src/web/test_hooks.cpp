// What the browser tests reach besides the page: one frame drawn on demand.

#include "render/frame.h"

extern "C" void frimel_display() { display(); }
