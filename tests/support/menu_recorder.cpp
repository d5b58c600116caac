#include "support/menu_recorder.h"

#include <GL/glut.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace {
std::vector<RecordedMenu>& menus() {
    static std::vector<RecordedMenu> all;
    return all;
}

int attachedRight = 0;

// The toolkit's own definition of a function this file stands in front of.
template <typename F>
F toolkitFunction(const char* name) {
    void* f = dlsym(RTLD_NEXT, name);
    if (f == nullptr) {
        std::fprintf(stderr, "menu recorder: the toolkit has no %s\n", name);
        std::abort();
    }
    return reinterpret_cast<F>(f);
}

void record(const char* label, int value, bool isSubmenu) {
    const int current = glutGetMenu();
    for (RecordedMenu& m : menus()) {
        if (m.id == current) m.entries.push_back({label, value, isSubmenu});
    }
}
}  // namespace

const std::vector<RecordedMenu>& recordedMenus() { return menus(); }

int rightButtonMenu() { return attachedRight; }

extern "C" {
int glutCreateMenu(void (*callback)(int)) {
    static const auto real = toolkitFunction<int (*)(void (*)(int))>("glutCreateMenu");
    const int id = real(callback);
    menus().push_back({id, callback, {}});
    return id;
}

void glutAddMenuEntry(const char* label, int value) {
    static const auto real = toolkitFunction<void (*)(const char*, int)>("glutAddMenuEntry");
    real(label, value);
    record(label, value, false);
}

void glutAddSubMenu(const char* label, int subMenu) {
    static const auto real = toolkitFunction<void (*)(const char*, int)>("glutAddSubMenu");
    real(label, subMenu);
    record(label, subMenu, true);
}

void glutAttachMenu(int button) {
    static const auto real = toolkitFunction<void (*)(int)>("glutAttachMenu");
    real(button);
    if (button == GLUT_RIGHT_BUTTON) attachedRight = glutGetMenu();
}
}
