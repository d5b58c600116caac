#pragma once

// An OpenGL context without a window or a display: Mesa draws into a framebuffer of our own.

#include <cstdint>
#include <string>

// Makes a context current that draws into a width x height picture with a depth buffer.
bool makeOffscreenPicture(int width, int height, std::string& why);

// The picture drawn into rgb, width * height * 3 bytes: RGB rows bottom first, as OpenGL reads
// them, so that the largest picture is held once.
void readOffscreenPicture(int width, int height, std::uint8_t* rgb);
