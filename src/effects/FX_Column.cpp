#include "effects/FX_Column.h"

#include <cmath>
#include <cstring>

#include <epoxy/gl.h>

#include "effects/Camera.h"
#include "resources/Image.h"

namespace {

constexpr const char* kTexture = "column/textura.png";
constexpr int kLayerSet = 4;

// Rings from y = -3 while y < 3 in steps of 0.1; points from angle 0 while
// the angle stays within 2 pi, so the last point stops short of the first.
constexpr float kFirstY = -3.0f, kEndY = 3.0f, kStepY = 0.1f;
constexpr float kAngleStep = 0.0785398f;        // pi / 40
constexpr float kTwoPi = 6.283184f;
constexpr float kRippleBase = 2.0f;             // radius factor the ripple swings around
constexpr float kNormalWeight = 0.18181819f;    // 2/11

// Motion: everything follows b, 0.8 radians per second of music time.
constexpr double kSpeed = 80, kSpeedScale = 0.01;
constexpr float kBumpAmplitude = 0.75f;
constexpr float kBulgeFrequency = 8.0f, kBaseRadius = 0.55f, kBulgeAmplitude = 0.1f, kBulgePhase = 0.0f;

// Look.
constexpr float   kTint[] = {0.39411765f, 0.58235294f, 0.7294118f};
constexpr float   kTurnY = 90.0f;   // degrees
constexpr GLfloat kLightAmbient[] = {0.3f, 0.3f, 0.3f, 1.0f};
constexpr GLfloat kLightDiffuse[] = {2.0f, 2.0f, 2.0f, 1.0f};
constexpr GLfloat kLightPosition[] = {0.0f, -5.0f, -5.0f, 1.0f};   // through the modelview start finds
constexpr GLfloat kWhite[] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr GLfloat kSpecular[] = {2.0f, 2.0f, 2.0f, 1.0f};
constexpr float   kShininess = 128.0f;

}  // namespace

FX_Column::FX_Column(DemoContext& demo) : IEffect("Column"), demo_(demo) { shape_.bumpAmplitude = kBumpAmplitude; }

ColumnShape FX_Column::shapeAt(uint32_t t) {
    const float s = float(t) / 1000.0f;
    const float b = float(s * kSpeed * kSpeedScale);
    const float halfB = 0.5f * b;
    return {kBumpAmplitude,
            2.0f * std::sin(b),
            1.1f * std::sin(b) + 2.0f,
            1.5f * std::cos(halfB) + 2.0f,
            0.1f * std::cos(halfB) + 0.3f,
            kBulgeFrequency,
            kBaseRadius,
            kBulgeAmplitude,
            kBulgePhase};
}

uint32_t FX_Column::buildTube(const ColumnShape& s, uint32_t capacity, Vec3* vertices, Vec3* normals,
                              uint32_t* indices) {
    uint32_t n = 0;
    uint32_t ringSize = 0;
    for (float y = kFirstY; y < kEndY; y += kStepY) {
        const float bulge = std::sin(s.bulgeFrequency * y + s.bulgePhase) * s.bulgeAmplitude + s.baseRadius;
        const float twist = std::cos(s.twistFrequency * y);
        // Count the ring first: only whole rings go in, so the triangulation
        // never sees a ragged last ring.
        uint32_t points = 0;
        for (float a = 0.0f; a <= kTwoPi; a += kAngleStep) ++points;
        if (n + points > capacity) break;
        ringSize = points;
        for (float a = 0.0f; a <= kTwoPi; a += kAngleStep) {
            const float r = std::sin((a + twist) * s.bumpFrequency) * s.bumpAmplitude + kRippleBase;
            vertices[n++] = {std::cos(a) * r * bulge, std::sin(a * s.waveFrequency) * s.waveAmplitude + y,
                             std::sin(a) * r * bulge};
        }
    }
    const RingLayout layout{ringSize, n, false, kNormalWeight, RingLayout::Indexing::Strip};
    return triangulateRings(vertices, normals, indices, layout);
}

DataFileNeeds FX_Column::dataFiles() const { return withLayerSet(kLayerSet, {{kTexture}}); }

void FX_Column::init() {
    loadLayerSet(layers_, kLayerSet, *demo_.files);
    capacity_ = kCapacity;
    vertices_ = static_cast<Vec3*>(allocZeroed(capacity_ * sizeof(Vec3)));
    normals_ = static_cast<Vec3*>(allocZeroed(capacity_ * sizeof(Vec3)));
    indices_ = static_cast<uint32_t*>(allocZeroed(capacity_ * 6 * sizeof(uint32_t)));
    camera_ = Camera{{0, 0, 0}, {0, 1, 0}, {0, 0, 6.8f}, 0.1f, 100.0f, 45.0f};
    texture_ = loadTexture(kTexture, *demo_.files);
}

void FX_Column::start() {
    // Works on whichever texture unit is active.
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);

    glEnable(GL_LIGHTING);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kLightAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kWhite);
    glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);
    glEnable(GL_LIGHT0);
    glDisable(GL_LIGHT1);

    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glMaterialfv(GL_FRONT, GL_SPECULAR, kSpecular);
    glMaterialf(GL_FRONT, GL_SHININESS, kShininess);

    applyCamera(camera_, demo_.aspect());

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_FOG);
    glDisable(GL_BLEND);

    glVertexPointer(3, GL_FLOAT, 0, vertices_);
    glNormalPointer(GL_FLOAT, 0, normals_);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);

    glClearColor(0, 0, 0, 0);
}

void FX_Column::render(uint32_t time_ms, uint32_t delta_ms) {
    (void)delta_ms;
    shape_ = shapeAt(time_ms);

    glPushMatrix();
    glRotatef(kTurnY, 0, 1, 0);
    std::memset(normals_, 0, capacity_ * sizeof(Vec3));
    drawBackground(layers_);

    glColor3f(kTint[0], kTint[1], kTint[2]);
    vertexCount_ = buildTube(shape_, capacity_, vertices_, normals_, indices_);
    if (vertexCount_ > 0) glDrawElements(GL_TRIANGLE_STRIP, GLsizei(vertexCount_), GL_UNSIGNED_INT, indices_);

    drawOverlay(layers_);
    glPopMatrix();
    glFlush();
}

void FX_Column::release() {
    freeBlock(vertices_);
    freeBlock(normals_);
    freeBlock(indices_);
    vertices_ = normals_ = nullptr;
    indices_ = nullptr;
}
