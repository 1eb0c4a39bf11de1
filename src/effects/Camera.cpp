#include "effects/Camera.h"

#include <epoxy/gl.h>

#include <GL/glu.h>

void applyCamera(const Camera& camera, float aspect) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(camera.fovY, aspect, camera.zNear, camera.zFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(camera.eye[0], camera.eye[1], camera.eye[2], camera.target[0], camera.target[1], camera.target[2],
              camera.up[0], camera.up[1], camera.up[2]);
}
