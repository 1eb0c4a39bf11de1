#include "engine/LoadingScreen.h"

#include <epoxy/gl.h>

#include "resources/LayerSet.h"

namespace {

// The bar's place on screen, in normalised coordinates: its local units are
// scaled by (0.3, 0.6) about (0.045, -0.427).
constexpr float kBarOriginX = 0.045f, kBarOriginY = -0.427f;
constexpr float kBarScaleX = 0.3f, kBarScaleY = 0.6f;
constexpr float kBarLeft = -0.88f, kBarHalfHeight = 0.02f;   // local units
constexpr float kBarColour[3] = {0.2f, 0.25f, 0.3f};

void fullScreenQuad(uint32_t texture) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor3f(1.0f, 1.0f, 1.0f);
    drawScreenQuad();   // texture row 0 at the top of the screen
}

}  // namespace

void drawLoadingScreen(uint32_t slot0Texture, uint32_t slot1Texture, float loadProgress) {
    if (slot0Texture == 0) return;

    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    // The push below is undone by a pop in model-view mode, so it must push
    // the model-view stack too, whatever an effect's init left current.
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glFrontFace(GL_CW);
    glDisable(GL_BLEND);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_2D);
    fullScreenQuad(slot0Texture);

    glPushMatrix();
    glTranslatef(kBarOriginX, kBarOriginY, 0);
    glScalef(kBarScaleX, kBarScaleY, 1);
    glDisable(GL_TEXTURE_2D);
    glColor3fv(kBarColour);
    const float right = float(double(loadProgress) - 0.02);
    glBegin(GL_TRIANGLE_STRIP);
    glVertex3f(kBarLeft, kBarHalfHeight, 0);
    glVertex3f(right, kBarHalfHeight, 0);
    glVertex3f(kBarLeft, -kBarHalfHeight, 0);
    glVertex3f(right, -kBarHalfHeight, 0);
    glEnd();
    glPopMatrix();

    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    fullScreenQuad(slot1Texture);

    glBlendFunc(GL_ONE, GL_ONE);
    glDisable(GL_BLEND);
    glPopMatrix();
}
