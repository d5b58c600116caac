#include "sketch/threemf_writer.h"

#include <cstdio>
#include <string>

#include "sketch/zip_stored.h"

namespace {
// Coordinates stay below 10^4 mm and indices below 10^8, so lines stay within these.
constexpr std::uint64_t kVertexLine = 64, kTriangleLine = 64, kPackageOverhead = 4096;

const char* const kContentTypes =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"model\" ContentType=\"application/vnd.ms-package.3dmanufacturing-3dmodel+xml\"/>"
    "</Types>\n";

const char* const kRelationships =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Target=\"/3D/3dmodel.model\" Id=\"rel0\" "
    "Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/>"
    "</Relationships>\n";

void appendVertex(std::string& xml, const Vec3& p) {
    char line[kVertexLine * 2];
    std::snprintf(line, sizeof line, "<vertex x=\"%.5f\" y=\"%.5f\" z=\"%.5f\"/>\n", p.x, p.y, p.z);
    xml += line;
}

void appendTriangle(std::string& xml, const std::array<std::uint32_t, 3>& t) {
    char line[kTriangleLine * 2];
    std::snprintf(line, sizeof line, "<triangle v1=\"%u\" v2=\"%u\" v3=\"%u\"/>\n", t[0], t[1], t[2]);
    xml += line;
}
}  // namespace

std::uint64_t threeMfBytesAtMost(const PrintModel& model) {
    std::uint64_t bytes = kPackageOverhead;
    for (const PrintPart& part : model.parts) {
        bytes += 256 + part.mesh.points.size() * kVertexLine + part.mesh.triangles.size() * kTriangleLine;
    }
    return bytes;
}

std::vector<std::uint8_t> writeThreeMf(const PrintModel& model) {
    std::string xml;
    xml.reserve(static_cast<std::size_t>(threeMfBytesAtMost(model)));
    xml += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<model unit=\"millimeter\" xml:lang=\"en-US\" "
           "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n"
           "<metadata name=\"Application\">Frimel</metadata>\n<resources>\n";
    for (std::size_t i = 0; i < model.parts.size(); ++i) {
        const PrintPart& part = model.parts[i];
        xml += "<object id=\"" + std::to_string(i + 1) + "\" type=\"model\" name=\"Part " + std::to_string(i + 1) +
               "\">\n<mesh>\n<vertices>\n";
        for (const Vec3& p : part.mesh.points) appendVertex(xml, p);
        xml += "</vertices>\n<triangles>\n";
        for (const auto& t : part.mesh.triangles) appendTriangle(xml, t);
        xml += "</triangles>\n</mesh>\n</object>\n";
    }
    xml += "</resources>\n<build>\n";
    for (std::size_t i = 0; i < model.parts.size(); ++i) xml += "<item objectid=\"" + std::to_string(i + 1) + "\"/>\n";
    xml += "</build>\n</model>\n";
    return storedZip({{"[Content_Types].xml", kContentTypes}, {"_rels/.rels", kRelationships}, {"3D/3dmodel.model", xml}});
}
