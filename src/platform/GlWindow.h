// The render window and its GL context, on SDL2: windowed or full screen
// after a display-mode switch, optionally multisampled.
#pragma once

#include <SDL.h>

#include "engine/IDisplay.h"

class GlWindow : public IDisplay {
public:
    GlWindow() = default;
    ~GlWindow() override;
    GlWindow(const GlWindow&) = delete;
    GlWindow& operator=(const GlWindow&) = delete;

    // Windowed: the client area is width x height at (10, 10).  Full screen:
    // switches to the chosen mode first and hides the cursor.  On failure says
    // what failed on stderr and returns false.
    bool createWindow(const char* title, const DisplayChoice& choice) override;
    // The multitexture entry points the effects call beyond GL 1.1.
    bool ensureGlew() override;
    void pollEvents(IWindowEvents& events) override;
    void presentFrame() override;
    bool frameWouldBeSeen() override;
    void destroyContext() override;
    bool renewContext(const DisplayChoice& choice) override;
    void setTitle(const char* title) override;

    // Tries a throw-away hidden context with 2, 4, 8 and 16 samples, records
    // which work and returns the largest (0 when none does).
    int probeMultisample();
    // The recorded sample count for 2, 4, 8 or 16, or 0 when the probe found none.
    int lookupMultisampleFormat(int count) const;

    SDL_Window* window() const { return window_; }

private:
    void setPixelFormat(const DisplayChoice& choice);
    bool createContext(const DisplayChoice& choice);

    SDL_Window*   window_ = nullptr;          // owned until destroyContext
    SDL_GLContext context_ = nullptr;         // owned until destroyContext
    bool          fullscreen_ = false;        // a mode switch is in force
    bool          videoStarted_ = false;      // holds one reference on SDL's video subsystem
    bool          glewReady_ = false;
    bool          vsync_ = false;             // the swap waits for the display
    double        refreshMs_ = 1000.0 / 60;   // the chosen mode's refresh interval, ms
    Uint64        lastPresent_ = 0;           // SDL performance counter at the last swap; 0: none yet
    int           multisampleFormats_[4] = {};   // for 2, 4, 8, 16 samples: what the driver gave, 0 = none
};
