#include "resources/LayerSet.h"

#include <cstdio>

#include <epoxy/gl.h>

#include "resources/Image.h"

namespace {

constexpr float kQuadDepth = -0.5f;   // inside the identity view volume

// Saves everything the passes touch, so the calling effect keeps its state
// without any bookkeeping of its own.
void beginLayerFrame() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_ALL_ATTRIB_BITS);

    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glFrontFace(GL_CW);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);   // the layers neither test nor write depth
    glColor3f(1, 1, 1);
}

void endLayerFrame() {
    glPopAttrib();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace

// The first triangle runs clockwise, which is why the layer frame sets GL_CW.
void drawScreenQuad() {
    glBegin(GL_TRIANGLE_STRIP);
    glTexCoord2f(0, 0); glVertex3f(-1, 1, kQuadDepth);
    glTexCoord2f(1, 0); glVertex3f(1, 1, kQuadDepth);
    glTexCoord2f(0, 1); glVertex3f(-1, -1, kQuadDepth);
    glTexCoord2f(1, 1); glVertex3f(1, -1, kQuadDepth);
    glEnd();
}

void loadLayerSet(LayerSet& set, int n, DataFileService& files) {
    char name[260];
    std::snprintf(name, sizeof name, "layers/%d_mascara.png", n);
    set.mask = loadTexture(name, files);
    std::snprintf(name, sizeof name, "layers/%d_damunt.png", n);
    set.foreground = loadTexture(name, files);
    std::snprintf(name, sizeof name, "layers/%d_fondo.png", n);
    set.background = loadTexture(name, files);
}

void drawBackground(const LayerSet& set) {
    beginLayerFrame();
    // Blending stays as the effect set it: an additive effect adds its background.
    glBindTexture(GL_TEXTURE_2D, set.background);
    drawScreenQuad();
    endLayerFrame();
}

void drawOverlay(const LayerSet& set) {
    beginLayerFrame();
    // frame * mask: white keeps the scene, black cuts it out ...
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, set.mask);
    drawScreenQuad();
    // ... then the foreground fills what the mask cut out.
    glBlendFunc(GL_ONE, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, set.foreground);
    drawScreenQuad();
    endLayerFrame();
}
