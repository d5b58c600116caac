#pragma once

// The sketch to draw, from a link, a sketch file or a picture saved by the page.

#include <string>

#include "sketch/sketch.h"

// Files are looked at before anything is read: only a regular file is opened, a picture is read
// a chunk at a time, and a sketch file no longer than the longest sketch text is read whole.
// False, with the reason, when there is no sketch to draw.
bool readSketchArgument(const std::string& source, Sketch& sketch, std::string& why);
