// The archive reader on archives built here byte by byte: stored entries,
// and compressed ones whose bit streams are written out by hand from the
// format, so each expected result follows from the format, not the reader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "RarFixtures.h"
#include "TestSupport.h"
#include "resources/RarArchive.h"

using namespace hlvtest;   // archive, stored, Entry, Bytes, TempDataFolder

namespace {

// MSB-first bit writer for hand-made compressed streams.
struct Bits {
    Bytes    bytes;
    uint32_t used = 0;   // bits in the last byte
    Bits& put(uint32_t value, uint32_t n) {
        while (n--) {
            if (used % 8 == 0) {
                bytes.push_back(0);
                used = 0;
            }
            bytes.back() |= uint8_t(((uint64_t(value) >> n) & 1) << (7 - used++));
        }
        return *this;
    }
    Bits& code(const char* s) { return *s ? put(*s == '1', 1).code(s + 1) : *this; }
};

// A table header.  The code-length code gives symbol 0 the code "0" and
// symbols 1 to 4 "100" to "111", so each entry's length (0 to 4, a change
// from an all-zero previous table) costs one or three bits.
void tables(Bits& bits, bool audio, uint32_t channels, const std::vector<uint8_t>& lengths) {
    bits.put(audio, 1).put(0, 1);
    if (audio) bits.put(channels - 1, 2);
    const uint8_t codeLengths[19] = {1, 3, 3, 3, 3};
    for (uint8_t l : codeLengths) bits.put(l, 4);
    for (uint8_t l : lengths) l ? bits.put(3 + l, 3) : bits.put(0, 1);
}

// LZ tables.  Main: 'a' "0", 'b' "10", then one symbol of 4 bits, "1100";
// the distance and length tables hold symbol 0 alone, whose code is "0".
std::vector<uint8_t> lzLengths(uint32_t fourBit) {
    std::vector<uint8_t> l(374, 0);
    l['a'] = 1;
    l['b'] = 2;
    l[fourBit] = 4;
    l[298] = l[298 + 48] = 1;
    return l;
}

Entry compressed(const std::string& name, Bits bits, const std::string& content, uint16_t flags = 0x8000) {
    bits.put(0, 7).put(0, 40);   // the end-of-file look-ahead sees a plain literal
    return {name, bits.bytes, content, 0x33, 20, flags};
}

struct Got { bool ok; std::string bytes, error; };

Got get(const Bytes& arc, const char* name) {
    uint8_t* out = reinterpret_cast<uint8_t*>(1);
    uint32_t size = 77;
    Got g;
    g.ok = rarGetFileFromMemory(&out, &size, name, arc.data(), arc.size(), "test.rar") == 1;
    if (g.ok) g.bytes.assign(reinterpret_cast<char*>(out), size);
    else EXPECT_TRUE(out == nullptr && size == 0) << name << ": failure hands out nothing";
    g.error = rarLastError();
    std::free(out);
    return g;
}

// A file streamed from the archive on disk to a sink, or its error in brackets.
std::string streamed(const std::string& path, const char* name) {
    std::string bytes;
    uint32_t size = 0;
    const bool ok = rarExtractFile(name, path.c_str(), [&](const uint8_t* piece, size_t n) {
        bytes.append(reinterpret_cast<const char*>(piece), n);
        return true;
    }, &size);
    EXPECT_TRUE(!ok || size == bytes.size()) << name;
    return ok ? bytes : "(" + std::string(rarLastError()) + ")";
}

const Entry kBadCrc{.name = "crc.bin", .data = {'a', 'c', 'c'}, .content = "abc"};   // "abc" with a bit flipped
const Bytes kStored = archive({stored("hlv.txt", "script"), stored("VELM\\CANON.RAW", "height"),
                               stored("cflare_FLARE.png", "flare"), stored("empty", "")});

}  // namespace

// Stored entries are found by folded names; refusals name the archive, the
// entry and the problem.
TEST(RarArchive, LookupsFindFoldedNamesOrSayWhyNot) {
    const std::pair<const char*, const char*> found[] = {
        {"VELM/Canon.Raw", "height"}, {"velm\\canon.raw", "height"}, {"cflare/FLARE.png", "flare"}, {"empty", ""}};
    for (auto [name, bytes] : found) {
        const Got g = get(kStored, name);
        EXPECT_TRUE(g.ok && g.error.empty()) << name << ": " << g.error;   // a success clears the last error
        EXPECT_EQ(g.bytes, bytes) << name;
    }

    const Entry later{.name = "later.bin", .data = {'x'}, .content = "x", .method = 0x33, .version = 29};
    const Entry old{.name = "old.bin", .data = {'x'}, .content = "x", .version = 12};
    const Entry secret{.name = "secret.bin", .data = {'x'}, .content = "x", .flags = 0x8004};   // encrypted
    Bits early;   // a match before anything was written reaches outside the file
    tables(early, false, 0, lzLengths(261));
    early.code("1101").put(1, 2).code("0");
    const Bytes arc = archive({later, old, secret, kBadCrc, compressed("early.bin", early, "aba")});
    Bytes laterMarker = archive({stored("a", "a")});
    laterMarker[6] = 1;   // a later format's marker
    const std::tuple<Bytes, const char*, const char*> cases[] = {
        {arc, "later.bin", "version"}, {arc, "old.bin", "version"}, {arc, "secret.bin", "encrypted"},
        {arc, "crc.bin", "CRC"},       {arc, "early.bin", ""},
        {laterMarker, nullptr, "marker"}, {Bytes{}, nullptr, "marker"}, {kStored, "missing.txt", "no such file"},
        {kStored, "hlv.tx", "no such file"}, {kStored, "hlv.txt2", "no such file"}, {kStored, "", "no such file"}};
    for (const auto& [bytes, name, problem] : cases) {
        const Got g = get(bytes, name ? name : "a");
        EXPECT_FALSE(g.ok) << name;
        // The entry is named in quotes (the empty one too); a whole archive that is no archive names none.
        const std::string quoted = name ? std::string("\"") + name + "\"" : "test.rar";
        for (const std::string& word : {std::string("test.rar"), quoted, std::string(problem)})
            EXPECT_NE(g.error.find(word), std::string::npos) << (name ? name : "a") << ": " << g.error;
    }
}

// Three files of one stream: "abab", "ba", then a 2-byte copy from 3 back
// ("bb"), which only the shared window can give.
std::vector<Entry> solidFiles(uint16_t continues) {
    Bits first, second, third;
    tables(first, false, 0, lzLengths(261));
    first.code("0").code("10").code("1100").put(1, 2);
    second.code("10").code("0");
    third.code("1100").put(2, 2);
    return {compressed("one", first, "abab"), compressed("two", second, "ba", 0x8000 | continues),
            compressed("three", third, "bb", 0x8000 | continues)};
}

TEST(RarArchive, SolidArchiveDecodesEarlierFilesForTheWantedOne) {
    const Bytes solid = archive(solidFiles(0x10), true);
    EXPECT_EQ(get(solid, "three").bytes + get(solid, "two").bytes + get(solid, "one").bytes, "bbbaabab");

    // The table-change symbol (269) right after a file's last byte is read
    // with that file, so the next one starts in audio mode: the one channel
    // starts from byte 0 and each "1" (symbol 251, a delta of -5) adds 5.
    Bits first, second;
    std::vector<uint8_t> audio(257, 0);
    audio[0] = audio[251] = 1;
    tables(first, false, 0, lzLengths(269));
    first.code("0").code("10").code("1100");
    tables(first, true, 1, audio);
    second.code("1").code("1");
    const Bytes peek = archive({compressed("one", first, "ab"), compressed("two", second, "\x05\x0a", 0x8010)}, true);
    EXPECT_EQ(get(peek, "two").bytes, "\x05\x0a");
}

// Matches reaching back a whole window (1 MiB), across the two files of a
// solid stream, right after short copies: main 'a' "0", 'b' "10", 270
// (3 bytes, +1 and +1 more at 8192 and 262144 back) "110"; distance 8 (17
// to 24 back, 3 extra bits) "0", 47 (983041 and up, 16 bits) "1".  The first
// file's data ends in zero bits, more 'a's past its size that must not be
// taken.  The expected bytes come from copying one byte at a time.
TEST(RarArchive, FarMatchesAfterShortOnesReadTheWholeWindowAsABlockOrStreamed) {
    std::vector<uint8_t> lengths(374, 0);
    lengths['a'] = 1;
    lengths['b'] = 2;
    lengths[270] = 3;
    lengths[298 + 8] = lengths[298 + 47] = 1;
    Bits one, two;
    tables(one, false, 0, lengths);
    std::string content;
    auto literal = [&](Bits& bits, char c) {
        bits.code(c == 'a' ? "0" : "10");
        content += c;
    };
    auto match = [&](Bits& bits, uint32_t dist) {
        bits.code("110");
        dist >= 983041 ? bits.code("1").put(dist - 983041, 16) : bits.code("0").put(dist - 17, 3);
        for (uint32_t n = 3 + (dist >= 8192) + (dist >= 262144); n > 0; --n) content += content[content.size() - dist];
    };
    for (uint32_t seed = 7; content.size() < (1u << 20) + 64;) literal(one, (seed = seed * 1103515245 + 12345) >> 30 & 1 ? 'b' : 'a');
    for (uint32_t k = 0; k < 300; ++k) {
        match(one, 17 + k % 8);
        match(one, (1u << 20) - k % 16);
        literal(one, "ab"[k % 2]);
    }
    literal(one, 'a');
    literal(one, 'b');
    const std::string first = content;
    for (int i = 0; i < 80; ++i) one.put(0, 8);
    match(two, 1u << 20);
    match(two, 20);
    while (content.size() < (2u << 20) + 4096) match(two, 17 + content.size() % 8);   // past the ring's end
    literal(two, 'b');
    const Bytes solid = archive({kBadCrc, compressed("one", one, first),
                                 compressed("two", two, content.substr(first.size()), 0x8010)}, true);
    EXPECT_EQ(get(solid, "two").bytes, content.substr(first.size()));
    EXPECT_EQ(get(solid, "one").bytes, first);

    // Streamed to a sink, the second file passes the end of the decoder's
    // ring, so one hand-over comes in two pieces.  The CRC is checked over
    // what was handed on, and an output that stops taking bytes stops the
    // extraction and says so.  PackTest's extract streams small files.
    TempDataFolder folder;
    const std::string path = folder.root() + "data.dat";
    folder.writeRoot("data.dat", solid);
    EXPECT_TRUE(streamed(path, "two") == content.substr(first.size()));
    EXPECT_NE(streamed(path, "crc.bin").find("\"crc.bin\": CRC"), std::string::npos) << streamed(path, "crc.bin");
    uint32_t size = 0;
    EXPECT_EQ(rarExtractFile("one", path.c_str(), [](const uint8_t*, size_t) { return false; }, &size), 0);
    EXPECT_NE(std::string(rarLastError()).find("one\": the output"), std::string::npos) << rarLastError();
}

// Damage anywhere: a cut-off archive never yields the file, a flipped bit
// either fails or (in a field nobody reads) changes nothing.
TEST(RarArchive, DamagedArchivesFailCleanly) {
    std::vector<Entry> files = solidFiles(0x10);
    files.insert(files.begin() + 1, stored("plain.txt", "stored bytes"));
    const Bytes good = archive(files, true);
    const size_t storedEnd = std::string(good.begin(), good.end()).find("stored bytes") + 12;
    for (const auto& [name, complete] : {std::pair{"three", good.size()}, {"plain.txt", storedEnd}}) {
        ASSERT_TRUE(get(good, name).ok) << name;
        const std::string want = get(good, name).bytes;
        for (size_t n = 0; n < good.size(); ++n) {
            const Got g = get(Bytes(good.begin(), good.begin() + long(n)), name);
            EXPECT_TRUE(n < complete ? !g.ok : g.bytes == want) << name << " cut at " << n;
        }
        for (size_t i = 0; i < good.size(); ++i)
            for (int bit : {0, 3, 7}) {
                Bytes bad = good;
                bad[i] ^= uint8_t(1 << bit);
                const Got g = get(bad, name);
                EXPECT_TRUE(!g.ok || g.bytes == want) << name << ": byte " << i << " bit " << bit;
            }
    }
}
