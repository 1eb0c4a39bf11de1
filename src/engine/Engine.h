// The show's spine: start-up in a fixed order, the message loop, the
// per-frame walk along the schedule, and shutdown in reverse.
#pragma once

#include <cstdint>

#include "engine/DemoClock.h"
#include "engine/DemoTypes.h"
#include "engine/IDisplay.h"
#include "engine/LoadingScreen.h"
#include "engine/Timeline.h"

class EffectRegistry;

constexpr uint32_t kShowEndMs = 168500;    // the show runs while the clock is not past this
constexpr float kLoadProgressStart = -0.806f;   // bar's right end + 0.02, local units
constexpr double kLoadProgressStep = 0.0822;    // per initialised effect, local units

class Engine : public IWindowEvents {
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
    void onKeyDown(int key) override { if (key == kKeyEscape) quitRequested = true; }
    void onDestroy() override { quitRequested = true; }

    const TimelineEntry* cursor() const { return scheduleCursor; }

    // Fast-forward: brings the show to a music time quickly and exactly.
    // Effects carry state from frame to frame (rhythm counters, pages, the
    // shared random generator, the GL state one start() leaves to the next),
    // so no frame may be skipped; but none reads back what it drew, so the
    // frames before the one wanted can run with the rasteriser held to one
    // pixel.  Used by the capture tool to start a span anywhere, and meant
    // for a player that seeks.
    //
    // One show frame at music time t (ms), as renderFrame draws it with t
    // from the clock: the same schedule walk, start() and render() calls and
    // previousTime/delta bookkeeping, but drawn into a 1x1 viewport and
    // scissor box and not presented.  The clock is not read; the caller
    // hands out the times a full run would have read.  Nothing happens while
    // the loading screen is up (no cursor yet).
    void fastForwardFrame(uint32_t t);
    // Puts the viewport back to the display choice's size and the scissor
    // test off, as the window left them; from here on frames draw what they
    // would have drawn without fast-forwarding.  renderFrame calls it by
    // itself, so a presented frame is always full size.
    void endFastForward();
    bool fastForwarding() const { return fastForwarding_; }

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
    // One show frame at music time t; presented unless fast-forwarding.
    void showFrame(uint32_t t);
    void finishShowFrame();
    void shutdown();
    // Both passes visit each distinct scheduled effect once, in schedule order.
    template <class Visit> void forEachDistinctEffect(Visit visit);

    DemoContext&    demo_;
    EffectRegistry& registry_;
    IDemoClock&     clock_;
    IDisplay&       display_;
    bool            musicClosed_ = false;
    bool            fastForwarding_ = false;   // viewport and scissor are 1x1
    LoadingScreen   loadingScreen_;
};
