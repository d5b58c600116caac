#pragma once

// What the context was given, kept to give it again once a lost context is restored: every
// texture level as uploaded, every texture parameter, and the few settings made once at start.
// The backend records here what it is asked, and calls back for the levels a draw samples.

namespace webgl {

// Recorded only: a level reaches the context when a draw first samples its texture.
void keepLevel(unsigned name, int level, int internalFormat, int width, int height, unsigned format,
               unsigned type, const void* pixels, int alignment);
// Recorded, and sent to the context when it has one.
void keepParameter(unsigned name, unsigned pname, int value);
void sendParameter(unsigned name, unsigned pname, int value);
void keepClearColour(float r, float g, float b, float a);
void keepViewport(int x, int y, int width, int height);
void keepBlendFunction(unsigned source, unsigned destination);

// Sends the levels of the texture that the context does not have yet.
void sendPendingLevels(unsigned name);

// A restored context has nothing: every level is sent again when sampled, and the parameters
// and settings at once.
void giveKeptAgain();

// The backend's: binds the WebGL texture of a texture name, made on first use.
void bindName(unsigned name);

}  // namespace webgl
