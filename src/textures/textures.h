#pragma once

// Fixed texture names, used directly and never obtained from OpenGL.
constexpr unsigned kBlankTexture = 0;
constexpr unsigned kBackdropTexture = 1;  // "background.bmp"
constexpr unsigned kWhiteTexture = 2;     // "white.bmp"
constexpr unsigned kBlueIceTexture = 3;   // "ice.bmp"
constexpr unsigned kRedIceTexture = 4;    // "ice2.bmp"
constexpr unsigned kGreenIceTexture = 5;  // "ice3.bmp"
constexpr unsigned kPurpleIceTexture = 6; // "ice4.bmp"
constexpr unsigned kWhiteIceTexture = 7;  // "ice5.bmp"
constexpr unsigned kSnowTexture = 8;      // "snow.bmp"

// The bitmaps read at start-up, in loading order; entry i becomes texture name i + 1.
extern const char* const bitmapFileNames[8];

// Texture name 0: a 64 x 64 placeholder that nothing draws with.
void initBlankTexture();
// Reads a bitmap into a mipmapped texture, or ends the process with status 1.
void loadTexture(const char* fileName, int textureName);
// Loads all eight bitmaps into names 1 to 8, in order.
void loadAllTextures();
