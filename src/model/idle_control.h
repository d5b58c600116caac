#pragma once

// The idle step only does work while the button is held for placing or the newest object grows.
// Outside those times Frimel asks the toolkit for no idle calls, so it does not spin a core.
bool idleStepNeeded();
// Registers the idle handler unconditionally, as start-up does.
void registerIdle();
// Registers the idle handler if the idle step has work to do.
void requestIdleWhileNeeded();
// Unregisters it once the idle step has nothing left to do.
void stopIdleWhenResting();
