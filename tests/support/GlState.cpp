#include "GlState.h"

#include <epoxy/gl.h>

namespace hlvtest {

namespace {

// Capabilities read through glGet as well: the compatibility profile allows it.
constexpr std::pair<const char*, GLenum> kFields[] = {
    {"lighting", GL_LIGHTING},           {"colorMaterial", GL_COLOR_MATERIAL},
    {"texGenS", GL_TEXTURE_GEN_S},       {"texGenT", GL_TEXTURE_GEN_T},
    {"depthTest", GL_DEPTH_TEST},        {"blend", GL_BLEND},
    {"cullFace", GL_CULL_FACE},          {"texture2D", GL_TEXTURE_2D},
    {"blendSrc", GL_BLEND_SRC},          {"blendDst", GL_BLEND_DST},
    {"frontFace", GL_FRONT_FACE},        {"boundTexture", GL_TEXTURE_BINDING_2D},
    {"matrixMode", GL_MATRIX_MODE},      {"modelviewDepth", GL_MODELVIEW_STACK_DEPTH},
    {"color", GL_CURRENT_COLOR},         {"projectionDepth", GL_PROJECTION_STACK_DEPTH},
    {"modelview", GL_MODELVIEW_MATRIX},  {"projection", GL_PROJECTION_MATRIX},
    {"activeTexture", GL_ACTIVE_TEXTURE}, {"unpackAlignment", GL_UNPACK_ALIGNMENT},
    {"scissorTest", GL_SCISSOR_TEST}};

}  // namespace

GlState GlState::capture() {
    GlState s;
    for (auto [name, what] : kFields) {
        std::vector<float> value(16, 0.0f);   // room for a matrix
        glGetFloatv(what, value.data());
        s.fields.emplace_back(name, std::move(value));
    }
    return s;
}

std::string GlState::diff(const GlState& o) const {
    std::string out;
    for (size_t i = 0; i < fields.size() && i < o.fields.size(); ++i)
        if (fields[i].second != o.fields[i].second)
            out += (out.empty() ? "" : ", ") + std::string(fields[i].first);
    return out;
}

void setUnusualGlState() {
    for (GLenum cap : {GL_LIGHTING, GL_COLOR_MATERIAL, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_DEPTH_TEST,
                       GL_CULL_FACE, GL_BLEND})
        glEnable(cap);
    glDisable(GL_TEXTURE_2D);
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
