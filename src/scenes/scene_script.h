#pragma once

// Scenes as text, so the desktop and the browser build the same scene from the same script
// through Frimel's own handlers. Commands are separated by newlines or ';'; '#' starts a
// comment that runs to the end of the line. Numbers are ints; positions are toolkit pixels,
// rows counted from the top.
//
//   key C          keyboard(C, 0, 0)
//   press X Y      left button down at (X, Y); release X Y: left button up
//   move X Y       one motion event
//   hold N         N motion events where the pointer last was (the button held still)
//   idle N         N idle steps
//   srand N        seeds the random lean of chunks
//   frames N       N frames drawn by display()
//   settle         frames until the newest object has rested (allGrown three frames running)
//   rest           every object at once as far grown as it can rest, as the cone bound sees it
//   grid N         N clicks on a grid over the bank; mixedgrid N alternates crystals and chunks
//   stroke N HOLD  a drag left to right placing N objects, held still HOLD events at each
//   complexity N   the Crystal Complexity menu's entry N: 1 no arms, 2 two a side, 3 four
//
// Unknown or malformed commands are reported on standard error and skipped.

// True when every command was understood and every settle came to rest.
bool replayScene(const char* script);

// The same, for the browser page to call.
extern "C" void frimel_replay(const char* script);
