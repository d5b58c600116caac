#pragma once

// The right button's menus as one table: every entry's label and value, which submenu it opens,
// and what kind of entry it is, so that the desktop's menus and any other control that shows
// them (the page's toolbar and pop-up) come from the same lines. Also the commands that only a
// key reaches, with the submenu they belong beside.

using MenuHandler = void (*)(int);

// What choosing an entry does, as a control shows it: a command, one of several settings (the
// one in force is marked), a setting switched on and off, or the end of the program.
enum class EntryKind { Command, Choice, Toggle, EndsProgram };

// How an entry or a key-only command stands now.
struct EntryShown {
    EntryKind kind;
    bool inForce;  // for Choice and Toggle: whether the setting it names is in force
};

// A command no menu has, shown beside the entries of the submenu whose handler is `row`.
struct KeyOnlyCommand {
    unsigned char key;
    const char* label;
    MenuHandler row;
};
constexpr int kKeyOnlyCommands = 3;
extern const KeyOnlyCommand keyOnlyCommands[kKeyOnlyCommands];

// The entry of the menu with this handler and value; kind Command for one no menu has.
EntryShown menuEntryShown(MenuHandler handler, int value);
// The same for a key-only command's key; kind Command for any other key.
EntryShown keyCommandShown(unsigned char key);
// The main menu's value for the entry naming the mode in force.
int modeEntryValue();

// Builds the three submenus and the main menu and attaches the main menu to the right button.
void buildMenus();
