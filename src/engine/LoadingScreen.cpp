#include "engine/LoadingScreen.h"

#include <algorithm>
#include <cmath>

#include <epoxy/gl.h>

#include "resources/LayerSet.h"

namespace {

// The bar's place on screen, in normalised coordinates: its local units are
// scaled by (0.3, 0.6) about (0.045, -0.427).
constexpr float kBarOriginX = 0.045f, kBarOriginY = -0.427f;
constexpr float kBarScaleX = 0.3f, kBarScaleY = 0.6f;
constexpr float kBarLeft = -0.88f, kBarHalfHeight = 0.02f;   // local units
constexpr float kBarColour[3] = {0.2f, 0.25f, 0.3f};
constexpr int kBandMargin = 2;   // pixels above and below the bar's band, against rounding

// Rows [first, end) of the viewport that the bar can touch, whatever its length.
void barBand(const int viewport[4], int& first, int& end) {
    const double low = kBarOriginY - double(kBarHalfHeight) * kBarScaleY;
    const double high = kBarOriginY + double(kBarHalfHeight) * kBarScaleY;
    first = viewport[1] + int(std::floor((low + 1) / 2 * viewport[3])) - kBandMargin;
    end = viewport[1] + int(std::ceil((high + 1) / 2 * viewport[3])) + kBandMargin;
}

struct Framebuffers {
    GLint draw = 0, read = 0;
    Framebuffers() {
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    }
    void restore() const {
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(draw));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(read));
    }
};

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

// Everything besides what drawLoadingScreen sets itself that decides its
// pixels: an init that changes any of it (fog, texture environment, a
// second texture unit...) makes the kept frame stale.
std::vector<float> LoadingScreen::drawingState() {
    std::vector<float> s;
    for (GLenum cap : {GL_FOG, GL_ALPHA_TEST, GL_STENCIL_TEST, GL_COLOR_LOGIC_OP, GL_SCISSOR_TEST, GL_DITHER,
                       GL_TEXTURE_1D, GL_TEXTURE_3D, GL_TEXTURE_CUBE_MAP, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q,
                       GL_POLYGON_STIPPLE, GL_COLOR_SUM, GL_FRAMEBUFFER_SRGB, GL_CLIP_PLANE0, GL_CLIP_PLANE1,
                       GL_CLIP_PLANE2, GL_CLIP_PLANE3, GL_CLIP_PLANE4, GL_CLIP_PLANE5})
        s.push_back(glIsEnabled(cap) ? 1.0f : 0.0f);
    auto add = [&](GLenum what, int n) {
        float v[16] = {};
        glGetFloatv(what, v);
        s.insert(s.end(), v, v + n);
    };
    add(GL_FOG_MODE, 1), add(GL_FOG_DENSITY, 1), add(GL_FOG_START, 1), add(GL_FOG_END, 1), add(GL_FOG_COLOR, 4);
    add(GL_COLOR_WRITEMASK, 4), add(GL_POLYGON_MODE, 2), add(GL_CURRENT_PROGRAM, 1), add(GL_SCISSOR_BOX, 4);
    add(GL_ALPHA_TEST_FUNC, 1), add(GL_ALPHA_TEST_REF, 1), add(GL_TEXTURE_MATRIX, 16);
    GLint active = GL_TEXTURE0, units = 1;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    s.push_back(float(active));
    for (GLenum param : {GL_TEXTURE_ENV_MODE, GL_COMBINE_RGB, GL_COMBINE_ALPHA, GL_RGB_SCALE, GL_ALPHA_SCALE}) {
        GLfloat v = 0;
        glGetTexEnvfv(GL_TEXTURE_ENV, param, &v);
        s.push_back(v);
    }
    GLfloat envColour[4] = {};
    glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, envColour);
    s.insert(s.end(), envColour, envColour + 4);
    for (GLint unit = 0; unit < units; ++unit) {
        if (GLenum(GL_TEXTURE0 + unit) == GLenum(active)) continue;
        glActiveTexture(GLenum(GL_TEXTURE0 + unit));
        for (GLenum cap : {GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_CUBE_MAP})
            s.push_back(glIsEnabled(cap) ? 1.0f : 0.0f);
    }
    glActiveTexture(GLenum(active));
    return s;
}

// The kept frame is the whole first frame; the band inside it is redrawn
// every time, so what the bar looked like then does not matter.
bool LoadingScreen::capture() {
    GLint sampleBuffers = 0, bits[4] = {};
    glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
    glGetIntegerv(GL_RED_BITS, &bits[0]);
    glGetIntegerv(GL_GREEN_BITS, &bits[1]);
    glGetIntegerv(GL_BLUE_BITS, &bits[2]);
    glGetIntegerv(GL_ALPHA_BITS, &bits[3]);
    if (sampleBuffers != 0 || bits[0] != 8 || bits[1] != 8 || bits[2] != 8 || (bits[3] != 0 && bits[3] != 8)) return false;
    glGetIntegerv(GL_VIEWPORT, viewport_);
    const Framebuffers screen;
    if (!framebuffer_) {
        glGenFramebuffers(1, &framebuffer_);
        glGenRenderbuffers(1, &colour_);
        GLint renderbuffer = 0;
        glGetIntegerv(GL_RENDERBUFFER_BINDING, &renderbuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, colour_);
        // The screen's own layout: a copy between equal layouts can be a plain one.
        glRenderbufferStorage(GL_RENDERBUFFER, bits[3] ? GL_RGBA8 : GL_RGB8, viewport_[2], viewport_[3]);
        glBindRenderbuffer(GL_RENDERBUFFER, GLuint(renderbuffer));
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer_);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer_);
    const bool complete = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (complete) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(screen.draw));
        const int* v = viewport_;
        glBlitFramebuffer(v[0], v[1], v[0] + v[2], v[1] + v[3], 0, 0, v[2], v[3], GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    screen.restore();
    if (!complete) release();
    return complete;
}

void LoadingScreen::draw(uint32_t slot0Texture, uint32_t slot1Texture, float loadProgress, bool lastFrame) {
    if (slot0Texture == 0) return;
    // Before 3.0 there are no framebuffer copies, and some of the state
    // asked about would only raise errors an effect might read later.
    if (!framebuffer_ && epoxy_gl_version() < 30) unsuitable_ = true;
    // A scissor left on by an init clips copies too: such a frame is drawn
    // whole, as it always was, and nothing is kept from it.
    if (unsuitable_ || glIsEnabled(GL_SCISSOR_TEST)) {
        drawLoadingScreen(slot0Texture, slot1Texture, loadProgress);
        return;
    }
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    std::vector<float> state = drawingState();
    if (!framebuffer_ || !std::equal(viewport, viewport + 4, viewport_) || state != state_) {
        drawLoadingScreen(slot0Texture, slot1Texture, loadProgress);
        if (lastFrame) return;
        if (capture()) state_ = std::move(state);
        else unsuitable_ = true, release();
        return;
    }

    // The kept frame, then the band drawn as the whole frame would draw it.
    const Framebuffers screen;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(screen.draw));
    const int* v = viewport_;
    glBlitFramebuffer(0, 0, v[2], v[3], v[0], v[1], v[0] + v[2], v[1] + v[3], GL_COLOR_BUFFER_BIT, GL_NEAREST);
    screen.restore();

    GLint box[4] = {};
    glGetIntegerv(GL_SCISSOR_BOX, box);
    int first = 0, end = 0;
    barBand(v, first, end);
    glScissor(v[0], first, v[2], end - first);
    glEnable(GL_SCISSOR_TEST);
    drawLoadingScreen(slot0Texture, slot1Texture, loadProgress);
    glScissor(box[0], box[1], box[2], box[3]);
    glDisable(GL_SCISSOR_TEST);   // it was off, or the state would not have matched
}

void LoadingScreen::runUnseen(uint32_t slot0Texture, uint32_t slot1Texture, float loadProgress) {
    GLint box[4] = {};
    glGetIntegerv(GL_SCISSOR_BOX, box);
    const bool scissored = glIsEnabled(GL_SCISSOR_TEST);
    glScissor(0, 0, 0, 0);
    glEnable(GL_SCISSOR_TEST);
    drawLoadingScreen(slot0Texture, slot1Texture, loadProgress);
    glScissor(box[0], box[1], box[2], box[3]);
    if (!scissored) glDisable(GL_SCISSOR_TEST);
}

void LoadingScreen::release() {
    if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
    if (colour_) glDeleteRenderbuffers(1, &colour_);
    framebuffer_ = colour_ = 0;
    state_.clear();
}
