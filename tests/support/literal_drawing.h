#pragma once

// The object pass as first designed: in a scene of N objects, each crystal's spike pass is
// drawn N times (the long pair at pass 1, the short pass at every other). Built from the
// program's own drawing pieces, to compare against drawCrystals, which draws each coincident
// cone once.
void drawCrystalsLiteral();

// A whole frame with the literal pass (no buffer swap).
void composeLiteralFrame();
