#include "sketch/sketch_text.h"

#include "sketch/png_text.h"
#include "sketch/sketch_codec.h"

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
constexpr std::string_view kFragmentKey = "sketch=";

int digitOf(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '-') return 62;
    if (c == '_') return 63;
    return -1;
}

}  // namespace

std::string textOfSketchBytes(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    text.reserve((bytes.size() * 4 + 2) / 3);
    std::uint32_t bits = 0;
    int held = 0;
    for (std::uint8_t b : bytes) {
        bits = bits << 8 | b;
        held += 8;
        while (held >= 6) {
            held -= 6;
            text.push_back(kAlphabet[(bits >> held) & 63]);
        }
    }
    if (held > 0) text.push_back(kAlphabet[(bits << (6 - held)) & 63]);
    return text;
}

namespace {

bool fromBase64Url(std::string_view text, std::vector<std::uint8_t>& bytes) {
    if (text.size() % 4 == 1) return false;  // no whole byte ends there
    bytes.clear();
    bytes.reserve(text.size() * 3 / 4);
    std::uint32_t bits = 0;
    int held = 0;
    for (char c : text) {
        const int digit = digitOf(c);
        if (digit < 0) return false;
        bits = bits << 6 | static_cast<std::uint32_t>(digit);
        held += 6;
        if (held >= 8) {
            held -= 8;
            bytes.push_back(static_cast<std::uint8_t>(bits >> held));
        }
    }
    return true;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}
}  // namespace

bool sketchToText(const Sketch& sketch, std::string& text, std::string& why) {
    std::vector<std::uint8_t> bytes;
    if (!encodeSketch(sketch, bytes, why)) return false;
    text = textOfSketchBytes(bytes);
    return true;
}

bool sketchFromText(std::string_view text, Sketch& out, std::string& why) {
    if (text.size() > kMaxSketchText) {
        why = "the sketch is too long to be one Frimel can hold";
        return false;
    }
    text = trimmed(text);
    const std::size_t hash = text.find('#');
    const bool isLink = hash != std::string_view::npos;
    if (isLink) text.remove_prefix(hash + 1);
    if (text.substr(0, kFragmentKey.size()) == kFragmentKey) {
        text.remove_prefix(kFragmentKey.size());
    } else if (isLink) {
        why = "the link holds no Frimel sketch";
        return false;
    }
    if (text.empty()) {
        why = "the sketch is empty";
        return false;
    }
    std::vector<std::uint8_t> bytes;
    if (!fromBase64Url(text, bytes)) {
        why = "the sketch holds characters that are not part of one, or is cut short";
        return false;
    }
    return decodeSketch(bytes.data(), bytes.size(), out, why);
}

bool sketchFromFile(const std::uint8_t* data, std::size_t size, Sketch& out, std::string& why) {
    if (!isPng(data, size)) {
        return sketchFromText(std::string_view(reinterpret_cast<const char*>(data), size), out, why);
    }
    std::string text;
    return findPngText(data, size, kSketchPngKeyword, kMaxSketchText, text, why) && sketchFromText(text, out, why);
}
