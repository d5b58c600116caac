#pragma once

// Single-key shortcuts; keys outside the table are ignored without a redisplay.
void keyboard(unsigned char key, int x, int y);

// Pop-up menu handlers, keyed by the entry values of the menus' table (app/menu_entries.h).
void mainMenu(int value);
void colorMenu(int value);
void complexityMenu(int value);
void depthMenu(int value);

// What the submenus' entries set, by entry value: a texture name (-1: no such entry), an arm
// layout with side arms on or off (false: none), a fractal threshold (0: none).
int colorTexture(int value);
bool complexitySetting(int value, int& armLayout, bool& sideBranches);
float depthThreshold(int value);
// The fractal threshold the keys "1" to "4" set (0: another key).
float depthKeyThreshold(unsigned char key);
