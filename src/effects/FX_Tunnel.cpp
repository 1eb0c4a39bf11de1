#include "effects/FX_Tunnel.h"

#include <cmath>
#include <cstring>

#include <epoxy/gl.h>
#include <GL/glu.h>

#include "effects/Camera.h"
#include "resources/Image.h"

namespace {

constexpr const char* kTexture = "tunnel/textura.png";

// Shape: lobe parameters and ring spacing.  s runs 100 .. 0; depth is 10 s.
constexpr float kLobeP = 1.0f;
constexpr float kLobeQ = 3.0f;                 // three lobes
constexpr float kFirstS = 100.0f;
constexpr float kStepS = 5.0f;
constexpr float kTwoPi = 6.283184f;
constexpr float kAngleStep = 0.10471974f;      // 2 pi / 60, a 61st point closes the ring
constexpr float kNormalWeight = 0.33333334f;   // 1/3: summed normals reach length 2

// Flight.
constexpr float kStartEyeZ = 1000.0f;          // ring 0
constexpr float kBandDepth = 50.0f;
constexpr float kRollDegreesPerSecond = 100.0f;
constexpr float kUnitsPerSecond = 15.0f;
constexpr float kTubeGrey = 0.7f;

// Lights and fog.
constexpr GLfloat kLight0Ambient[] = {0.1f, 0.1f, 0.3f, 1.0f};
constexpr GLfloat kLight0Diffuse[] = {0.5f, 0.5f, 0.7f, 1.0f};
constexpr GLfloat kLight0Position[] = {0.0f, 0.0f, 0.5f, 1.0f};
constexpr GLfloat kLight1Ambient[] = {0.1f, 0.3f, 0.1f, 1.0f};
constexpr GLfloat kLight1Diffuse[] = {0.5f, 0.7f, 0.5f, 1.0f};
constexpr GLfloat kLight1Position[] = {0.0f, 0.0f, 500.0f, 1.0f};
constexpr GLfloat kWhite[] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr GLfloat kFogColour[] = {0.0f, 0.0f, 0.0f, 1.0f};
constexpr float kShininess = 128.0f;
constexpr float kFogDensity = 0.03f;
constexpr float kFogStart = 10.0f;
constexpr float kFogEnd = 55.0f;

// Texture layers: unit 0 modulated in object space, unit 1 added in eye space.
constexpr GLfloat kBasePlaneS[] = {0.04f, 0.0f, 0.0f, 0.0f};
constexpr GLfloat kBasePlaneT[] = {0.0f, 0.0f, 0.04f, 0.0f};
constexpr GLfloat kGlowPlaneS[] = {0.02f, 0.0f, 0.0f, 0.0f};   // object planes, unused
constexpr GLfloat kGlowPlaneT[] = {0.0f, 0.0f, 0.01f, 0.0f};   // in eye-linear mode

}  // namespace

FX_Tunnel::FX_Tunnel(DemoContext& demo) : IEffect("Tunnel"), demo_(demo) {}

uint32_t FX_Tunnel::buildRings(Vec3* vertices, float p, float q) {
    uint32_t count = 0;
    for (float s = kFirstS; s >= 0.0f; s -= kStepS) {
        const float depth = 10.0f * s;
        const float R = 4.0f * std::sin(s / 20.0f) + 7.0f;
        // 2 s in radians: the centre hops irregularly round a unit circle.
        const float cx = std::cos(2.0f * s);
        const float cy = std::sin(2.0f * s);
        const float Ry = R + 0.5f;
        for (float a = 0.0f; a <= kTwoPi && count < kCapacity; a += kAngleStep) {
            const float m = (std::sin(q * a) + 2.0f) * 0.5f;
            vertices[count++] = {std::cos(p * a) * m * R + cx, std::sin(p * a) * m * Ry + cy, depth};
        }
    }
    return count;
}

uint32_t FX_Tunnel::buildMesh(Vec3* vertices, Vec3* normals, uint32_t* indices) {
    const uint32_t count = buildRings(vertices, kLobeP, kLobeQ);
    const RingLayout layout{kRingPoints, count, true, kNormalWeight, RingLayout::Indexing::Triangles};
    return triangulateRings(vertices, normals, indices, layout);
}

uint32_t FX_Tunnel::firstBand(float eyeZ) {
    const float band = (kStartEyeZ - eyeZ) / kBandDepth;
    if (!(band > 0.0f)) return 0;
    if (band >= float(kLastBand)) return kLastBand;
    return uint32_t(band);
}

DataFileNeeds FX_Tunnel::dataFiles() const { return {{kTexture}}; }

void FX_Tunnel::init() {
    release();   // a second init starts from fresh zeroed buffers, the first ones go back
    capacity_ = kCapacity;
    vertices_ = static_cast<Vec3*>(allocZeroed(kCapacity * sizeof(Vec3)));
    normals_ = static_cast<Vec3*>(allocZeroed(capacity_ * sizeof(Vec3)));
    indices_ = static_cast<uint32_t*>(allocZeroed(capacity_ * 6 * sizeof(uint32_t)));

    camera_ = Camera{{0, 0, 0}, {0, 1, 0}, {0, 0, kStartEyeZ}, 0.5f, 100.0f, 45.0f};
    texture_ = loadTexture(kTexture, *demo_.files);

    buildMesh(vertices_, normals_, indices_);
    indicesPerBand_ = kIndicesPerBand;
}

void FX_Tunnel::start() {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_);

    // Positions go through whatever modelview the previous effect left.
    glEnable(GL_LIGHTING);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kLight0Ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLight0Diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kWhite);
    glLightfv(GL_LIGHT0, GL_POSITION, kLight0Position);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT1, GL_AMBIENT, kLight1Ambient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, kLight1Diffuse);
    glLightfv(GL_LIGHT1, GL_SPECULAR, kWhite);
    glLightfv(GL_LIGHT1, GL_POSITION, kLight1Position);
    glEnable(GL_LIGHT1);

    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glMaterialfv(GL_FRONT, GL_SPECULAR, kWhite);
    glMaterialf(GL_FRONT, GL_SHININESS, kShininess);

    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogfv(GL_FOG_COLOR, kFogColour);
    glFogf(GL_FOG_DENSITY, kFogDensity);
    glFogf(GL_FOG_START, kFogStart);
    glFogf(GL_FOG_END, kFogEnd);
    glEnable(GL_FOG);

    applyCamera(camera_, demo_.aspect());

    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);

    // Unit 0: the texture modulated by the lit colour, laid along the tube.
    glActiveTextureARB(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glTexGenfv(GL_S, GL_OBJECT_PLANE, kBasePlaneS);
    glTexGenfv(GL_T, GL_OBJECT_PLANE, kBasePlaneT);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);

    // Unit 1: the same texture added on top, fixed to the screen (the eye
    // planes keep their defaults, so it follows eye-space x and y).
    glActiveTextureARB(GL_TEXTURE1);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_ADD);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGenfv(GL_S, GL_OBJECT_PLANE, kGlowPlaneS);
    glTexGenfv(GL_T, GL_OBJECT_PLANE, kGlowPlaneT);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);

    glVertexPointer(3, GL_FLOAT, 0, vertices_);
    glNormalPointer(GL_FLOAT, 0, normals_);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);

    demo_.angles = SharedAngles{};
}

void FX_Tunnel::render(uint32_t time_ms, uint32_t delta_ms) {
    SharedAngles& angles = demo_.angles;
    angles.angleZ = float(time_ms) / 1000.0f * kRollDegreesPerSecond;
    camera_.eye[2] -= float(delta_ms) / 1000.0f * kUnitsPerSecond;

    glClearColor(0, 0, 0, 0);
    glPushMatrix();
    glLoadIdentity();
    glRotatef(angles.angleX, 1, 0, 0);
    glRotatef(angles.angleY, 0, 1, 0);
    glRotatef(angles.angleZ, 0, 0, 1);
    gluLookAt(camera_.eye[0], camera_.eye[1], camera_.eye[2], camera_.target[0], camera_.target[1],
              camera_.target[2], camera_.up[0], camera_.up[1], camera_.up[2]);

    glColor3f(kTubeGrey, kTubeGrey, kTubeGrey);

    // Past the last ring the second band is the zero-filled spare room: it
    // draws degenerate triangles on vertex 0, which the range still covers.
    const uint32_t count = 2 * indicesPerBand_;
    const uint32_t* first = indices_ + firstBand(camera_.eye[2]) * indicesPerBand_;
    uint32_t lo = ~0u, hi = 0;
    for (uint32_t n = 0; n < count; ++n) {
        if (first[n] < lo) lo = first[n];
        if (first[n] > hi) hi = first[n];
    }
    if (count > 0) glDrawRangeElements(GL_TRIANGLES, lo, hi, count, GL_UNSIGNED_INT, first);

    glPopMatrix();
}

void FX_Tunnel::release() {
    freeBlock(vertices_);
    freeBlock(normals_);
    freeBlock(indices_);
    vertices_ = normals_ = nullptr;
    indices_ = nullptr;
    indicesPerBand_ = 0;   // render draws nothing until the next init
    capacity_ = 0;
}
