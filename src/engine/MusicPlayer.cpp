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

int64_t steadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

MusicPlayer::MusicPlayer(DataFileService& files) : files_(files) {}

MusicPlayer::~MusicPlayer() { closeMusic(); }

void MusicPlayer::startMusic(const char* musicName) {
    if (started_ || closed_) return;
    started_ = true;
    origin_ = std::chrono::steady_clock::now();
    const char* name = musicName ? musicName : "";

    musicFile_ = files_.find(name);
    if (!musicFile_) {
        std::fprintf(stderr, "halvoren: music \"%s\" not found; the show runs without sound\n", name);
        return;
    }
    musicMode_ = musicModeFor(name);

    std::string whyNot;
    decoder_ = openMusicDecoder(name, musicFile_->data(), musicFile_->size(), &whyNot);
    if (!decoder_) {
        std::fprintf(stderr, "halvoren: music \"%s\": %s; the show runs without sound\n", name,
                     whyNot.c_str());
        return;
    }
    if (!openDevice()) {
        std::fprintf(stderr, "halvoren: music \"%s\": no audio output (%s); the show runs without sound\n",
                     name, SDL_GetError());
        decoder_.reset();
        return;
    }
    SDL_PauseAudioDevice(device_, 0);
}

namespace {

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

}  // namespace

bool MusicPlayer::openDevice() {
    SDL_AudioSpec want{};
    want.freq = kMusicRate;
    want.format = AUDIO_S16SYS;
    want.channels = kChannels;
    want.samples = kDeviceBufferFrames;
    want.callback = &MusicPlayer::fillAudio;
    want.userdata = this;
    SDL_AudioSpec have{};

    // No format changes allowed: SDL converts if the hardware differs, so the
    // callback's buffer is exactly kDeviceBufferFrames of our frames.
    if (soundOutputMayExist() && SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        audioInit_ = AudioInit::Subsystem;
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (!device_) quitAudio();
    }
    // Headless machines: the dummy driver plays nowhere, but in real time, so
    // the clock and the music stay the same as with speakers.  (Nothing else
    // in the program uses audio, so switching SDL's driver here is safe.)
    if (!device_ && SDL_AudioInit("dummy") == 0) {
        audioInit_ = AudioInit::DummyDriver;
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (!device_) quitAudio();
    }
    if (!device_) return false;
    bufferFrames_ = have.samples;
    return true;
}

void MusicPlayer::quitAudio() {
    if (audioInit_ == AudioInit::Subsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    if (audioInit_ == AudioInit::DummyDriver) SDL_AudioQuit();
    audioInit_ = AudioInit::None;
}

void SDLCALL MusicPlayer::fillAudio(void* self, Uint8* stream, int bytes) {
    auto* player = static_cast<MusicPlayer*>(self);
    const int frames = bytes / kFrameBytes;
    auto* out = reinterpret_cast<int16_t*>(stream);
    int made = 0;
    if (!player->songStopped_.load(std::memory_order_acquire))
        made = player->decoder_->render(out, frames);
    // After the end (or stopSong) the device keeps playing silence, and the
    // frames it plays keep the clock going.
    std::memset(out + size_t(made) * kChannels, 0, size_t(frames - made) * kFrameBytes);
    player->handedByCallback_ += uint64_t(frames);
    player->publishRefill(player->handedByCallback_);
}

void MusicPlayer::publishRefill(uint64_t handedFrames) {
    const uint32_t seq = refillSeq_.load(std::memory_order_relaxed);
    refillSeq_.store(seq + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    handedFrames_.store(handedFrames, std::memory_order_relaxed);
    refillAtNs_.store(steadyNowNs(), std::memory_order_relaxed);
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
    if (r.handedFrames == 0) return 0;   // the device has not asked for anything yet
    // The buffer just handed over waits behind the one playing now: what is
    // heard at the refill lies one device buffer before the frames handed
    // over.  A callback device has no SDL queue to add (that belongs to
    // SDL_QueueAudio).  Only when the hardware wants another format does SDL
    // convert behind the callback, holding up to part of one more buffer the
    // clock cannot see.
    const int64_t atRefill = int64_t(r.handedFrames) - bufferFrames_;
    // Between refills the speakers keep going; the extrapolation stops at one
    // buffer, so a late callback stalls the clock instead of overshooting.
    const int64_t sinceNs = std::max<int64_t>(0, steadyNowNs() - r.atNs);
    const int64_t ahead = std::min<int64_t>(sinceNs * kMusicRate / 1000000000, bufferFrames_);
    return uint64_t(std::max<int64_t>(0, atRefill + ahead));
}

uint32_t MusicPlayer::readClock() {
    if (!started_ || closed_) return lastClock_;
    uint64_t ms;
    if (device_) {
        ms = heardFrames() * 1000 / kMusicRate;
    } else {
        ms = uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - origin_).count());
    }
    // Callback jitter may put a fresh stamp behind the extrapolation: the
    // show's time never runs backwards.
    lastClock_ = std::max(lastClock_, uint32_t(ms));
    return lastClock_;
}

void MusicPlayer::stopSong() { songStopped_.store(true, std::memory_order_release); }

void MusicPlayer::closeMusic() {
    if (closed_) return;
    closed_ = true;
    // The audio thread reads the decoder, and the decoder reads the file's
    // bytes: stop the thread first, then free them in that order.
    if (device_) {
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    quitAudio();
    decoder_.reset();
    if (musicFile_) musicFile_->freeData();
    musicFile_.reset();
}
