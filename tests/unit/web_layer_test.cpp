// The browser's GL layer against Mesa: the same calls must give the same matrices, the same
// window positions and flat colours, the same cone vertices and the same texture base level.

#define GL_GLEXT_PROTOTYPES  // the cones' shader needs OpenGL 3's calls, which Mesa's library has
#include <GL/glut.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "render/light.h"
#include "support/test_window.h"
#include "web/pipeline/cone_instances.h"
#include "web/pipeline/draw_list.h"
#include "web/pipeline/fixed_state.h"
#include "web/pipeline/glu_shapes.h"
#include "web/pipeline/immediate_mode.h"
#include "web/pipeline/shading.h"

namespace {
using namespace fixedgl;

// What the browser's GL entry points hold: the state, immediate mode and the draw list it feeds.
struct Layer {
    FixedState state;
    ImmediateMode immediate;
    DrawList list;
};

// One vertex as feedback reports it: window x, y, z, then r, g, b, a, then s, t, r, q.
using FeedbackVertex = std::vector<float>;

std::vector<FeedbackVertex> feedbackVertices(void (*draw)()) {
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_4D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    std::vector<FeedbackVertex> vertices;
    for (GLint i = 0; i < used;) {
        const int token = static_cast<int>(buffer[i++]);
        if (token != GL_POLYGON_TOKEN) {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
        const int count = static_cast<int>(buffer[i++]);
        for (int v = 0; v < count; ++v, i += 12) {
            vertices.emplace_back(buffer.begin() + i, buffer.begin() + i + 12);
        }
    }
    return vertices;
}

// The program's lighting, a perspective camera and a few turned cones, sent to either GL.
template <class Gl>
void coneScene(Gl& gl) {
    gl.matrixMode(GL_PROJECTION);
    gl.loadIdentity();
    gl.perspective(30, 1.25, 1, 15);
    gl.matrixMode(GL_MODELVIEW);
    gl.loadIdentity();
    gl.light(GL_POSITION, lightPosition);
    gl.light(GL_DIFFUSE, lightDiffuse);
    gl.light(GL_AMBIENT, lightAmbient);
    gl.light(GL_SPECULAR, lightSpecular);
    gl.material(GL_AMBIENT, crystalMaterial.ambient);
    gl.material(GL_DIFFUSE, crystalMaterial.diffuse);
    gl.material(GL_SPECULAR, crystalMaterial.specular);
    gl.material(GL_SHININESS, &crystalMaterial.shininess);
    gl.lookAt(0, 0, 6, 0, 0, 0, 0, 1, 0);
    const float turns[][4] = {{0, 0, 1, 0}, {90, 1, 0, 0}, {-73, 0, 0, 1}, {200, 0.3f, -1, 0.5f}};
    for (int i = 0; i < 4; ++i) {
        gl.push();
        gl.translate(-0.9f + 0.6f * i, 0.2f * i - 0.3f, -0.5f * i);
        gl.rotate(turns[i][0], turns[i][1], turns[i][2], turns[i][3]);
        gl.cylinder(0.06 + 0.02 * i, i == 3 ? 0.02 : 0.0, 0.9 - 0.1 * i);
        gl.pop();
    }
    // A polygon takes its first vertex's colour: give each corner another normal.
    gl.material(GL_DIFFUSE, backdropMaterial.diffuse);
    gl.begin(GL_POLYGON);
    const float corners[][3] = {{-1, 1, -2}, {1, 1.2f, -2}, {1.1f, -1, -1}, {-1, -1, -1.5f}};
    for (int i = 0; i < 4; ++i) {
        gl.normal(0.2f * i, 0.5f, 1.0f - 0.2f * i);
        gl.vertex(corners[i][0], corners[i][1], corners[i][2]);
    }
    gl.end();
}

// A light set under a turned camera, then a shiny patch whose normals fan out around it: the light
// is placed by the model-view of the moment, and the corners that face the half vector shine.
template <class Gl>
void highlightSetUp(Gl& gl, const float* specular) {
    gl.matrixMode(GL_PROJECTION);
    gl.loadIdentity();
    gl.perspective(40, 1.25, 1, 20);
    gl.matrixMode(GL_MODELVIEW);
    gl.loadIdentity();
    gl.lookAt(1, 2, 7, 0, 0, 0, 0, 1, 0);
    gl.rotate(35, 0, 1, 0);
    const float position[4] = {2, 3, 4, 1};
    const float white[4] = {1, 1, 1, 1};
    const float dim[4] = {0.1f, 0.1f, 0.1f, 1};
    const float blue[4] = {0.2f, 0.3f, 0.6f, 1};
    const float shininess = 12;
    gl.light(GL_POSITION, position);
    gl.light(GL_DIFFUSE, white);
    gl.light(GL_AMBIENT, dim);
    gl.light(GL_SPECULAR, white);
    gl.material(GL_AMBIENT, blue);
    gl.material(GL_DIFFUSE, blue);
    gl.material(GL_SPECULAR, specular);
    gl.material(GL_SHININESS, &shininess);
}

template <class Gl>
void highlightScene(Gl& gl, const float* specular) {
    highlightSetUp(gl, specular);
    gl.translate(0.3f, -0.2f, 0.5f);
    gl.begin(GL_QUADS);
    for (int row = 0; row < 6; ++row) {
        for (int column = 0; column < 6; ++column) {
            const int corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
            for (const auto& c : corners) {
                const float x = (column + c[0]) / 3.0f - 1, y = (row + c[1]) / 3.0f - 1;
                gl.normal(x, y, 1.2f);
                gl.vertex(x, y, 0.1f * x * y);
            }
        }
    }
    gl.end();
}

GLUquadric* newTexturedQuadric() {
    GLUquadric* q = gluNewQuadric();
    gluQuadricTexture(q, GL_TRUE);
    return q;
}

struct MesaGl {
    GLUquadric* quadric = newTexturedQuadric();
    void matrixMode(GLenum mode) { glMatrixMode(mode); }
    void loadIdentity() { glLoadIdentity(); }
    void perspective(double f, double a, double n, double z) { gluPerspective(f, a, n, z); }
    void ortho(double l, double r, double b, double t) { glOrtho(l, r, b, t, 1, 20); }
    void lookAt(double a, double b, double c, double d, double e, double f, double g, double h,
                double i) {
        gluLookAt(a, b, c, d, e, f, g, h, i);
    }
    void light(GLenum p, const float* v) { glLightfv(GL_LIGHT0, p, v); }
    void material(GLenum p, const float* v) { glMaterialfv(GL_FRONT, p, v); }
    void push() { glPushMatrix(); }
    void pop() { glPopMatrix(); }
    void translate(float x, float y, float z) { glTranslatef(x, y, z); }
    void rotate(float a, float x, float y, float z) { glRotatef(a, x, y, z); }
    void cylinder(double b, double t, double h) { gluCylinder(quadric, b, t, h, 4, 1); }
    void begin(GLenum mode) { glBegin(mode); }
    void normal(float x, float y, float z) { glNormal3f(x, y, z); }
    void vertex(float x, float y, float z) { glVertex3f(x, y, z); }
    void end() { glEnd(); }
};

// Besides feeding the pipeline, keeps what lighting gives each vertex on its own, as feedback
// reports it (feedback shows every vertex's colour, not the face's).
struct LitVertex {
    double window[3];
    float rgba[4];
    float s, t;
};

struct LayerGl {
    Layer& layer;
    std::vector<LitVertex> lit;
    FixedState& s = layer.state;
    void record(float x, float y, float z) {
        const Vec4 eye = transform(s.modelView(), Vec4{x, y, z, 1});
        const Vec4 clip = transform(s.projection(), eye);
        const float clipArray[4] = {clip.x, clip.y, clip.z, clip.w};
        float eyeNormal[3];
        transformNormal(s.modelView(), s.normal(), eyeNormal);
        LitVertex v{};
        windowCoordinates(s.viewport(), clipArray, v.window);
        litColour(s, eye, eyeNormal, s.colour(), v.rgba);
        v.s = s.texCoord()[0];
        v.t = s.texCoord()[1];
        lit.push_back(v);
    }
    void matrixMode(GLenum mode) { s.setMatrixMode(mode); }
    void loadIdentity() { s.loadIdentity(); }
    void perspective(double f, double a, double n, double z) { s.multMatrix(perspectiveMatrix(f, a, n, z)); }
    void ortho(double l, double r, double b, double t) { s.multMatrix(orthoMatrix(l, r, b, t, 1, 20)); }
    void lookAt(double a, double b, double c, double d, double e, double f, double g, double h,
                double i) {
        s.multMatrix(lookAtMatrix(a, b, c, d, e, f, g, h, i));
    }
    void light(GLenum p, const float* v) { s.setLight0(p, v); }
    void material(GLenum p, const float* v) { s.setFrontMaterial(p, v); }
    void push() { s.pushMatrix(); }
    void pop() { s.popMatrix(); }
    void translate(float x, float y, float z) { s.translate(x, y, z); }
    void rotate(float a, float x, float y, float z) { s.rotate(a, x, y, z); }
    void cylinder(double b, double t, double h) {
        std::vector<CylinderVertex> strip;
        if (cylinderStrips(b, t, h, 4, 1, true, strip) == 1) {
            layer.immediate.begin(GL_QUAD_STRIP);
            for (const CylinderVertex& v : strip) {
                s.setNormal(v.normal[0], v.normal[1], v.normal[2]);
                s.setTexCoord(v.texCoord[0], v.texCoord[1]);
                record(v.position[0], v.position[1], v.position[2]);
                layer.immediate.vertex(s, v.position[0], v.position[1], v.position[2]);
            }
            layer.immediate.end(s, layer.list);
        }
    }
    void begin(GLenum mode) { layer.immediate.begin(mode); }
    void normal(float x, float y, float z) { s.setNormal(x, y, z); }
    void vertex(float x, float y, float z) {
        record(x, y, z);
        layer.immediate.vertex(s, x, y, z);
    }
    void end() { layer.immediate.end(s, layer.list); }
};

void mesaConeScene() {
    MesaGl gl;
    coneScene(gl);
    gluDeleteQuadric(gl.quadric);
}

void mesaHighlightScene() {
    MesaGl gl;
    const float white[4] = {1, 1, 1, 1};
    highlightScene(gl, white);
    gluDeleteQuadric(gl.quadric);
}

// How many of Mesa's feedback vertices one of ours matches: the same window position and
// texture coordinate, and the same colour.
int matchedVertices(const std::vector<FeedbackVertex>& mesa, const std::vector<LitVertex>& ours) {
    int matched = 0;
    for (const FeedbackVertex& m : mesa) {
        for (const LitVertex& v : ours) {
            const double* w = v.window;
            if (std::fabs(w[0] - m[0]) > 1e-3 || std::fabs(w[1] - m[1]) > 1e-3 ||
                std::fabs(w[2] - m[2]) > 1e-5 || v.s != m[8] || v.t != m[9]) {
                continue;
            }
            bool sameColour = true;
            for (int k = 0; k < 4; ++k) sameColour = sameColour && std::fabs(v.rgba[k] - m[4 + k]) < 2e-4;
            matched += sameColour ? 1 : 0;
            break;
        }
    }
    return matched;
}

class WebLayer : public ::testing::Test {
protected:
    void SetUp() override {
        startFrimelWindow();
        glViewport(0, 0, 500, 400);
        glShadeModel(GL_FLAT);
        glEnable(GL_NORMALIZE);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        layer.state.setViewport(Viewport{0, 0, 500, 400});
        for (unsigned on : {kLighting, kNormalize, kLight0}) layer.state.setCapability(on, true);
    }
    Layer layer;
};

// Every vertex lands where Mesa puts it, lit as Mesa lights it: feedback reports each vertex with
// its own colour, so each of ours is matched to Mesa's by window position and texture coordinate.
TEST_F(WebLayer, ConesAndPolygonLandAndLightAsInMesa) {
    const std::vector<FeedbackVertex> mesa = feedbackVertices(mesaConeScene);
    LayerGl gl{layer, {}};
    coneScene(gl);
    ASSERT_FALSE(mesa.empty());
    EXPECT_EQ(matchedVertices(mesa, gl.lit), static_cast<int>(mesa.size()));
    // Four quads a cone and a polygon of two triangles, each triangle three corners, less the
    // quads' triangles that end in the apex of the three pointed cones; each corner sent once,
    // as the faces' colours fall on different corners.
    EXPECT_EQ(layer.list.indices.size(), static_cast<std::size_t>((4 * 4 * 2 - 3 * 4 + 2) * 3));
    EXPECT_EQ(layer.list.vertices.size(), static_cast<std::size_t>(4 * 10 + 4));
}

// The same with a specular highlight, which the same patch without specular material lacks.
TEST_F(WebLayer, HighlightUnderATurnedCameraShinesAsInMesa) {
    const std::vector<FeedbackVertex> mesa = feedbackVertices(mesaHighlightScene);
    LayerGl shiny{layer, {}};
    const float white[4] = {1, 1, 1, 1};
    highlightScene(shiny, white);
    ASSERT_FALSE(mesa.empty());
    EXPECT_EQ(matchedVertices(mesa, shiny.lit), static_cast<int>(mesa.size()));
    Layer dullState = layer;
    LayerGl dull{dullState, {}};
    const float black[4] = {0, 0, 0, 1};
    highlightScene(dull, black);
    float brightest = 0;
    for (std::size_t i = 0; i < shiny.lit.size(); ++i) brightest = std::max(brightest, shiny.lit[i].rgba[0] - dull.lit[i].rgba[0]);
    EXPECT_GT(brightest, 0.3f);
}

TEST_F(WebLayer, MatricesMatchMesasStacks) {
    MesaGl mesa;
    LayerGl gl{layer, {}};
    auto check = [&](const char* what) {
        GLfloat m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(m[i], layer.state.modelView().m[i], 2e-6) << what << " element " << i;
        glGetFloatv(GL_PROJECTION_MATRIX, m);
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(m[i], layer.state.projection().m[i], 2e-6) << what << " element " << i;
    };
    auto run = [](auto& each) {
        each.matrixMode(GL_PROJECTION);
        each.loadIdentity();
        each.perspective(30, 600.0 / 37.0, 1, 15);
        each.matrixMode(GL_MODELVIEW);
        each.loadIdentity();
        each.lookAt(0.5, -1, 6, 0.2, 0.1, 0, 0.1, 1, 0);
        each.rotate(18.431219f, -1, 0, 0);
        each.rotate(237.5f, 0, 0, -1);
        each.rotate(-30, 0.2f, 0.7f, 1);
        each.translate(0.25f, -1.5f, -0.75f);
        each.push();
        each.rotate(180, 0, 1, 0);
        each.pop();
    };
    run(mesa);
    run(gl);
    check("perspective, look-at, rotations and a translation");
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, 1, 15);
    layer.state.setMatrixMode(kProjection);
    layer.state.loadIdentity();
    layer.state.multMatrix(orthoMatrix(-1, 1, -1, 1, 1, 15));
    check("orthographic projection");
    gluDeleteQuadric(mesa.quadric);
}

// glRotatef and glTranslatef work on the columns they change, giving the full product's floats.
TEST_F(WebLayer, TurnsAndMovesAreTheFullProductsBitForBit) {
    const float axes[][3] = {{1, 0, 0}, {-2, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -3}, {0.3f, -1, 0.5f}};
    for (const float degrees : {30.0f, -90.0f, 200.5f, 1e-3f}) {
        for (const auto& axis : axes) {
            FixedState& s = layer.state;
            s.setMatrixMode(kModelView);
            s.loadIdentity();
            s.multMatrix(lookAtMatrix(1, 2, 7, 0, 0, 0, 0, 1, 0));
            s.translate(0.25f, -1.5f, 3);
            const Mat4 expected = multiply(multiply(s.modelView(), rotationMatrix(degrees, axis[0], axis[1], axis[2])),
                                           translationMatrix(-0.7f, 0.1f, 2.5f));
            s.rotate(degrees, axis[0], axis[1], axis[2]);
            s.translate(-0.7f, 0.1f, 2.5f);
            for (int i = 0; i < 16; ++i) EXPECT_EQ(s.modelView().m[i], expected.m[i]) << degrees << " degrees, element " << i;
        }
    }
}

// Desktop GLU's own cone and ours, both sent through Mesa, must give identical feedback.
void gluCones() {
    GLUquadric* q = gluNewQuadric();
    gluQuadricTexture(q, GL_TRUE);
    gluCylinder(q, 0.03, 0.0, 0.4, 4, 1);
    gluCylinder(q, 0.2, 0.05, 0.3, 4, 1);
    gluCylinder(q, 0.1, 0.1, 0.5, 6, 2);
    gluCylinder(q, 0.05, 0.02, 0.2, 4, 1);  // back to four slices after six
    gluDeleteQuadric(q);
}

void ourCones() {
    const double cones[][5] = {{0.03, 0.0, 0.4, 4, 1}, {0.2, 0.05, 0.3, 4, 1}, {0.1, 0.1, 0.5, 6, 2}, {0.05, 0.02, 0.2, 4, 1}};
    for (const auto& c : cones) {
        std::vector<CylinderVertex> all;
        const int strips = cylinderStrips(c[0], c[1], c[2], static_cast<int>(c[3]), static_cast<int>(c[4]), true, all);
        ASSERT_GT(strips, 0);
        const std::size_t perStrip = all.size() / static_cast<std::size_t>(strips);
        for (std::size_t first = 0; first < all.size(); first += perStrip) {
            glBegin(GL_QUAD_STRIP);
            for (std::size_t i = first; i < first + perStrip; ++i) {
                glNormal3fv(all[i].normal);
                glTexCoord2fv(all[i].texCoord);
                glVertex3fv(all[i].position);
            }
            glEnd();
        }
    }
}

TEST_F(WebLayer, CylinderSendsWhatDesktopGluSends) {
    glShadeModel(GL_SMOOTH);  // every vertex's own normal then shows in its colour
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(30, 1, 1, 15);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -3);
    glRotatef(50, 1, 0.3f, 0);
    const std::vector<FeedbackVertex> expected = feedbackVertices(gluCones);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(feedbackVertices(ourCones), expected);
    std::vector<CylinderVertex> none{CylinderVertex{}};
    EXPECT_EQ(cylinderStrips(0, 0, 0, 4, 1, true, none), 0);
    EXPECT_TRUE(none.empty());
}

// The base level desktop GLU uploads, read back, for sides that are and are not powers of two.
TEST_F(WebLayer, MipmapBaseLevelIsWhatDesktopGluUploads) {
    const int sizes[][2] = {{8, 4}, {6, 5}, {20, 12}, {3, 7}, {16, 32}, {130, 66}};
    std::srand(7);
    for (const auto& size : sizes) {
        const int width = size[0], height = size[1];
        const int rowSize = (width * 3 + 3) / 4 * 4;
        std::vector<uint8_t> image(static_cast<size_t>(rowSize) * height);
        for (uint8_t& b : image) b = static_cast<uint8_t>(std::rand());
        glBindTexture(GL_TEXTURE_2D, 9);
        gluBuild2DMipmaps(GL_TEXTURE_2D, 3, width, height, GL_RGB, GL_UNSIGNED_BYTE, image.data());
        GLint mesaWidth = 0, mesaHeight = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &mesaWidth);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &mesaHeight);
        std::vector<uint8_t> mesa(static_cast<size_t>(mesaWidth) * mesaHeight * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, mesa.data());
        int ourWidth = 0, ourHeight = 0;
        const std::vector<uint8_t> ours = mipmapBaseLevel(width, height, image.data(), &ourWidth, &ourHeight);
        EXPECT_EQ(ourWidth, mesaWidth) << width << " x " << height;
        EXPECT_EQ(ourHeight, mesaHeight) << width << " x " << height;
        EXPECT_EQ(ours, mesa) << width << " x " << height;
    }
}
}  // namespace

// Flat shading, as Mesa rasterizes it: a polygon takes its first vertex's colour, each quad of
// a strip its last. Faces are told apart by their corner colours; our faces must show the
// colour Mesa fills each face's centre with.
TEST_F(WebLayer, FlatFacesTakeTheColourOfMesasProvokingVertex) {
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glViewport(0, 0, 500, 400);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    layer.state.setCapability(kLighting, false);
    auto colourOf = [](int i, float* rgb) {
        rgb[0] = (i % 3) / 2.0f, rgb[1] = (i / 3 % 3) / 2.0f, rgb[2] = (i % 2) * 0.5f + 0.25f;
    };
    struct Shape {
        GLenum mode;
        std::vector<float> xy;  // corners in the order sent
    };
    const Shape shapes[] = {
        {GL_QUAD_STRIP, {-0.9f, 0.1f, -0.9f, 0.8f, -0.5f, 0.1f, -0.5f, 0.8f, -0.1f, 0.1f, -0.1f, 0.8f, 0.3f, 0.1f, 0.3f, 0.8f}},
        {GL_POLYGON, {-0.5f, -0.8f, 0.2f, -0.7f, 0.4f, -0.2f, -0.1f, -0.05f, -0.7f, -0.3f}},
    };
    glClear(GL_COLOR_BUFFER_BIT);
    for (const Shape& shape : shapes) {
        glBegin(shape.mode);
        layer.immediate.begin(shape.mode);
        for (std::size_t i = 0; i < shape.xy.size() / 2; ++i) {
            float rgb[3];
            colourOf(static_cast<int>(i), rgb);
            glColor3fv(rgb);
            layer.state.setColour(rgb[0], rgb[1], rgb[2], 1);
            glVertex2f(shape.xy[2 * i], shape.xy[2 * i + 1]);
            layer.immediate.vertex(layer.state, shape.xy[2 * i], shape.xy[2 * i + 1], 0);
        }
        glEnd();
        layer.immediate.end(layer.state, layer.list);
    }
    // WebGL colours a flat triangle from its last corner.
    const std::vector<OutVertex>& ours = layer.list.vertices;
    const std::vector<std::uint32_t>& corners = layer.list.indices;
    ASSERT_EQ(corners.size(), static_cast<std::size_t>((3 * 2 + 3) * 3));
    for (std::size_t t = 0; t < corners.size(); t += 3) {
        double centre[3] = {0, 0, 0};
        for (std::size_t c = t; c < t + 3; ++c) {
            double w[3];
            windowCoordinates(layer.state.viewport(), ours[corners[c]].clip, w);
            for (int k = 0; k < 2; ++k) centre[k] += w[k] / 3;
        }
        GLubyte pixel[3];
        glReadPixels(static_cast<GLint>(centre[0]), static_cast<GLint>(centre[1]), 1, 1, GL_RGB,
                     GL_UNSIGNED_BYTE, pixel);
        const std::uint8_t* rgba = ours[corners[t + 2]].rgba;
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(rgba[k], pixel[k], 1.0) << "triangle " << t / 3;
    }
}

// A triangle that cannot make a fragment is left out of the batch; one that lights any pixel in
// Mesa is always sent. Corners are in window pixels.
TEST_F(WebLayer, TrianglesThatLightNoPixelAreLeftOut) {
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    layer.state.setCapability(kLighting, false);
    struct Case {
        const char* name;
        float corners[9];  // x, y, z of each
        bool sent;
    };
    const Case cases[] = {
        {"sliver between two columns of centres", {10.7f, 10, 0, 11.3f, 10, 0, 11.0f, 30, 0}, false},
        {"speck between four centres", {20.7f, 20.7f, 0, 21.3f, 20.7f, 0, 21.0f, 21.3f, 0}, false},
        {"long sliver between two rows", {10, 40.7f, 0, 200, 40.8f, 0, 100, 41.3f, 0}, false},
        {"speck over one centre", {30.2f, 30.2f, 0, 30.9f, 30.2f, 0, 30.5f, 30.9f, 0}, true},
        {"sliver just reaching a centre", {50.45f, 10, 0, 50.9f, 10, 0, 50.7f, 30, 0}, true},
        {"wholly right of the window", {520, 100, 0, 560, 100, 0, 540, 200, 0}, false},
        {"wholly beyond the far plane", {100, 100, 1.5f, 200, 100, 1.5f, 150, 200, 1.5f}, false},
        {"partly out of the window", {450, 300, 0, 560, 300, 0, 480, 390, 0}, true},
    };
    std::vector<GLubyte> picture(500 * 400 * 3);
    for (const Case& c : cases) {
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 1);
        glBegin(GL_TRIANGLES);
        layer.list.clear();
        layer.immediate.begin(kTriangles);
        for (int i = 0; i < 3; ++i) {
            const float x = c.corners[3 * i] / 250 - 1, y = c.corners[3 * i + 1] / 200 - 1;
            glVertex3f(x, y, c.corners[3 * i + 2]);
            layer.immediate.vertex(layer.state, x, y, c.corners[3 * i + 2]);
        }
        glEnd();
        layer.immediate.end(layer.state, layer.list);
        glReadPixels(0, 0, 500, 400, GL_RGB, GL_UNSIGNED_BYTE, picture.data());
        const bool lit = std::any_of(picture.begin(), picture.end(), [](GLubyte v) { return v != 0; });
        EXPECT_EQ(lit, c.sent) << c.name << ": Mesa lights " << (lit ? "some" : "no") << " pixel";
        EXPECT_EQ(layer.list.indices.size(), c.sent ? 3u : 0u) << c.name;
    }
}

// The cones' own shader, run by Mesa: it must draw the cones Mesa's own gluCylinder draws under
// the program's flat shading, lit, textured or neither, pointed or cut off, turned every way.
struct ConeProgram {
    GLuint program = 0, vertexArray = 0, indices = 0, instances = 0;
    GLint at[kConeUniforms] = {};
};

GLuint compiledShader(GLenum kind, const char* source) {
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    char log[1024] = "";
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    EXPECT_TRUE(ok) << log;
    return shader;
}

ConeProgram coneProgram(int variant) {
    ConeProgram p;
    p.program = glCreateProgram();
    glAttachShader(p.program, compiledShader(GL_VERTEX_SHADER, coneVertexShader(variant).c_str()));
    glAttachShader(p.program, compiledShader(GL_FRAGMENT_SHADER, kFlatFragmentShader));
    glLinkProgram(p.program);
    GLint ok = 0;
    glGetProgramiv(p.program, GL_LINK_STATUS, &ok);
    EXPECT_TRUE(ok);
    ConeUniform names[kConeUniforms];
    coneUniforms(ConeLook(), names);
    for (int i = 0; i < kConeUniforms; ++i) p.at[i] = glGetUniformLocation(p.program, names[i].name);
    glGenVertexArrays(1, &p.vertexArray);
    glBindVertexArray(p.vertexArray);
    glGenBuffers(1, &p.indices);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, p.indices);
    glBindVertexArray(0);
    glGenTextures(1, &p.instances);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, p.instances);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glActiveTexture(GL_TEXTURE0);
    return p;
}

// As the browser's renderer draws a list of cones: the instances as texels, a run's look as uniforms.
void drawInstanced(const ConeProgram (&programs)[kConeShaderVariants], DrawList list) {
    const ConeProgram& p = programs[coneShaderVariant(list.looks.at(list.runs.at(0).look))];
    glUseProgram(p.program);
    const ConeUniform circle = coneCircleUniform();
    glUniform2fv(glGetUniformLocation(p.program, circle.name), circle.count, circle.values);
    glUniform1i(glGetUniformLocation(p.program, "cones"), 1);
    glBindVertexArray(p.vertexArray);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(list.coneIndices.size() * sizeof(std::uint32_t)),
                 list.coneIndices.data(), GL_STREAM_DRAW);
    const int rows = list.padConeRows();
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, p.instances);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, kConeTextureWidth, rows, 0, GL_RGBA, GL_FLOAT, list.cones.data());
    glActiveTexture(GL_TEXTURE0);
    for (const DrawRun& run : list.runs) {
        ConeUniform uniforms[kConeUniforms];
        coneUniforms(list.looks[run.look], uniforms);
        for (int i = 0; i < kConeUniforms; ++i) {
            const ConeUniform& u = uniforms[i];
            if (u.components == 16) glUniformMatrix4fv(p.at[i], 1, GL_FALSE, u.values);
            if (u.components == 4) glUniform4fv(p.at[i], 1, u.values);
            if (u.components == 2) glUniform2fv(p.at[i], 1, u.values);
            if (u.components == 1) glUniform1fv(p.at[i], 1, u.values);
        }
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(run.count), GL_UNSIGNED_INT,
                       reinterpret_cast<const void*>(run.first * sizeof(std::uint32_t)));
    }
    glBindVertexArray(0);
    glUseProgram(0);
}

struct InstancedGl : LayerGl {
    bool textured = false;
    void cylinder(double b, double t, double h) {
        ASSERT_TRUE(instanceable(s, b, t, h, 4, 1));
        layer.list.addCone(s, b, t, h, textured);
    }
};

struct ConeCase {
    const char* name;
    double base, top, height;
    float turn[4];
    bool textured, lit, shiny;
    bool flat = false;  // seen without perspective, where cones that can light no pixel are left out
    int leastCovered = 2000;
    bool pointedBetween = false;  // every other cone of the row pointed
};

// A row of cones of one shape under the highlight's turned camera and light.
template <class Gl>
void coneRow(Gl& gl, const ConeCase& c) {
    const float white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
    gl.push();
    highlightSetUp(gl, c.shiny ? white : black);
    if (c.flat) {
        gl.matrixMode(GL_PROJECTION);
        gl.loadIdentity();
        gl.ortho(-2.5, 2.5, -2, 2);
        gl.matrixMode(GL_MODELVIEW);
    }
    for (int i = 0; i < 5; ++i) {
        gl.push();
        gl.translate(-2.0f + i, 0.3f * i - 0.6f, 0);
        gl.rotate(c.turn[0] + 50.0f * i, c.turn[1], c.turn[2], c.turn[3]);
        gl.cylinder(c.base, c.pointedBetween && i % 2 ? 0.0 : c.top, c.height);
        gl.pop();
    }
    gl.pop();
}

TEST_F(WebLayer, InstancedConesDrawAsMesasGluCylinder) {
    const ConeCase cases[] = {
        {"pointed, shiny, textured", 0.25, 0.0, 1.6, {90, 1, 0, 0}, true, true, true},
        {"cut off, shiny", 0.3, 0.12, 1.2, {-30, 0.3f, 1, 0.2f}, false, true, true},
        {"pointed, turned about z, unlit, textured", 0.2, 0.0, 1.4, {75, 0, 0, 1}, true, false, false},
        {"wide and short, matte, textured", 0.6, 0.05, 0.5, {200, 1, 1, 0}, true, true, false},
        {"cut off, shiny, flat", 0.3, 0.12, 1.2, {-30, 0.3f, 1, 0.2f}, false, true, true, true},
        {"twigs, flat", 0.006, 0.0, 0.07, {70, 1, 0.4f, 0}, false, true, false, true, 8},
        {"cut off and pointed in turn", 0.3, 0.15, 1.2, {-60, 1, 0.5f, 0}, true, true, true, false, 2000, true},
    };
    const GLubyte checker[4 * 4 * 3] = {
        250, 240, 230, 40, 90, 160, 250, 240, 230, 40, 90, 160, 120, 200, 90, 250, 250, 250, 120, 200, 90,
        250, 250, 250, 250, 240, 230, 40, 90, 160, 250, 240, 230, 40, 90, 160, 120, 200, 90, 250, 250, 250,
        120, 200, 90, 250, 250, 250};
    const GLubyte whiteTexel[3] = {255, 255, 255};
    GLuint textures[2];
    glGenTextures(2, textures);
    for (int i = 0; i < 2; ++i) {
        glBindTexture(GL_TEXTURE_2D, textures[i]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, i ? 1 : 4, i ? 1 : 4, 0, GL_RGB, GL_UNSIGNED_BYTE, i ? whiteTexel : checker);
    }
    const ConeProgram programs[kConeShaderVariants] = {coneProgram(kUnlitCones), coneProgram(kMatteCones),
                                                        coneProgram(kShinyCones)};
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    auto picture = []() {
        std::vector<GLubyte> pixels(500 * 400 * 3);
        glReadPixels(0, 0, 500, 400, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    };
    for (const ConeCase& c : cases) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glBindTexture(GL_TEXTURE_2D, textures[0]);
        c.textured ? glEnable(GL_TEXTURE_2D) : glDisable(GL_TEXTURE_2D);
        c.lit ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING);
        glColor3f(0.9f, 0.5f, 0.2f);
        MesaGl mesa;
        gluQuadricTexture(mesa.quadric, c.textured ? GL_TRUE : GL_FALSE);
        coneRow(mesa, c);
        gluDeleteQuadric(mesa.quadric);
        const std::vector<GLubyte> expected = picture();

        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_LIGHTING);
        glBindTexture(GL_TEXTURE_2D, textures[c.textured ? 0 : 1]);
        Layer state = layer;
        state.state.setCapability(kLighting, c.lit);
        state.state.setCapability(kTexture2D, c.textured);
        state.state.setColour(0.9f, 0.5f, 0.2f, 1);
        InstancedGl ours{{state, {}}, c.textured};
        coneRow(ours, c);
        drawInstanced(programs, state.list);
        const std::vector<GLubyte> drawn = picture();

        int covered = 0, differing = 0;
        for (std::size_t p = 0; p < drawn.size(); p += 3) {
            int most = 0;
            for (int k = 0; k < 3; ++k) most = std::max(most, std::abs(drawn[p + k] - expected[p + k]));
            covered += (expected[p] | expected[p + 1] | expected[p + 2]) != 0;
            differing += most > 2;
        }
        EXPECT_EQ(state.list.runs.size(), 1u) << c.name;
        EXPECT_GE(covered, c.leastCovered) << c.name;
        EXPECT_LE(differing, covered / 100) << c.name << ": " << differing << " of " << covered << " pixels differ";
    }
    glDeleteTextures(2, textures);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
}

// The cones' look follows the state by its dirty bits alone: each change a cone reads opens a
// run of its own with no caller's help, and what a cone does not read opens none.
TEST_F(WebLayer, StateTheConesReadReachesThemWithoutHelp) {
    FixedState& s = layer.state;
    DrawList& list = layer.list;
    auto cone = [&] { list.addCone(s, 0.1, 0.0, 0.5, true); };
    const float red[4] = {1, 0, 0, 1}, place[4] = {0, 1, 2, 1};
    cone();
    cone();
    s.setFrontMaterial(GL_DIFFUSE, red);
    cone();
    s.setLight0(GL_POSITION, place);
    cone();
    s.setCapability(kLighting, false);
    cone();
    s.setColour(0.5f, 0.2f, 0.1f, 1);
    cone();
    s.setMatrixMode(kProjection);
    s.translate(0, 0, -1);
    s.setMatrixMode(kModelView);
    cone();
    s.setCapability(kTexture2D, true);
    cone();
    s.setNormal(0, 1, 0);
    s.translate(1, 0, 0);
    cone();
    ASSERT_EQ(list.runs.size(), 7u);
    EXPECT_TRUE(list.looks.back() == coneLook(s, true));
    EXPECT_EQ(list.runs.back().count, 2u * kConeSlices * 3);  // two pointed cones, a triangle a side
}
