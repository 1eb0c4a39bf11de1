#include "effects/FX_Null.h"

#include <epoxy/gl.h>

void FX_Null::render(uint32_t, uint32_t) {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
}
