#pragma once

// Everything main does before handing control to the toolkit: start values, the window and
// its callbacks, the fixed GL state, the light, the eight textures, the menus and the quadric.
// Ends the process with status 1 when a bitmap cannot be loaded.
void startUp(int* argc, char** argv);

// The halves of start-up that drawing needs, with or without a window: the fixed GL state, the
// light and the eight textures (ending the process when a bitmap cannot be loaded); the quadric.
void setUpDrawing();
void createQuadric();
