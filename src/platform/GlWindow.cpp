#include "platform/GlWindow.h"

#include <cstdio>
#include <cstring>

#include <epoxy/gl.h>

namespace {

constexpr int kWindowedX = 10, kWindowedY = 10;     // where a windowed show opens
constexpr int kDepthBits = 24;
constexpr int kProbeWidth = 320, kProbeHeight = 240;
constexpr int kSampleCounts[4] = {2, 4, 8, 16};
constexpr int kFullscreenDisplay = 0;               // the display a full-screen show takes over

bool sameMode(const SDL_DisplayMode& mode, const DisplayChoice& choice) {
    return mode.w == choice.width && mode.h == choice.height && mode.refresh_rate == choice.refreshRate;
}

void refuseMode(const DisplayChoice& choice) {
    std::fprintf(stderr, "halvoren: the display cannot show %dx%d at %d Hz\n", choice.width, choice.height,
                 choice.refreshRate);
}

// The display's own mode of exactly that size and rate.  SDL's nearest-mode
// search would hand back a larger size, or echo a rate the display never
// named, and the show would run at something nobody chose.
bool findMode(int display, const DisplayChoice& choice, SDL_DisplayMode& found) {
    bool listed = false;
    const int count = SDL_GetNumDisplayModes(display);
    for (int i = 0; i < count; ++i) {
        if (SDL_GetDisplayMode(display, i, &found) != 0 || found.w <= 0) continue;
        listed = true;
        if (sameMode(found, choice)) return true;
    }
    if (listed) return false;
    // A driver that lists no modes at all (offscreen) takes any it is given.
    const SDL_DisplayMode wanted = {0, choice.width, choice.height, choice.refreshRate, nullptr};
    return SDL_GetClosestDisplayMode(display, &wanted, &found) && sameMode(found, choice);
}

// The engine's own key numbers for the keys it listens to; others go by SDL's.
int engineKey(SDL_Keycode key) {
    switch (key) {
    case SDLK_ESCAPE: return kKeyEscape;
    case SDLK_SPACE: return kKeySpace;
    case SDLK_LEFT: return kKeyLeft;
    case SDLK_RIGHT: return kKeyRight;
    case SDLK_PAGEUP: return kKeyPageUp;
    case SDLK_PAGEDOWN: return kKeyPageDown;
    case SDLK_HOME: return kKeyHome;
    case SDLK_F1: return kKeyF1;
    case SDLK_F5: return kKeyF5;
    default: return int(key);
    }
}

bool startVideo() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
    std::fprintf(stderr, "halvoren: cannot start the video system: %s\n", SDL_GetError());
    return false;
}

void requestOrdinaryFormat(int bitsPerPixel) {
    const int channel = (bitsPerPixel & 0xFF) >= 24 ? 8 : 5;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, kDepthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
}

}  // namespace

GlWindow::~GlWindow() { destroyContext(); }

bool GlWindow::createWindow(const char* title, const DisplayChoice& choice) {
    if (!videoStarted_) {
        if (!startVideo()) return false;
        videoStarted_ = true;
    }
    fullscreen_ = choice.fullscreen;
    setPixelFormat(choice);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN;
    int x = kWindowedX, y = kWindowedY;
    SDL_DisplayMode mode = {};
    if (fullscreen_) {
        if (!findMode(kFullscreenDisplay, choice, mode)) {
            refuseMode(choice);
            return false;
        }
        // Hidden until the mode is set, so the switch happens once, to this mode.
        flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_FULLSCREEN;
        x = y = int(SDL_WINDOWPOS_UNDEFINED_DISPLAY(kFullscreenDisplay));
    }
    window_ = SDL_CreateWindow(title, x, y, choice.width, choice.height, flags);
    if (!window_) {
        std::fprintf(stderr, "halvoren: cannot create the window: %s\n", SDL_GetError());
        return false;
    }
    if (fullscreen_) {
        SDL_SetWindowDisplayMode(window_, &mode);
        SDL_ShowWindow(window_);
        SDL_DisplayMode now = {};
        if (SDL_GetCurrentDisplayMode(SDL_GetWindowDisplayIndex(window_), &now) != 0 || !sameMode(now, choice)) {
            refuseMode(choice);
            destroyContext();   // puts the desktop mode back
            return false;
        }
        SDL_ShowCursor(SDL_DISABLE);
    }
    SDL_RaiseWindow(window_);
    if (!createContext(choice)) {
        std::fprintf(stderr, "halvoren: cannot create the GL context: %s\n", SDL_GetError());
        destroyContext();
        return false;
    }
    return true;
}

void GlWindow::setPixelFormat(const DisplayChoice& choice) {
    requestOrdinaryFormat(choice.bitsPerPixel);
    const int samples = lookupMultisampleFormat(choice.samples);
    if (samples) {
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples);
    }
}

bool GlWindow::createContext(const DisplayChoice& choice) {
    context_ = SDL_GL_CreateContext(window_);
    if (!context_) return false;
    SDL_GL_MakeCurrent(window_, context_);
    // Adaptive vsync where the driver has it, plain vsync otherwise: no
    // tearing and no busy GPU; motion comes from the clock either way.
    if (SDL_GL_SetSwapInterval(-1) != 0) SDL_GL_SetSwapInterval(1);
    vsync_ = SDL_GL_GetSwapInterval() != 0 && std::strcmp(SDL_GetCurrentVideoDriver(), "offscreen") != 0;
    refreshMs_ = 1000.0 / (choice.refreshRate > 0 ? choice.refreshRate : 60);
    lastPresent_ = 0;
    glViewport(0, 0, choice.width, choice.height);
    glEnable(GL_MULTISAMPLE);
    return true;
}

bool GlWindow::ensureGlew() {
    if (glewReady_) return true;
    if (!context_ || !epoxy_has_gl_extension("GL_ARB_multitexture")) return false;
    glewReady_ = true;
    return true;
}

void GlWindow::pollEvents(IWindowEvents& events) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_KEYDOWN) {
            events.onKeyDown(engineKey(event.key.keysym.sym));
        } else if (event.type == SDL_QUIT ||
                   (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
            events.onDestroy();
        }
    }
}

void GlWindow::presentFrame() {
    if (!window_) return;
    SDL_GL_SwapWindow(window_);
    // Without vsync (offscreen surfaces, drivers that refuse it) nothing makes
    // the swap wait, and a software rasteriser would queue frames without
    // bound; waiting for each frame keeps the picture in step with the clock.
    if (!vsync_) glFinish();
    lastPresent_ = SDL_GetPerformanceCounter();
}

bool GlWindow::frameWouldBeSeen() {
    if (lastPresent_ == 0) return true;
    const double sinceMs = double(SDL_GetPerformanceCounter() - lastPresent_) * 1000.0 / double(SDL_GetPerformanceFrequency());
    return sinceMs >= refreshMs_;
}

void GlWindow::destroyContext() {
    if (window_ && fullscreen_) {
        SDL_SetWindowFullscreen(window_, 0);   // restores the desktop mode
        SDL_ShowCursor(SDL_ENABLE);
    }
    fullscreen_ = false;
    if (context_) {
        SDL_GL_MakeCurrent(window_, nullptr);
        SDL_GL_DeleteContext(context_);
        context_ = nullptr;
    }
    if (window_) {
        SDL_DestroyWindow(window_);
        window_ = nullptr;
    }
    if (videoStarted_) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        videoStarted_ = false;
    }
}

bool GlWindow::renewContext(const DisplayChoice& choice) {
    if (!window_ || !context_) return false;
    SDL_GLContext old = context_;
    setPixelFormat(choice);   // the attributes the window was made with
    if (!createContext(choice)) {
        std::fprintf(stderr, "halvoren: cannot create a new GL context: %s\n", SDL_GetError());
        context_ = old;
        SDL_GL_MakeCurrent(window_, old);
        return false;
    }
    SDL_GL_DeleteContext(old);   // not shared: the new one starts with nothing in it
    glewReady_ = false;
    return true;
}

void GlWindow::setTitle(const char* title) {
    if (window_) SDL_SetWindowTitle(window_, title);
}

int GlWindow::lookupMultisampleFormat(int count) const {
    for (int i = 0; i < 4; ++i)
        if (kSampleCounts[i] == count) return multisampleFormats_[i];
    return 0;
}

int GlWindow::probeMultisample() {
    if (!startVideo()) return 0;
    int best = 0;
    for (int i = 0; i < 4; ++i) {
        requestOrdinaryFormat(32);
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, kSampleCounts[i]);
        SDL_Window* probe = SDL_CreateWindow("", 0, 0, kProbeWidth, kProbeHeight,
                                             SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!probe) continue;
        if (SDL_GLContext context = SDL_GL_CreateContext(probe)) {
            int buffers = 0, samples = 0;
            SDL_GL_GetAttribute(SDL_GL_MULTISAMPLEBUFFERS, &buffers);
            SDL_GL_GetAttribute(SDL_GL_MULTISAMPLESAMPLES, &samples);
            if (buffers >= 1 && samples >= kSampleCounts[i]) {
                multisampleFormats_[i] = kSampleCounts[i];
                best = kSampleCounts[i];
            }
            SDL_GL_MakeCurrent(probe, nullptr);
            SDL_GL_DeleteContext(context);
        }
        SDL_DestroyWindow(probe);
    }
    requestOrdinaryFormat(32);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return best;
}
