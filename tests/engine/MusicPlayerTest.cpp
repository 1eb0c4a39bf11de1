#include "engine/MusicPlayer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "AudioFixtures.h"
#include "TestSupport.h"
#include "resources/DataFile.h"

namespace {

using namespace hlvtest;

constexpr int kBuffer = 1024;   // the fake device's frames per buffer, as SDL's

// Everything a decoder gives until it says the end (at most ten minutes, so a looping
// decoder fails instead of hanging); the odd default block puts seams everywhere.
std::vector<int16_t> decodeAll(MusicDecoder& decoder, int blockFrames = 777) {
    std::vector<int16_t> all, block(size_t(blockFrames) * 2);
    while (all.size() / 2 < size_t(600) * kMusicRate) {
        const int got = decoder.render(block.data(), blockFrames);
        all.insert(all.end(), block.begin(), block.begin() + 2 * got);
        if (got < blockFrames) break;
    }
    return all;
}

// The frame near `around` (within `span`) where `piece` matches `whole` best, left
// channel, least squares: where a seek or a resumed output really landed.  The first
// frames are left out: a resampler starting afresh rings in.
int64_t whereIn(const std::vector<int16_t>& whole, const std::vector<int16_t>& piece, int64_t around,
                int64_t span = 4 * kBuffer) {
    constexpr int64_t kSettle = 256;
    const int64_t n = int64_t(piece.size() / 2), total = int64_t(whole.size() / 2);
    int64_t best = -1;
    double bestError = 0;
    for (int64_t at = std::max<int64_t>(0, around - span); at <= around + span && at + n <= total; ++at) {
        double error = 0;
        for (int64_t f = kSettle; f < n && (best < 0 || error < bestError); ++f) {
            const double d = double(piece[size_t(f) * 2]) - whole[size_t(at + f) * 2];
            error += d * d;
        }
        if (best < 0 || error < bestError) best = at, bestError = error;
    }
    return best;
}

int64_t framesAt(int64_t ms) { return ms * kMusicRate / 1000; }
uint32_t msOf(int64_t frames) { return uint32_t(frames * 1000 / kMusicRate); }

// Stands in for SDL's audio device: the test plays its buffers one by one, refuses to
// open it and pulls it away.
struct FakeDevice {
    int  bufferFrames = kBuffer;
    bool refuseReal = false, refuseStandIn = false;
    bool lost = false, running = false;
    int  realOpens = 0;   // tries to open a real output, successful or not
    AudioOutput::Fill fill = nullptr;
    void* user = nullptr;

    // One buffer as the player fills it; empty when the device is not playing.
    std::vector<int16_t> play() {
        if (!running) return {};
        std::vector<int16_t> buffer(size_t(bufferFrames) * 2, 12345);
        fill(user, buffer.data(), bufferFrames);
        return buffer;
    }
};

class FakeOutput : public AudioOutput {
public:
    explicit FakeOutput(FakeDevice& device) : d_(device) {}
    int open(bool standIn, Fill fill, void* user, std::string& whyNot) override {
        d_.realOpens += standIn ? 0 : 1;
        if (standIn ? d_.refuseStandIn : d_.refuseReal) {
            whyNot = "no device here";
            return 0;
        }
        d_.fill = fill, d_.user = user, d_.lost = false;
        return d_.bufferFrames;
    }
    void start() override { d_.running = true; }
    bool lost() override { return d_.lost; }
    void close() override { d_.running = false; }

private:
    FakeDevice& d_;
};

// A player on the fake device and a hand-driven time source, music in a data folder.
struct Rig {
    TempDataFolder  folder;
    DataFileService files{folder.root()};
    FakeDevice      device;
    int64_t         nowNs = 7'000'000'000;   // any start: only differences count
    MusicPlayer     player{files, std::make_unique<FakeOutput>(device), [this] { return nowNs; }};

    void wait(double ms) { nowNs += int64_t(std::llround(ms * 1e6)); }
    // Starts `name` and returns what it said on stderr.
    std::string start(const char* name) {
        testing::internal::CaptureStderr();
        player.startMusic(name);
        return testing::internal::GetCapturedStderr();
    }
    // Starts a 7.7 s module in rows of 120 ms and returns all of its music.
    std::vector<int16_t> startSong() {
        const auto song = makeStepMod(64, 6);
        folder.write("song.mod", song);
        start("song.mod");
        return decodeAll(*openMusicDecoder("song.mod", song.data(), song.size()));
    }
    // Plays `buffers` buffers in real time, returning what they held.
    std::vector<int16_t> playOn(int buffers) {
        std::vector<int16_t> heard;
        for (int i = 0; i < buffers; ++i) {
            const auto b = device.play();
            heard.insert(heard.end(), b.begin(), b.end());
            wait(device.bufferFrames * 1000.0 / kMusicRate);
        }
        return heard;
    }
};

bool silent(const std::vector<int16_t>& pcm) {
    return std::all_of(pcm.begin(), pcm.end(), [](int16_t s) { return s == 0; });
}

// Ogg and MP3 at every common rate, mono and stereo: exactly round(frames x 44,100 /
// rate) frames, the sine whole to its last 10 ms and the first note on
// time, the same in the capture tool's blocks, odd blocks and through the player's
// device buffers of any size.
TEST(MusicDecoder, StreamsKeepEveryFrameAtAnyRate) {
    constexpr double kHz = 440.0;
    for (int rate : {8000, 22050, 32000, 44100, 48000})
        for (int channels : {1, 2})
            for (bool mp3 : {false, true}) {
                const int frames = rate * 3 / 4 + 7;   // an odd length: the rounding shows
                const auto pcm = makeSine(frames, channels, rate, kHz);
                const auto bytes = mp3 ? encodeMp3(pcm, channels, rate) : encodeOgg(pcm, channels, rate);
                ASSERT_FALSE(bytes.empty()) << "ffmpeg with libmp3lame is not installed";
                // The codec follows the bytes: an Ogg saved as ".mp3" plays.
                const std::string name = std::to_string(rate) + "-" + std::to_string(channels) + (mp3 ? "x.mp3" : "x.ogg.mp3");
                SCOPED_TRACE(name);
                auto decoder = openMusicDecoder(name.c_str(), bytes.data(), bytes.size());
                ASSERT_TRUE(decoder);
                const auto out = decodeAll(*decoder, 4096);
                const int64_t expected = std::llround(double(frames) * kMusicRate / rate);
                EXPECT_EQ(int64_t(out.size() / 2), expected);
                EXPECT_EQ(decoder->render(std::vector<int16_t>(64).data(), 32), 0) << "played past its end";

                const auto ideal = makeSine(int(out.size() / 2), 1, kMusicRate, kHz);
                const int window = kMusicRate / 100;
                for (size_t w = 0; (w + 1) * window * 2 <= out.size(); ++w) {
                    double error = 0, power = 0;
                    for (size_t f = w * window; f < (w + 1) * window; ++f) {
                        error += std::pow(out[f * 2] - ideal[f], 2.0);
                        power += std::pow(double(ideal[f]), 2.0);
                    }
                    ASSERT_LT(error, power / 16) << "10 ms window " << w << " is not the sine (lost or shifted)";
                }
                for (size_t f = 0; channels == 1 && f * 2 < out.size(); ++f)
                    ASSERT_EQ(out[f * 2], out[f * 2 + 1]) << "mono on one side, frame " << f;

                for (int bufferFrames : {256, 1024, 4096}) {
                    Rig device;
                    device.device.bufferFrames = bufferFrames;
                    device.folder.write(name, bytes);
                    device.start(name.c_str());
                    auto heard = device.playOn(int(out.size() / 2 / bufferFrames) + 2);
                    ASSERT_GE(heard.size(), out.size());
                    EXPECT_TRUE(std::equal(out.begin(), out.end(), heard.begin())) << bufferFrames << "-frame buffers";
                    EXPECT_TRUE(silent({heard.begin() + ptrdiff_t(out.size()), heard.end()}));
                }
            }
}

// A seek lands within a device buffer of the frame asked for, in an Ogg, an MP3 and
// a module (whose rows are longer than a buffer); past the end the music is over.
// The module plays once.
TEST(MusicDecoder, SeekLandsWithinOneBuffer) {
    // A rising tone, 200 to 1400 Hz in 2 s: no stretch of it looks like another.
    const auto sweep = [](int rate, int channels) {
        std::vector<int16_t> pcm;
        for (int f = 0; f < 2 * rate; ++f) {
            const double t = double(f) / rate;
            pcm.insert(pcm.end(), size_t(channels), int16_t(std::lround(16384 * std::sin(2 * M_PI * (200 * t + 150 * t * t)))));
        }
        return pcm;
    };
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {{"a.ogg", encodeOgg(sweep(22050, 2), 2, 22050)},
                 {"b.mp3", encodeMp3(sweep(48000, 1), 1, 48000)},
                 {"c.mod", makeStepMod(40, 3)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto decoder = openMusicDecoder(c.name, c.bytes.data(), c.bytes.size());
        ASSERT_TRUE(decoder);
        const auto whole = decodeAll(*decoder);
        if (c.name[0] == 'c') {
            // libopenmpt lets the last note ring on for a moment after the song.
            const int64_t song = tinyModFrames(40, 3, kMusicRate);
            EXPECT_GE(int64_t(whole.size() / 2), song);
            EXPECT_LE(int64_t(whole.size() / 2), song + kMusicRate / 4) << "played more than once";
        }
        for (uint32_t ms : {1234u, 77u, 1500u, 10u, 0u}) {
            ASSERT_TRUE(decoder->seek(ms)) << ms;
            std::vector<int16_t> piece(2 * kBuffer);
            ASSERT_EQ(decoder->render(piece.data(), kBuffer), kBuffer);
            EXPECT_NEAR(double(whereIn(whole, piece, framesAt(ms))), double(framesAt(ms)), kBuffer) << ms;
        }
        EXPECT_FALSE(decoder->seek(msOf(int64_t(whole.size() / 2)) + 1000));
        EXPECT_EQ(decoder->render(std::vector<int16_t>(64).data(), 32), 0) << "plays past its end after a seek";
    }
}

// The name picks the mode (stream exactly for "mp3" or "ogg" in it); the bytes pick
// the codec, and what is not music is refused with a reason.
TEST(MusicDecoder, ModeByNameCodecByBytesAndWhatIsNotMusicIsRefused) {
    for (auto [name, mode] : {std::pair{"music/theme.mp3", MusicMode::Stream}, {"a.ogg.bak", MusicMode::Stream},
                              {"theme.OGG", MusicMode::Module}, {"mp3.xm", MusicMode::Module}})
        EXPECT_EQ(musicModeFor(name), mode) << name;
    const std::string junk = "this is plain text, not music at all; nothing here syncs or parses";
    const auto* bytes = reinterpret_cast<const uint8_t*>(junk.data());
    // The codec follows the bytes, not the name: one stream name and one module name cover both paths.
    for (const char* name : {"junk.ogg", "junk.xm", "empty.ogg"}) {
        std::string why;
        EXPECT_FALSE(openMusicDecoder(name, bytes, name[0] == 'e' ? 0 : junk.size(), &why)) << name;
        EXPECT_FALSE(why.empty()) << name;
    }
    const auto mod = makeTinyMod(4, 1);   // a module inside a stream name is no stream
    EXPECT_FALSE(openMusicDecoder("mod.ogg", mod.data(), mod.size()));
}

// The clock is what left the speakers: one buffer behind the frames handed over,
// moving on with time between refills but never more than a buffer ahead, never
// back; it runs past the song's end and after stopSong, freezes at close.
TEST(MusicPlayer, ClockIsTheFramesHeard) {
    Rig rig;
    rig.folder.write("short.mod", makeStepMod(4, 1));   // 80 ms: the clock outlives it
    EXPECT_EQ(rig.player.readClock(), 0u) << "the clock runs before the music";
    EXPECT_EQ(rig.start("short.mod"), "");
    ASSERT_TRUE(rig.player.audible());
    EXPECT_EQ(rig.player.musicMode(), MusicMode::Module);
    EXPECT_EQ(rig.player.outputLatencyFrames(), kBuffer);
    rig.wait(50);
    EXPECT_EQ(rig.player.readClock(), 0u) << "nothing was handed over, nothing heard";

    EXPECT_FALSE(silent(rig.device.play()));   // frames [0, 1024) wait behind nothing
    EXPECT_EQ(rig.player.readClock(), 0u);
    rig.wait(10);
    EXPECT_EQ(rig.player.readClock(), msOf(framesAt(10)));
    rig.wait(40);
    EXPECT_EQ(rig.player.readClock(), msOf(kBuffer)) << "ran more than a buffer ahead of the device";
    rig.device.play();   // hands [1024, 2048): [0, 1024) has been heard
    EXPECT_EQ(rig.player.readClock(), msOf(kBuffer));
    rig.wait(5);
    EXPECT_EQ(rig.player.readClock(), msOf(kBuffer + framesAt(5)));

    rig.playOn(20);   // past the song: silence, and the clock goes on
    EXPECT_TRUE(silent(rig.device.play()));
    EXPECT_EQ(rig.player.readClock(), msOf(22 * kBuffer));
    rig.player.closeMusic();
    rig.player.closeMusic();   // safe twice
    rig.wait(1000);
    EXPECT_EQ(rig.player.readClock(), msOf(22 * kBuffer)) << "the clock freezes at close";
    EXPECT_FALSE(rig.device.running);
    rig.player.startMusic("short.mod");   // only the first start counts
    EXPECT_FALSE(rig.player.audible());

    Rig stopped;
    stopped.startSong();
    EXPECT_FALSE(silent(stopped.playOn(2)));
    stopped.player.stopSong();
    EXPECT_TRUE(silent(stopped.playOn(2)));
    EXPECT_EQ(stopped.player.readClock(), msOf(4 * kBuffer));
}

// Without music, or without any output (not even the silent stand-in: no sound server,
// no card), one line says why and the clock runs on the time source; a missing real
// output alone is no news, the stand-in plays.  A plain WallClock steers the same way
// as a player without sound: paused it stands, a new position reads exactly.
TEST(MusicPlayer, WithoutSoundTheClockRunsOnTimeAndSteers) {
    for (int setup = 0; setup < 4; ++setup) {
        SCOPED_TRACE(setup);
        Rig rig;
        rig.folder.write("song.mod", makeStepMod(8, 3));
        rig.device.refuseReal = setup >= 2;
        rig.device.refuseStandIn = setup == 3;
        WallClock wall{[&rig] { return rig.nowNs; }};
        IDemoClock& clock = setup == 0 ? static_cast<IDemoClock&>(wall) : rig.player;
        const char* music = setup == 1 ? "nowhere.ogg" : "song.mod";
        rig.wait(300);
        const std::string said = setup == 0 ? "" : rig.start(music);
        wall.startMusic(music);
        if (setup != 0) {
            EXPECT_EQ(rig.player.audible(), setup == 2);
        }
        if (setup == 2) {
            EXPECT_EQ(said, "");
            continue;
        }
        if (setup != 0) {
            EXPECT_NE(said.find(setup == 1 ? "nowhere.ogg" : "no device here"), std::string::npos) << said;
            EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        }
        rig.wait(1234.9);
        EXPECT_EQ(clock.readClock(), 1234u);
        EXPECT_TRUE(clock.isPlaying());
        clock.pause(true);
        rig.wait(500);
        EXPECT_EQ(clock.readClock(), 1234u);
        EXPECT_FALSE(clock.isPlaying());
        clock.setPosition(100);
        EXPECT_EQ(clock.readClock(), 100u);
        clock.pause(false);
        rig.wait(50);
        EXPECT_EQ(clock.readClock(), 150u);
        clock.setPosition(20000);
        EXPECT_EQ(clock.readClock(), 20000u);
        clock.setPosition(7);
        EXPECT_EQ(clock.readClock(), 7u) << "an earlier position is taken as asked";
    }
}

// Paused, the clock stands and the device plays silence; unpaused, the music goes on
// where the clock stood.  A new position reads exactly at once and the music follows
// within a buffer, forwards, backwards and while paused.
TEST(MusicPlayer, PauseAndSetPositionSteerClockAndMusic) {
    Rig rig;
    const auto whole = rig.startSong();
    rig.playOn(30);
    rig.wait(3);
    const uint32_t at = rig.player.readClock();
    rig.player.pause(true);
    EXPECT_FALSE(rig.player.isPlaying());
    EXPECT_TRUE(silent(rig.playOn(10)));
    EXPECT_EQ(rig.player.readClock(), at);
    // Where the next buffer's music lies against `ms`.
    const auto landed = [&](uint32_t ms) {
        return double(whereIn(whole, rig.device.play(), framesAt(ms)) - framesAt(ms));
    };
    rig.player.pause(false);
    EXPECT_TRUE(rig.player.isPlaying());
    EXPECT_EQ(rig.player.readClock(), at);
    EXPECT_NEAR(landed(at), 0.0, kBuffer) << "not where the clock stood, but where the decoder had got to";

    for (uint32_t ms : {1500u, 300u}) {
        rig.player.setPosition(ms);
        EXPECT_EQ(rig.player.readClock(), ms);
        EXPECT_NEAR(landed(ms), 0.0, kBuffer);
        EXPECT_EQ(rig.player.readClock(), ms) << "moved before the new music was heard";
        rig.playOn(2);   // the buffer above is heard, and two more
        EXPECT_EQ(rig.player.readClock(), ms + msOf(3 * kBuffer));
    }
    rig.player.pause(true);
    rig.player.setPosition(900);
    EXPECT_EQ(rig.player.readClock(), 900u);
    EXPECT_TRUE(silent(rig.playOn(2)));
    rig.player.pause(false);
    EXPECT_NEAR(landed(900), 0.0, kBuffer);
}

// A device that goes away (SDL stops it and posts its removal) leaves the clock
// running from the last frame heard, at the time source's speed; the default device
// is tried once a second and, when it opens, the music goes on at the clock's position
// without moving the clock.  One line when it goes, one when it is back.
TEST(MusicPlayer, LostDeviceKeepsTheClockAndTheMusicComesBack) {
    Rig rig;
    constexpr int kBuffer20ms = kMusicRate / 50;   // every position a whole millisecond
    rig.device.bufferFrames = kBuffer20ms;
    const auto whole = rig.startSong();
    rig.playOn(20);
    rig.wait(7);
    const uint32_t before = rig.player.readClock();
    rig.device.lost = true;
    rig.device.refuseReal = true;
    testing::internal::CaptureStderr();
    EXPECT_EQ(rig.player.readClock(), before) << "a jump when the device went";
    const std::string gone = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(gone.begin(), gone.end(), '\n'), 1) << gone;
    EXPECT_FALSE(rig.device.running) << "the lost device was not let go";
    const int opensBefore = rig.device.realOpens;

    testing::internal::CaptureStderr();
    for (int ms = 10; ms <= 2500; ms += 10) {
        rig.wait(10);
        ASSERT_EQ(rig.player.readClock(), before + ms) << "not at the time source's speed";
        ASSERT_EQ(rig.device.realOpens - opensBefore, ms / 1000) << "not once a second, at " << ms;
    }
    rig.device.refuseReal = false;
    rig.wait(600);   // 3.1 s after the loss: the third look finds it
    const uint32_t back = rig.player.readClock();
    EXPECT_EQ(back, before + 3100);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    ASSERT_TRUE(rig.device.running);
    EXPECT_TRUE(rig.player.audible());

    const auto heard = rig.device.play();
    EXPECT_EQ(rig.player.readClock(), back) << "the clock moved before the music was heard";
    EXPECT_NEAR(double(whereIn(whole, heard, framesAt(back))), double(framesAt(back)), kBuffer20ms);
    rig.playOn(2);   // the buffer above is heard, and two more
    EXPECT_EQ(rig.player.readClock(), back + 60);
}

// With a sound server named but not there, SDL's real driver fails and the dummy
// driver stands in without a word: the show is on time and silent.
TEST(MusicPlayer, NoSoundServerAtStartPlaysSilentlyOnTime) {
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const std::string oldDriver = driver ? driver : "";
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    setenv("PULSE_SERVER", "unix:/nonexistent/halvoren-test", 1);
    TempDataFolder folder;
    DataFileService files{folder.root()};
    folder.write("song.mod", makeStepMod(8, 3));
    {
        MusicPlayer player(files);
        testing::internal::CaptureStderr();
        player.startMusic("song.mod");
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("halvoren"), std::string::npos) << said;
        EXPECT_TRUE(player.audible());
        // The dummy driver plays in real time: the clock gets going (ten seconds
        // allow for a machine busy with other tests).
        for (int i = 0; i < 1000 && player.readClock() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_GT(player.readClock(), 0u);
        player.closeMusic();
    }
    unsetenv("PULSE_SERVER");
    if (driver) setenv("SDL_AUDIODRIVER", oldDriver.c_str(), 1);
    else unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
