#pragma once

// A sketch as text, for links, storage and files: its bytes in base64url (A-Z, a-z, 0-9, '-'
// and '_', no padding), which needs no escaping in a URL's fragment. A link carries it as
// "#sketch=TEXT"; a sketch file holds the text or a whole link.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sketch/sketch.h"

// The keyword of the PNG text chunk that carries a picture's sketch.
inline constexpr const char* kSketchPngKeyword = "frimel-sketch";
// Longer texts are not read at all: no sketch Frimel can hold needs that much.
constexpr std::size_t kMaxSketchText = 16u << 20;

bool sketchToText(const Sketch& sketch, std::string& text, std::string& why);
// The text of a sketch's bytes as they are.
std::string textOfSketchBytes(const std::vector<std::uint8_t>& bytes);

// Accepts the text alone, "sketch=TEXT", or a link whose fragment is "#sketch=TEXT", with
// white space around it.
bool sketchFromText(std::string_view text, Sketch& out, std::string& why);

// A saved picture (a PNG carrying the sketch in its text chunk) or a sketch file.
bool sketchFromFile(const std::uint8_t* data, std::size_t size, Sketch& out, std::string& why);
