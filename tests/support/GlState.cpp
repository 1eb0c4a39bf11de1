#include "GlState.h"

#include <epoxy/gl.h>

namespace hlvtest {

namespace {

bool on(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }

int integer(GLenum what) {
    GLint v = 0;
    glGetIntegerv(what, &v);
    return v;
}

template <class T>
void compare(std::string& out, const char* name, const T& a, const T& b) {
    if (!(a == b)) out += std::string(out.empty() ? "" : ", ") + name;
}

template <size_t N>
bool same(const float (&a)[N], const float (&b)[N]) {
    for (size_t i = 0; i < N; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

}  // namespace

GlState GlState::capture() {
    GlState s{};
    s.lighting = on(GL_LIGHTING);
    s.colorMaterial = on(GL_COLOR_MATERIAL);
    s.texGenS = on(GL_TEXTURE_GEN_S);
    s.texGenT = on(GL_TEXTURE_GEN_T);
    s.depthTest = on(GL_DEPTH_TEST);
    s.blend = on(GL_BLEND);
    s.cullFace = on(GL_CULL_FACE);
    s.texture2D = on(GL_TEXTURE_2D);
    s.blendSrc = integer(GL_BLEND_SRC);
    s.blendDst = integer(GL_BLEND_DST);
    s.frontFace = integer(GL_FRONT_FACE);
    s.boundTexture = integer(GL_TEXTURE_BINDING_2D);
    s.matrixMode = integer(GL_MATRIX_MODE);
    s.modelviewDepth = integer(GL_MODELVIEW_STACK_DEPTH);
    s.projectionDepth = integer(GL_PROJECTION_STACK_DEPTH);
    glGetFloatv(GL_CURRENT_COLOR, s.color);
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, s.projection);
    return s;
}

std::string GlState::diff(const GlState& o) const {
    std::string out;
    compare(out, "lighting", lighting, o.lighting);
    compare(out, "colorMaterial", colorMaterial, o.colorMaterial);
    compare(out, "texGenS", texGenS, o.texGenS);
    compare(out, "texGenT", texGenT, o.texGenT);
    compare(out, "depthTest", depthTest, o.depthTest);
    compare(out, "blend", blend, o.blend);
    compare(out, "cullFace", cullFace, o.cullFace);
    compare(out, "texture2D", texture2D, o.texture2D);
    compare(out, "blendSrc", blendSrc, o.blendSrc);
    compare(out, "blendDst", blendDst, o.blendDst);
    compare(out, "frontFace", frontFace, o.frontFace);
    compare(out, "boundTexture", boundTexture, o.boundTexture);
    compare(out, "matrixMode", matrixMode, o.matrixMode);
    compare(out, "modelviewDepth", modelviewDepth, o.modelviewDepth);
    compare(out, "projectionDepth", projectionDepth, o.projectionDepth);
    compare(out, "color", same(color, o.color), true);
    compare(out, "modelview", same(modelview, o.modelview), true);
    compare(out, "projection", same(projection, o.projection), true);
    return out;
}

void setUnusualGlState() {
    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_COLOR);
    glFrontFace(GL_CCW);
    GLuint other = 0;
    glGenTextures(1, &other);
    glBindTexture(GL_TEXTURE_2D, other);
    glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 3, -4, 5, 1, 9);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.25f, -0.5f, 0.125f);
    glRotatef(30, 1, 2, 3);
}

}  // namespace hlvtest
