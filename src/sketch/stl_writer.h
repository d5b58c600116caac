#pragma once

// Binary STL: every shell of every part, in millimetres, as the layout placed them.

#include <cstdint>
#include <vector>

#include "sketch/print_model.h"

std::vector<std::uint8_t> writeStl(const PrintModel& model);

std::uint64_t stlBytes(const PrintModel& model);
