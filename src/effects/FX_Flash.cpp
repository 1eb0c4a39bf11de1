#include "effects/FX_Flash.h"

#include <epoxy/gl.h>

void FX_Flash::render(uint32_t, uint32_t) {
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}
