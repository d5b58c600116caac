#include "sketch/model_export.h"

#include <cctype>

#include "app/state.h"
#include "render/cone_record.h"
#include "sketch/glb_writer.h"
#include "sketch/model_view.h"
#include "sketch/stl_writer.h"
#include "sketch/threemf_writer.h"
#include "textures/bitmap.h"
#include "textures/textures.h"

namespace {
constexpr int kTextureNames = 9;
// The fewest bytes a printed solid takes in any print file: four STL triangles.
constexpr std::uint64_t kLeastSolidBytes = 4 * 50;

std::string megabytes(std::uint64_t bytes) { return std::to_string((bytes + 999999) / 1000000) + " MB"; }

bool tooBig(std::uint64_t bytes, std::string& why) {
    if (bytes <= kLargestModelBytes) return false;
    why = "the model would take about " + megabytes(bytes) + ", more than the 50 MB a model may take; "
          "try fewer objects, less branching or, for printing, fewer parts";
    return true;
}

// The cones of the scene at rest; false when the scene is empty or too big to record.
bool sceneCones(std::vector<RecordedCone>& cones, std::string& why) {
    if (crystals.empty()) {
        why = "the scene is empty";
        return false;
    }
    cones = recordSceneAtRest();
    if (cones.empty()) {
        why = "the scene holds more cones than Frimel draws";
        return false;
    }
    return true;
}

// A bitmap as the texture it becomes, rows top first: read through the one bitmap reader.
bool loadTexture(int name, TextureImage& out, std::string& why) {
    Image image;
    const char* file = bitmapFileNames[name - 1];
    if (!loadBitmap(file, image)) {
        why = std::string("the texture ") + file + " cannot be read";
        return false;
    }
    const std::size_t row = static_cast<std::size_t>(image.width) * 3;
    const std::size_t stride = static_cast<std::size_t>(bitmapRowBytes(image.width));
    out.width = image.width;
    out.height = image.height;
    out.rgb.resize(row * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        const unsigned char* from = image.pixels.get() + stride * static_cast<std::size_t>(image.height - 1 - y);
        std::copy(from, from + row, out.rgb.begin() + static_cast<std::ptrdiff_t>(row * static_cast<std::size_t>(y)));
    }
    return true;
}

bool makeGlb(std::vector<std::uint8_t>& out, std::string& why) {
    std::vector<RecordedCone> cones;
    if (crystals.empty()) {
        cones.clear();
    } else if (!sceneCones(cones, why)) {
        return false;
    }
    if (tooBig(leastViewBytesForCones(cones.size()), why)) return false;
    const int bank = snowSurface != 0 ? static_cast<int>(kSnowTexture) : static_cast<int>(kWhiteTexture);
    const ViewModel model = buildViewModel(cones, bank, translucent != 0.0f);
    std::vector<TextureImage> textures(kTextureNames);
    std::vector<bool> wanted(kTextureNames, false);
    wanted[bank] = true;
    for (const ViewPrimitive& p : model.crystals) {
        if (p.texture >= 1 && p.texture < kTextureNames) wanted[p.texture] = true;
    }
    for (int name = 1; name < kTextureNames; ++name) {
        if (wanted[name] && !loadTexture(name, textures[name], why)) return false;
    }
    out = writeGlb(model, textures);
    if (out.empty()) {
        why = "the textures cannot be packed";
        return false;
    }
    return !tooBig(out.size(), why);
}

bool makePrint(ModelFormat format, const PrintSettings& settings, std::vector<std::uint8_t>& out, std::string& why,
               std::string& note) {
    PrintModel model;
    if (!buildScenePrintModel(settings, model, why)) return false;
    if (tooBig(format == ModelFormat::Stl ? stlBytes(model) : threeMfBytesAtMost(model), why)) return false;
    out = format == ModelFormat::Stl ? writeStl(model) : writeThreeMf(model);
    if (out.empty()) {
        why = "the model cannot be packed";
        return false;
    }
    note = model.note;
    return true;
}
}  // namespace

bool buildScenePrintModel(const PrintSettings& settings, PrintModel& model, std::string& why) {
    if (!checkPrintSettings(settings, why)) return false;
    PrintScene scene;
    if (!sceneCones(scene.cones, why)) return false;
    for (const Crystal* c : crystals) {
        scene.positions.push_back({c->x, c->y, c->z});
        scene.crystal.push_back(c->kind == 0);
    }
    scene.bankTiltDegrees = tiltAngle;
    return buildPrintModel(scene, settings, kLargestModelBytes / kLeastSolidBytes, model, why);
}

bool modelFormatOf(const std::string& fileName, ModelFormat& format) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || fileName.find('/', dot) != std::string::npos) return false;
    std::string extension = fileName.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "glb") format = ModelFormat::Glb;
    else if (extension == "3mf") format = ModelFormat::ThreeMf;
    else if (extension == "stl") format = ModelFormat::Stl;
    else return false;
    return true;
}

bool makeSceneModel(ModelFormat format, const PrintSettings& settings, std::vector<std::uint8_t>& out,
                    std::string& why, std::string& note) {
    out.clear();
    note.clear();
    if (format == ModelFormat::Glb) return makeGlb(out, why);
    return makePrint(format, settings, out, why, note);
}
