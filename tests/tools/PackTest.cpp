// The packer: every archive it writes comes back byte for byte through unar
// and through the show's own reader, with the layout and checksums a RAR
// reader checks.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "Capture.h"
#include "RarWriter.h"
#include "TestSupport.h"
#include "ToolRuns.h"
#include "resources/RarArchive.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

// Word salad: repeats at every distance, like the show's script and texts.
Bytes text(size_t n, uint32_t seed = 7) {
    static const std::string words[] = {"tunnel", "flare", "cube", "the", "of", "beat", "layer", "music",
                                        "frame", "sphere", "knot", "and", "glow", "\n", "  ", "demo"};
    std::string out;
    while (out.size() < n) out += words[((seed = seed * 214013 + 2531011) >> 16) & 15] + " ";
    return Bytes(out.begin(), out.begin() + long(n));
}

Bytes noise(size_t n, uint32_t seed = 1) {
    Bytes out(n);
    for (uint8_t& b : out) b = uint8_t((seed = seed * 1103515245 + 12345) >> 23);
    return out;
}

// Interleaved sines, each channel its own pitch: the audio mode's home ground.
Bytes tone(size_t bytes, int channels, double detune = 1.0) {
    Bytes out(bytes);
    for (size_t i = 0; i < bytes; ++i) {
        const double t = double(i / size_t(channels)) * detune;
        out[i] = uint8_t(128 + 90 * std::sin(t * (0.02 + 0.013 * int(i % size_t(channels)))) + 20 * std::sin(t * 0.31));
    }
    return out;
}

Bytes readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes build(const std::vector<pack::PackFile>& files, const pack::PackOptions& options, std::vector<pack::PackedEntry>* report = nullptr) {
    Bytes archive;
    std::string error;
    EXPECT_TRUE(pack::buildArchive(files, options, archive, error, report)) << error;
    return archive;
}

// unar and the show's reader both give back every file as packed.
void expectBothReadersAgree(const std::vector<pack::PackFile>& files, const Bytes& archive) {
    for (const pack::PackFile& f : files) {
        uint8_t* out = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(rarGetFileFromMemory(&out, &size, f.name.c_str(), archive.data(), archive.size(), "test"), 1)
            << f.name << ": " << rarLastError();
        EXPECT_TRUE(Bytes(out, out + size) == f.bytes) << f.name << " differs through the show's reader";
        std::free(out);
    }
    ASSERT_EQ(std::system("command -v unar >/dev/null 2>&1"), 0) << "unar is not installed";
    hlvtest::TempDataFolder dir;
    dir.writeRoot("test.rar", archive);
    const std::string command = "unar -q -f -D -o '" + dir.root() + "out' '" + dir.root() + "test.rar' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << "unar failed on the archive";
    for (const pack::PackFile& f : files) {
        const fs::path p = dir.root() + "out/" + f.name;
        ASSERT_TRUE(fs::exists(p)) << f.name << " not extracted by unar";
        EXPECT_TRUE(readFile(p) == f.bytes) << f.name << " differs through unar";
    }
}

// Whether every header from the main one to the end header carries its own
// CRC: neither unar nor the show's reader looks, other RAR readers do.
bool headerCrcsHold(const Bytes& archive) {
    for (size_t at = 7; at + 7 <= archive.size();) {
        const uint8_t* h = &archive[at];
        const uint32_t size = h[5] | h[6] << 8;
        if (size < 7 || at + size > archive.size() || (crc32(0, h + 2, size - 2) & 0xFFFF) != uint32_t(h[0] | h[1] << 8))
            return false;
        if (h[2] == 0x7B) return at + size == archive.size();
        at += size + (h[2] == 0x74 ? h[7] | h[8] << 8 | h[9] << 16 | uint32_t(h[10]) << 24 : 0);
    }
    return false;
}

}  // namespace

// Plain, solid and stored: every entry comes back and every header carries
// its checksum.
TEST(Pack, EveryKindOfFileComesBackThroughUnarAndTheShowsReader) {
    const Bytes shared = text(60000, 5);
    Bytes big = noise(300000, 3);   // > 1 MiB: the same block again 1.1 MiB on cannot be reached
    const Bytes middle = text(800000, 11), tail = noise(300000, 3);
    big.insert(big.end(), middle.begin(), middle.end());
    big.insert(big.end(), tail.begin(), tail.end());
    Bytes repeats(400000, 0);
    for (size_t i = 200000; i < repeats.size(); ++i) repeats[i] = uint8_t("abcabd"[i % 6]);
    const std::vector<pack::PackFile> files = {
        {"empty.bin", {}},       {"one.bin", {0x42}},       {"texts/hlv.txt", text(150000)}, {"noise.bin", noise(40000)},
        {"big/window.bin", big}, {"repeats.bin", repeats},  {"velm/canon.raw", tone(70000, 1)},
        {"zz/a.txt", shared},    {"zz/b.txt", shared},      {"zz/c.txt", shared}};
    for (const char* mode : {"plain", "solid", "store"}) {
        SCOPED_TRACE(mode);
        pack::PackOptions options;
        options.solid = mode == std::string("solid");
        options.store = mode == std::string("store");
        std::vector<pack::PackedEntry> report;
        const Bytes archive = build(files, options, &report);
        expectBothReadersAgree(files, archive);
        EXPECT_TRUE(build(files, options) == archive) << "the same input gives the same bytes";
        // Squeezing matters as much as decoding: text and repeats shrink,
        // noise outside a solid stream is kept as it is; in a solid archive a
        // copy is one match into the window the first one left.
        for (const pack::PackedEntry& e : report) {
            if (options.store || (e.name == "noise.bin" && !options.solid)) { EXPECT_TRUE(e.stored) << e.name; }
            if (e.name == "repeats.bin" && !options.store) { EXPECT_LT(e.packedSize, e.size / 100); }
            if (e.name == "texts\\hlv.txt" && !options.store) { EXPECT_LT(e.packedSize, e.size / 3); }
            if ((e.name == "zz\\b.txt" || e.name == "zz\\c.txt") && options.solid) { EXPECT_LT(e.packedSize, 200u) << e.name; }
        }
        // unar checks which entries continue a solid stream, not the main header's flag.
        EXPECT_EQ((archive.at(10) & 0x08) != 0, options.solid) << "main header's solid flag";
        EXPECT_TRUE(headerCrcsHold(archive));
    }
}

TEST(Pack, AudioModeWithOneToFourChannelsAndTableChanges) {
    for (int channels = 1; channels <= 4; ++channels) {
        SCOPED_TRACE(channels);
        pack::PackOptions options;
        options.encoder.audioChannels = channels;
        options.encoder.blockSymbols = 5000;
        const std::vector<pack::PackFile> files = {{"music.raw", tone(23000, channels)}};
        std::vector<pack::PackedEntry> report;
        expectBothReadersAgree(files, build(files, options, &report));
        ASSERT_EQ(report.size(), 1u);
        EXPECT_EQ(report[0].audioChannels, channels);
    }
    // Solid: audio, then LZ, then audio again with the predictor state carried over.
    pack::PackOptions solid;
    solid.solid = true;
    solid.encoder.blockSymbols = 9000;
    const std::vector<pack::PackFile> files = {
        {"a.raw", tone(48000, 4)}, {"b.txt", text(20000)}, {"c.raw", tone(36000, 4, 1.3)}};
    std::vector<pack::PackedEntry> report;
    expectBothReadersAgree(files, build(files, solid, &report));
    ASSERT_EQ(report.size(), 3u);
    EXPECT_TRUE(report[0].audioChannels != 0 && report[1].audioChannels == 0 && report[2].audioChannels != 0);
    // The sample data went to the audio mode because it packs smaller there.
    std::vector<pack::PackedEntry> lzOnly;
    solid.encoder.tryAudio = false;
    build(files, solid, &lzOnly);
    EXPECT_LT(report[0].packedSize, lzOnly[0].packedSize);
}

// The tool's archive of a show folder: extracted by any spelling of
// a name, and played by a folder that holds nothing else as the folder did.
TEST(Pack, ToolPacksAFolderThatThenPlaysTheSameFrames) {
    hlvtest::TempDataFolder loose, packed;
    const Bytes height = tone(20000, 1);
    loose.write("velm/canon.raw", height);
    loose.writePicture("final.png", 64, 64, 3, text(64 * 64 * 3));
    loose.writePicture("tunnel/textura.png", 64, 64, 3, tone(64 * 64 * 3, 3));
    loose.writeScript({"FXTIME Tunnel 0 400", "FXTIME Final 400 700"});
    const std::string tool = HLV_BINARY_DIR "/tools/pack/halvoren-pack";
    const std::string archive = packed.root() + "data.dat", out = packed.root() + "canon.out";
    // The exit status (-1 for a crash); what went to stderr in said.
    std::string said;
    auto run = [&](const std::string& args) {
        return hlvtools::run("(" + tool + " " + args + " >/dev/null)", packed.root() + "stderr.txt", &said);
    };
    ASSERT_EQ(run("create " + archive + " " + loose.root() + "data --solid"), 0) << said;
    ASSERT_EQ(run("extract " + archive + " VELM\\\\canon.raw " + out), 0) << said;
    EXPECT_TRUE(readFile(out) == height);
    // Work it cannot do ends with 1 and names the problem; a command it does
    // not know ends with 2 and the usage.
    const std::tuple<std::string, int, std::vector<std::string>> refusals[] = {
        {"extract " + archive + " velm/missing.raw " + out, 1, {"velm/missing.raw", "no such file"}},
        {"create " + archive + " " + loose.root() + "no-such-folder", 1, {"no-such-folder", "not a folder"}},
        {"create " + archive + " " + loose.root() + "data --fast", 2, {"Usage: halvoren-pack create"}}};
    for (const auto& [args, status, words] : refusals) {
        EXPECT_EQ(run(args), status) << args << ": " << said;
        for (const std::string& word : words) EXPECT_NE(said.find(word), std::string::npos) << args << ": " << said;
    }
    Bytes refused;   // and a name the archive cannot hold, named in the message
    std::string error, longName(300, 'n');
    EXPECT_FALSE(pack::buildArchive({{longName, {1, 2, 3}}}, {}, refused, error));
    EXPECT_NE(error.find(longName), std::string::npos) << error;
    fs::remove_all(packed.root() + "data");

    auto frames = [](const std::string& dir) {
        std::vector<Bytes> out;
        CaptureOptions options;
        options.dir = dir;
        options.width = 48;
        options.height = 36;
        options.fpsNum = 20;
        options.onFrame = [&](uint32_t, uint32_t, const Bytes& rgb) { out.push_back(rgb); };
        const CaptureResult result = runCapture(options);
        EXPECT_EQ(result.status, 0) << dir << ": " << result.error;
        return out;
    };
    const auto fromFolder = frames(loose.root());
    ASSERT_GT(fromFolder.size(), 10u);
    EXPECT_TRUE(frames(packed.root()) == fromFolder);
}
