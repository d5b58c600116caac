// What only the browser tests reach: exported by the tests' program, not by the public one.

#include <cstdlib>

// A fault inside the program, as running out of memory ends it: the page must show it ended.
extern "C" void frimel_fault() { std::abort(); }
