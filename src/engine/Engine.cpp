#include "engine/Engine.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <thread>

#include <epoxy/gl.h>

#include "engine/EffectRegistry.h"
#include "engine/LoadingScreen.h"
#include "platform/DisplayModeList.h"
#include "resources/DataFile.h"
#include "resources/Image.h"

namespace {

constexpr const char* kWindowTitle = "Halvoren / Tarnwell";
constexpr int32_t kShortSeekMs = 5000;     // Left and Right
constexpr int32_t kLongSeekMs = 30000;     // Page Up and Page Down
constexpr uint64_t kGridFps = 60;          // the fast-forward's frames, as a 60 fps capture has them

uint32_t gridTimeMs(uint64_t k) { return uint32_t(k * 1000 / kGridFps); }

bool namesPicture(std::string name) {
    for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const char* ext : {".png", ".jpg", ".jpeg", ".tga"})
        if (name.find(ext) != std::string::npos) return true;
    return false;
}

// What a restart is about to read, read first: the loading-screen pictures
// and every picture the effects read at their last initialisation decode,
// and their other files are there.  Throws FatalError naming the first that fails.
void checkContent(const Schedule& schedule, DataFileService& files, std::vector<std::string> names) {
    names.insert(names.end(), {schedule.imageSlots[0], schedule.imageSlots[1]});
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    for (const std::string& name : names) {
        if (namesPicture(name)) {
            PixelImage image;
            decodeImage(image, name.c_str(), files);
            freeBlock(image.pixels);
        } else if (!files.find(name.c_str())) {
            throw FatalError("\"" + name + "\": not found");
        }
    }
}

}  // namespace

Engine::Engine(DemoContext& demo, EffectRegistry& registry, IDemoClock& clock, IDisplay& display)
    : demo_(demo), registry_(registry), control_(clock), display_(display) {}

int Engine::run(const char* scriptName) {
    scriptName_ = scriptName;
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
    return startPastEnd_ ? kStatusPastEnd : 0;
}

void Engine::pumpMessage() {
    if (!restarting_) display_.pollEvents(*this);
    renderFrame();
}

void Engine::onKeyDown(int key) {
    switch (key) {
    case kKeyEscape: quitRequested = true; break;
    case kKeySpace: control_.pause(control_.isPlaying()); break;
    case kKeyRight: seekBy(kShortSeekMs); break;
    case kKeyLeft: seekBy(-kShortSeekMs); break;
    case kKeyPageDown: seekBy(kLongSeekMs); break;
    case kKeyPageUp: seekBy(-kLongSeekMs); break;
    case kKeyHome: control_.setPosition(0); break;
    case kKeyF1:
        overlayOn_ = !overlayOn_;
        if (overlayOn_) bars_.open(schedule.musicName, *demo_.files);
        else bars_.close();
        break;
    case kKeyF5: requestReload(); break;
    default: break;
    }
}

void Engine::seekBy(int32_t ms) {
    // Keys pressed in quick succession add up before the frame carries them out.
    const int64_t from = control_.pendingSeek().value_or(previousTime);
    control_.setPosition(uint32_t(std::clamp<int64_t>(from + ms, 0, kShowEndMs + 1)));
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

void Engine::initNotingFiles() {
    effectFiles_.clear();
    demo_.files->noteNames(&effectFiles_);
    try {
        initPass();
    } catch (...) {
        demo_.files->noteNames(nullptr);
        throw;
    }
    demo_.files->noteNames(nullptr);
}

void Engine::releasePass() {
    forEachDistinctEffect([](IEffect& effect) { effect.release(); });
}

void Engine::prepareShow() {
    initNotingFiles();
    finishLoading();
    scheduleCursor = &schedule.entries[0];   // its start() comes with the first frame
    // A start further in: the effects get there before the music starts, so
    // the first frame shown is the one at that time.
    const std::optional<uint32_t> from = control_.takeSeek();
    if (from) {
        const bool quitBefore = quitRequested;
        runTo(*from);
        startPastEnd_ = !quitBefore && quitRequested;
    }
    control_.startMusic(schedule.musicName);
    if (from) control_.moveMusic(*from);
    showPrepared = true;
}

void Engine::renderFrame() {
    if (!scheduleCursor) {
        if (!restarting_ && display_.frameWouldBeSeen()) {
            loadingScreen_.draw(imageSlotTextures[0], imageSlotTextures[1], loadProgress);
            display_.presentFrame();
            loadingUnseen_ = false;
        } else {
            loadingScreen_.runUnseen(imageSlotTextures[0], imageSlotTextures[1], loadProgress);
            loadingUnseen_ = true;
        }
        return;
    }
    if (reloadRequested_) reload();
    if (!broken_)
        if (const std::optional<uint32_t> target = control_.takeSeek()) seekTo(*target);
    if (quitRequested) return;
    const bool paused = broken_ || !control_.isPlaying();
    if (paused && (broken_ || held_.held())) {
        showHeldFrame();
        return;
    }
    if (!paused) held_.clear();
    renderShowFrame();   // paused: the frame at the stopped clock, kept from here on
}

// The show's first frame goes over the last loading picture, as it would
// in a window where every loading frame was drawn: a capture, which draws
// none of the others, still writes the same pixels.
void Engine::finishLoading() {
    if (loadingUnseen_) loadingScreen_.draw(imageSlotTextures[0], imageSlotTextures[1], loadProgress, true);
    loadingUnseen_ = false;
    loadingScreen_.release();   // no loading frame follows
}

void Engine::seekTo(uint32_t target) {
    if (showFrameRun_ && target <= previousTime) {
        try {
            checkContent(schedule, *demo_.files, effectFiles_);
        } catch (const FatalError& failure) {
            refuse(failure.what());
            return;
        }
    }
    control_.holdMusic(true);
    const bool ready = !(showFrameRun_ && target <= previousTime) || restartOrBreak(false);
    if (ready) {
        runTo(target);
        control_.moveMusic(target);
        held_.clear();
    }
    control_.holdMusic(false);
}

void Engine::runTo(uint32_t target) {
    uint64_t k = 0;
    if (showFrameRun_) {
        k = uint64_t(previousTime) * kGridFps / 1000;
        while (gridTimeMs(k) <= previousTime) ++k;
    }
    for (; !quitRequested && gridTimeMs(k) < target; ++k) fastForwardFrame(gridTimeMs(k));
}

bool Engine::restartOrBreak(bool rereadScript) {
    try {
        restartShow(rereadScript);
        broken_ = false;
        return true;
    } catch (const FatalError& failure) {
        // Effect objects stay registered, uninitialised, so the script's names
        // still resolve when the next reload checks it.
        registry_.releaseAll();
        registry_.registerAll(demo_);
        schedule = Schedule{};
        scheduleCursor = &schedule.entries[0];
        broken_ = true;
        refuse(failure.what());
        return false;
    }
}

void Engine::restartShow(bool rereadScript) {
    int rows[kScheduleRows];
    for (int i = 0; i < kScheduleRows; ++i) {
        rows[i] = -1;
        for (size_t r = 0; r < registry_.size(); ++r)
            if (registry_.at(r) == schedule.entries[i].effect) rows[i] = int(r);
    }
    releasePass();
    registry_.releaseAll();
    schedule.entries[0].effect = nullptr;   // nothing points at the freed effects if what follows fails
    if (display_.renewContext(demo_.display)) display_.ensureGlew();

    // From here on as a fresh process: run() and prepareShow() in order.
    demo_.random = DemoRandom{};
    demo_.angles = SharedAngles{};
    registry_.registerAll(demo_);
    if (rereadScript) {
        schedule = Schedule{};
        loadShowScript(schedule, scriptName_.c_str(), *demo_.files, registry_);
    } else {
        for (int i = 0; i < kScheduleRows; ++i) schedule.entries[i].effect = rows[i] < 0 ? nullptr : registry_.at(size_t(rows[i]));
    }
    scheduleCursor = nullptr;
    restartCurrent = true;
    loadProgress = kLoadProgressStart;
    fastForwarding_ = false;
    showFrameRun_ = false;
    restarting_ = true;
    try {
        loadImageSlots(schedule, *demo_.files, imageSlotTextures);
        renderFrame();
        initNotingFiles();
        finishLoading();
    } catch (...) {
        loadingUnseen_ = false;
        loadingScreen_.release();
        restarting_ = false;
        throw;
    }
    restarting_ = false;
    scheduleCursor = &schedule.entries[0];
    previousTime = 0;
}

void Engine::reload() {
    reloadRequested_ = false;
    const uint32_t at = control_.takeSeek().value_or(previousTime);
    DataFileService& files = *demo_.files;
    try {
        files.release();
        files.init();
        if (!files.archiveError().empty()) throw FatalError(files.archiveError());
        Schedule fresh;
        loadShowScript(fresh, scriptName_.c_str(), files, registry_);
        checkContent(fresh, files, effectFiles_);
    } catch (const FatalError& failure) {
        refuse(failure.what());
        return;
    }
    control_.closeMusic();
    if (!restartOrBreak(true)) return;
    runTo(at);
    control_.startMusic(schedule.musicName);
    control_.moveMusic(at);
    held_.clear();
    if (overlayOn_) bars_.open(schedule.musicName, files);
    display_.setTitle(kWindowTitle);
}

void Engine::refuse(const std::string& why) {
    std::fprintf(stderr, "halvoren: %s\n", why.c_str());
    display_.setTitle((std::string(kWindowTitle) + " - " + why).c_str());
    control_.pause(true);
}

void Engine::showHeldFrame() {
    // Nothing moves while paused: one picture per display refresh is plenty.
    const auto now = std::chrono::steady_clock::now();
    std::this_thread::sleep_until(nextHeldFrame_);
    nextHeldFrame_ = std::max(now, nextHeldFrame_) + std::chrono::microseconds(1000000 / std::max(demo_.display.refreshRate, 1));
    held_.draw();
    present();
}

void Engine::present() {
    if (overlayOn_)
        drawShowOverlay(overlayLines(previousTime, bars_.at(previousTime), schedule.entries,
                                 broken_ ? nullptr : scheduleCursor, frameRate_.perSecond(), !control_.isPlaying()),
                    demo_.display.width, demo_.display.height);
    display_.presentFrame();
    frameRate_.frameShown();
}

void Engine::renderShowFrame() {
    if (fastForwarding_) endFastForward();
    showFrame(control_.readClock());
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
    if (fastForwarding_) return;
    if (!control_.isPlaying() && !held_.held()) held_.keep(demo_.display.width, demo_.display.height);
    present();
}

void Engine::showFrame(uint32_t t) {
    const uint32_t delta = t - previousTime;   // unsigned: the first frame's delta is t
    previousTime = t;
    showFrameRun_ = true;

    if (t > kShowEndMs) {
        control_.stopSong();
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
        control_.closeMusic();
        musicClosed_ = true;
    }
    releasePass();
    registry_.releaseAll();
    DisplayModeList::instance().clear();
    demo_.files->release();
    display_.destroyContext();
}
