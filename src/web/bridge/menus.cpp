// GLUT's pop-up menus, which emscripten's GLUT lacks. The handlers stay here; each menu's
// entries are mirrored into Module.glutMenus, where the page's menu script builds the pop-up
// and reports a choice through frimel_menu_choose.

#include <GL/glut.h>
#include <emscripten.h>

#include <vector>

#include "web/bridge/menus.h"

namespace {
std::vector<MenuHandler> handlers;  // menu id - 1
int currentMenu = 0;

EM_JS(void, mirrorMenu, (int menu), {
    Module.glutMenus = Module.glutMenus || {menus: {}, buttons: {}};
    Module.glutMenus.menus[menu] = [];
});

EM_JS(void, mirrorEntry, (int menu, const char* label, int value, int submenu), {
    Module.glutMenus.menus[menu].push({label: UTF8ToString(label), value: value, submenu: submenu});
});

EM_JS(void, mirrorAttachment, (int button, int menu), { Module.glutMenus.buttons[button] = menu; });

bool known(int menu) { return menu >= 1 && menu <= static_cast<int>(handlers.size()); }
}  // namespace

MenuHandler menuHandler(int menu) { return known(menu) ? handlers[menu - 1] : nullptr; }

extern "C" {

int glutCreateMenu(void (*handler)(int)) {
    handlers.push_back(handler);
    currentMenu = static_cast<int>(handlers.size());
    mirrorMenu(currentMenu);
    return currentMenu;
}

int glutGetMenu() { return currentMenu; }

void glutSetMenu(int menu) {
    if (known(menu)) currentMenu = menu;
}

void glutAddMenuEntry(const char* label, int value) {
    if (known(currentMenu)) mirrorEntry(currentMenu, label, value, 0);
}

void glutAddSubMenu(const char* label, int submenu) {
    if (known(currentMenu) && known(submenu)) mirrorEntry(currentMenu, label, 0, submenu);
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

}  // extern "C"
