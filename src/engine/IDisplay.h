// The window side of the show's loop, and what a window tells the show: the
// window knows only these interfaces, never the engine behind them.
#pragma once

#include "engine/DemoTypes.h"

// Keys as the window delivers them: the show knows no window system.
constexpr int kKeyEscape = 27;
constexpr int kKeySpace = 32;
constexpr int kKeyLeft = 0x101;
constexpr int kKeyRight = 0x102;
constexpr int kKeyPageUp = 0x103;
constexpr int kKeyPageDown = 0x104;
constexpr int kKeyHome = 0x105;
constexpr int kKeyF1 = 0x106;
constexpr int kKeyF5 = 0x107;

// What the viewer did, as the window delivers it.
class IWindowEvents {
public:
    virtual ~IWindowEvents() = default;
    // A key went down: one of the kKey codes above, the platform's key code otherwise.
    virtual void onKeyDown(int key) = 0;
    // The window was closed or the session asked the program to quit.
    virtual void onDestroy() = 0;
};

// A real window, an offscreen one, or a test double.
class IDisplay {
public:
    virtual ~IDisplay() = default;
    // Makes the window and binds its GL context; false when that fails.
    virtual bool createWindow(const char* title, const DisplayChoice& choice) = 0;
    // Makes sure the GL entry points beyond 1.1 are there; the show ignores the answer.
    virtual bool ensureGlew() { return true; }
    // Delivers what the viewer did since the last call (Escape, window closed).
    virtual void pollEvents(IWindowEvents& events) = 0;
    // The last step of every frame.
    virtual void presentFrame() = 0;
    // Whether a frame presented now would reach a viewer: false where nobody
    // watches (a capture), and sooner than one refresh after the last
    // present.  Loading frames are drawn only then, so the loading does not
    // wait on pictures the screen would never show.
    virtual bool frameWouldBeSeen() { return true; }
    // Restores the display mode and cursor, lets go of the GL context.
    virtual void destroyContext() = 0;
    // Replaces the GL context with a new one on the same window, in the state
    // createWindow leaves a context in; everything made in the old one goes
    // with it.  False, keeping the old context, where the display cannot.
    virtual bool renewContext(const DisplayChoice& choice) { (void)choice; return false; }
    // The window's title; where there is no window, nothing.
    virtual void setTitle(const char* title) { (void)title; }
};
