#pragma once

// Text chunks (tEXt) of PNG files: a picture carries its sketch in one, which viewers ignore.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

bool isPng(const std::uint8_t* data, std::size_t size);

// The text of the first tEXt chunk with this keyword. False, with the reason, when the file is
// not a whole PNG or holds no such chunk.
bool findPngText(const std::uint8_t* png, std::size_t size, const std::string& keyword, std::string& text,
                 std::string& why);

// The same PNG with the text in a tEXt chunk just before its end, in place of any chunk of the
// same keyword; every other chunk is kept as it was. False when png is not a whole PNG.
bool withPngText(const std::uint8_t* png, std::size_t size, const std::string& keyword, const std::string& text,
                 std::vector<std::uint8_t>& out);
