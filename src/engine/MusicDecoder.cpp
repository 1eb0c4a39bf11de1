#include "engine/MusicDecoder.h"

#include <cstring>

#include "engine/ModuleDecoder.h"
#include "engine/Mp3Decoder.h"
#include "engine/OggDecoder.h"

namespace {

constexpr char kOggMagic[] = "OggS";   // first bytes of every Ogg page

}  // namespace

MusicMode musicModeFor(const char* name) {
    if (name && (std::strstr(name, ".mp3") || std::strstr(name, ".ogg"))) return MusicMode::Stream;
    return MusicMode::Module;
}

std::unique_ptr<MusicDecoder> openMusicDecoder(const char* name, const uint8_t* bytes, size_t size,
                                               std::string* whyNot) {
    std::string reason;
    std::unique_ptr<MusicDecoder> decoder;
    if (!bytes || size == 0) {
        reason = "empty file";
    } else if (musicModeFor(name) == MusicMode::Module) {
        decoder = ModuleDecoder::open(bytes, size, reason);
    } else if (size >= 4 && std::memcmp(bytes, kOggMagic, 4) == 0) {
        // The bytes, not the name, pick the stream's codec: "x.ogg.mp3" or an
        // Ogg saved as ".mp3" still plays.
        decoder = OggDecoder::open(bytes, size, reason);
    } else {
        decoder = Mp3Decoder::open(bytes, size, reason);
        if (!decoder) reason = "not Ogg Vorbis, and " + reason;
    }
    if (!decoder && whyNot) *whyNot = reason;
    return decoder;
}
