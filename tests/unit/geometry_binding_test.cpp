// What drawCrystals leaves behind in GL and which texture each object is drawn with.
#include <gtest/gtest.h>

#include <GL/glut.h>

#include <array>
#include <cstdint>
#include <vector>

#include "app/state.h"
#include "render/crystal_geometry.h"
#include "render/frame.h"
#include "render/light.h"
#include "support/feedback_capture.h"
#include "support/geometry_scene.h"
#include "support/test_window.h"
#include "textures/textures.h"

namespace {
// Something other than what drawCrystals sets, so a missing call shows.
void disturbDrawingState() {
    setMaterial(backdropMaterial);
    glColor3f(0.2f, 0.3f, 0.4f);
    glBindTexture(GL_TEXTURE_2D, kBackdropTexture);
}

std::array<float, 4> frontDiffuse() {
    std::array<float, 4> diffuse{};
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse.data());
    return diffuse;
}

std::array<float, 4> currentColour() {
    std::array<float, 4> colour{};
    glGetFloatv(GL_CURRENT_COLOR, colour.data());
    return colour;
}

GLint boundTexture() {
    GLint name = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

std::array<float, 16> modelview() {
    std::array<float, 16> m{};
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    return m;
}

// Mean red minus mean green over a 5 x 5 patch around a window point.
double redOverGreen(const std::vector<uint8_t>& rgb, WindowPoint p) {
    double sum = 0.0;
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            const std::size_t i = (static_cast<std::size_t>(p.y + dy) * windowWidth + static_cast<std::size_t>(p.x + dx)) * 3;
            sum += static_cast<double>(rgb[i]) - rgb[i + 1];
        }
    }
    return sum / 25.0;
}
}  // namespace

TEST(GeometryBinding, LeavesCrystalMaterialWhiteAndTheLastObjectsTexture) {
    startGeometryScene();
    Crystal* a = addCrystal(-0.4f, 0.0f, offSceneObject(-0.4f, -0.3f), 0.2f, 0.2f);
    Crystal* b = addObject(1, 0.4f, 0.0f, a, 0.2f, 0.2f);
    a->texture = static_cast<int>(kRedIceTexture);
    b->texture = static_cast<int>(kGreenIceTexture);
    disturbDrawingState();
    drawCrystalsUnderCamera();
    EXPECT_EQ(frontDiffuse(), (std::array<float, 4>{1.0f, 1.0f, 1.0f, 0.6f}));
    EXPECT_EQ(currentColour(), (std::array<float, 4>{1.0f, 1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(boundTexture(), static_cast<GLint>(kGreenIceTexture));
}

TEST(GeometryBinding, EmptySceneStillSetsMaterialAndColour) {
    startGeometryScene();
    disturbDrawingState();
    drawCrystalsUnderCamera();
    EXPECT_EQ(frontDiffuse()[3], 0.6f);
    EXPECT_EQ(currentColour(), (std::array<float, 4>{1.0f, 1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(boundTexture(), static_cast<GLint>(kBackdropTexture));
}

TEST(GeometryBinding, LeavesTheMatrixStackAsItFoundIt) {
    startGeometryScene();
    armLayout = 0;
    fractalThreshold = 0.12f;
    Crystal* a = addCrystal(-0.3f, 0.0f, offSceneObject(-0.3f, -0.3f), 0.4f, 0.8f);
    Crystal* b = addCrystal(-0.2f, 0.0f, a, 0.05f, 0.2f);  // bridged to a
    addObject(1, 0.4f, 0.2f, b, 0.2f, 0.2f);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(0.1f, 0.2f, -6.0f);
    GLint depthBefore = 0, depthAfter = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    const std::array<float, 16> before = modelview();
    drawCrystals();
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    EXPECT_EQ(modelview(), before);
    EXPECT_EQ(depthAfter, depthBefore);
    glPopMatrix();
    EXPECT_GT(a->level, 0.0f) << "the scene was meant to branch";
}

// Each object binds its own texture before it is drawn: a red chunk beside a green one.
TEST(GeometryBinding, EachObjectShowsItsOwnTexture) {
    startGeometryScene();
    Crystal* red = addObject(1, -0.4f, 0.0f, offSceneObject(-0.4f, -0.3f), 0.6f, 0.2f);
    Crystal* green = addObject(1, 0.4f, 0.0f, red, 0.6f, 0.2f);
    red->texture = static_cast<int>(kRedIceTexture);
    green->texture = static_cast<int>(kGreenIceTexture);
    composeFrame(drawCrystals);
    const std::vector<uint8_t> rgb = readShownFrame();
    EXPECT_GT(redOverGreen(rgb, projectPosition(*red)), 30.0);
    EXPECT_LT(redOverGreen(rgb, projectPosition(*green)), -30.0);
}
