#pragma once

// The toolkit's display callback: one whole picture, then the buffer swap.
void display();

// Everything a frame does before the swap, with drawObjects drawing the placed objects
// (display passes drawCrystals).
void composeFrame(void (*drawObjects)());
