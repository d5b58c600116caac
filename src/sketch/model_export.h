#pragma once

// The scene as a 3-D model file: glTF binary for viewing, 3MF or STL for printing. The page and
// the desktop tool both make their files here, from the cones of the frame the scene comes to
// rest at.

#include <cstdint>
#include <string>
#include <vector>

#include "sketch/print_model.h"

enum class ModelFormat { Glb, ThreeMf, Stl };

// Files past this size are not made: a message says so instead.
constexpr std::uint64_t kLargestModelBytes = 50u * 1000u * 1000u;

// The format a file name asks for by its extension (.glb, .3mf, .stl, in any case).
bool modelFormatOf(const std::string& fileName, ModelFormat& format);

// The scene in `crystals`, at rest, made printable: what the print files hold.
bool buildScenePrintModel(const PrintSettings& settings, PrintModel& model, std::string& why);

// The scene in `crystals`, at rest, as a file of this format in `out`; the settings matter for
// printing only. False, with why, when no file is made; note tells what the user should know of
// one that was made (parts that do not fit the plate).
bool makeSceneModel(ModelFormat format, const PrintSettings& settings, std::vector<std::uint8_t>& out,
                    std::string& why, std::string& note);
