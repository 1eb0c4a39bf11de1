#include "effects/FX_Final.h"

#include <epoxy/gl.h>

#include "resources/Image.h"
#include "resources/LayerSet.h"

namespace {
constexpr const char* kPicture = "final.png";
}  // namespace

DataFileNeeds FX_Final::dataFiles() const { return {{kPicture}}; }

void FX_Final::init() { texture_ = loadTexture(kPicture, *demo_.files); }

void FX_Final::render(uint32_t, uint32_t) {
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
    glColor3f(1, 1, 1);
    glDisable(GL_BLEND);   // the picture replaces the frame
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glBindTexture(GL_TEXTURE_2D, texture_);

    drawScreenQuad();

    glPopAttrib();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}
