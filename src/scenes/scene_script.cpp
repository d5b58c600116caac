#include "scenes/scene_script.h"

#include <GL/glut.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/state.h"
#include "model/lean_random.h"
#include "model/placement.h"
#include "render/cone_count.h"
#include "render/crystal_shape.h"
#include "render/frame.h"

namespace {
// Where the pointer last was, for hold.
int pointerX = 0;
int pointerY = 0;

void press(int x, int y) {
    pointerX = x;
    pointerY = y;
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, x, y);
}

void release(int x, int y) {
    pointerX = x;
    pointerY = y;
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, x, y);
}

void move(int x, int y) {
    pointerX = x;
    pointerY = y;
    motion(x, y);
}

void hold(int steps) {
    for (int i = 0; i < steps; ++i) motion(pointerX, pointerY);
}

// Clicks on a grid of about `count` cells spread over the same part of the bank for every count.
void clickGrid(int count, bool alternateChunks) {
    const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
    const int rows = (count + columns - 1) / columns;
    for (int i = 0; i < count; ++i) {
        if (alternateChunks) keyboard(i % 2 == 0 ? 'y' : 'u', 0, 0);
        const int x = 110 + (380 * (i % columns)) / std::max(1, columns - 1);
        const int y = 150 + (330 * (i / columns)) / std::max(1, rows - 1);
        press(x, y);
        release(x, y);
    }
}

// One stroke left to right, held still at every object so it can swell past the size at
// which branches appear.
void dragStroke(int count, int holdSteps) {
    const int y = 330;
    int x = 130;
    press(x, y);
    hold(holdSteps);
    for (int i = 1; i < count; ++i) {
        x += 12;
        move(x, y);
        hold(holdSteps);
    }
    release(x, y);
}

// An empty scene is at rest already: nothing can grow.
bool settle() {
    if (crystals.empty()) return true;
    int restingFrames = 0;
    for (int frame = 0; frame < 20000 && restingFrames < 3; ++frame) {
        display();
        restingFrames = allGrown ? restingFrames + 1 : 0;
    }
    return restingFrames >= 3;
}

// Every object at once as the cone bound foresees it at rest, each level grown as far as growth
// may take it: the costliest frame the scene can come to, without the hundreds of frames that
// growing there takes.
bool restAtOnce() {
    const ShapeSettings settings = settingsInForce();
    const std::size_t count = crystals.size();
    for (std::size_t i = 0; i < count; ++i) {
        Crystal rest;
        copyForRest(*crystals[i], rest);
        settleAtRest(rest, *crystals[i == 0 ? 0 : i - 1], count > 1, settings, kFrameConeBound);
        std::copy(std::begin(rest.growth), std::end(rest.growth), crystals[i]->growth);
        crystals[i]->level = rest.level;
    }
    allGrown = true;
    return true;
}

void repeat(int times, void (*step)()) {
    for (int i = 0; i < times; ++i) step();
}

// A command with only int arguments; false when it did not do what it was asked.
struct Command {
    const char* name;
    int argumentCount;
    bool (*run)(const int* a);
};

const Command kCommands[] = {
    {"press", 2, [](const int* a) { press(a[0], a[1]); return true; }},
    {"release", 2, [](const int* a) { release(a[0], a[1]); return true; }},
    {"move", 2, [](const int* a) { move(a[0], a[1]); return true; }},
    {"hold", 1, [](const int* a) { hold(a[0]); return true; }},
    {"idle", 1, [](const int* a) { repeat(a[0], idle); return true; }},
    {"srand", 1, [](const int* a) { seedLean(static_cast<unsigned>(a[0])); return true; }},
    {"frames", 1, [](const int* a) { repeat(a[0], display); return true; }},
    {"settle", 0, [](const int*) { return settle(); }},
    {"rest", 0, [](const int*) { return restAtOnce(); }},
    {"grid", 1, [](const int* a) { clickGrid(a[0], false); return true; }},
    {"mixedgrid", 1, [](const int* a) { clickGrid(a[0], true); return true; }},
    {"stroke", 2, [](const int* a) { dragStroke(a[0], a[1]); return true; }},
    {"complexity", 1, [](const int* a) { complexityMenu(a[0]); return true; }},
};

bool parseInt(const std::string& word, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(word.c_str(), &end, 10);
    if (word.empty() || *end != '\0' || parsed < -1000000000L || parsed > 1000000000L) return false;
    value = static_cast<int>(parsed);
    return true;
}

std::vector<std::string> splitWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text + ' ') {
        if (c == ' ' || c == '\t' || c == '\r') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

bool complain(const std::string& text, const char* why) {
    std::fprintf(stderr, "scene: %s: %s\n", why, text.c_str());
    return false;
}

bool runCommand(const std::string& text) {
    const std::vector<std::string> words = splitWords(text);
    if (words.empty()) return true;
    if (words[0] == "key") {
        if (words.size() != 2 || words[1].size() != 1) return complain(text, "key wants one character");
        keyboard(static_cast<unsigned char>(words[1][0]), 0, 0);
        return true;
    }
    for (const Command& command : kCommands) {
        if (words[0] != command.name) continue;
        int arguments[2] = {0, 0};
        bool wellFormed = static_cast<int>(words.size()) == command.argumentCount + 1;
        for (int i = 0; wellFormed && i < command.argumentCount; ++i) {
            wellFormed = parseInt(words[i + 1], arguments[i]);
        }
        if (!wellFormed) return complain(text, "wrong arguments, skipped");
        return command.run(arguments) || complain(text, "did not come to rest");
    }
    return complain(text, "unknown command, skipped");
}
}  // namespace

bool replayScene(const char* script) {
    bool allDone = true;
    std::string command;
    bool inComment = false;
    for (const char* p = script;; ++p) {
        const char c = *p;
        if (c == '\0' || c == '\n' || c == ';') {
            // A ';' inside a comment ends nothing: the comment runs to the end of the line.
            if (c == ';' && inComment) continue;
            allDone = runCommand(command) && allDone;
            command.clear();
            inComment = false;
            if (c == '\0') break;
        } else if (c == '#') {
            inComment = true;
        } else if (!inComment) {
            command += c;
        }
    }
    return allDone;
}

extern "C" void frimel_replay(const char* script) { replayScene(script); }
