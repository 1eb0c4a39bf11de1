#include "effects/FX_CubeFloor.h"

#include <epoxy/gl.h>

#include "effects/Camera.h"
#include "resources/Image.h"

namespace {

constexpr const char* kTextureName = "cubef/textura.png";
constexpr int kLayerSet = 9;

constexpr int   kKickOneIn = 10;                 // a draw divisible by this kicks the box
constexpr float kSwingDegrees = 5.0f;            // angleY per beat step
constexpr float kBrightnessAtTop = 0.1f;         // keeps 64 added boxes from burning out
constexpr float kTint[3] = {0.7411765f, 0.85882354f, 1.0f};                   // (189, 219, 255) / 255
constexpr float kClear[3] = {0.050980393f, 0.13333334f, 0.21960784f};        // (13, 34, 56) / 255

}  // namespace

namespace cubefloor {

float brightnessOf(float height) { return float(double(height) / kKickHeight * kBrightnessAtTop); }

}  // namespace cubefloor

using namespace cubefloor;

FX_CubeFloor::FX_CubeFloor(DemoContext& demo) : IEffect("CubeFloor"), demo_(demo) {}

DataFileNeeds FX_CubeFloor::dataFiles() const { return withLayerSet(kLayerSet, {{kTextureName}}); }

void FX_CubeFloor::init() {
    loadLayerSet(layers_, kLayerSet, *demo_.files);
    for (float& h : heights_) h = 0.0f;
    // A lens of 130 degrees from 6 units away: the floor fills the screen
    // and bends away at the edges.
    camera_ = Camera{{0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, -6.0f}, 0.5f, 100.0f, 130.0f};
    texture_ = loadTexture(kTextureName, *demo_.files);

    // Four sides around the x axis and a 1 x 1 patch of one end; the other
    // end stays open.  No normals or texture coordinates: sphere mapping
    // takes whatever normal is current.
    boxList_ = glGenLists(1);
    glNewList(boxList_, GL_COMPILE);
    glScalef(2.0f, 2.0f, 2.0f);
    glBegin(GL_TRIANGLE_STRIP);
    glVertex3f(0, 0, 0);  glVertex3f(2, 0, 0);
    glVertex3f(0, 0, 2);  glVertex3f(2, 0, 2);
    glVertex3f(0, -2, 2); glVertex3f(2, -2, 2);
    glVertex3f(0, -2, 0); glVertex3f(2, -2, 0);
    glVertex3f(0, 0, 0);  glVertex3f(2, 0, 0);
    glEnd();
    glBegin(GL_TRIANGLE_STRIP);
    glVertex3f(0, 0, 0);  glVertex3f(0, 0, 1);
    glVertex3f(0, -1, 0); glVertex3f(0, -1, 1);
    glEnd();
    glEndList();
}

void FX_CubeFloor::start() {
    applyCamera(camera_, demo_.aspect());
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glDisable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_BLEND);
    glClearColor(kClear[0], kClear[1], kClear[2], 0.0f);
}

void FX_CubeFloor::advance(uint32_t time_ms, uint32_t delta_ms) {
    if (rhythm_.advance(time_ms).step) demo_.angles.angleY += kSwingDegrees;

    // The draws come from the show's one generator, so the pattern depends
    // on everything drawn from it before: part of the show, not noise.
    if (time_ms - lastKickTime_ > kKickEveryMs) {
        for (float& h : heights_)
            if (demo_.random.next() % kKickOneIn == 0) h = kKickHeight;
        lastKickTime_ = time_ms;
    }

    // A box may sink a little below zero; it then rests there, unseen,
    // until its next kick.
    const double sink = double(delta_ms) / 10.0 * kSinkPerTenMs;
    for (float& h : heights_)
        if (h > 0.0f) h = float(double(h) - sink);
}

void FX_CubeFloor::render(uint32_t time_ms, uint32_t delta_ms) {
    advance(time_ms, delta_ms);

    const SharedAngles& angles = demo_.angles;
    glPushMatrix();
    glRotatef(angles.angleX, 1.0f, 0.0f, 0.0f);
    glRotatef(angles.angleY, 0.0f, 1.0f, 0.0f);
    glRotatef(angles.angleZ, 0.0f, 0.0f, 1.0f);
    drawBackground(layers_);

    forEachVisibleBox([this](const Box& box) {
        glColor3f(box.brightness * kTint[0], box.brightness * kTint[1], box.brightness * kTint[2]);
        glPushMatrix();
        glTranslatef(box.x, box.height, box.z);
        glCallList(boxList_);
        glPopMatrix();
    });

    drawOverlay(layers_);
    glPopMatrix();
}
