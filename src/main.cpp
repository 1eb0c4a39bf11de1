// The show.  Start-up runs in a fixed order and shutdown in reverse; the
// engine owns everything between.  The command line only replaces the setup
// dialog's questions (see kUsage).
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <SDL.h>

#include "Version.h"
#include "effects/ShowEffects.h"
#include "engine/CommandLine.h"
#include "engine/ContentCheck.h"
#include "engine/EffectRegistry.h"
#include "engine/Engine.h"
#include "engine/MusicPlayer.h"
#include "platform/DisplayModeList.h"
#include "platform/GlWindow.h"
#include "platform/SetupDialog.h"
#include "resources/DataFile.h"

namespace {

// Fills what the options left open the way the dialog would: full screen
// takes the desktop's size, and the mode's lowest rate unless one was named.
void completeChoice(CommandLine& command, const DisplayModeList& modes, GlWindow& window) {
    DisplayChoice& choice = command.choice;
    if (choice.fullscreen && (!command.sizeGiven || !command.rateGiven)) {
        SDL_DisplayMode desktop;
        const bool video = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        if (!video || SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
            std::fprintf(stderr, "halvoren: cannot read the desktop's mode: %s\n", SDL_GetError());
            desktop = {0, choice.width, choice.height, choice.refreshRate, nullptr};
        }
        if (!command.sizeGiven) {
            choice.width = desktop.w;
            choice.height = desktop.h;
            if (!command.rateGiven) choice.refreshRate = desktop.refresh_rate;
        } else if (!command.rateGiven) {
            if (const DisplayMode* mode = modes.at(modes.find(choice.width, choice.height)))
                choice.refreshRate = mode->refreshRates.front();
        }
        if (video) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    if (choice.samples) {
        const int best = window.probeMultisample();
        if (!window.lookupMultisampleFormat(choice.samples))
            std::fprintf(stderr, "halvoren: %d samples are not available here (at most %d); drawing without\n",
                         choice.samples, best);
    }
}

// One reference on SDL's video for the whole run: the mode list, the probe and
// the window then share one connection to the display instead of opening
// and closing it for each.
struct VideoHold {
    VideoHold() : up(SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {}
    ~VideoHold() {
        if (up) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    bool up;
};

// --check: the problems on stdout, one a line, so they can be piped; the
// verdict on stderr.
int checkFolder(const std::string& folder) {
    const std::vector<ContentProblem> problems = checkContent(folder, showEffects());
    for (const ContentProblem& problem : problems) std::printf("%s\n", formatProblem(problem).c_str());
    const char* where = folder.empty() ? "." : folder.c_str();
    if (problems.empty())
        std::fprintf(stderr, "halvoren: %s: no problems found\n", where);
    else
        std::fprintf(stderr, "halvoren: %s: %zu problem%s found\n", where, problems.size(),
                     problems.size() == 1 ? "" : "s");
    return problems.empty() ? 0 : 1;
}

// The music as the player sees it: a MusicPlayer plays one piece once, and
// a reload asks for the music again after closing it.
class ReloadableMusic : public IDemoClock {
public:
    explicit ReloadableMusic(DataFileService& files) : files_(files) {}

    void startMusic(const char* musicName) override {
        if (!player_) player_ = std::make_unique<MusicPlayer>(files_);
        player_->startMusic(musicName);
    }
    uint32_t readClock() override { return player_ ? player_->readClock() : 0; }
    void stopSong() override {
        if (player_) player_->stopSong();
    }
    void closeMusic() override {
        if (player_) player_->closeMusic();
        player_.reset();
    }
    void pause(bool paused) override {
        if (player_) player_->pause(paused);
    }
    void setPosition(uint32_t ms) override {
        if (player_) player_->setPosition(ms);
    }
    bool isPlaying() const override { return !player_ || player_->isPlaying(); }

private:
    DataFileService&             files_;
    std::unique_ptr<MusicPlayer> player_;   // between startMusic and closeMusic
};

}  // namespace

int main(int argc, char** argv) {
    CommandLine command;
    std::string error;
    if (!parseCommandLine(argc, argv, command, &error)) {
        std::fprintf(stderr, "halvoren: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (command.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command.version) {
        std::printf("halvoren %s\n", halvorenVersion());
        return 0;
    }
    if (command.check) return checkFolder(command.checkFolder);
    if (command.from > kShowEndMs) {
        std::fprintf(stderr, "halvoren: --from %u: the show ends at %u ms\n", command.from, kShowEndMs);
        return kStatusPastEnd;
    }

    const VideoHold video;
    DisplayModeList& modes = DisplayModeList::instance();
    modes.enumerate();
    DemoContext demo;
    DataFileService& files = DataFileService::instance();
    files.init();
    if (!files.archiveError().empty()) {
        std::fprintf(stderr, "halvoren: %s\n", files.archiveError().c_str());
        return 1;
    }
    demo.files = &files;

    GlWindow window;
    try {
        if (command.choiceGiven) {
            completeChoice(command, modes, window);
            demo.display = command.choice;
        } else if (setupDialogPossible() && !runSetupDialog(demo.display, modes, files, window)) {
            // "Die": nothing was shown, nothing to restore.
            modes.clear();
            files.release();
            return 0;
        }
        ReloadableMusic music(files);
        EffectRegistry registry(showEffects());
        Engine engine(demo, registry, music, window);
        if (command.from) engine.control().setPosition(command.from);
        const int status = engine.run();
        if (status == kStatusPastEnd)
            std::fprintf(stderr, "halvoren: --from %u: the script's schedule has ended by then\n", command.from);
        return status;
    } catch (const FatalError& failure) {
        window.destroyContext();   // the desktop mode and cursor come back before the message
        std::fprintf(stderr, "halvoren: %s\n", failure.what());
        return 1;
    }
}
