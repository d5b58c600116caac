#include "sketch/glb_writer.h"

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <cstring>
#include <string>

#include "sketch/png_stored.h"

namespace {
constexpr int kFloat = 5126, kUnsignedInt = 5125;
constexpr int kVertexTarget = 34962, kIndexTarget = 34963;
constexpr int kNearest = 9728;

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

struct Builder {
    std::vector<std::uint8_t> bin;
    std::string views, accessors;
    int viewCount = 0, accessorCount = 0;

    int addView(const void* data, std::size_t bytes, int target) {
        while (bin.size() % 4 != 0) bin.push_back(0);
        const std::size_t offset = bin.size();
        const std::uint8_t* from = static_cast<const std::uint8_t*>(data);
        bin.insert(bin.end(), from, from + bytes);
        if (!views.empty()) views += ",";
        views += "{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) + ",\"byteLength\":" + std::to_string(bytes);
        if (target != 0) views += ",\"target\":" + std::to_string(target);
        views += "}";
        return viewCount++;
    }

    int addAccessor(int view, int componentType, std::size_t count, const char* type, const std::string& extra) {
        if (!accessors.empty()) accessors += ",";
        accessors += "{\"bufferView\":" + std::to_string(view) + ",\"componentType\":" + std::to_string(componentType) +
                     ",\"count\":" + std::to_string(count) + ",\"type\":\"" + type + "\"" + extra + "}";
        return accessorCount++;
    }

    int floats(const std::vector<float>& values, int width, const char* type, bool bounds) {
        std::string extra;
        if (bounds) {
            std::vector<float> low(width, FLT_MAX), high(width, -FLT_MAX);
            for (std::size_t i = 0; i < values.size(); ++i) {
                low[i % width] = std::min(low[i % width], values[i]);
                high[i % width] = std::max(high[i % width], values[i]);
            }
            extra = ",\"min\":[";
            for (int k = 0; k < width; ++k) extra += (k ? "," : "") + number(low[k]);
            extra += "],\"max\":[";
            for (int k = 0; k < width; ++k) extra += (k ? "," : "") + number(high[k]);
            extra += "]";
        }
        const int view = addView(values.data(), values.size() * sizeof(float), kVertexTarget);
        return addAccessor(view, kFloat, values.size() / width, type, extra);
    }

    // The primitive's JSON, its material given.
    std::string primitive(const ViewPrimitive& p, int material) {
        const int position = floats(p.positions, 3, "VEC3", true);
        const int uv = floats(p.uvs, 2, "VEC2", false);
        const int view = addView(p.indices.data(), p.indices.size() * sizeof(std::uint32_t), kIndexTarget);
        const int indices = addAccessor(view, kUnsignedInt, p.indices.size(), "SCALAR", "");
        return "{\"attributes\":{\"POSITION\":" + std::to_string(position) + ",\"TEXCOORD_0\":" + std::to_string(uv) + "},\"indices\":" + std::to_string(indices) +
               ",\"material\":" + std::to_string(material) + "}";
    }
};

std::string material(const char* name, int texture, bool ice, bool translucent) {
    std::string m = std::string("{\"name\":\"") + name + "\",\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":" +
                    std::to_string(texture) + "}";
    if (translucent) m += ",\"baseColorFactor\":[1,1,1,0.6]";
    m += ",\"metallicFactor\":0,\"roughnessFactor\":1}";
    // Cones are open at their base, as the frame draws them: both sides show.
    if (ice) m += ",\"doubleSided\":true";
    if (translucent) m += ",\"alphaMode\":\"BLEND\"";
    return m + "}";
}

void putLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}
}  // namespace

std::vector<std::uint8_t> writeGlb(const ViewModel& model, const std::vector<TextureImage>& textures) {
    Builder b;
    // Each texture name used becomes one image and one texture, in order of first use.
    std::vector<int> textureNames;
    auto textureIndex = [&](int name) {
        const auto at = std::find(textureNames.begin(), textureNames.end(), name);
        if (at != textureNames.end()) return static_cast<int>(at - textureNames.begin());
        textureNames.push_back(name);
        return static_cast<int>(textureNames.size() - 1);
    };

    std::string materials, crystalPrimitives;
    const std::string bankPrimitive = b.primitive(model.bank, 0);
    materials = material("Snow", textureIndex(model.bank.texture), false, false);
    int materialCount = 1;
    for (const ViewPrimitive& p : model.crystals) {
        if (p.indices.empty()) continue;
        materials += "," + material("Ice", textureIndex(p.texture), true, model.translucent);
        crystalPrimitives += (crystalPrimitives.empty() ? "" : ",") + b.primitive(p, materialCount++);
    }

    std::string images, gltfTextures;
    for (std::size_t i = 0; i < textureNames.size(); ++i) {
        const int name = textureNames[i];
        if (name < 0 || static_cast<std::size_t>(name) >= textures.size()) return {};
        const TextureImage& t = textures[name];
        if (t.rgb.size() != static_cast<std::size_t>(t.width) * static_cast<std::size_t>(t.height) * 3) return {};
        const std::vector<std::uint8_t> png = storedPng(t.rgb.data(), t.width, t.height);
        if (png.empty()) return {};
        const int view = b.addView(png.data(), png.size(), 0);
        images += std::string(i ? "," : "") + "{\"bufferView\":" + std::to_string(view) + ",\"mimeType\":\"image/png\"}";
        gltfTextures += std::string(i ? "," : "") + "{\"sampler\":0,\"source\":" + std::to_string(i) + "}";
    }
    while (b.bin.size() % 4 != 0) b.bin.push_back(0);

    std::string nodes = "{\"name\":\"Snow bank\",\"mesh\":0}";
    std::string meshes = "{\"name\":\"Snow bank\",\"primitives\":[" + bankPrimitive + "]}";
    std::string sceneNodes = "0";
    if (!crystalPrimitives.empty()) {
        nodes += ",{\"name\":\"Crystals\",\"mesh\":1}";
        meshes += ",{\"name\":\"Crystals\",\"primitives\":[" + crystalPrimitives + "]}";
        sceneNodes += ",1";
    }
    std::string json = "{\"asset\":{\"version\":\"2.0\",\"generator\":\"Frimel\"},\"scene\":0,\"scenes\":[{\"nodes\":[" +
                       sceneNodes + "]}],\"nodes\":[" + nodes + "],\"meshes\":[" + meshes + "],\"materials\":[" +
                       materials + "],\"textures\":[" + gltfTextures + "],\"images\":[" + images +
                       "],\"samplers\":[{\"magFilter\":" + std::to_string(kNearest) +
                       ",\"minFilter\":" + std::to_string(kNearest) + "}],\"accessors\":[" + b.accessors +
                       "],\"bufferViews\":[" + b.views + "],\"buffers\":[{\"byteLength\":" +
                       std::to_string(b.bin.size()) + "}]}";
    while (json.size() % 4 != 0) json += ' ';

    std::vector<std::uint8_t> out;
    out.reserve(12 + 8 + json.size() + 8 + b.bin.size());
    putLittleEndian(out, 0x46546C67);  // "glTF"
    putLittleEndian(out, 2);
    putLittleEndian(out, static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + b.bin.size()));
    putLittleEndian(out, static_cast<std::uint32_t>(json.size()));
    putLittleEndian(out, 0x4E4F534A);  // "JSON"
    out.insert(out.end(), json.begin(), json.end());
    putLittleEndian(out, static_cast<std::uint32_t>(b.bin.size()));
    putLittleEndian(out, 0x004E4942);  // "BIN"
    out.insert(out.end(), b.bin.begin(), b.bin.end());
    return out;
}
