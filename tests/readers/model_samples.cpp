// Writes the models that the real readers check: for every scene of support/model_scenes.h its
// .glb, its .3mf and .stl at 80 mm, its sketch (for the desktop tool) and, in NAME.counts, its
// parts and shells; and the .glb of every bench scene and of a translucent drag.
//   model_samples OUT_DIR   (from the folder that holds the bitmaps, on an X display)
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/state.h"
#include "scenes/bench_scenes.h"
#include "sketch/model_export.h"
#include "sketch/sketch_scene.h"
#include "sketch/sketch_text.h"
#include "support/model_scenes.h"
#include "support/test_window.h"

namespace {
bool save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool saveModel(const std::string& path, ModelFormat format) {
    std::vector<std::uint8_t> bytes;
    std::string why, note;
    if (!makeSceneModel(format, PrintSettings(), bytes, why, note) || !note.empty()) {
        std::fprintf(stderr, "%s: %s%s\n", path.c_str(), why.c_str(), note.c_str());
        return false;
    }
    return save(path, bytes);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: model_samples OUT_DIR\n");
        return 2;
    }
    const std::string out = argv[1];
    startFrimelWindow();
    bool ok = true;
    for (const ModelScene& scene : kModelScenes) {
        const std::string base = out + "/" + scene.name;
        ok = startModelScene(scene.script) && ok;
        ok = saveModel(base + ".glb", ModelFormat::Glb) && saveModel(base + ".3mf", ModelFormat::ThreeMf) &&
             saveModel(base + ".stl", ModelFormat::Stl) && ok;
        PrintModel model;
        std::string why, text;
        ok = buildScenePrintModel(PrintSettings(), model, why) && sketchToText(captureSketch(), text, why) && ok;
        int shells = 0;
        for (const PrintPart& part : model.parts) shells += part.shells;
        std::ofstream(base + ".counts") << model.parts.size() << " " << shells << "\n";
        std::ofstream(base + ".sketch") << text << "\n";
    }
    ok = startModelScene(kModelScenes[0].script) && ok;
    replayScene("key t; key s");
    ok = saveModel(out + "/drag-translucent.glb", ModelFormat::Glb) && ok;
    int index = 0;
    for (const BenchScene& bench : kBenchScenes) {
        ok = replayScene(bench.script) && crystals.size() == bench.expectedObjects && ok;
        const std::string path = out + "/bench-" + std::to_string(index++) + ".glb";
        // A scene past the size a model may take must be refused with that message, not written.
        std::vector<std::uint8_t> bytes;
        std::string why, note;
        if (!makeSceneModel(ModelFormat::Glb, PrintSettings(), bytes, why, note) &&
            why.find("more than the 50 MB a model may take") != std::string::npos) {
            continue;
        }
        ok = saveModel(path, ModelFormat::Glb) && ok;
    }
    return ok ? 0 : 1;
}
