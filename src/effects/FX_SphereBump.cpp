#include "effects/FX_SphereBump.h"

#include <cmath>
#include <cstring>

#include <epoxy/gl.h>
#include <GL/glu.h>

#include "effects/Billboard.h"
#include "effects/Camera.h"
#include "resources/Image.h"

namespace {

constexpr const char* kFlareTexture = "sphereb/FLARE.png";
constexpr const char* kTexture = "sphereb/textura.png";
constexpr int kLayerSet = 6;

// Mesh: rings from w = -2 up to 1.9, points all the way round each ring.
constexpr float kPi = 3.141592f;
constexpr float kTwoPi = 6.283184f;
constexpr float kFirstW = -2.0f, kLastW = 2.0f, kStepW = 0.15f;
constexpr float kThetaStep = 0.20943947f;       // 2 pi / 30: a 31st point closes the ring
constexpr float kNormalWeight = 0.18181819f;    // 2/11

// Fade-out: full at 149.3 s, gone 14 s later.
constexpr uint32_t kFadeStartMs = 149300;
constexpr float kFadeLengthMs = 14000.0f;

// Motion: degrees per 25 ms of frame time, scaled by the fade.
constexpr RhythmTiming kRhythm{400, 200, true};
constexpr float kTiltX = 30.0f;
constexpr float kMsPerUnit = 25.0f;
constexpr float kTurnPerUnit = 2.0f;            // 80 degrees per second at full fade
constexpr float kSpinPerUnit = 5.0f;

// Look.
constexpr float kOffset[] = {3.4f, -2.7f, -1.0f};          // lower right of the screen
constexpr float kTint[] = {0.26274511f, 0.38823530f, 0.48627451f};   // (67, 99, 124) / 255
constexpr float kTintFade = 0.7f, kTintFloor = 0.1f;
constexpr float kFlareScale = 1.05f;            // flares ride just above the surface
constexpr float kFlarePeak = 0.6f;
constexpr float kFlareSize = 0.25f;
constexpr GLfloat kLightAmbient[] = {0.3f, 0.3f, 0.3f, 1.0f};
constexpr GLfloat kLightDiffuse[] = {0.7f, 0.7f, 0.7f, 1.0f};
constexpr GLfloat kLightPosition[] = {0.0f, 0.0f, 16.0f, 1.0f};
constexpr GLfloat kWhite[] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr float kShininess = 128.0f;
constexpr GLfloat kPlaneS[] = {0.1f, 0.0f, 0.0f, 0.0f};   // object planes, unused
constexpr GLfloat kPlaneT[] = {0.0f, 0.0f, 0.1f, 0.0f};   // in eye-linear mode

}  // namespace

FX_SphereBump::FX_SphereBump(DemoContext& demo) : IEffect("SphereBump"), demo_(demo), rhythm_(kRhythm) {}

uint32_t FX_SphereBump::buildMesh(const SphereBumpShape& s, Vec3* vertices, Vec3* normals, uint32_t* indices) {
    uint32_t count = 0;
    for (float w = kFirstW; w < kLastW; w += kStepW) {
        const float ringRadius = std::sin((w + 2.0f) * 0.25f * kPi);
        const float twist = std::cos(s.twistFrequency * w);
        const float y0 = 2.0f * std::sin(-w * 0.25f * kPi - kPi);
        for (float theta = 0.0f; theta <= kTwoPi && count < kCapacity; theta += kThetaStep) {
            const float R = 2.0f + s.bumpAmplitude * std::sin(s.bumpFrequency * (theta + twist));
            vertices[count++] = {std::cos(theta) * R * ringRadius,
                                 s.waveAmplitude * std::sin(s.waveFrequency * theta) + y0,
                                 std::sin(theta) * R * ringRadius};
        }
    }
    // The bottom ring is a single point repeated, so its quads have
    // collapsed triangles; those add no normal (see withLength).
    const RingLayout layout{kRingPoints, count, false, kNormalWeight, RingLayout::Indexing::Strip};
    return triangulateRings(vertices, normals, indices, layout);
}

float FX_SphereBump::fade(uint32_t t) {
    const float sinceStart = float(uint32_t(t - kFadeStartMs));
    const float angle = (1.0f - sinceStart / kFadeLengthMs) * kPi * 0.5f;
    return std::sin(angle);
}

Vec3 FX_SphereBump::tint(float c) {
    const float f = c * kTintFade + kTintFloor;
    return {f * kTint[0], f * kTint[1], f * kTint[2]};
}

float FX_SphereBump::flareBrightness(uint32_t i, uint32_t indexCount, float c) {
    return c * kFlarePeak * std::fabs(std::sin(float(i) / float(indexCount) * 2.0f * kPi));
}

DataFileNeeds FX_SphereBump::dataFiles() const { return withLayerSet(kLayerSet, {{kFlareTexture}, {kTexture}}); }

void FX_SphereBump::init() {
    release();   // a second init starts from fresh zeroed buffers, the first ones go back
    capacity_ = kCapacity;
    vertices_ = static_cast<Vec3*>(allocZeroed(kCapacity * sizeof(Vec3)));
    normals_ = static_cast<Vec3*>(allocZeroed(capacity_ * sizeof(Vec3)));
    indices_ = static_cast<uint32_t*>(allocZeroed(capacity_ * 6 * sizeof(uint32_t)));
    camera_ = Camera{{0, 0, 0}, {0, 1, 0}, {0, 0, 5}, 0.5f, 100.0f, 45.0f};
    loadLayerSet(layers_, kLayerSet, *demo_.files);
    flareTexture_ = loadTexture(kFlareTexture, *demo_.files);
    texture_ = loadTexture(kTexture, *demo_.files);

    flareList_ = compileSpriteList(kFlareSize);

    std::memset(normals_, 0, capacity_ * sizeof(Vec3));
    indexCount_ = buildMesh(shape_, vertices_, normals_, indices_);
}

void FX_SphereBump::start() {
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);

    glActiveTextureARB(GL_TEXTURE1);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glActiveTextureARB(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glBindTexture(GL_TEXTURE_2D, texture_);

    // Eye planes keep their defaults, so the texture follows eye-space x, y.
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGenfv(GL_S, GL_OBJECT_PLANE, kPlaneS);
    glTexGenfv(GL_T, GL_OBJECT_PLANE, kPlaneT);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);

    // Light 1 keeps whatever the previous effect gave it.
    glEnable(GL_LIGHTING);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kLightAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kWhite);
    glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);
    glEnable(GL_LIGHT0);

    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glMaterialfv(GL_FRONT, GL_SPECULAR, kWhite);
    glMaterialf(GL_FRONT, GL_SHININESS, kShininess);

    applyCamera(camera_, demo_.aspect());

    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glDisable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);

    glVertexPointer(3, GL_FLOAT, 0, vertices_);
    glNormalPointer(GL_FLOAT, 0, normals_);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);

    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_BLEND);
    glClearColor(0, 0, 0, 0);
}

void FX_SphereBump::advance(uint32_t t, uint32_t dt) {
    const float c = fade(t);
    SharedAngles& angles = demo_.angles;
    angles.angleX = kTiltX;
    const float d = float(dt) / kMsPerUnit;
    angles.angleY -= c * kTurnPerUnit * d;
    if (rhythm_.advance(t).step) angles.angleY -= c * kSpinPerUnit * d;
}

void FX_SphereBump::render(uint32_t time_ms, uint32_t delta_ms) {
    advance(time_ms, delta_ms);
    const float c = fade(time_ms);
    const SharedAngles& angles = demo_.angles;

    glPushMatrix();
    glTranslatef(kOffset[0], kOffset[1], kOffset[2]);
    glRotatef(angles.angleX, 1, 0, 0);
    glRotatef(angles.angleY, 0, 1, 0);
    drawBackground(layers_);

    glBindTexture(GL_TEXTURE_2D, texture_);
    const Vec3 colour = tint(c);
    glColor3f(colour.x, colour.y, colour.z);
    if (indexCount_ > 0) glDrawElements(GL_TRIANGLE_STRIP, GLsizei(indexCount_), GL_UNSIGNED_INT, indices_);

    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glBindTexture(GL_TEXTURE_2D, flareTexture_);
    glScalef(kFlareScale, kFlareScale, kFlareScale);

    // Billboards: the position follows the turned, scaled sphere, but the
    // quad itself gets an identity rotation, so every flare faces the screen
    // at the same size.
    const uint32_t flares = indexCount_ > kFlareShortfall ? indexCount_ - kFlareShortfall : 0;
    for (uint32_t i = 0; i < flares; ++i) {
        const float g = flareBrightness(i, indexCount_, c);
        glColor3f(g, g, g);
        const Vec3 v = vertices_[i];
        glTranslatef(v.x, v.y, v.z);
        glPushMatrix();
        faceScreen();
        glCallList(flareList_);
        glPopMatrix();
        glTranslatef(-v.x, -v.y, -v.z);
    }

    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    drawOverlay(layers_);
    glPopMatrix();
}

void FX_SphereBump::release() {
    freeBlock(vertices_);
    freeBlock(normals_);
    freeBlock(indices_);
    vertices_ = normals_ = nullptr;
    indices_ = nullptr;
    indexCount_ = 0;   // neither the sphere nor its flares draw until the next init
    capacity_ = 0;
}
