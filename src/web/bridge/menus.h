#pragma once

// The pop-up menus the program made through GLUT, as the page's own controls reach them.

using MenuHandler = void (*)(int);

// The handler of a menu, or null for an id no menu has.
MenuHandler menuHandler(int menu);
