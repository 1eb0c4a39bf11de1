#include "engine/MusicPlayer.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "AudioFixtures.h"
#include "TestSupport.h"
#include "resources/DataFile.h"

namespace {

using namespace std::chrono_literals;
using namespace hlvtest;

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

// Reads the clock every few ms for span: it must never go back, and must have
// run at least atLeastMs without racing ahead of the time that passed.
void expectRunningClock(MusicPlayer& player, std::chrono::milliseconds span, uint32_t atLeastMs) {
    const auto end = std::chrono::steady_clock::now() + span;
    uint32_t last = player.readClock();
    for (uint32_t now = last; std::chrono::steady_clock::now() < end; last = now) {
        std::this_thread::sleep_for(3ms);
        ASSERT_GE(now = player.readClock(), last) << "the clock went back";
    }
    EXPECT_GE(last, atLeastMs);
    EXPECT_LT(last, 5000u);
}

// Everything comes out at 44,100 Hz stereo, once, the first note on time; the
// codec follows the bytes (an Ogg saved as ".mp3" plays).  An MP3's coder delay
// is cut, or it would run some 1,100 frames long and late against the Ogg.  The
// capture tool and the device ask in different block sizes for the same samples.
TEST(MusicDecoder, PlaysOnceAt44100StereoOnTimeWhateverTheBlockSize) {
    const auto mod = makeTinyMod(12, 3);
    const auto ogg = encodeOgg(makeSine(11025, 1, 22050, 300.0), 1, 22050);
    const auto mp3 = encodeMp3(makeSine(22050, 2, 44100, 300.0), 2, 44100);
    // libopenmpt lets the last notes ring on for a moment after the song.
    const int64_t songFrames = tinyModFrames(12, 3, kMusicRate);
    const struct {
        const char* name;
        const std::vector<uint8_t>* bytes;
        int64_t minFrames, maxFrames;
        bool mono;
    } cases[] = {{"song.mod", &mod, songFrames, songFrames + kMusicRate / 4, false},
                 {"misnamed.mp3", &ogg, 22050 - 64, 22050 + 64, true},
                 {"low.mp3", &mp3, 22050 - 64, 22050 + 64, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.bytes->empty()) << "ffmpeg with libmp3lame is not installed";
        std::string why;
        auto decoder = openMusicDecoder(c.name, c.bytes->data(), c.bytes->size(), &why);
        auto again = openMusicDecoder(c.name, c.bytes->data(), c.bytes->size());
        ASSERT_TRUE(decoder && again) << why;
        const auto pcm = decodeAll(*decoder);
        EXPECT_GE(int64_t(pcm.size() / 2), c.minFrames);
        EXPECT_LE(int64_t(pcm.size() / 2), c.maxFrames) << "played more than once, or the delay was kept";
        EXPECT_EQ(decoder->render(std::vector<int16_t>(64).data(), 32), 0) << "played past its end";
        const auto heard = std::find_if(pcm.begin(), pcm.end(), [](int16_t s) { return std::abs(s) > 1000; });
        EXPECT_LT((heard - pcm.begin()) / 2, 64) << "the first note comes late, or never";
        for (size_t f = 0; c.mono && f * 2 < pcm.size(); ++f) ASSERT_EQ(pcm[f * 2], pcm[f * 2 + 1]) << "mono on one side, frame " << f;
        EXPECT_EQ(decodeAll(*again, 1024), pcm);
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

// Without a playable file the steady clock runs and one line names the file; with
// one, the device's clock runs, past the song's end, and nothing is said.
TEST(MusicPlayer, ClockRunsWithAndWithoutSound) {
    TempDataFolder folder;
    DataFileService files{folder.root()};
    folder.write("short.mod", makeTinyMod(4, 1));   // 80 ms: the clock outlives it
    for (const char* name : {"nowhere.ogg", "short.mod"}) {
        SCOPED_TRACE(name);
        MusicPlayer player(files);
        EXPECT_EQ(player.readClock(), 0u) << "the clock runs before the music";
        testing::internal::CaptureStderr();
        player.startMusic(name);
        const std::string message = testing::internal::GetCapturedStderr();
        const bool audible = name[0] == 's';
        ASSERT_EQ(player.audible(), audible) << message;
        if (!audible) {
            EXPECT_NE(message.find(name), std::string::npos) << message;
            EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
            expectRunningClock(player, 300ms, 150);
            continue;
        }
        // Only our own words count: ALSA may chatter before the dummy driver steps in.
        EXPECT_EQ(message.find("halvoren"), std::string::npos) << message;
        EXPECT_EQ(player.musicMode(), MusicMode::Module);
        EXPECT_GT(player.outputLatencyFrames(), 0);
        expectRunningClock(player, 500ms, 250);
        player.stopSong();
        expectRunningClock(player, 200ms, player.readClock() + 100);
        const uint32_t last = player.readClock();
        player.closeMusic();
        player.closeMusic();   // safe twice
        std::this_thread::sleep_for(30ms);
        EXPECT_EQ(player.readClock(), last) << "the clock freezes at close";
        player.startMusic("short.mod");   // only the first start counts
        EXPECT_FALSE(player.audible());
    }
}

}  // namespace
