// The window side of the show's loop, and what a window tells the show: the
// window knows only these interfaces, never the engine behind them.
#pragma once

#include "engine/DemoTypes.h"

constexpr int kKeyEscape = 27;   // the key code a window reports for Escape

// What the viewer did, as the window delivers it.
class IWindowEvents {
public:
    virtual ~IWindowEvents() = default;
    // A key went down: kKeyEscape for Escape, the platform's key code otherwise.
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
    // Restores the display mode and cursor, lets go of the GL context.
    virtual void destroyContext() = 0;
};
