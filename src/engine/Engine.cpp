#include "engine/Engine.h"

#include <epoxy/gl.h>

#include "engine/EffectRegistry.h"
#include "engine/LoadingScreen.h"
#include "platform/DisplayModeList.h"
#include "resources/DataFile.h"
#include "resources/Image.h"

namespace {
constexpr const char* kWindowTitle = "Halvoren / Tarnwell";
}

Engine::Engine(DemoContext& demo, EffectRegistry& registry, IDemoClock& clock, IDisplay& display)
    : demo_(demo), registry_(registry), clock_(clock), display_(display) {}

int Engine::run(const char* scriptName) {
    // The script first: a show that cannot run says so before a window opens.
    registry_.registerAll(demo_);
    loadShowScript(schedule, scriptName, *demo_.files, registry_);
    if (!display_.createWindow(kWindowTitle, demo_.display)) return 255;   // nothing freed, as documented
    display_.ensureGlew();
    loadImageSlots(schedule, *demo_.files, imageSlotTextures);

    pumpMessage();
    for (;;) {
        // The first pass runs after the first message, and quitting is looked
        // at only after it: Escape during loading still finishes the loading.
        if (!showPrepared) prepareShow();
        if (quitRequested) break;
        pumpMessage();
    }
    shutdown();
    return 0;
}

void Engine::pumpMessage() {
    display_.pollEvents(*this);
    renderFrame();
}

template <class Visit>
void Engine::forEachDistinctEffect(Visit visit) {
    for (TimelineEntry* e = schedule.entries; e->effect; ++e) {
        if (e->effect->name[0] == '\0') continue;
        bool seen = false;
        for (TimelineEntry* earlier = schedule.entries; earlier != e && !seen; ++earlier)
            seen = earlier->effect == e->effect;
        if (!seen) visit(*e->effect);
    }
}

void Engine::initPass() {
    forEachDistinctEffect([this](IEffect& effect) {
        effect.init();
        loadProgress = float(double(loadProgress) + kLoadProgressStep);
        pumpMessage();
    });
}

void Engine::releasePass() {
    forEachDistinctEffect([](IEffect& effect) { effect.release(); });
}

void Engine::prepareShow() {
    initPass();
    loadingScreen_.release();   // no loading frame follows
    clock_.startMusic(schedule.musicName);
    scheduleCursor = &schedule.entries[0];   // its start() comes with the first frame
    showPrepared = true;
}

void Engine::renderFrame() {
    if (!scheduleCursor) {
        loadingScreen_.draw(imageSlotTextures[0], imageSlotTextures[1], loadProgress);
        display_.presentFrame();
        return;
    }
    renderShowFrame();
}

void Engine::renderShowFrame() {
    if (fastForwarding_) endFastForward();
    showFrame(clock_.readClock());
}

void Engine::fastForwardFrame(uint32_t t) {
    if (!scheduleCursor) return;
    if (!fastForwarding_) {
        // A clear ignores the viewport but not the scissor box.
        glViewport(0, 0, 1, 1);
        glScissor(0, 0, 1, 1);
        glEnable(GL_SCISSOR_TEST);
        fastForwarding_ = true;
    }
    showFrame(t);
}

void Engine::endFastForward() {
    if (!fastForwarding_) return;
    const DisplayChoice& full = demo_.display;
    glViewport(0, 0, full.width, full.height);
    glScissor(0, 0, full.width, full.height);   // GL's initial box: the window
    glDisable(GL_SCISSOR_TEST);
    fastForwarding_ = false;
}

void Engine::finishShowFrame() {
    if (!fastForwarding_) display_.presentFrame();
}

void Engine::showFrame(uint32_t t) {
    const uint32_t delta = t - previousTime;   // unsigned: the first frame's delta is t
    previousTime = t;

    if (t > kShowEndMs) {
        clock_.stopSong();
        quitRequested = true;
    }

    // One cut at most per frame: after a stall the skipped entries each get a frame.
    if (scheduleCursor->effect && scheduleCursor->end <= t) {
        demo_.angles = SharedAngles{};
        ++scheduleCursor;
        if (scheduleCursor->effect) scheduleCursor->effect->start();
    }
    if (!scheduleCursor->effect || quitRequested) {
        quitRequested = true;
        finishShowFrame();
        return;
    }

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (restartCurrent) {
        scheduleCursor->effect->start();
        restartCurrent = false;
    }
    scheduleCursor->effect->render(t, delta);

    // Later entries whose window (start, end] holds t draw over the current one;
    // their start() changes the GL state, so the current effect restarts next frame.
    for (TimelineEntry* e = scheduleCursor + 1; e->effect; ++e) {
        if (e->start < t && e->end >= t) {
            e->effect->start();
            e->effect->render(t, delta);
            restartCurrent = true;
        }
    }
    finishShowFrame();
}

void Engine::shutdown() {
    if (!musicClosed_) {
        clock_.closeMusic();
        musicClosed_ = true;
    }
    releasePass();
    registry_.releaseAll();
    DisplayModeList::instance().clear();
    demo_.files->release();
    display_.destroyContext();
}
