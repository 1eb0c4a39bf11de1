#include "effects/Billboard.h"

#include <epoxy/gl.h>

void faceScreen() {
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    m[0] = 1; m[1] = 0; m[2] = 0;
    m[4] = 0; m[5] = 1; m[6] = 0;
    m[8] = 0; m[9] = 0; m[10] = 1;
    glLoadMatrixf(m);
}

unsigned int compileSpriteList(float edge) {
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_TRIANGLE_STRIP);
    glTexCoord2f(1, 0); glVertex3f(edge, 0, 0);
    glTexCoord2f(0, 0); glVertex3f(0, 0, 0);
    glTexCoord2f(1, 1); glVertex3f(edge, edge, 0);
    glTexCoord2f(0, 1); glVertex3f(0, edge, 0);
    glEnd();
    glEndList();
    return list;
}
