#include "effects/FX_CubeMorph.h"

#include <cmath>

#include <epoxy/gl.h>
#include <GL/glu.h>

#include "effects/Camera.h"
#include "resources/Image.h"

namespace {

constexpr const char* kTextureName = "cubem/textura.png";
constexpr int   kLayerSet = 5;
constexpr float kPhaseStep = 0.15f;         // phase added per pulse step
constexpr float kPulseTurnDegrees = 2.5f;   // each shared angle jumps by this as a pulse starts
constexpr float kTurnPerSecond = 15.0f;     // degrees per second on each axis
constexpr float kPhasePerSecond = 1.5f;
constexpr float kPhaseOffsetB = 65.0f;      // puts B well away from A on its circle
constexpr float kCubeOffset[3] = {0.7f, -0.4f, -0.4f};   // off centre, towards the lower right
constexpr float kGrey[3] = {0.7f, 0.7f, 0.7f};

// Bright, over-saturating light: ambient and diffuse above 1 on purpose.
constexpr float kLightAmbient[4] = {1.3f, 1.3f, 1.3f, 1.0f};
constexpr float kLightDiffuse[4] = {1.7f, 1.7f, 1.7f, 1.0f};
constexpr float kLightSpecular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr float kLightPosition[4] = {0.0f, 10.0f, 10.0f, 1.0f};   // world space, above the camera
constexpr float kMaterialSpecular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr int   kShininess = 128;

}  // namespace

namespace cubemorph {

Attractors attractorsAt(float phase) {
    // The offset sums are rounded to floats before their sines, as the paths
    // were always computed; the coordinates are stored as floats.
    const float half = 0.5f * phase;
    const float shifted = phase + kPhaseOffsetB;
    const float halfShifted = half + kPhaseOffsetB;
    Attractors at;
    at.a = {float(std::sin(double(phase))), float(std::cos(double(phase))), float(std::sin(double(half)))};
    at.b = {float(std::cos(double(shifted))), float(std::sin(double(shifted))),
            float(std::cos(double(halfShifted)))};
    return at;
}

namespace {

// Near rule: a corner closer than 1 / kNearLimit to p moves in to the
// distance it would have at that limit, measured from the centre.  Exactly on
// p, 1 / r is infinite and the corner lands on the centre.
Vec3 pullNear(Vec3 q, Vec3 p) {
    const float r = std::sqrt(dot(q - p, q - p));
    const float k = 1.0f / r;
    return k > kNearLimit ? q * (kNearLimit / k) : q;
}

Vec3 pullFar(Vec3 q, Vec3 p) {
    const float r = std::sqrt(dot(q - p, q - p));
    return r > kFarLimit ? q * (kFarLimit / r) : q;
}

}  // namespace

Vec3 morphCorner(Vec3 q, const Attractors& at) {
    q = pullNear(q, at.a);
    q = pullNear(q, at.b);
    return pullFar(q, at.b);
}

void cellCorners(int face, float u, float v, Vec3 q[4]) {
    const float u1 = u + kCellSize, v1 = v + kCellSize;
    switch (face) {
    case 0:   // y = +1
        q[0] = {u, 1, v}; q[1] = {u1, 1, v}; q[2] = {u, 1, v1}; q[3] = {u1, 1, v1};
        break;
    case 1:   // y = -1
        q[0] = {u, -1, v}; q[1] = {u, -1, v1}; q[2] = {u1, -1, v}; q[3] = {u1, -1, v1};
        break;
    case 2:   // z = -1
        q[0] = {u, v, -1}; q[1] = {u1, v, -1}; q[2] = {u, v1, -1}; q[3] = {u1, v1, -1};
        break;
    case 3:   // z = +1
        q[0] = {u, v, 1}; q[1] = {u, v1, 1}; q[2] = {u1, v, 1}; q[3] = {u1, v1, 1};
        break;
    case 4:   // x = -1
        q[0] = {-1, u, v}; q[1] = {-1, u1, v}; q[2] = {-1, u, v1}; q[3] = {-1, u1, v1};
        break;
    default:  // x = +1
        q[0] = {1, u, v}; q[1] = {1, u, v1}; q[2] = {1, u1, v}; q[3] = {1, u1, v1};
        break;
    }
}

}  // namespace cubemorph

using namespace cubemorph;

FX_CubeMorph::FX_CubeMorph(DemoContext& demo) : IEffect("CubeMorph"), demo_(demo) {}

DataFileNeeds FX_CubeMorph::dataFiles() const { return withLayerSet(kLayerSet, {{kTextureName}}); }

void FX_CubeMorph::init() {
    loadLayerSet(layers_, kLayerSet, *demo_.files);
    texture_ = loadTexture(kTextureName, *demo_.files);
    camera_ = Camera{{0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 3.0f, 3.0f}, 0.5f, 100.0f, 45.0f};
}

void FX_CubeMorph::start() {
    applyCamera(camera_, demo_.aspect());

    glActiveTextureARB(GL_TEXTURE1);
    glDisable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);

    glDisable(GL_BLEND);
    glFrontFace(GL_CW);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);

    glBindTexture(GL_TEXTURE_2D, texture_);

    glEnable(GL_LIGHTING);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kLightAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kLightSpecular);
    glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);   // only the camera on the stack
    glEnable(GL_LIGHT0);
    glDisable(GL_LIGHT1);

    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glMaterialfv(GL_FRONT, GL_SPECULAR, kMaterialSpecular);
    glMateriali(GL_FRONT, GL_SHININESS, kShininess);

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glEnable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
}

void FX_CubeMorph::pulse(uint32_t time_ms) {
    const RhythmEvents events = rhythm_.advance(time_ms);
    if (events.step) phase_ += kPhaseStep;
    if (events.started) {
        demo_.angles.angleX += kPulseTurnDegrees;
        demo_.angles.angleY += kPulseTurnDegrees;
        demo_.angles.angleZ += kPulseTurnDegrees;
    }
}

void FX_CubeMorph::drift(uint32_t delta_ms) {
    const float seconds = float(delta_ms) / 1000.0f;
    demo_.angles.angleX += kTurnPerSecond * seconds;
    demo_.angles.angleY += kTurnPerSecond * seconds;
    demo_.angles.angleZ += kTurnPerSecond * seconds;
    phase_ += kPhasePerSecond * seconds;
}

void FX_CubeMorph::render(uint32_t time_ms, uint32_t delta_ms) {
    // The dents follow the phase as it was before this frame's step.
    const Attractors at = attractorsAt(phase_);

    glPushMatrix();
    pulse(time_ms);
    glTranslatef(kCubeOffset[0], kCubeOffset[1], kCubeOffset[2]);
    glRotatef(demo_.angles.angleX, 1.0f, 0.0f, 0.0f);
    glRotatef(demo_.angles.angleY, 0.0f, 1.0f, 0.0f);
    glRotatef(demo_.angles.angleZ, 0.0f, 0.0f, 1.0f);

    drawBackground(layers_);

    glBegin(GL_TRIANGLES);
    glColor3f(kGrey[0], kGrey[1], kGrey[2]);   // colour material: the front ambient and diffuse
    buildCube(at, [](const CubeTriangle& tri) {
        glNormal3f(tri.normal.x, tri.normal.y, tri.normal.z);
        for (int k = 0; k < 3; ++k) {
            glTexCoord2f(tri.tex[k][0], tri.tex[k][1]);
            glVertex3f(tri.corner[k].x, tri.corner[k].y, tri.corner[k].z);
        }
    });
    glEnd();

    drawOverlay(layers_);
    glPopMatrix();

    drift(delta_ms);
}
