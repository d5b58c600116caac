#pragma once

// Keeps the perspective projection and the recorded window size in step with the window.
void reshape(int width, int height);
