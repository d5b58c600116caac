#pragma once

// A sketch as bytes: the one format every way of keeping and sharing a sketch uses
// (docs/sketch-format.md). Floats keep their bits; values that repeat from one object to the
// next are written once.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sketch/sketch.h"

constexpr std::uint8_t kSketchFormat = 1;

// False, with the reason, when the sketch fails checkSketch; out is then left empty.
bool encodeSketch(const Sketch& sketch, std::vector<std::uint8_t>& out, std::string& why);

// The bytes of a sketch as it is, unchecked: what a damaged or forged one would hold.
void writeSketchBytes(const Sketch& sketch, std::vector<std::uint8_t>& out);

// Reads and checks every byte and value before anything is built: out is filled only when
// the whole sketch is sound, and otherwise left as it was, with the reason in why.
bool decodeSketch(const std::uint8_t* data, std::size_t size, Sketch& out, std::string& why);

// CRC-32 as PNG and zlib use it.
std::uint32_t crc32Of(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
