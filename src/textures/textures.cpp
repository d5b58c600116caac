#include "textures/textures.h"

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <new>

#include "textures/bitmap.h"
#include "textures/bitmap_names.h"

namespace {
constexpr const char* kListedBitmaps[] = {FRIMEL_BITMAP_NAMES};
static_assert(std::size(kListedBitmaps) == 8, "eight bitmaps, one for each texture name from 1");
}  // namespace

const char* const bitmapFileNames[8] = {FRIMEL_BITMAP_NAMES};

void initBlankTexture() {
    glBindTexture(GL_TEXTURE_2D, kBlankTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 64, 64, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
}

void loadTexture(const char* fileName, int textureName) {
    Image* image = new (std::nothrow) Image();
    if (image == nullptr) {
        std::printf("Error allocating space for image");
        std::exit(1);
    }
    std::cout << "trying to load " << fileName << std::endl;
    if (!loadBitmap(fileName, *image)) std::exit(1);

    glBindTexture(GL_TEXTURE_2D, textureName);
    // Rows keep their 4-byte padding, which the default unpack alignment expects.
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->width, image->height, GL_RGB, GL_UNSIGNED_BYTE,
                      image->pixels.get());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    delete image;
}

void loadAllTextures() {
    for (int i = 0; i < 8; ++i) loadTexture(bitmapFileNames[i], i + 1);
}
