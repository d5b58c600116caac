#pragma once

// A scene made printable: crystals and chunks only, at a size in millimetres. Every cone is a
// closed solid at least the wall thick, its point cut off flat at the wall's width, and twigs
// thinner than half the wall, which would print as blobs, are left out; each object is
// cut at its own plane (the bank's slope through the object) and stands on that face; objects
// that touch are one part of several shells; parts are laid out on the printer's plate.

#include <cstdint>
#include <string>
#include <vector>

#include "render/cone_record.h"
#include "sketch/model_mesh.h"

struct PrintSettings {
    double longestMm = 80.0;  // the longest part this long
    double wallMm = 0.8;      // the thinnest a cone may be, across
    bool hangingLoops = false;
};

constexpr double kPlateMm = 200.0;  // the plate is this square
constexpr double kShortestPrintMm = 5.0;
constexpr double kLongestPrintMm = 1000.0;
constexpr double kThinnestWallMm = 0.1;
constexpr double kThickestWallMm = 5.0;

// Whether the settings can be printed; why not, if not.
bool checkPrintSettings(const PrintSettings& settings, std::string& why);

// Where the objects stand, in the scene's coordinates, and the bank's slope.
struct PrintScene {
    std::vector<RecordedCone> cones;
    std::vector<Vec3> positions;      // by object
    std::vector<bool> crystal;        // by object: a crystal, or a chunk
    double bankTiltDegrees;           // about -x: the bank's slope, the same for every object
};

// One printed piece: touching objects' shells in one mesh, and the objects it holds.
struct PrintPart {
    TriangleMesh mesh;
    int shells = 0;
    std::vector<int> objects;
};

struct PrintModel {
    std::vector<PrintPart> parts;
    double scale = 0.0;  // millimetres a scene unit
    std::string note;    // what the user should know: parts that do not fit the plate
};

// False, with the reason, when nothing stands above the snow or the model would hold more than
// maxShells shells.
bool buildPrintModel(const PrintScene& scene, const PrintSettings& settings, std::size_t maxShells, PrintModel& out,
                     std::string& why);
