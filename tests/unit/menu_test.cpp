#include <gtest/gtest.h>

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/menu_entries.h"
#include "app/state.h"
#include "support/command_state.h"
#include "support/menu_recorder.h"
#include "support/test_window.h"

namespace {
void nothing() {}
void unchanged(CommandState&) {}

std::string printedBy(void (*handler)(int), int value) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    handler(value);
    return testing::internal::GetCapturedStdout();
}

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        startFrimelWindow();
        restoreStartSettings();
    }
    void TearDown() override { restoreStartSettings(); }
};

// --- The tree that start-up builds -------------------------------------------------------

struct ExpectedEntry {
    const char* label;
    int value;  // for a submenu: its position among the menus created before the main menu
    bool isSubmenu;
};

void expectEntries(const RecordedMenu& menu, const std::vector<ExpectedEntry>& expected,
                   const std::vector<RecordedMenu>& all) {
    ASSERT_EQ(menu.entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "position " << i + 1);
        const RecordedEntry& entry = menu.entries[i];
        EXPECT_EQ(entry.label, expected[i].label);
        EXPECT_EQ(entry.isSubmenu, expected[i].isSubmenu);
        const ExpectedEntry& want = expected[i];
        EXPECT_EQ(entry.value, want.isSubmenu ? all[want.value].id : want.value);
    }
}

int toolkitItemCount(int menu) {
    const int previous = glutGetMenu();
    glutSetMenu(menu);
    const int count = glutGet(GLUT_MENU_NUM_ITEMS);
    glutSetMenu(previous);
    return count;
}

TEST_F(MenuTest, StartUpBuildsThreeSubmenusThenTheMainMenu) {
    const std::vector<RecordedMenu>& menus = recordedMenus();
    ASSERT_EQ(menus.size(), 4u);
    EXPECT_EQ(menus[0].handler, &colorMenu);
    EXPECT_EQ(menus[1].handler, &complexityMenu);
    EXPECT_EQ(menus[2].handler, &depthMenu);
    EXPECT_EQ(menus[3].handler, &mainMenu);
    EXPECT_EQ(rightButtonMenu(), menus[3].id) << "the right button must open the main menu";

    expectEntries(menus[0],
                  {{"White", 0, false}, {"Blue", 1, false}, {"Green", 3, false},
                   {"Red", 2, false}, {"Purple", 4, false}},
                  menus);
    expectEntries(menus[1], {{"1D", 1, false}, {"2D", 2, false}, {"3D", 3, false}}, menus);
    expectEntries(menus[2], {{"0", 1, false}, {"1", 2, false}, {"2", 3, false}}, menus);
    expectEntries(menus[3],
                  {{"Draw Crystals (Y)", 1, false},
                   {"Draw Chunks (U)", 5, false},
                   {"Ice Color", 0, true},
                   {"Opaque (O)", 3, false},
                   {"Translucent (T)", 4, false},
                   {"Toggle Surface Texture (S)", 9, false},
                   {"Rotate Scene (R)", 2, false},
                   {"Crystal Complexity", 1, true},
                   {"Fractal Depth", 2, true},
                   {"Undo (Z)", 8, false},
                   {"Clear (C)", 0, false},
                   {"Exit (Q)", 6, false}},
                  menus);
}

TEST_F(MenuTest, ToolkitHoldsTheEntries) {
    const std::vector<RecordedMenu>& menus = recordedMenus();
    ASSERT_EQ(menus.size(), 4u);
    EXPECT_EQ(toolkitItemCount(menus[0].id), 5);
    EXPECT_EQ(toolkitItemCount(menus[1].id), 3);
    EXPECT_EQ(toolkitItemCount(menus[2].id), 3);
    EXPECT_EQ(toolkitItemCount(menus[3].id), 12);
}

// What the page's controls show of an entry must follow what choosing it does: a choice is in
// force once chosen, a toggle flips, and the same for the commands only a key reaches.
TEST_F(MenuTest, ChoosingAnEntryPutsWhatItShowsInForce) {
    int choices = 0, toggles = 0;
    for (const RecordedMenu& menu : recordedMenus()) {
        for (const RecordedEntry& entry : menu.entries) {
            if (entry.isSubmenu) continue;
            SCOPED_TRACE(entry.label);
            const EntryShown before = menuEntryShown(menu.handler, entry.value);
            if (before.kind != EntryKind::Choice && before.kind != EntryKind::Toggle) continue;
            printedBy(menu.handler, entry.value);
            const EntryShown after = menuEntryShown(menu.handler, entry.value);
            EXPECT_EQ(after.inForce, before.kind == EntryKind::Choice || !before.inForce);
            ++(before.kind == EntryKind::Choice ? choices : toggles);
        }
    }
    EXPECT_EQ(choices, 16) << "the colours, complexities, depths, both kinds, rotate and both blendings";
    EXPECT_EQ(toggles, 1);
    EXPECT_EQ(menuEntryShown(mainMenu, 6).kind, EntryKind::EndsProgram);
    EXPECT_EQ(menuEntryShown(mainMenu, 8).kind, EntryKind::Command);
    for (const KeyOnlyCommand& command : keyOnlyCommands) {
        SCOPED_TRACE(command.label);
        const EntryShown before = keyCommandShown(command.key);
        keyboard(command.key, 0, 0);
        EXPECT_EQ(keyCommandShown(command.key).inForce, before.kind == EntryKind::Choice || !before.inForce);
    }
}

// --- Main menu ---------------------------------------------------------------------------

TEST_F(MenuTest, DrawCrystalsAndChunksChooseTheKindAndLeaveRotateMode) {
    checkCommand([] { mainMenu(1); }, rotateAndTurnScene,
                 [](CommandState& s) { expectUnrotated(s); s.placeKind = 0; }, true);
    checkCommand([] { mainMenu(5); }, [] { placeKind = 0; rotateAndTurnScene(); },
                 [](CommandState& s) { expectUnrotated(s); s.placeKind = 1; }, true);
}

TEST_F(MenuTest, RotateSceneEntersRotateModeAndKeepsTheTurn) {
    checkCommand([] { mainMenu(2); }, nothing, [](CommandState& s) { s.rotateMode = 1; }, true);
    checkCommand([] { mainMenu(2); }, rotateAndTurnScene, unchanged, true);
}

TEST_F(MenuTest, OpaqueAndTranslucentSetBlending) {
    auto opaque = expectOpaque;
    auto translucentNow = [](CommandState& s) {
        s.translucent = 1.0f;
        s.blendEnabled = true;
    };
    checkCommand([] { mainMenu(3); }, makeTranslucent, opaque, true);
    checkCommand([] { mainMenu(3); }, nothing, opaque, true);
    checkCommand([] { mainMenu(4); }, nothing, translucentNow, true);
    checkCommand([] { mainMenu(4); }, makeTranslucent, translucentNow, true);
}

TEST_F(MenuTest, ToggleSurfaceTextureTogglesBothWays) {
    checkCommand([] { mainMenu(9); }, nothing, [](CommandState& s) { s.snowSurface = 1; }, true);
    checkCommand([] { mainMenu(9); }, [] { snowSurface = 1; },
                 [](CommandState& s) { s.snowSurface = 0; }, true);
}

TEST_F(MenuTest, UndoAndClearWorkOnTheScene) {
    checkCommand([] { mainMenu(8); }, [] { fillScene(2); },
                 [](CommandState& s) {
                     s.crystals.pop_back();
                     s.currentCrystal = s.crystals.back();
                 },
                 true);
    checkCommand([] { mainMenu(0); },
                 [] {
                     fillScene(2);
                     rotateAndTurnScene();
                     makeTranslucent();
                 },
                 [](CommandState& s) {
                     expectUnrotated(s);
                     expectOpaque(s);
                     s.crystals.clear();
                 },
                 true);
}

TEST_F(MenuTest, ModeLinesArePrintedByTheirEntriesOnly) {
    EXPECT_EQ(printedBy(mainMenu, 1), "Draw Crystals Mode\n");
    EXPECT_EQ(printedBy(mainMenu, 5), "Draw Chunks Mode\n");
    EXPECT_EQ(printedBy(mainMenu, 2), "Rotate Mode\n");
    for (int value : {0, 3, 4, 8, 9}) EXPECT_EQ(printedBy(mainMenu, value), "") << value;
    for (int value = 0; value < 5; ++value) EXPECT_EQ(printedBy(colorMenu, value), "");
    for (int value = 1; value < 4; ++value) {
        EXPECT_EQ(printedBy(complexityMenu, value), "");
        EXPECT_EQ(printedBy(depthMenu, value), "");
    }
}

// --- Submenus ----------------------------------------------------------------------------

TEST_F(MenuTest, ColourEntriesSetTheTextureOfLaterObjectsWithoutRedrawing) {
    const struct {
        int value;
        int texture;
    } rows[] = {{0, 7}, {1, 3}, {2, 4}, {3, 5}, {4, 6}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "colour value " << row.value);
        const int start = row.texture == 7 ? 3 : 7;
        checkCommand([&row] { colorMenu(row.value); }, [start] { crystalTexture = start; },
                     [&row](CommandState& s) { s.crystalTexture = row.texture; }, false);
    }
}

TEST_F(MenuTest, ColourLeavesPlacedObjectsAsTheyWere) {
    fillScene(3);
    std::vector<int> textures;
    for (const Crystal* c : crystals) textures.push_back(c->texture);
    colorMenu(1);
    for (size_t i = 0; i < crystals.size(); ++i) EXPECT_EQ(crystals[i]->texture, textures[i]);
}

TEST_F(MenuTest, ComplexityEntriesSetFixedCombinations) {
    const struct {
        int value;
        int armLayout;
        bool sideBranches;
    } rows[] = {{1, 0, false}, {2, 1, true}, {3, 0, true}};
    for (const auto& row : rows) {
        for (int startLayout : {0, 1}) {
            for (bool startBranches : {false, true}) {
                SCOPED_TRACE(testing::Message() << "value " << row.value << " from layout "
                                                << startLayout << ", branches " << startBranches);
                checkCommand([&row] { complexityMenu(row.value); },
                             [=] {
                                 armLayout = startLayout;
                                 sideBranches = startBranches;
                             },
                             [&row](CommandState& s) {
                                 s.armLayout = row.armLayout;
                                 s.sideBranches = row.sideBranches;
                             },
                             true);
            }
        }
    }
}

TEST_F(MenuTest, DepthEntriesSetTheFractalThreshold) {
    const struct {
        int value;
        float threshold;
    } rows[] = {{1, 0.49f}, {2, 0.24f}, {3, 0.12f}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "depth value " << row.value);
        checkCommand([&row] { depthMenu(row.value); }, [] { fractalThreshold = 0.06f; },
                     [&row](CommandState& s) { s.fractalThreshold = row.threshold; }, true);
    }
}

TEST_F(MenuTest, ValuesNoEntrySendsAreIgnoredWithoutRedrawing) {
    auto away = [] {
        fillScene(2);
        rotateAndTurnScene();
        makeTranslucent();
        placeKind = 0;
        fractalThreshold = 0.06f;
    };
    for (int value : {-1, 7, 10, 11, 100}) {
        SCOPED_TRACE(testing::Message() << "main menu value " << value);
        checkCommand([value] { mainMenu(value); }, away, unchanged, false);
    }
    for (int value : {-1, 5, 6, 7}) {
        SCOPED_TRACE(testing::Message() << "colour value " << value);
        checkCommand([value] { colorMenu(value); }, away, unchanged, false);
    }
    for (int value : {-1, 0, 4}) {
        SCOPED_TRACE(testing::Message() << "complexity and depth value " << value);
        checkCommand([value] { complexityMenu(value); }, away, unchanged, false);
        checkCommand([value] { depthMenu(value); }, away, unchanged, false);
    }
}

// A frame drawn after the command would end the process with another status.
void frameEndsTheProcess() { std::_Exit(4); }

void exitFromMenu() {
    startFrimelWindow();
    glutDisplayFunc(frameEndsTheProcess);
    glutPostRedisplay();
    mainMenu(6);
    pumpEvents();
    std::exit(3);
}

TEST(ExitEntry, EndsTheProcessWithStatusZeroWithoutDrawing) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exitFromMenu(), testing::ExitedWithCode(0), "");
}
}  // namespace
