#pragma once

// 3MF packages for printing: a zip of the model's XML, in millimetres, one object a part (its
// shells in one mesh), every part placed where the layout put it on the plate.

#include <cstdint>
#include <vector>

#include "sketch/print_model.h"

std::vector<std::uint8_t> writeThreeMf(const PrintModel& model);

// Bytes the package of this model takes at most.
std::uint64_t threeMfBytesAtMost(const PrintModel& model);
