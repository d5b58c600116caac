#pragma once

// Text chunks (tEXt) of PNG files: a picture carries its sketch in one, which viewers ignore.
// The chunks are walked one by one; only the position of the one wanted is kept.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

bool isPng(const std::uint8_t* data, std::size_t size);

// The text of the first tEXt chunk with this keyword. False, with the reason, when the file is
// not a whole PNG, holds no such chunk, or that chunk's check sum does not match. A text longer
// than largestText is refused before it is copied.
bool findPngText(const std::uint8_t* png, std::size_t size, const std::string& keyword, std::size_t largestText,
                 std::string& text, std::string& why);

// The same from an open file of this size, read where the walk looks: the chunks' headers and
// the text's own chunk, so that a picture of any size costs little. A text longer than
// largestText is refused before it is read.
bool findPngTextInFile(int fd, std::uint64_t size, const std::string& keyword, std::size_t largestText,
                       std::string& text, std::string& why);

// Big-endian, as every number of a PNG is written.
void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value);

// A chunk of this type (four letters) and data, added to out with its length and check sum.
void appendPngChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data);

// The signature and the header chunk of an 8-bit RGB picture of this size.
std::vector<std::uint8_t> pngStart(int width, int height);

// A tEXt chunk of the keyword and text, added to out.
void appendPngText(std::vector<std::uint8_t>& out, const std::string& keyword, const std::string& text);

// The same PNG with the text in a tEXt chunk just before its end, in place of any chunk of the
// same keyword; every other chunk is kept as it was. False, out untouched, when png is not a
// whole PNG.
bool withPngText(const std::uint8_t* png, std::size_t size, const std::string& keyword, const std::string& text,
                 std::vector<std::uint8_t>& out);
