#pragma once

// Everything main does before handing control to the toolkit: start values, the window and
// its callbacks, the fixed GL state, the light, the eight textures, the menus and the quadric.
// Ends the process with status 1 when a bitmap cannot be loaded.
void startUp(int* argc, char** argv);
