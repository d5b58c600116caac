#pragma once

// Single-key shortcuts; keys outside the table are ignored without a redisplay.
void keyboard(unsigned char key, int x, int y);

// Pop-up menu handlers, keyed by the entry values that buildMenus gives.
void mainMenu(int value);
void colorMenu(int value);
void complexityMenu(int value);
void depthMenu(int value);

// Builds the three submenus and the main menu and attaches the main menu to the right button.
void buildMenus();
