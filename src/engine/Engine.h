// The show's spine: start-up in a fixed order, the message loop, the
// per-frame walk along the schedule, and shutdown in reverse.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/DemoClock.h"
#include "engine/DemoTypes.h"
#include "engine/HeldFrame.h"
#include "engine/IDisplay.h"
#include "engine/LoadingScreen.h"
#include "engine/MusicBars.h"
#include "engine/ShowControl.h"
#include "engine/ShowOverlay.h"
#include "engine/Timeline.h"

class EffectRegistry;

constexpr uint32_t kShowEndMs = 168500;    // the show runs while the clock is not past this
constexpr float kLoadProgressStart = -0.806f;   // bar's right end + 0.02, local units
constexpr double kLoadProgressStep = 0.0822;    // per initialised effect, local units
constexpr int kStatusPastEnd = 2;         // run()'s status when the show ends before its start position

class Engine : public IWindowEvents {
public:
    Engine(DemoContext& demo, EffectRegistry& registry, IDemoClock& clock, IDisplay& display);

    // The whole show, from window creation to shutdown.  Returns the process's
    // exit status: 0 after a normal shutdown, 255 when the window cannot be made,
    // kStatusPastEnd when a start position set on control() before the run
    // is past the show's end.
    // A FatalError (unusable script, missing picture) propagates to the entry
    // point; the script is checked before the window opens.
    int run(const char* scriptName = "hlv.txt");

    // One pass through the event queue, then one frame: SDL has no repaint
    // message, so "nothing pending" is the repaint and frames follow back to back.
    void pumpMessage();
    void renderFrame();
    void initPass();
    void releasePass();

    // Input, as the window delivers it.  Escape ends the show; the player's
    // keys are one driver of control().
    void onKeyDown(int key) override;
    void onDestroy() override { quitRequested = true; }

    // The player's controls (pause, setPosition, isPlaying).  A position set
    // before run() is where the show starts: the effects run there behind
    // the loading screen and the music starts there.  Any later one is
    // carried out at the next frame: forward, the effects run on from where
    // they are; back, they start afresh and run from 0, since they keep state
    // for the whole show.  Either way on a fixed 60 fps grid of music time, so
    // the frames that follow are those of a capture at 60 fps.
    IDemoClock& control() { return control_; }
    // Reads the script, the pictures and the music again and starts the
    // effects afresh at the time the show is at; done at the next frame.
    // Content that no longer loads leaves the show as it was, paused, with
    // the problem on stderr and in the window title.
    void requestReload() { reloadRequested_ = true; }

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
    // initPass, learning which files the effects read.
    void initNotingFiles();
    void renderShowFrame();
    void seekBy(int32_t ms);
    // Carries out a position asked for on control(): fast-forwards to it,
    // afresh when it is not ahead, then moves the music there.
    void seekTo(uint32_t target);
    // Fast-forwards over the grid frames after the last frame run, up to target.
    void runTo(uint32_t target);
    // New effect objects in a new GL context, set up exactly as a fresh
    // start sets them up, on the schedule as it was or read from the script.
    void restartShow(bool rereadScript);
    // restartShow, or on failure no effects (paused, said why) until a reload works.
    bool restartOrBreak(bool rereadScript);
    void reload();
    // What stops a reload or a restart: said, shown in the title, paused.
    void refuse(const std::string& why);
    // A paused show's picture, once per display refresh.
    void showHeldFrame();
    // The overlay when asked for, then the swap.
    void present();
    // One show frame at music time t; presented unless fast-forwarding.
    void showFrame(uint32_t t);
    void finishShowFrame();
    void shutdown();
    // The last loading picture into the frame, should its frame have gone unseen.
    void finishLoading();
    // Both passes visit each distinct scheduled effect once, in schedule order.
    template <class Visit> void forEachDistinctEffect(Visit visit);

    DemoContext&    demo_;
    EffectRegistry& registry_;
    ShowControl     control_;                  // the music clock, steered
    IDisplay&       display_;
    std::string     scriptName_;
    bool            musicClosed_ = false;
    bool            fastForwarding_ = false;   // viewport and scissor are 1x1
    LoadingScreen   loadingScreen_;
    bool            loadingUnseen_ = false;    // the last loading frame ran without its pixels
    bool            showFrameRun_ = false;     // a show frame ran since the effects were initialised
    bool            restarting_ = false;       // loading-screen draws stay unseen and events wait
    bool            reloadRequested_ = false;
    bool            broken_ = false;           // a restart failed half-way: no effects until a reload works
    bool            startPastEnd_ = false;
    bool            overlayOn_ = false;
    HeldFrame       held_;                     // the paused show's picture
    FrameRate       frameRate_;
    MusicBars       bars_;                     // read while the overlay is up
    std::vector<std::string> effectFiles_;     // what the effects' init read, checked before a reload
    std::chrono::steady_clock::time_point nextHeldFrame_;
};
