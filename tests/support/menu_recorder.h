#pragma once

#include <string>
#include <vector>

// freeglut keeps no way to read a menu's labels and values back, so the test program stands
// in front of the toolkit's menu-building calls, notes each one and passes it on unchanged.

struct RecordedEntry {
    std::string label;
    int value;        // entry value, or the submenu's id
    bool isSubmenu;
};

struct RecordedMenu {
    int id;
    void (*handler)(int);
    std::vector<RecordedEntry> entries;
};

// Menus in creation order.
const std::vector<RecordedMenu>& recordedMenus();

// Id of the menu that was current when it was attached to the right button, or 0.
int rightButtonMenu();
