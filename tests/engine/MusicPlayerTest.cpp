#include "engine/MusicPlayer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "AudioFixtures.h"
#include "TestSupport.h"
#include "resources/DataFile.h"

namespace {

using namespace std::chrono_literals;

// Everything a decoder gives until it says the end (or ten minutes, so a
// decoder that loops fails instead of hanging).
// The default block is an odd size, so chunk seams fall everywhere.
std::vector<int16_t> decodeAll(MusicDecoder& decoder, int blockFrames = 777) {
    constexpr size_t kMaxFrames = size_t(600) * kMusicRate;
    std::vector<int16_t> all, block(size_t(blockFrames) * 2);
    while (all.size() / 2 < kMaxFrames) {
        const int got = decoder.render(block.data(), blockFrames);
        all.insert(all.end(), block.begin(), block.begin() + 2 * got);
        if (got < blockFrames) break;
    }
    return all;
}

// First frame whose left sample is louder than `threshold` (default: a
// quarter of full scale), -1 for none.
long firstLoudFrame(const std::vector<int16_t>& stereo, int threshold = 8192) {
    for (size_t f = 0; f * 2 < stereo.size(); ++f)
        if (std::abs(stereo[f * 2]) > threshold) return long(f);
    return -1;
}

// Reads the clock every few ms for `span`; the readings in order.
std::vector<uint32_t> pollClock(MusicPlayer& player, std::chrono::milliseconds span) {
    std::vector<uint32_t> readings;
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        readings.push_back(player.readClock());
        std::this_thread::sleep_for(3ms);
    }
    readings.push_back(player.readClock());
    return readings;
}

void expectRunningClock(const std::vector<uint32_t>& readings, uint32_t atLeastMs) {
    ASSERT_FALSE(readings.empty());
    for (size_t i = 1; i < readings.size(); ++i)
        ASSERT_GE(readings[i], readings[i - 1]) << "clock went back at reading " << i;
    EXPECT_GE(readings.back(), atLeastMs);
    EXPECT_LT(readings.back(), 5000u) << "far ahead of the time that passed";
}

struct MusicFolder {
    hlvtest::TempDataFolder folder;
    DataFileService files{folder.root()};
};

TEST(MusicMode, StreamExactlyForMp3OrOggInTheName) {
    EXPECT_EQ(musicModeFor("theme.ogg"), MusicMode::Stream);
    EXPECT_EQ(musicModeFor("music/theme.mp3"), MusicMode::Stream);
    EXPECT_EQ(musicModeFor("a.mp3.bak"), MusicMode::Stream);
    EXPECT_EQ(musicModeFor("theme.OGG"), MusicMode::Module);
    EXPECT_EQ(musicModeFor("song.xm"), MusicMode::Module);
    EXPECT_EQ(musicModeFor("mp3.xm"), MusicMode::Module);
    EXPECT_EQ(musicModeFor(""), MusicMode::Module);
}

TEST(MusicDecoder, ModulePlaysOnceForItsRows) {
    const auto mod = hlvtest::makeTinyMod(12, 3);
    std::string why;
    auto decoder = openMusicDecoder("song.mod", mod.data(), mod.size(), &why);
    ASSERT_TRUE(decoder) << why;
    const auto pcm = decodeAll(*decoder);
    // libopenmpt lets the last notes ring on for a moment after the song.
    const int64_t songFrames = hlvtest::tinyModFrames(12, 3, kMusicRate);
    EXPECT_GE(int64_t(pcm.size() / 2), songFrames);
    EXPECT_LE(int64_t(pcm.size() / 2), songFrames + kMusicRate / 4) << "played more than once";
    const long onset = firstLoudFrame(pcm, 1000);
    EXPECT_GE(onset, 0) << "the note struck on the first row is not heard";
    EXPECT_LT(onset, 64) << "the note struck on the first row comes late";
    int16_t more[64];
    EXPECT_EQ(decoder->render(more, 32), 0) << "played past its end";
}

TEST(MusicDecoder, OggKeepsItsExactLengthAndOnset) {
    constexpr int kFrames = 30011;
    const auto signal = hlvtest::makeSine(kFrames, 2, 44100, 440.0, 10000);
    const auto ogg = hlvtest::encodeOgg(signal, 2, 44100);
    std::string why;
    auto decoder = openMusicDecoder("theme.ogg", ogg.data(), ogg.size(), &why);
    ASSERT_TRUE(decoder) << why;
    const auto pcm = decodeAll(*decoder);
    EXPECT_EQ(pcm.size() / 2, size_t(kFrames));
    EXPECT_NEAR(double(firstLoudFrame(pcm)), double(firstLoudFrame(signal)), 8.0);
}

TEST(MusicDecoder, OggAtAnotherRateComesOutAt44100Stereo) {
    // Half a second of 22,050 Hz mono: half a second of 44,100 Hz stereo.
    const auto ogg = hlvtest::encodeOgg(hlvtest::makeSine(11025, 1, 22050, 300.0), 1, 22050);
    std::string why;
    auto decoder = openMusicDecoder("low.ogg", ogg.data(), ogg.size(), &why);
    ASSERT_TRUE(decoder) << why;
    const auto pcm = decodeAll(*decoder);
    EXPECT_NEAR(double(pcm.size() / 2), 22050.0, 64.0);
    bool same = true;
    for (size_t f = 0; f * 2 < pcm.size(); ++f) same = same && pcm[f * 2] == pcm[f * 2 + 1];
    EXPECT_TRUE(same) << "mono must reach both sides alike";
    EXPECT_GE(firstLoudFrame(pcm), 0);
}

TEST(MusicDecoder, StreamCodecFollowsTheBytes) {
    // Stream mode comes from the name, but an Ogg saved as ".mp3" still plays.
    const auto ogg = hlvtest::encodeOgg(hlvtest::makeSine(4410, 2, 44100, 440.0), 2, 44100);
    auto decoder = openMusicDecoder("misnamed.mp3", ogg.data(), ogg.size());
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decodeAll(*decoder).size() / 2, 4410u);
}

// The capture tool renders in video-frame steps, the device in its own
// buffer size: both must get the very same samples.
TEST(MusicDecoder, SamplesDoNotDependOnTheBlockSize) {
    const auto mod = hlvtest::makeTinyMod(16, 2);
    const auto ogg = hlvtest::encodeOgg(hlvtest::makeSine(9000, 1, 32000, 500.0), 1, 32000);
    for (const auto& [name, bytes] : {std::pair{"song.mod", &mod}, std::pair{"low.ogg", &ogg}}) {
        auto byDevice = openMusicDecoder(name, bytes->data(), bytes->size());
        auto byFrame = openMusicDecoder(name, bytes->data(), bytes->size());
        ASSERT_TRUE(byDevice && byFrame) << name;
        EXPECT_EQ(decodeAll(*byDevice, 1024), decodeAll(*byFrame, 735)) << name;
    }
}

TEST(MusicDecoder, RefusesWhatIsNotMusicAndSaysWhy) {
    const std::string junk = "this is plain text, not music at all; nothing here syncs or parses";
    const auto* bytes = reinterpret_cast<const uint8_t*>(junk.data());
    for (const char* name : {"junk.ogg", "junk.mp3", "junk.xm", "junk.mod"}) {
        std::string why;
        EXPECT_FALSE(openMusicDecoder(name, bytes, junk.size(), &why)) << name;
        EXPECT_FALSE(why.empty()) << name;
    }
    std::string why;
    EXPECT_FALSE(openMusicDecoder("empty.ogg", bytes, 0, &why));
    EXPECT_FALSE(why.empty());
    // A module inside a stream name is no stream.
    const auto mod = hlvtest::makeTinyMod(4, 1);
    EXPECT_FALSE(openMusicDecoder("mod.ogg", mod.data(), mod.size()));
}

// The same music as Ogg and as MP3 must keep the same clock: the MP3's
// encoder and decoder delay are cut, so lengths and onsets agree.
TEST(MusicDecoder, Mp3LinesUpWithOggOfTheSameMusic) {
    if (std::system("ffmpeg -hide_banner -loglevel error -h encoder=libmp3lame >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg with libmp3lame is not installed";
    constexpr int kFrames = 44100, kSilence = 11025;
    const auto signal = hlvtest::makeSine(kFrames, 2, 44100, 440.0, kSilence);
    hlvtest::TempDataFolder folder;
    folder.write("in.wav", hlvtest::encodeWav(signal, 2, 44100));
    const std::string in = folder.root() + "data/in.wav", out = folder.root() + "data/out.mp3";
    const std::string cmd = "ffmpeg -hide_banner -loglevel error -y -i '" + in
                          + "' -c:a libmp3lame -b:a 192k '" + out + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::ifstream file(out, std::ios::binary);
    const std::vector<uint8_t> mp3((std::istreambuf_iterator<char>(file)), {});
    const auto ogg = hlvtest::encodeOgg(signal, 2, 44100);

    std::string why;
    auto fromMp3 = openMusicDecoder("theme.mp3", mp3.data(), mp3.size(), &why);
    ASSERT_TRUE(fromMp3) << why;
    auto fromOgg = openMusicDecoder("theme.ogg", ogg.data(), ogg.size(), &why);
    ASSERT_TRUE(fromOgg) << why;
    const auto mp3Pcm = decodeAll(*fromMp3), oggPcm = decodeAll(*fromOgg);

    // Without the cut the MP3 would be some 1,100 frames longer and later.
    EXPECT_NEAR(double(mp3Pcm.size() / 2), double(kFrames), 32.0);
    EXPECT_NEAR(double(oggPcm.size() / 2), double(kFrames), 0.0);
    EXPECT_NEAR(double(firstLoudFrame(mp3Pcm)), double(firstLoudFrame(oggPcm)), 32.0);
    EXPECT_NEAR(double(firstLoudFrame(oggPcm)), double(firstLoudFrame(signal)), 32.0);
}

TEST(MusicPlayer, MissingFileLeavesARunningClockAndOneMessage) {
    MusicFolder music;
    MusicPlayer player(music.files);
    testing::internal::CaptureStderr();
    player.startMusic("nowhere.ogg");
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("nowhere.ogg"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    EXPECT_FALSE(player.audible());
    expectRunningClock(pollClock(player, 300ms), 150);
}

TEST(MusicPlayer, GarbageFileLeavesARunningClockAndOneMessage) {
    MusicFolder music;
    music.folder.write("junk.xm", std::string("no module here, only words"));
    MusicPlayer player(music.files);
    testing::internal::CaptureStderr();
    player.startMusic("junk.xm");
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("junk.xm"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    EXPECT_FALSE(player.audible());
    expectRunningClock(pollClock(player, 300ms), 150);
}

TEST(MusicPlayer, ModulePlaysOnTheAudioDeviceAndDrivesTheClock) {
    MusicFolder music;
    music.folder.write("song.mod", hlvtest::makeTinyMod(64, 6));   // 7.68 s
    MusicPlayer player(music.files);
    EXPECT_EQ(player.readClock(), 0u) << "the clock runs before the music";
    testing::internal::CaptureStderr();
    player.startMusic("song.mod");
    // (Only our own words: ALSA may chatter before the dummy driver steps in.)
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(message.find("halvoren"), std::string::npos) << message;
    EXPECT_EQ(player.musicMode(), MusicMode::Module);
    ASSERT_TRUE(player.audible());
    EXPECT_GT(player.outputLatencyFrames(), 0);
    expectRunningClock(pollClock(player, 300ms), 100);
}

TEST(MusicPlayer, OggPlaysAsAStream) {
    MusicFolder music;
    music.folder.write("theme.ogg", hlvtest::encodeOgg(hlvtest::makeSine(88200, 2, 44100, 440.0), 2, 44100));
    MusicPlayer player(music.files);
    player.startMusic("theme.ogg");
    EXPECT_EQ(player.musicMode(), MusicMode::Stream);
    ASSERT_TRUE(player.audible());
    expectRunningClock(pollClock(player, 300ms), 100);
}

TEST(MusicPlayer, ClockKeepsCountingAfterShortMusicAndAfterStopSong) {
    MusicFolder music;
    music.folder.write("short.mod", hlvtest::makeTinyMod(4, 1));   // 80 ms
    MusicPlayer player(music.files);
    player.startMusic("short.mod");
    ASSERT_TRUE(player.audible());
    const auto readings = pollClock(player, 500ms);
    expectRunningClock(readings, 250);
    player.stopSong();
    const uint32_t stoppedAt = player.readClock();
    expectRunningClock(pollClock(player, 200ms), stoppedAt + 100);
}

TEST(MusicPlayer, CloseMusicIsSafeTwiceAndFreezesTheClock) {
    MusicFolder music;
    music.folder.write("song.mod", hlvtest::makeTinyMod(64, 6));
    MusicPlayer player(music.files);
    player.startMusic("song.mod");
    ASSERT_TRUE(player.audible());
    pollClock(player, 100ms);
    const uint32_t last = player.readClock();
    player.closeMusic();
    EXPECT_FALSE(player.audible());
    player.closeMusic();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(player.readClock(), last);
    player.startMusic("song.mod");   // only the first start counts
    EXPECT_FALSE(player.audible());
}

}  // namespace
