#include "app/menu_entries.h"

#include <GL/glut.h>

#include "app/commands.h"
#include "app/state.h"

namespace {
struct SubmenuEntry {
    const char* label;
    int value;
};

const SubmenuEntry kColorEntries[] = {{"White", 0}, {"Blue", 1}, {"Green", 3}, {"Red", 2}, {"Purple", 4}};
const SubmenuEntry kComplexityEntries[] = {{"1D", 1}, {"2D", 2}, {"3D", 3}};
const SubmenuEntry kDepthEntries[] = {{"0", 1}, {"1", 2}, {"2", 3}};

enum Submenu { kNoSubmenu, kColorSubmenu, kComplexitySubmenu, kDepthSubmenu, kSubmenus };

struct MainEntry {
    const char* label;
    int value;
    EntryKind kind;
    bool (*inForce)();  // null but for Choice and Toggle
    Submenu submenu;
};

bool drawingCrystals() { return rotateMode == 0 && placeKind == 0; }
bool drawingChunks() { return rotateMode == 0 && placeKind == 1; }
bool rotating() { return rotateMode != 0; }
bool opaque() { return translucent == 0.0f; }
bool seeThrough() { return translucent != 0.0f; }
bool snowTextured() { return snowSurface != 0; }

const MainEntry kMainEntries[] = {
    {"Draw Crystals (Y)", 1, EntryKind::Choice, drawingCrystals, kNoSubmenu},
    {"Draw Chunks (U)", 5, EntryKind::Choice, drawingChunks, kNoSubmenu},
    {"Ice Color", 0, EntryKind::Command, nullptr, kColorSubmenu},
    {"Opaque (O)", 3, EntryKind::Choice, opaque, kNoSubmenu},
    {"Translucent (T)", 4, EntryKind::Choice, seeThrough, kNoSubmenu},
    {"Toggle Surface Texture (S)", 9, EntryKind::Toggle, snowTextured, kNoSubmenu},
    {"Rotate Scene (R)", 2, EntryKind::Choice, rotating, kNoSubmenu},
    {"Crystal Complexity", 0, EntryKind::Command, nullptr, kComplexitySubmenu},
    {"Fractal Depth", 0, EntryKind::Command, nullptr, kDepthSubmenu},
    {"Undo (Z)", 8, EntryKind::Command, nullptr, kNoSubmenu},
    {"Clear (C)", 0, EntryKind::Command, nullptr, kNoSubmenu},
    {"Exit (Q)", 6, EntryKind::EndsProgram, nullptr, kNoSubmenu},
};

template <int N>
int addSubmenu(MenuHandler handler, const SubmenuEntry (&entries)[N]) {
    const int id = glutCreateMenu(handler);
    for (const SubmenuEntry& entry : entries) glutAddMenuEntry(entry.label, entry.value);
    return id;
}

template <int N>
bool hasValue(const SubmenuEntry (&entries)[N], int value) {
    for (const SubmenuEntry& entry : entries) {
        if (entry.value == value) return true;
    }
    return false;
}

EntryShown choice(bool inForce) { return {EntryKind::Choice, inForce}; }
constexpr EntryShown kCommand = {EntryKind::Command, false};

bool complexityInForce(int value) {
    int layout = 0;
    bool arms = false;
    return complexitySetting(value, layout, arms) && layout == armLayout && arms == sideBranches;
}
}  // namespace

const KeyOnlyCommand keyOnlyCommands[kKeyOnlyCommands] = {
    {'b', "Side Arms (B)", complexityMenu},
    {'d', "Four a Side (D)", complexityMenu},
    {'4', "3 (4)", depthMenu},
};

EntryShown menuEntryShown(MenuHandler handler, int value) {
    if (handler == mainMenu) {
        for (const MainEntry& entry : kMainEntries) {
            if (entry.submenu == kNoSubmenu && entry.value == value) {
                return {entry.kind, entry.inForce != nullptr && entry.inForce()};
            }
        }
    } else if (handler == colorMenu && hasValue(kColorEntries, value)) {
        return choice(colorTexture(value) == crystalTexture);
    } else if (handler == complexityMenu && hasValue(kComplexityEntries, value)) {
        return choice(complexityInForce(value));
    } else if (handler == depthMenu && hasValue(kDepthEntries, value)) {
        return choice(depthThreshold(value) == fractalThreshold);
    }
    return kCommand;
}

EntryShown keyCommandShown(unsigned char key) {
    switch (key) {
    case '4': return choice(fractalThreshold == depthKeyThreshold('4'));
    case 'b': return {EntryKind::Toggle, sideBranches};
    case 'd': return {EntryKind::Toggle, armLayout == 0};
    default: return kCommand;
    }
}

int modeEntryValue() {
    bool (*const mode)() = rotating() ? rotating : placeKind == 0 ? drawingCrystals : drawingChunks;
    for (const MainEntry& entry : kMainEntries) {
        if (entry.inForce == mode) return entry.value;
    }
    return 0;
}

void buildMenus() {
    int submenuIds[kSubmenus] = {};
    submenuIds[kColorSubmenu] = addSubmenu(colorMenu, kColorEntries);
    submenuIds[kComplexitySubmenu] = addSubmenu(complexityMenu, kComplexityEntries);
    submenuIds[kDepthSubmenu] = addSubmenu(depthMenu, kDepthEntries);

    glutCreateMenu(mainMenu);
    for (const MainEntry& entry : kMainEntries) {
        if (entry.submenu == kNoSubmenu) {
            glutAddMenuEntry(entry.label, entry.value);
        } else {
            glutAddSubMenu(entry.label, submenuIds[entry.submenu]);
        }
    }
    glutAttachMenu(GLUT_RIGHT_BUTTON);
}
