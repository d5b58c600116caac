#pragma once

// Toolkit pointer handlers: the left button places objects, or feeds the trackball in rotate mode.
void mouse(int button, int state, int x, int y);
void motion(int x, int y);

// The idle step: the hold-to-grow boost, and more frames while the newest object grows.
void idle();

// Whether the idle step enlarges the held object: the button is held for placing, and the hold
// has not met the frame's bound.
bool holdBoosts();
