// The show's spine: start-up in a fixed order, the message loop, the
// per-frame walk along the schedule, and shutdown in reverse.
#pragma once

#include <cstdint>

#include "engine/DemoClock.h"
#include "engine/DemoTypes.h"
#include "engine/LoadingScreen.h"
#include "engine/Timeline.h"

class EffectRegistry;
class Engine;

// The window side of the loop: a real window, an offscreen one, or a test double.
class IDisplay {
public:
    virtual ~IDisplay() = default;
    // Makes the window and binds its GL context; false when that fails.
    virtual bool createWindow(const char* title, const DisplayChoice& choice) = 0;
    // Makes sure the GL entry points beyond 1.1 are there; the show ignores the answer.
    virtual bool ensureGlew() { return true; }
    // Delivers what the viewer did since the last call (Escape, window closed).
    virtual void pollEvents(Engine& engine) = 0;
    // The last step of every frame.
    virtual void presentFrame() = 0;
    // Restores the display mode and cursor, lets go of the GL context.
    virtual void destroyContext() = 0;
};

constexpr uint32_t kShowEndMs = 168500;    // the show runs while the clock is not past this
constexpr float kLoadProgressStart = -0.806f;   // bar's right end + 0.02, local units
constexpr double kLoadProgressStep = 0.0822;    // per initialised effect, local units
constexpr int kKeyEscape = 27;

class Engine {
public:
    Engine(DemoContext& demo, EffectRegistry& registry, IDemoClock& clock, IDisplay& display);

    // The whole show, from window creation to shutdown.  Returns the process's
    // exit status: 0 after a normal shutdown, 255 when the window cannot be made.
    // A FatalError (unusable script, missing picture) propagates to the entry
    // point; the script is checked before the window opens.
    int run(const char* scriptName = "hlv.txt");

    // One pass through the event queue, then one frame: SDL has no repaint
    // message, so "nothing pending" is the repaint and frames follow back to back.
    void pumpMessage();
    void renderFrame();
    void initPass();
    void releasePass();

    // Input, as the window delivers it.
    void onKeyDown(int key) { if (key == kKeyEscape) quitRequested = true; }
    void onDestroy() { quitRequested = true; }

    const TimelineEntry* cursor() const { return scheduleCursor; }

    // Engine state, alive for the whole show.
    Schedule       schedule;
    bool           quitRequested = false;
    bool           showPrepared = false;
    TimelineEntry* scheduleCursor = nullptr;     // none: the loading screen is up
    bool           restartCurrent = true;        // run the current start() again before render
    float          loadProgress = kLoadProgressStart;
    uint32_t       previousTime = 0;             // ms of music time of the previous show frame
    uint32_t       imageSlotTextures[2] = {0, 0};   // GL names; 0 until the slots are loaded

private:
    void prepareShow();
    void renderShowFrame();
    void shutdown();
    // Both passes visit each distinct scheduled effect once, in schedule order.
    template <class Visit> void forEachDistinctEffect(Visit visit);

    DemoContext&    demo_;
    EffectRegistry& registry_;
    IDemoClock&     clock_;
    IDisplay&       display_;
    bool            musicClosed_ = false;
    LoadingScreen   loadingScreen_;
};
