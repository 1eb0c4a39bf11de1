// Writes RAR 2.x archives the show can read: every file of a folder,
// stored or compressed with the 2.0 compressor, optionally solid.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Rar20Encoder.h"

namespace pack {

struct PackFile {
    std::string          name;    // relative, '/' between folders
    std::vector<uint8_t> bytes;
};

struct PackOptions {
    bool           solid = false;   // one compressed stream through all files
    bool           store = false;   // no compression at all
    EncoderOptions encoder;
};

// How one entry went into the archive.
struct PackedEntry {
    std::string name;              // as stored, '\\' between folders
    uint32_t    size = 0;          // bytes of content
    uint32_t    packedSize = 0;    // bytes in the archive
    bool        stored = false;
    int         audioChannels = 0; // compressed in the audio mode with this many channels
};

// Longest name the show's reader compares in full.
constexpr size_t kMaxNameBytes = 259;

// The whole archive, entries in the order given (empty files last in a
// solid archive).  False with a message when
// a name or a size cannot be held by the format.
bool buildArchive(const std::vector<PackFile>& files, const PackOptions& options, std::vector<uint8_t>& archive,
                  std::string& error, std::vector<PackedEntry>* report = nullptr);

// Every regular file under dir, names relative to it, sorted bytewise so the
// archive does not depend on the file system's order.  skip (if not empty)
// is left out: the archive itself when it is written into the folder.
bool collectFiles(const std::string& dir, std::vector<PackFile>& files, std::string& error,
                  const std::string& skip = "");

// collectFiles + buildArchive + write; the archive is replaced only when
// everything before succeeded.
bool createArchive(const std::string& archivePath, const std::string& dir, const PackOptions& options,
                   std::string& error, std::vector<PackedEntry>* report = nullptr);

}  // namespace pack
