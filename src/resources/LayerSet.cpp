#include "resources/LayerSet.h"

#include <string>

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

// One name for loading and for declaring: a set is three pictures in this order.
enum Layer { kMask, kForeground, kBackground, kLayers };
constexpr const char* kLayerSuffix[kLayers] = {"mascara", "damunt", "fondo"};

std::string layerPicture(int n, Layer layer) {
    return "layers/" + std::to_string(n) + "_" + kLayerSuffix[layer] + ".png";
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
    set.mask = loadTexture(layerPicture(n, kMask).c_str(), files);
    set.foreground = loadTexture(layerPicture(n, kForeground).c_str(), files);
    set.background = loadTexture(layerPicture(n, kBackground).c_str(), files);
}

DataFileNeeds withLayerSet(int n, DataFileNeeds needs) {
    for (int layer = 0; layer < kLayers; ++layer) needs.push_back({layerPicture(n, Layer(layer))});
    return needs;
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
