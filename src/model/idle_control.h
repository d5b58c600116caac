#pragma once

// The idle step only does work while the button is held for placing or the newest object grows.
// Outside those times Frimel asks the toolkit for no idle calls, so it does not spin a core.
// Whatever can make the step needed re-arms it: a press or drag, and every frame (each command
// that changes the scene or a mode asks for one), which is also the only place allGrown clears.
bool idleStepNeeded();
// Registers the idle handler unconditionally, as start-up does.
void registerIdle();
// Registers the idle handler if the idle step has work to do.
void requestIdleWhileNeeded();
// Unregisters it once the idle step has nothing left to do.
void stopIdleWhenResting();
// How many idle calls the toolkit has delivered so far; a program at rest adds none.
long toolkitIdleCalls();
