#pragma once

// An OpenGL context without a window or a display: Mesa draws into a framebuffer of our own.

#include <cstdint>
#include <string>
#include <vector>

// Makes a context current that draws into a width x height picture with a depth buffer.
bool makeOffscreenPicture(int width, int height, std::string& why);

// The picture drawn, RGB rows top first.
std::vector<std::uint8_t> readOffscreenPicture(int width, int height);
