// Archives of the show's "data.dat" kind built byte by byte, header
// checksums included, for tests that need one without the packer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hlvtest {

using Bytes = std::vector<uint8_t>;

// One file header and its data area.
struct Entry {
    std::string name;             // as stored
    Bytes       data;             // packed bytes as stored
    std::string content;          // what the entry unpacks to (gives its size and CRC)
    uint8_t     method = 0x30;    // 0x30 stored
    uint8_t     version = 20;     // unpack version
    uint16_t    flags = 0x8000;   // data follows
};

// Marker, main header (solid flag as given), then each entry in order.
Bytes archive(const std::vector<Entry>& entries, bool solid = false);

// A stored entry of these bytes.
Entry stored(const std::string& name, const std::string& content);

}  // namespace hlvtest
