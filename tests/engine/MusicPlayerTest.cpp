#include "engine/MusicPlayer.h"

#include <algorithm>
#include <cmath>
#include <string>
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
    for (int got = blockFrames; got == blockFrames && all.size() / 2 < size_t(600) * kMusicRate;) {
        got = decoder.render(block.data(), blockFrames);
        all.insert(all.end(), block.begin(), block.begin() + 2 * got);
    }
    return all;
}

bool endsHere(MusicDecoder& decoder) { return decoder.render(std::vector<int16_t>(64).data(), 32) == 0; }

int64_t framesAt(int64_t ms) { return ms * kMusicRate / 1000; }
uint32_t msOf(int64_t frames) { return uint32_t(frames * 1000 / kMusicRate); }

// How far from `ms` the frame lies where `piece` matches `whole` best (left channel,
// least squares, within `span`): where a seek or a resumed output really landed.  The
// first frames are left out: a resampler starting afresh rings in.
double missBy(const std::vector<int16_t>& whole, const std::vector<int16_t>& piece, uint32_t ms,
              int64_t span = 4 * kBuffer) {
    const int64_t n = int64_t(piece.size() / 2), total = int64_t(whole.size() / 2), around = framesAt(ms);
    int64_t best = -1;
    double bestError = 0;
    for (int64_t at = std::max<int64_t>(0, around - span); at <= around + span && at + n <= total; ++at) {
        double error = 0;
        for (int64_t f = 256; f < n && (best < 0 || error < bestError); ++f)
            error += std::pow(double(piece[size_t(f) * 2]) - whole[size_t(at + f) * 2], 2.0);
        if (best < 0 || error < bestError) best = at, bestError = error;
    }
    return double(best - around);
}

template <class F> std::string stderrOf(F f) {
    testing::internal::CaptureStderr();
    f();
    return testing::internal::GetCapturedStderr();
}
long lines(const std::string& s) { return std::count(s.begin(), s.end(), '\n'); }

bool silent(const std::vector<int16_t>& pcm) { return std::all_of(pcm.begin(), pcm.end(), [](int16_t s) { return s == 0; }); }

// Stands in for SDL's audio device: the test plays its buffers one by one, refuses to
// open it and pulls it away.
struct FakeOutput : AudioOutput {
    int  bufferFrames = kBuffer;
    bool refuseReal = false, refuseStandIn = false;
    bool lost_ = false, running = false;
    int  realOpens = 0;   // tries to open a real output, successful or not
    Fill fill_ = nullptr;
    void* user = nullptr;

    int open(bool standIn, Fill fill, void* u, std::string& whyNot) override {
        realOpens += standIn ? 0 : 1;
        if (standIn ? refuseStandIn : refuseReal) {
            whyNot = "no device here";
            return 0;
        }
        fill_ = fill;
        user = u;
        lost_ = false;
        return bufferFrames;
    }
    void start() override { running = true; }
    bool lost() override { return lost_; }
    void close() override { running = false; }

    // One buffer as the player fills it; empty when the device is not playing.
    std::vector<int16_t> play() {
        if (!running) return {};
        std::vector<int16_t> buffer(size_t(bufferFrames) * 2, 12345);
        fill_(user, buffer.data(), bufferFrames);
        return buffer;
    }
};

// A player on the fake device and a hand-driven time source, music in a data folder.
struct Rig {
    TempDataFolder  folder;
    DataFileService files{folder.root()};
    std::unique_ptr<FakeOutput> owned = std::make_unique<FakeOutput>();
    FakeOutput&     device = *owned;
    int64_t         nowNs = 7'000'000'000;   // any start: only differences count
    MusicPlayer     player{files, std::move(owned), [this] { return nowNs; }};

    void wait(double ms) { nowNs += int64_t(std::llround(ms * 1e6)); }
    std::string start(const char* name) { return stderrOf([&] { player.startMusic(name); }); }
    // Starts a 7.7 s module in rows of 120 ms and returns all of its music.
    std::vector<int16_t> startSong() {
        const auto song = makeTinyMod(64, 6, true);
        folder.write("song.mod", song);
        start("song.mod");
        return decodeAll(*openMusicDecoder("song.mod", song.data(), song.size()));
    }
    // Plays `buffers` buffers in real time, returning what they held.
    std::vector<int16_t> playOn(int buffers) {
        std::vector<int16_t> heard;
        for (int i = 0; i < buffers; ++i, wait(device.bufferFrames * 1000.0 / kMusicRate)) {
            const auto b = device.play();
            heard.insert(heard.end(), b.begin(), b.end());
        }
        return heard;
    }
};

// Ogg and MP3 at every common rate, mono and stereo: exactly round(frames x 44,100 /
// rate) frames, the tone whole to its last 10 ms and the first note on time, the same
// in odd blocks and through the player's device buffers of any size; a seek lands
// within a device buffer of the frame asked for, and past the end the music is over.
// From 88.2 kHz the resampler gives a frame less than the rounded length, which the
// decoder makes up; the last 10 ms are there only when the resampler is flushed at
// the end.  The tone rises (200 Hz and 300 Hz more each second), so no stretch of
// it looks like another a buffer away.
TEST(MusicDecoder, StreamsKeepEveryFrameAndSeekWithinABufferAtAnyRate) {
    for (int rate : {8000, 22050, 32000, 44100, 48000, 88200})
        for (int channels : {1, 2})
            for (bool mp3 : {false, true}) {
                if (mp3 && rate > 48000) continue;   // MP3 has no such rate
                const int frames = rate * 3 / 4 + 7;   // an odd length: the rounding shows
                const auto pcm = makeSine(frames, channels, rate, 200, 300);
                const auto bytes = encodeWithFfmpeg(pcm, channels, rate, !mp3);
                ASSERT_FALSE(bytes.empty()) << "ffmpeg with libvorbis and libmp3lame is not installed";
                // The codec follows the bytes: an Ogg saved as ".mp3" plays.
                const std::string name = std::to_string(rate) + "-" + std::to_string(channels) + (mp3 ? ".mp3" : ".ogg.mp3");
                SCOPED_TRACE(name);
                auto decoder = openMusicDecoder(name.c_str(), bytes.data(), bytes.size());
                ASSERT_TRUE(decoder);
                const auto out = decodeAll(*decoder, 4096);
                EXPECT_EQ(int64_t(out.size() / 2), std::llround(double(frames) * kMusicRate / rate));
                EXPECT_TRUE(endsHere(*decoder)) << "played past its end";

                const auto ideal = makeSine(int(out.size() / 2), 1, kMusicRate, 200, 300);
                const size_t window = kMusicRate / 100, length = out.size() / 2;
                for (size_t w = 0; w * window < length; ++w) {   // the last window ends with the music
                    const size_t from = std::min(w * window, length - window);
                    double error = 0, power = 0;
                    for (size_t f = from; f < from + window; ++f)
                        error += std::pow(out[f * 2] - ideal[f], 2.0), power += std::pow(double(ideal[f]), 2.0);
                    ASSERT_LT(error, power / 16) << "10 ms window " << w << " is not the tone (lost or shifted)";
                }
                for (uint32_t ms : {500u, 77u, 0u}) {
                    ASSERT_TRUE(decoder->seek(ms)) << ms;
                    std::vector<int16_t> piece(2 * kBuffer);
                    ASSERT_EQ(decoder->render(piece.data(), kBuffer), kBuffer);
                    EXPECT_NEAR(missBy(out, piece, ms), 0.0, kBuffer) << "seek to " << ms;
                }
                EXPECT_FALSE(decoder->seek(msOf(int64_t(out.size() / 2)) + 1000));
                EXPECT_TRUE(endsHere(*decoder)) << "plays past its end after a seek";
                for (size_t f = 0; channels == 1 && f * 2 < out.size(); ++f)
                    ASSERT_EQ(out[f * 2], out[f * 2 + 1]) << "mono on one side, frame " << f;

                for (int bufferFrames : {256, 1024, 4096}) {
                    Rig rig;
                    rig.device.bufferFrames = bufferFrames;
                    rig.folder.write(name, bytes);
                    rig.start(name.c_str());
                    auto heard = rig.playOn(int(out.size() / 2 / bufferFrames) + 2);
                    ASSERT_GE(heard.size(), out.size());
                    EXPECT_TRUE(std::equal(out.begin(), out.end(), heard.begin())) << bufferFrames << "-frame buffers";
                    EXPECT_TRUE(silent({heard.begin() + ptrdiff_t(out.size()), heard.end()}));
                }
            }
}

// The clock is what left the speakers: one buffer behind the frames handed over,
// moving on with time between refills but never more than a buffer ahead, never
// back; it runs past the song's end and freezes at close.
TEST(MusicPlayer, ClockIsTheFramesHeard) {
    Rig rig;
    rig.folder.write("short.mod", makeTinyMod(4, 1, true));   // 80 ms: the clock outlives it
    EXPECT_EQ(rig.player.readClock(), 0u) << "the clock runs before the music";
    EXPECT_EQ(rig.start("short.mod"), "");
    ASSERT_TRUE(rig.player.audible());
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
    rig.player.closeMusic(), rig.player.closeMusic();   // safe twice
    rig.wait(1000);
    EXPECT_EQ(rig.player.readClock(), msOf(22 * kBuffer)) << "the clock freezes at close";
    EXPECT_FALSE(rig.device.running);
    rig.player.startMusic("short.mod");   // only the first start counts
    EXPECT_FALSE(rig.player.audible());
}

// Without music, or without any output (not even the silent stand-in: no sound server,
// no card), one line says why and the clock runs on the time source, paused it stands
// and a new position reads exactly; a missing real output alone is no news, the
// stand-in plays.
TEST(MusicPlayer, WithoutSoundTheClockRunsOnTimeAndSteers) {
    const struct {
        const char* music;
        bool refuseReal, refuseStandIn;
        const char* says;   // in its one line; "" when the stand-in plays
    } cases[] = {{"nowhere.ogg", false, false, "nowhere.ogg"}, {"song.mod", true, false, ""},
                 {"song.mod", true, true, "no device here"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.music + std::string(c.says));
        Rig rig;
        rig.folder.write("song.mod", makeTinyMod(8, 3, true));
        rig.device.refuseReal = c.refuseReal;
        rig.device.refuseStandIn = c.refuseStandIn;
        rig.wait(300);
        const std::string said = rig.start(c.music);
        EXPECT_EQ(rig.player.audible(), !*c.says);
        if (!*c.says) {
            EXPECT_EQ(said, "");
            continue;
        }
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
        EXPECT_EQ(lines(said), 1) << said;
        const auto jump = [&](uint32_t ms) {
            rig.player.setPosition(ms);
            return rig.player.readClock();
        };
        rig.wait(1234.9);
        EXPECT_EQ(rig.player.readClock(), 1234u);
        rig.player.pause(true);
        rig.wait(500);
        EXPECT_EQ(rig.player.readClock(), 1234u);
        EXPECT_FALSE(rig.player.isPlaying());
        EXPECT_EQ(jump(100), 100u);
        rig.player.pause(false);
        rig.wait(50);
        EXPECT_EQ(rig.player.readClock(), 150u);
        EXPECT_EQ(jump(20000), 20000u);
        EXPECT_EQ(jump(7), 7u) << "an earlier position is taken as asked";
    }
}

// Paused, the clock stands and the device plays silence; unpaused, the music goes on
// where the clock stood.  A new position reads exactly at once and the music follows
// within a buffer, forwards, backwards and while paused.  After stopSong the music is
// silent and the clock runs on.
TEST(MusicPlayer, PauseAndSetPositionSteerClockAndMusic) {
    Rig rig;
    const auto whole = rig.startSong();
    const auto landed = [&](uint32_t ms) { return missBy(whole, rig.device.play(), ms); };
    rig.playOn(30), rig.wait(3);
    const uint32_t at = rig.player.readClock();
    rig.player.pause(true);
    EXPECT_TRUE(silent(rig.playOn(10)));
    EXPECT_EQ(rig.player.readClock(), at);
    rig.player.pause(false);
    EXPECT_EQ(rig.player.readClock(), at);
    EXPECT_NEAR(landed(at), 0.0, kBuffer) << "not where the clock stood, but where the decoder had got to";

    for (uint32_t ms : {1500u, 300u}) {
        rig.player.setPosition(ms);
        EXPECT_EQ(rig.player.readClock(), ms);
        EXPECT_NEAR(landed(ms), 0.0, kBuffer) << ms;
        EXPECT_EQ(rig.player.readClock(), ms) << "moved before the new music was heard";
        rig.playOn(2);   // the buffer above is heard, and two more
        EXPECT_EQ(rig.player.readClock(), ms + msOf(3 * kBuffer));
    }
    rig.player.pause(true), rig.player.setPosition(900);
    EXPECT_EQ(rig.player.readClock(), 900u);
    EXPECT_TRUE(silent(rig.playOn(2)));
    rig.player.pause(false);
    EXPECT_NEAR(landed(900), 0.0, kBuffer);
    rig.player.stopSong();
    EXPECT_TRUE(silent(rig.playOn(2)));
    EXPECT_EQ(rig.player.readClock(), 900 + msOf(3 * kBuffer));
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
    rig.playOn(20), rig.wait(7);
    const uint32_t before = rig.player.readClock();
    rig.device.lost_ = rig.device.refuseReal = true;
    const std::string gone = stderrOf([&] { EXPECT_EQ(rig.player.readClock(), before) << "a jump when the device went"; });
    EXPECT_EQ(lines(gone), 1) << gone;
    EXPECT_FALSE(rig.device.running) << "the lost device was not let go";
    const int opensBefore = rig.device.realOpens;

    uint32_t back = 0;
    const std::string said = stderrOf([&] {
        for (int ms = 10; ms <= 2500; ms += 10) {
            rig.wait(10);
            ASSERT_EQ(rig.player.readClock(), before + ms) << "not at the time source's speed";
            ASSERT_EQ(rig.device.realOpens - opensBefore, ms / 1000) << "not once a second, at " << ms;
        }
        rig.device.refuseReal = false;
        rig.wait(600);   // 3.1 s after the loss: the third look finds it
        back = rig.player.readClock();
    });
    EXPECT_EQ(back, before + 3100);
    EXPECT_EQ(lines(said), 1) << said;
    ASSERT_TRUE(rig.device.running);
    EXPECT_TRUE(rig.player.audible());
    EXPECT_NEAR(missBy(whole, rig.device.play(), back), 0.0, kBuffer20ms);
    EXPECT_EQ(rig.player.readClock(), back) << "the clock moved before the music was heard";
    rig.playOn(2);   // the buffer above is heard, and two more
    EXPECT_EQ(rig.player.readClock(), back + 60);
}

}  // namespace
