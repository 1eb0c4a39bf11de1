// The music decoders opening arbitrary bytes, then playing the first moment
// of whatever they accepted.  The first byte picks the name, and with it the
// decoder (Ogg or MP3 stream, or tracker module); the rest is the file.
#include <string>
#include <vector>

#include "engine/MusicDecoder.h"

namespace {

constexpr int kBlockFrames = 1024;
constexpr int kMaxBlocks = 2;   // about 0.05 s of music

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const char* const kNames[] = {"music/a.ogg", "music/a.mp3", "music/a.xm"};
    const char* name = kNames[data[0] % 3];
    // A copy of just the file's bytes, so reading one past them is caught.
    const std::vector<uint8_t> file(data + 1, data + size);

    std::string whyNot;
    auto decoder = openMusicDecoder(name, file.data(), file.size(), &whyNot);
    if (!decoder) {
        if (whyNot.empty()) __builtin_trap();   // a refusal always says why
        return 0;
    }
    std::vector<int16_t> stereo(size_t(kBlockFrames) * 2);
    for (int block = 0; block < kMaxBlocks; ++block) {
        const int got = decoder->render(stereo.data(), kBlockFrames);
        if (got < 0 || got > kBlockFrames) __builtin_trap();
        if (got < kBlockFrames) break;
    }
    return 0;
}
