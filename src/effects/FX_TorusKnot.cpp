#include "effects/FX_TorusKnot.h"

#include <cmath>
#include <cstring>

#include <epoxy/gl.h>
#include <GL/glu.h>

#include "effects/Camera.h"
#include "resources/Image.h"

namespace {

constexpr const char* kTexture = "pqknot/textura.png";
constexpr int kLayerSet = 8;

// Mesh.
constexpr float kTwoPi = 6.283184f;
constexpr float kCurveStep = 0.017453289f;      // 2 pi / 360: one ring per degree
constexpr float kRingStep = 0.392699f;          // 2 pi / 16
constexpr float kNormalWeight = 0.18181819f;    // 2/11: summed normals reach 12/11

// Motion.
constexpr RhythmTiming kRhythm{500, 200, true};  // a beat every ~700 ms
constexpr float kTurnDegreesPerMs = 0.21f;
constexpr float kPhasePerMs = 0.00006f;
constexpr float kSpinStepX = 6.0f;               // degrees per spin step
constexpr float kSpinStepY = 10.0f;

// What every beat takes away, and where that stops.
constexpr float kRadiusWaveStep = 2.0f, kRadiusWaveFloor = 2.0f;
constexpr float kTubeRadiusStep = 0.005f, kTubeRadiusFloor = 0.05f;
constexpr float kLobeStep = 0.05f, kLobeFloor = 1.0f;

// Placement and lights.
constexpr float kOffset[] = {1.1f, 0.1f, -2.0f};
constexpr GLfloat kLightAmbient[] = {0.3f, 0.3f, 0.3f, 1.0f};
constexpr GLfloat kLightDiffuse[] = {0.7f, 0.7f, 0.7f, 1.0f};
constexpr GLfloat kLightPosition[] = {0.0f, 0.0f, 16.0f, 1.0f};
constexpr GLfloat kWhite[] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr float kShininess = 128.0f;
constexpr GLfloat kPlaneS[] = {0.1f, 0.0f, 0.0f, 0.0f};   // object planes, unused
constexpr GLfloat kPlaneT[] = {0.0f, 0.0f, 0.1f, 0.0f};   // in eye-linear mode

Vec3 knotPoint(float p, float q, float u) {
    const float m = (std::sin(q * u) + 2.0f) / 2.0f;
    return {m * std::cos(p * u), m * std::cos(q * u), m * std::sin(p * u)};
}

}  // namespace

FX_TorusKnot::FX_TorusKnot(DemoContext& demo) : IEffect("KnotPQ"), demo_(demo), rhythm_(kRhythm) {}

uint32_t FX_TorusKnot::buildKnot(const KnotShape& s, Vec3* vertices, Vec3* normals, uint32_t* indices) {
    uint32_t count = 0;
    Vec3 P = knotPoint(s.p, s.q, 0.0f);
    for (float u = kCurveStep; u < kTwoPi; u += kCurveStep) {
        // A frame from the chord to the next curve point: B across it, N in
        // the plane of the chord and the two points.
        const Vec3 C = knotPoint(s.p, s.q, u);
        const Vec3 D = C - P;
        const Vec3 S = C + P;
        Vec3 B = cross(D, S);
        Vec3 N = cross(B, D);
        B = withLength(B, 1.0f);
        N = withLength(N, 1.0f);

        const float r = s.tubeRadius + (s.tubeRadius * 0.5f) * std::sin((u + s.phase) * s.radiusWaveFrequency);
        for (float v = 0.0f; v <= kTwoPi && count < kCapacity; v += kRingStep) {
            const float m2 = (std::sin(v * s.lobeFrequency) + 2.0f) / 2.0f;
            const float a = std::cos(v) * m2 * r;
            const float b = std::sin(v) * m2 * r;
            vertices[count++] = P + N * a + B * b;
        }
        P = C;   // the ring sits on the previous point; the first on C(0)
    }
    const RingLayout layout{kRingPoints, count, true, kNormalWeight, RingLayout::Indexing::Triangles};
    return triangulateRings(vertices, normals, indices, layout) / 3;
}

KnotShape FX_TorusKnot::shape() const {
    return {float(p_), float(q_), phase_, radiusWaveFrequency_, tubeRadius_, lobeFrequency_};
}

DataFileNeeds FX_TorusKnot::dataFiles() const { return withLayerSet(kLayerSet, {{kTexture}}); }

void FX_TorusKnot::init() {
    release();   // a second init starts from fresh zeroed buffers, the first ones go back
    loadLayerSet(layers_, kLayerSet, *demo_.files);
    capacity_ = kCapacity;
    vertices_ = static_cast<Vec3*>(allocZeroed(kCapacity * sizeof(Vec3)));
    normals_ = static_cast<Vec3*>(allocZeroed(capacity_ * sizeof(Vec3)));
    indices_ = static_cast<uint32_t*>(allocZeroed(capacity_ * 6 * sizeof(uint32_t)));
    camera_ = Camera{{0, 0, 0}, {0, 1, 0}, {0, 1, 4.4f}, 0.5f, 100.0f, 45.0f};
    texture_ = loadTexture(kTexture, *demo_.files);
}

void FX_TorusKnot::start() {
    glBindTexture(GL_TEXTURE_2D, texture_);

    // Eye planes keep their defaults, so the texture follows eye-space x, y.
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGenfv(GL_S, GL_OBJECT_PLANE, kPlaneS);
    glTexGenfv(GL_T, GL_OBJECT_PLANE, kPlaneT);
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
    glMaterialfv(GL_FRONT, GL_SPECULAR, kWhite);
    glMaterialf(GL_FRONT, GL_SHININESS, kShininess);

    applyCamera(camera_, demo_.aspect());

    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);

    glVertexPointer(3, GL_FLOAT, 0, vertices_);
    glNormalPointer(GL_FLOAT, 0, normals_);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);

    glClearColor(0, 0, 0, 0);
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    // Fog stays as the previous effect left it.
}

void FX_TorusKnot::beat(uint32_t t) {
    const float tf = float(t);
    demo_.angles.angleY = tf * kTurnDegreesPerMs;
    phase_ = tf * kPhasePerMs;

    const RhythmEvents events = rhythm_.advance(t);
    if (events.step) {
        demo_.angles.angleX += kSpinStepX;
        spinY_ += kSpinStepY;
    }
    if (events.started) {
        if (alternate_) ++q_; else ++p_;
        if (radiusWaveFrequency_ > kRadiusWaveFloor) radiusWaveFrequency_ -= kRadiusWaveStep;
        if (tubeRadius_ > kTubeRadiusFloor) tubeRadius_ -= kTubeRadiusStep;
        if (lobeFrequency_ > kLobeFloor) lobeFrequency_ -= kLobeStep;
        alternate_ = !alternate_;
        flashing_ = true;
    }
}

void FX_TorusKnot::render(uint32_t time_ms, uint32_t) {
    beat(time_ms);

    if (flashing_) {
        if (time_ms - rhythm_.lastBeatTime < kFlashMs) {
            glClearColor(1, 1, 1, 0);
            glClear(GL_COLOR_BUFFER_BIT);
            return;
        }
        // The frame the flash ends shows only the frame loop's (white) clear.
        flashing_ = false;
        return;
    }

    glPushMatrix();
    drawBackground(layers_);
    glTranslatef(kOffset[0], kOffset[1], kOffset[2]);
    glRotatef(demo_.angles.angleX, 1, 0, 0);
    glRotatef(spinY_ + demo_.angles.angleY, 0, 1, 0);

    if (vertices_) {
        std::memset(normals_, 0, capacity_ * sizeof(Vec3));
        triangleCount_ = buildKnot(shape(), vertices_, normals_, indices_);
        glColor3f(1, 1, 1);
        glDrawElements(GL_TRIANGLES, GLsizei(triangleCount_ * 3), GL_UNSIGNED_INT, indices_);
    }

    drawOverlay(layers_);
    glPopMatrix();
}

void FX_TorusKnot::release() {
    freeBlock(vertices_);
    freeBlock(normals_);
    freeBlock(indices_);
    vertices_ = normals_ = nullptr;
    indices_ = nullptr;
    triangleCount_ = 0;
    capacity_ = 0;
}
