#include "engine/MusicPlayer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <SDL.h>

#include "resources/DataFile.h"

namespace {

// 23 ms at 44.1 kHz: short enough for tight sync, long enough not to crackle
// on a busy machine.  It is also the clock's latency allowance.
constexpr int kDeviceBufferFrames = 1024;
constexpr int kChannels = 2;
constexpr int kFrameBytes = kChannels * int(sizeof(int16_t));
constexpr int64_t kNsPerSecond = 1000000000;
constexpr int64_t kNsPerMs = 1000000;
// How often a lost output is looked for: often enough that sound is back
// soon after the headset or the sound server, rarely enough that the frames
// around each look do not stutter.
constexpr int64_t kLookAgainNs = kNsPerSecond;

// Whether any sound output could exist: a sound server's socket or an ALSA
// card.  Without one, asking SDL's real drivers only fills stderr with the
// sound library's complaints before the dummy driver takes over anyway.
bool soundOutputMayExist() {
    if (SDL_getenv("SDL_AUDIODRIVER")) return true;   // the user chose; let SDL try it
    std::error_code ignored;
    if (const char* runtime = SDL_getenv("XDG_RUNTIME_DIR")) {
        for (const char* socket : {"/pulse/native", "/pipewire-0"})
            if (std::filesystem::exists(std::string(runtime) + socket, ignored)) return true;
    }
    if (!std::filesystem::exists("/proc/self", ignored)) return true;   // not Linux: let SDL decide
    std::ifstream cards("/proc/asound/cards");   // absent when the kernel has no sound at all
    std::string first;
    return cards && std::getline(cards, first) && first.find("no soundcards") == std::string::npos;
}

// SDL's audio device.  Nothing else in the program uses audio, so this owns
// SDL's audio subsystem too and can switch its driver.
class SdlAudioOutput : public AudioOutput {
public:
    ~SdlAudioOutput() override { close(); }

    int open(bool silentStandIn, Fill fill, void* user, std::string& whyNot) override {
        close();
        fill_ = fill;
        user_ = user;
        if (silentStandIn) {
            // The dummy driver plays nowhere, but in real time, so the clock
            // and the music stay the same as with speakers.
            if (SDL_AudioInit("dummy") == 0) init_ = Init::Driver;
        } else if (!driver_.empty()) {
            // Back after a loss: the driver that played before, so SDL does
            // not wander through the others (and their complaints) each second.
            if (SDL_AudioInit(driver_.c_str()) == 0) init_ = Init::Driver;
        } else if (!soundOutputMayExist()) {
            whyNot = "no sound server and no sound card";
            return 0;
        } else if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
            init_ = Init::Subsystem;
        }
        SDL_AudioSpec want{};
        want.freq = kMusicRate;
        want.format = AUDIO_S16SYS;
        want.channels = kChannels;
        want.samples = kDeviceBufferFrames;
        want.callback = &SdlAudioOutput::callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        // No format changes allowed: SDL converts if the hardware differs, so
        // the callback's buffer is exactly `samples` of our frames.
        if (init_ != Init::None) device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (!device_) {
            whyNot = SDL_GetError();
            quit();
            return 0;
        }
        if (!silentStandIn && driver_.empty()) driver_ = SDL_GetCurrentAudioDriver();
        return have.samples;
    }

    void start() override { SDL_PauseAudioDevice(device_, 0); }

    // SDL marks a device stopped when it posts SDL_AUDIODEVICEREMOVED for it;
    // asking here keeps the player off the engine's event loop.
    bool lost() override { return device_ && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED; }

    void close() override {
        if (device_) SDL_CloseAudioDevice(device_);   // joins SDL's audio thread
        device_ = 0;
        quit();
    }

private:
    enum class Init { None, Subsystem, Driver };

    void quit() {
        if (init_ == Init::Subsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        if (init_ == Init::Driver) SDL_AudioQuit();
        init_ = Init::None;
    }

    static void SDLCALL callback(void* self, Uint8* stream, int bytes) {
        auto* output = static_cast<SdlAudioOutput*>(self);
        output->fill_(output->user_, reinterpret_cast<int16_t*>(stream), bytes / kFrameBytes);
    }

    SDL_AudioDeviceID device_ = 0;           // 0: none open
    Init              init_ = Init::None;    // which SDL set-up close has to undo
    Fill              fill_ = nullptr;
    void*             user_ = nullptr;
    std::string       driver_;               // the first real device's driver
};

}  // namespace

MusicPlayer::MusicPlayer(DataFileService& files)
    : MusicPlayer(files, std::make_unique<SdlAudioOutput>(), steadyNowNs) {}

MusicPlayer::MusicPlayer(DataFileService& files, std::unique_ptr<AudioOutput> output, TimeSource now)
    : files_(files), output_(std::move(output)), now_(std::move(now)), silentClock_(now_) {}

MusicPlayer::~MusicPlayer() { closeMusic(); }

void MusicPlayer::startMusic(const char* musicName) {
    if (started_ || closed_) return;
    started_ = true;
    silentClock_.startMusic(musicName);
    const char* name = musicName ? musicName : "";

    musicFile_ = files_.find(name);
    if (!musicFile_) {
        std::fprintf(stderr, "halvoren: music \"%s\" not found; the show runs without sound\n", name);
        return;
    }

    std::string whyNot;
    decoder_ = openMusicDecoder(name, musicFile_->data(), musicFile_->size(), &whyNot);
    if (!decoder_) {
        std::fprintf(stderr, "halvoren: music \"%s\": %s; the show runs without sound\n", name,
                     whyNot.c_str());
        return;
    }
    // Headless machines get the silent stand-in without a word: the show
    // runs exactly as with speakers.
    std::string standInWhyNot;
    if (!openOutput(false, false, whyNot) && !openOutput(true, false, standInWhyNot)) {
        std::fprintf(stderr, "halvoren: music \"%s\": no audio output (%s); the show runs without sound\n",
                     name, standInWhyNot.c_str());
        decoder_.reset();
    }
}

bool MusicPlayer::openOutput(bool silentStandIn, bool seekMusic, std::string& whyNot) {
    const int frames = output_->open(silentStandIn, &MusicPlayer::fillAudio, this, whyNot);
    if (frames <= 0) return false;
    // The output does not call back before start: nothing else touches the
    // shared state yet.
    const int64_t at = paused_ ? pausedNs_ : silentClock_.positionNs();
    if (seekMusic) decoder_->seek(uint32_t(at / kNsPerMs));
    handedByCallback_ = 0;
    muted_ = paused_;
    publishRefill(0);
    bufferFrames_ = frames;
    anchorFrame_ = 0;
    anchorNs_ = at;
    output_->start();
    return true;
}

void MusicPlayer::fillAudio(void* self, int16_t* stereo, int frames) {
    auto* player = static_cast<MusicPlayer*>(self);
    std::lock_guard<std::mutex> lock(player->audioLock_);
    int made = 0;
    if (!player->muted_ && !player->songStopped_.load(std::memory_order_acquire))
        made = player->decoder_->render(stereo, frames);
    // After the end (or stopSong, or while paused) the output keeps playing
    // silence, and the frames it plays keep the clock going.
    std::memset(stereo + size_t(made) * kChannels, 0, size_t(frames - made) * kFrameBytes);
    player->handedByCallback_ += uint64_t(frames);
    player->publishRefill(player->handedByCallback_);
}

void MusicPlayer::publishRefill(uint64_t handedFrames) {
    const uint32_t seq = refillSeq_.load(std::memory_order_relaxed);
    refillSeq_.store(seq + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    handedFrames_.store(handedFrames, std::memory_order_relaxed);
    refillAtNs_.store(now_(), std::memory_order_relaxed);
    refillSeq_.store(seq + 2, std::memory_order_release);
}

MusicPlayer::Refill MusicPlayer::lastRefill() const {
    Refill r;
    for (;;) {
        const uint32_t before = refillSeq_.load(std::memory_order_acquire);
        r.handedFrames = handedFrames_.load(std::memory_order_relaxed);
        r.atNs = refillAtNs_.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        const uint32_t after = refillSeq_.load(std::memory_order_relaxed);
        if (before == after && (before & 1u) == 0) return r;
    }
}

uint64_t MusicPlayer::heardFrames() const {
    const Refill r = lastRefill();
    if (r.handedFrames == 0) return 0;   // the output has not asked for anything yet
    // The buffer just handed over waits behind the one playing now: what is
    // heard at the refill lies one device buffer before the frames handed
    // over.  A callback device has no SDL queue to add (that belongs to
    // SDL_QueueAudio).  Only when the hardware wants another format does SDL
    // convert behind the callback, holding up to part of one more buffer the
    // clock cannot see.
    const int64_t atRefill = int64_t(r.handedFrames) - bufferFrames_;
    // Between refills the speakers keep going; the extrapolation stops at one
    // buffer, so a late callback stalls the clock instead of overshooting.
    const int64_t sinceNs = std::max<int64_t>(0, now_() - r.atNs);
    const int64_t ahead = std::min<int64_t>(sinceNs * kMusicRate / kNsPerSecond, bufferFrames_);
    return uint64_t(std::max<int64_t>(0, atRefill + ahead));
}

int64_t MusicPlayer::positionNs() const {
    if (paused_) return pausedNs_;
    if (bufferFrames_ == 0) return silentClock_.positionNs();
    // Until the frame the music was (re)started on is heard, the clock holds.
    const int64_t heard = std::max<int64_t>(0, int64_t(heardFrames()) - int64_t(anchorFrame_));
    return anchorNs_ + heard * kNsPerSecond / kMusicRate;
}

void MusicPlayer::watchOutput() {
    if (bufferFrames_ != 0 && output_->lost()) {
        // From the last position heard: neither a jump nor a step back.
        const int64_t at = std::max(positionNs(), int64_t(lastClock_) * kNsPerMs);
        output_->close();
        bufferFrames_ = 0;
        silentClock_.setPositionNs(at);
        lost_ = true;
        nextTryNs_ = now_() + kLookAgainNs;
        std::fprintf(stderr, "halvoren: the sound output went away at %.3f s; the show goes on and "
                             "looks for it every second\n", double(at) / kNsPerSecond);
    }
    if (!lost_ || now_() < nextTryNs_) return;
    nextTryNs_ = now_() + kLookAgainNs;
    std::string whyNot;
    if (!openOutput(false, true, whyNot)) return;
    lost_ = false;
    std::fprintf(stderr, "halvoren: sound is back at %.3f s\n", double(anchorNs_) / kNsPerSecond);
}

uint32_t MusicPlayer::readClock() {
    if (!started_ || closed_) return lastClock_;
    watchOutput();
    // Callback jitter may put a fresh stamp behind the extrapolation: the
    // show's time never runs backwards by itself.
    lastClock_ = std::max(lastClock_, uint32_t(positionNs() / kNsPerMs));
    return lastClock_;
}

void MusicPlayer::moveMusic(int64_t ns) {
    if (bufferFrames_ == 0) {
        silentClock_.setPositionNs(ns);
        return;
    }
    // The next fill starts the music at `ns`; the frame it begins with is
    // the one the clock waits to be heard.
    std::lock_guard<std::mutex> lock(audioLock_);
    decoder_->seek(uint32_t(ns / kNsPerMs));
    anchorFrame_ = handedByCallback_;
    anchorNs_ = ns;
    muted_ = false;
}

void MusicPlayer::pause(bool paused) {
    if (!started_ || closed_ || paused == paused_) return;
    if (!paused) {
        paused_ = false;
        // The music already handed to the output but not yet heard is played
        // again from where the clock stopped.
        moveMusic(pausedNs_);
        return;
    }
    pausedNs_ = std::max(positionNs(), int64_t(lastClock_) * kNsPerMs);
    paused_ = true;
    if (bufferFrames_ != 0) {
        std::lock_guard<std::mutex> lock(audioLock_);
        muted_ = true;
    }
}

void MusicPlayer::setPosition(uint32_t ms) {
    if (!started_ || closed_) return;
    lastClock_ = ms;
    if (paused_) pausedNs_ = int64_t(ms) * kNsPerMs;
    else moveMusic(int64_t(ms) * kNsPerMs);
}

bool MusicPlayer::isPlaying() const { return started_ && !closed_ && !paused_; }

void MusicPlayer::stopSong() { songStopped_.store(true, std::memory_order_release); }

void MusicPlayer::closeMusic() {
    if (closed_) return;
    closed_ = true;
    // The audio thread reads the decoder, and the decoder reads the file's
    // bytes: stop the thread first, then free them in that order.
    output_->close();
    bufferFrames_ = 0;
    decoder_.reset();
    if (musicFile_) musicFile_->freeData();
    musicFile_.reset();
}
