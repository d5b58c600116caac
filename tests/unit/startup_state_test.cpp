// The state start-up leaves behind: every process-wide variable, the fixed GL state, the light,
// the nine textures, and what the toolkit sees before and at the first frame.

#include <GL/glut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/startup.h"
#include "app/state.h"
#include "render/frame.h"
#include "support/scratch_files.h"
#include "support/test_window.h"
#include "support/view_math.h"

namespace {
const Matrix4 identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Matrix4 asMatrix(const float* values) {
    Matrix4 m;
    for (int i = 0; i < 16; ++i) m[i] = values[i];
    return m;
}

void expectFloats(GLenum query, const std::vector<float>& expected) {
    std::vector<GLfloat> actual(expected.size());
    glGetFloatv(query, actual.data());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_FLOAT_EQ(actual[i], expected[i]) << "entry " << i;
}

void expectLight(GLenum parameter, const std::vector<float>& expected) {
    GLfloat actual[4];
    glGetLightfv(GL_LIGHT0, parameter, actual);
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(actual[i], expected[i]) << "entry " << i;
}

// --- Checks that run in a copy of this test binary where start-up has not happened yet. ---
// gtest cannot carry assertion failures out of such a copy, so the checks print what went
// wrong on stderr and end the copy with status 1.
int freshFailures = 0;

void require(bool holds, const std::string& what) {
    if (holds) return;
    std::fprintf(stderr, "%s\n", what.c_str());
    ++freshFailures;
}

void requireMatrix(const Matrix4& actual, const Matrix4& expected, const std::string& what) {
    require(matrixDistance(actual, expected) < 1e-5, what);
}

void finishFreshProcess() { std::exit(freshFailures == 0 ? 0 : 1); }

// Delivers toolkit events until done() holds, for at most five seconds.
void pumpUntil(bool (*done)()) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        pumpEvents(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void startWithoutEvents() {
    static char name[] = "frimel_tests";
    static char* argv[] = {name, nullptr};
    static int argc = 1;
    startUp(&argc, argv);
}

// Runs check in a new copy of this test binary, which has no window yet; check must end it.
#define EXPECT_IN_FRESH_PROCESS(check)                              \
    do {                                                            \
        const std::string style = GTEST_FLAG_GET(death_test_style); \
        GTEST_FLAG_SET(death_test_style, "threadsafe");             \
        EXPECT_EXIT(check(), testing::ExitedWithCode(0), "");       \
        GTEST_FLAG_SET(death_test_style, style);                    \
    } while (0)

void checkStateBeforeTheFirstEvent() {
    startWithoutEvents();
    require(windowWidth == 400 && windowHeight == 400,
            "window size is not 400 x 400 before the first reshape");
    requireMatrix(asMatrix(viewMatrix), identity,
                  "viewMatrix is not the identity before the first frame");
    requireMatrix(asMatrix(sceneRotation), identity, "sceneRotation is not the identity");

    const Matrix4 ortho = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -2.0 / 14, 0, 0, 0, -16.0 / 14, 1};
    requireMatrix(readGlMatrix(GL_PROJECTION_MATRIX), ortho,
                  "projection is not glOrtho(-1, 1, -1, 1, 1, 15)");
    GLint viewport[4], mode = 0;
    glGetIntegerv(GL_VIEWPORT, viewport);
    require(viewport[0] == 0 && viewport[1] == 0 && viewport[2] == 600 && viewport[3] == 600,
            "viewport is not 0, 0, 600, 600");
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    require(mode == GL_MODELVIEW, "matrix mode is not GL_MODELVIEW");

    pumpUntil([] { return windowWidth != 400; });
    require(windowWidth == 600 && windowHeight == 600, "first reshape did not report 600 x 600");
    finishFreshProcess();
}

struct FirstFrame {
    bool seen = false;
    Matrix4 projection;
    GLint viewport[4];
    int width, height;
};
FirstFrame firstFrame;

void recordFirstFrame() {
    if (!firstFrame.seen) {
        firstFrame.seen = true;
        firstFrame.projection = readGlMatrix(GL_PROJECTION_MATRIX);
        glGetIntegerv(GL_VIEWPORT, firstFrame.viewport);
        firstFrame.width = windowWidth;
        firstFrame.height = windowHeight;
    }
    display();
}

void checkFirstFrameUsesThePerspective() {
    startWithoutEvents();
    glutDisplayFunc(recordFirstFrame);
    pumpUntil([] { return firstFrame.seen; });
    require(firstFrame.seen, "no frame was drawn");
    require(firstFrame.width == 600 && firstFrame.height == 600,
            "first frame ran before the reshape");
    requireMatrix(firstFrame.projection, frimelPerspective(1.0),
                  "first frame's projection is not gluPerspective(30, 1, 1, 15)");
    require(firstFrame.viewport[2] == 600 && firstFrame.viewport[3] == 600,
            "first frame's viewport is not 600 x 600");
    finishFreshProcess();
}

// Width, height and pixels (red-green-blue, file row order) of a bitmap, read without the
// program's reader.
struct FilePicture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

FilePicture readPicture(const std::string& path) {
    const std::vector<uint8_t> bytes = readFileBytes(path);
    FilePicture picture;
    if (bytes.size() < 54) return picture;
    auto field = [&](size_t at) {
        return static_cast<int>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                bytes[at + 3] << 24);
    };
    picture.width = field(18);
    picture.height = field(22);
    const size_t rowBytes = (static_cast<size_t>(picture.width) * 3 + 3) / 4 * 4;
    if (bytes.size() < 54 + rowBytes * picture.height) return picture;
    for (int row = 0; row < picture.height; ++row) {
        for (int i = 0; i < picture.width; ++i) {
            const uint8_t* p = &bytes[54 + row * rowBytes + i * 3];
            picture.rgb.insert(picture.rgb.end(), {p[2], p[1], p[0]});
        }
    }
    return picture;
}

GLint textureLevelValue(GLint level, GLenum what) {
    GLint value = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, what, &value);
    return value;
}

GLint textureValue(GLenum what) {
    GLint value = -1;
    glGetTexParameteriv(GL_TEXTURE_2D, what, &value);
    return value;
}
}  // namespace

TEST(StartUp, WindowSizeIs400UntilTheFirstReshapeReports600) {
    EXPECT_IN_FRESH_PROCESS(checkStateBeforeTheFirstEvent);
}

TEST(StartUp, FirstFrameAlreadyUsesThePerspectiveNotTheInitialOrtho) {
    EXPECT_IN_FRESH_PROCESS(checkFirstFrameUsesThePerspective);
}

TEST(StartValues, SceneIsEmptyWithThreeDistinctStandInObjects) {
    startFrimelWindow();
    EXPECT_TRUE(crystals.empty());
    ASSERT_NE(currentCrystal, nullptr);
    ASSERT_NE(linkCrystal, nullptr);
    ASSERT_NE(anchorCrystal, nullptr);
    EXPECT_NE(currentCrystal, linkCrystal);
    EXPECT_NE(anchorCrystal, currentCrystal);
    EXPECT_NE(anchorCrystal, linkCrystal);
    EXPECT_NE(quadric, nullptr);
}

TEST(StartValues, AnchorWasMadeBeforeMainWithTextureAndKindZero) {
    startFrimelWindow();
    EXPECT_EQ(anchorCrystal->texture, 0);
    EXPECT_EQ(anchorCrystal->kind, 0);
    EXPECT_EQ(anchorCrystal->x, 0.0f);
    EXPECT_EQ(anchorCrystal->y, 0.0f);
    EXPECT_EQ(anchorCrystal->z, 0.0f);
}

TEST(StartValues, CurrentAndLinkObjectsCarryWhiteIceAndAreCrystals) {
    startFrimelWindow();
    for (const Crystal* c : {currentCrystal, linkCrystal}) {
        EXPECT_EQ(c->texture, 7);
        EXPECT_EQ(c->kind, 0);  // made before chunk mode was chosen
        EXPECT_EQ(c->x, 0.0f);
        EXPECT_EQ(c->y, 0.0f);
        EXPECT_EQ(c->z, 0.0f);
    }
}

TEST(StartValues, SettingsStartInChunkModeWithWhiteIce) {
    startFrimelWindow();
    EXPECT_EQ(placeKind, 1);
    EXPECT_EQ(crystalTexture, 7);
    EXPECT_TRUE(sideBranches);
    EXPECT_EQ(armLayout, 1);
    EXPECT_EQ(fractalThreshold, 0.24f);
    EXPECT_EQ(snowSurface, 0);
    EXPECT_EQ(translucent, 0.0f);
    EXPECT_EQ(rotateMode, 0);
}

TEST(StartValues, TuningValues) {
    EXPECT_EQ(growthRate, 0.04f);
    EXPECT_EQ(tiltAngle, 18.431219f);
}

TEST(StartValues, GestureStateIsAtRestAndEverythingGrown) {
    startFrimelWindow();
    EXPECT_FALSE(mouseDown);
    EXPECT_EQ(mouseX, 0);
    EXPECT_EQ(mouseY, 0);
    EXPECT_EQ(prevMouseX, 0);
    EXPECT_EQ(prevMouseY, 0);
    EXPECT_EQ(lastDragX, 0.0f);
    EXPECT_EQ(lastDragY, 0.0f);
    EXPECT_EQ(growthBoost, 0.0f);
    EXPECT_TRUE(allGrown);
    EXPECT_EQ(spinAxis.x, 0.0f);
    EXPECT_EQ(spinAxis.y, 0.0f);
    EXPECT_EQ(spinAxis.z, 0.0f);
    EXPECT_EQ(spinAngle, 0.0f);
}

TEST(StartValues, ViewIsTheRealWindowSizeAndNoRotation) {
    startFrimelWindow();
    EXPECT_EQ(windowWidth, 600);
    EXPECT_EQ(windowHeight, 600);
    EXPECT_EQ(asMatrix(sceneRotation), identity);
}

TEST(StartGlState, WindowIsDoubleBufferedRgbWithDepthAt200200) {
    startFrimelWindow();
    EXPECT_EQ(glutGet(GLUT_INIT_DISPLAY_MODE), GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    EXPECT_EQ(glutGet(GLUT_INIT_WINDOW_X), 200);
    EXPECT_EQ(glutGet(GLUT_INIT_WINDOW_Y), 200);
    EXPECT_EQ(glutGet(GLUT_WINDOW_WIDTH), 600);
    EXPECT_EQ(glutGet(GLUT_WINDOW_HEIGHT), 600);
    GLboolean doubleBuffered = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    EXPECT_TRUE(doubleBuffered);
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GT(depthBits, 0);
}

TEST(StartGlState, CapabilitiesAndFixedFunctionSettings) {
    startFrimelWindow();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));  // matches translucent = 0
    EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));

    GLint value = 0;
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_FLAT);
    glGetIntegerv(GL_BLEND_SRC, &value);
    EXPECT_EQ(value, GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, &value);
    EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
    expectFloats(GL_COLOR_CLEAR_VALUE, {0, 0, 0, 1});
    GLint environment = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &environment);
    EXPECT_EQ(environment, GL_MODULATE);
}

TEST(StartGlState, ModelViewStackHoldsOnlyTheIdentityInModelViewMode) {
    startFrimelWindow();
    GLint mode = 0, depth = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    EXPECT_EQ(readGlMatrix(GL_MODELVIEW_MATRIX), identity);
}

TEST(StartGlState, OneLightFixedToTheViewer) {
    startFrimelWindow();
    // Given under the identity, so the position reads back unchanged in eye coordinates.
    expectLight(GL_POSITION, {-3, 3, 2.5, 1});
    expectLight(GL_AMBIENT, {0.6f, 0.6f, 0.6f, 1});
    expectLight(GL_DIFFUSE, {0.6f, 0.6f, 0.6f, 1});
    expectLight(GL_SPECULAR, {0.8f, 0.8f, 0.8f, 1});
    GLint twoSided = -1, localViewer = -1;
    glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &twoSided);
    glGetIntegerv(GL_LIGHT_MODEL_LOCAL_VIEWER, &localViewer);
    EXPECT_EQ(twoSided, GL_FALSE);
    EXPECT_EQ(localViewer, GL_FALSE);
}

TEST(StartGlState, QuadricDrawsFilledFacesWithTextureCoordinates) {
    startFrimelWindow();
    // One cone in feedback mode, inside the clip volume, shows what the quadric emits.
    std::vector<GLfloat> buffer(4096);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glRenderMode(GL_FEEDBACK);
    gluCylinder(quadric, 0.5, 0.5, 0.5, 4, 1);
    const GLint used = glRenderMode(GL_RENDER);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    ASSERT_GT(used, 0);

    // Each vertex: x, y, z, 4 colour values, 4 texture coordinates.
    const int vertexFloats = 11;
    int polygons = 0, others = 0;
    float lowestS = 1e9f, highestS = -1e9f;
    for (GLint i = 0; i < used;) {
        const GLint token = static_cast<GLint>(buffer[i]);
        if (token != GL_POLYGON_TOKEN) {
            ++others;
            break;
        }
        const int count = static_cast<int>(buffer[i + 1]);
        for (int v = 0; v < count; ++v) {
            const float s = buffer[i + 2 + v * vertexFloats + 7];
            lowestS = std::min(lowestS, s);
            highestS = std::max(highestS, s);
        }
        ++polygons;
        i += 2 + count * vertexFloats;
    }
    EXPECT_EQ(others, 0) << "lines or points instead of filled faces";
    EXPECT_GT(polygons, 0);
    EXPECT_FLOAT_EQ(lowestS, 0.0f);
    EXPECT_FLOAT_EQ(highestS, 1.0f);
}

TEST(StartTextures, PlaceholderIsA64By64ClampedNearestTexture) {
    startFrimelWindow();
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(textureLevelValue(0, GL_TEXTURE_WIDTH), 64);
    EXPECT_EQ(textureLevelValue(0, GL_TEXTURE_HEIGHT), 64);
    const GLint format = textureLevelValue(0, GL_TEXTURE_INTERNAL_FORMAT);
    EXPECT_TRUE(format == 3 || format == GL_RGB) << format;  // drivers report 3 either way
    EXPECT_EQ(textureLevelValue(1, GL_TEXTURE_WIDTH), 0) << "the placeholder has no mipmaps";
    EXPECT_EQ(textureValue(GL_TEXTURE_WRAP_S), GL_CLAMP);
    EXPECT_EQ(textureValue(GL_TEXTURE_WRAP_T), GL_CLAMP);
    EXPECT_EQ(textureValue(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    EXPECT_EQ(textureValue(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
}

TEST(StartTextures, NamesOneToEightHoldTheEightBitmapsInOrder) {
    startFrimelWindow();
    const char* const files[8] = {"background.bmp", "white.bmp", "ice.bmp",  "ice2.bmp",
                                  "ice3.bmp",       "ice4.bmp",  "ice5.bmp", "snow.bmp"};
    for (GLuint name = 1; name <= 8; ++name) {
        SCOPED_TRACE(files[name - 1]);
        const FilePicture picture =
            readPicture(std::string(FRIMEL_DATA_DIR) + "/" + files[name - 1]);
        ASSERT_FALSE(picture.rgb.empty());
        EXPECT_TRUE(glIsTexture(name));
        glBindTexture(GL_TEXTURE_2D, name);
        ASSERT_EQ(textureLevelValue(0, GL_TEXTURE_WIDTH), picture.width);
        ASSERT_EQ(textureLevelValue(0, GL_TEXTURE_HEIGHT), picture.height);
        std::vector<uint8_t> texels(picture.rgb.size());
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        EXPECT_TRUE(texels == picture.rgb) << "texels differ from the file's pixels";

        // Mipmaps all the way down to one texel, though only the base level is sampled.
        GLint level = 0;
        while (textureLevelValue(level + 1, GL_TEXTURE_WIDTH) > 0) ++level;
        EXPECT_EQ(textureLevelValue(level, GL_TEXTURE_WIDTH), 1);
        EXPECT_EQ(textureLevelValue(level, GL_TEXTURE_HEIGHT), 1);
        EXPECT_EQ(textureValue(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
        EXPECT_EQ(textureValue(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
        EXPECT_EQ(textureValue(GL_TEXTURE_WRAP_S), GL_REPEAT);
        EXPECT_EQ(textureValue(GL_TEXTURE_WRAP_T), GL_REPEAT);
    }
}
