#include "RarFixtures.h"

#include <zlib.h>

namespace hlvtest {

namespace {

void put16(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void put32(Bytes& b, uint32_t v) { put16(b, v & 0xFFFF), put16(b, v >> 16); }
uint32_t crcOf(const void* p, size_t n) { return uint32_t(crc32(0, static_cast<const Bytef*>(p), uInt(n))); }

// Low half of the CRC-32 of the header after its CRC field.
void sealHeader(Bytes& b, size_t start) {
    const uint32_t crc = crcOf(b.data() + start + 2, b.size() - start - 2);
    b[start] = uint8_t(crc), b[start + 1] = uint8_t(crc >> 8);
}

}  // namespace

Bytes archive(const std::vector<Entry>& entries, bool solid) {
    Bytes b = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
    size_t start = b.size();
    put16(b, 0), b.push_back(0x73), put16(b, solid ? 0x0008 : 0), put16(b, 13), put16(b, 0), put32(b, 0);
    sealHeader(b, start);
    for (const Entry& e : entries) {
        start = b.size();
        put16(b, 0), b.push_back(0x74), put16(b, e.flags), put16(b, uint32_t(32 + e.name.size()));
        put32(b, uint32_t(e.data.size())), put32(b, uint32_t(e.content.size()));
        b.push_back(2), put32(b, crcOf(e.content.data(), e.content.size())), put32(b, 0);
        b.push_back(e.version), b.push_back(e.method), put16(b, uint32_t(e.name.size())), put32(b, 0x20);
        b.insert(b.end(), e.name.begin(), e.name.end());
        sealHeader(b, start);
        b.insert(b.end(), e.data.begin(), e.data.end());
    }
    return b;
}

Entry stored(const std::string& name, const std::string& content) {
    return {name, Bytes(content.begin(), content.end()), content};
}

}  // namespace hlvtest
