#pragma once

#include "model/crystal.h"

// One frame's growth of one object: each active level closes 4 % of its gap to maxSize.
void growCrystal(Crystal* c);

// Sets allGrown from the newest object, before a frame grows anything: grown once the growth
// step would change nothing more (an empty scene is grown).
void updateAllGrown();
