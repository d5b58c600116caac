#pragma once

// Takes the newest object out of the scene; removed objects stay alive for whatever points at them.
void undoLast();

// Empties the scene and returns to the opaque, unrotated placing view.
void clearScene();
