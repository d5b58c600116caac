// GLUT's pop-up menus, which emscripten's GLUT lacks. The handlers stay here; each menu's
// entries are mirrored into Module.glutMenus with what kind of entry each is, and beside a
// submenu's entries the commands only a key reaches that belong with them. The page's pop-up and
// toolbar are built from that alone, report a choice through frimel_menu_choose and ask which
// settings are in force through frimel_entry_in_force and frimel_key_in_force.

#include <GL/glut.h>
#include <emscripten.h>

#include <vector>

#include "app/menu_entries.h"
#include "app/state.h"

namespace {
std::vector<MenuHandler> handlers;  // menu id - 1
int currentMenu = 0;

EM_JS(void, mirrorMenu, (int menu), {
    Module.glutMenus = Module.glutMenus || {menus: {}, keys: {}, buttons: {}};
    Module.glutMenus.menus[menu] = [];
    Module.glutMenus.keys[menu] = [];
});

EM_JS(void, mirrorEntry, (int menu, const char* label, int value, int submenu, const char* kind), {
    Module.glutMenus.menus[menu].push(
        {label: UTF8ToString(label), value: value, submenu: submenu, kind: UTF8ToString(kind)});
});

EM_JS(void, mirrorKeyCommand, (int menu, const char* label, int key, const char* kind), {
    Module.glutMenus.keys[menu].push({label: UTF8ToString(label), key: String.fromCharCode(key), kind: UTF8ToString(kind)});
});

EM_JS(void, mirrorAttachment, (int button, int menu), { Module.glutMenus.buttons[button] = menu; });

// The names the page's scripts know an entry's kind by.
const char* kindName(EntryKind kind) {
    switch (kind) {
    case EntryKind::Choice: return "choice";
    case EntryKind::Toggle: return "toggle";
    case EntryKind::EndsProgram: return "end";
    case EntryKind::Command: break;
    }
    return "command";
}

bool known(int menu) { return menu >= 1 && menu <= static_cast<int>(handlers.size()); }
}  // namespace

extern "C" {

int glutCreateMenu(void (*handler)(int)) {
    handlers.push_back(handler);
    currentMenu = static_cast<int>(handlers.size());
    mirrorMenu(currentMenu);
    for (const KeyOnlyCommand& command : keyOnlyCommands) {
        if (command.row != handler) continue;
        mirrorKeyCommand(currentMenu, command.label, command.key, kindName(keyCommandShown(command.key).kind));
    }
    return currentMenu;
}

int glutGetMenu() { return currentMenu; }

void glutSetMenu(int menu) {
    if (known(menu)) currentMenu = menu;
}

void glutAddMenuEntry(const char* label, int value) {
    if (!known(currentMenu)) return;
    const EntryKind kind = menuEntryShown(handlers[currentMenu - 1], value).kind;
    mirrorEntry(currentMenu, label, value, 0, kindName(kind));
}

void glutAddSubMenu(const char* label, int submenu) {
    if (known(currentMenu) && known(submenu)) mirrorEntry(currentMenu, label, 0, submenu, "submenu");
}

void glutAttachMenu(int button) {
    if (known(currentMenu)) mirrorAttachment(button, currentMenu);
}

// As in GLUT, the chosen menu is the current one while its handler runs.
EMSCRIPTEN_KEEPALIVE void frimel_menu_choose(int menu, int value) {
    if (!known(menu)) return;
    const int before = currentMenu;
    currentMenu = menu;
    handlers[menu - 1](value);
    currentMenu = before;
}

// Whether the setting an entry, or a key-only command, names is in force (0 for commands).
EMSCRIPTEN_KEEPALIVE int frimel_entry_in_force(int menu, int value) {
    return known(menu) && menuEntryShown(handlers[menu - 1], value).inForce ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int frimel_key_in_force(int key) {
    return key > 0 && key < 256 && keyCommandShown(static_cast<unsigned char>(key)).inForce ? 1 : 0;
}

// The main menu's value for the entry naming the mode in force (the page shows its label).
EMSCRIPTEN_KEEPALIVE int frimel_mode() { return modeEntryValue(); }

}  // extern "C"
