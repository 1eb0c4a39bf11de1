// The RAR 2.0 compressor: LZ over a 1 MiB window with Huffman-coded
// symbols, or the audio (delta prediction) mode, per file whichever packs
// smaller.  One call packs one stream: a single file, or every file of a
// solid archive, where the window, the recent distances, the audio state and
// the tables run on from one file to the next exactly as the decoder keeps them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pack {

struct EncoderOptions {
    int      chainLimit   = 96;       // hash-chain candidates tried per position
    uint32_t blockSymbols = 0x8000;   // symbols coded before the tables are rebuilt
    bool     tryAudio     = true;     // try the audio mode on every file
    int      audioChannels = 0;       // 1-4 forces the audio mode with that many channels (tests, tuning)
};

// How one file of the stream was packed.
struct EncodedFile {
    std::vector<uint8_t> packed;   // the file's data area
    int audioChannels = 0;         // 0: LZ mode, 1-4: audio mode with that many channels
    int tableChanges  = 0;         // table sets written inside the file (first set not counted)
};

// Packs files (each non-empty) as one stream: files[0] starts fresh, every
// later one continues the stream of the one before it.
std::vector<EncodedFile> encodeRar20(const std::vector<const std::vector<uint8_t>*>& files,
                                     const EncoderOptions& options = {});

}  // namespace pack
