#include "resources/DataFile.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <minizip/zip.h>

#include "support/RarFixtures.h"
#include "support/TestSupport.h"

namespace {

using hlvtest::TempDataFolder;
using Items = std::vector<std::pair<std::string, std::string>>;

// A zip archive of (name, bytes) entries in this order, deflated.
void writeZip(const std::string& path, const Items& items) {
    zipFile zf = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zf, nullptr) << path;
    for (const auto& [name, bytes] : items) {
        zip_fileinfo info = {};
        ASSERT_EQ(zipOpenNewFileInZip(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                      Z_DEFAULT_COMPRESSION), ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zf, bytes.data(), unsigned(bytes.size())), ZIP_OK);
        ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
    }
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
}

std::string contents(const DataFile& f) { return std::string(reinterpret_cast<const char*>(f.data()), f.size()); }

// The directory comes first, then "data.dat" through the RAR reader; only a
// Plain record (no archive) opens a name as given, one outside data/ too.
TEST(DataFileLookup, DirectoryComesBeforeTheArchive) {
    TempDataFolder folder;
    folder.writeRoot("data.dat", hlvtest::archive({hlvtest::stored("hlv.txt", "from archive"),
                                                   hlvtest::stored("VELM\\CANON.RAW", "heights")}));
    folder.write("hlv.txt", "from directory");
    folder.writeRoot("outside.txt", {'o', 'k'});
    DataFileService rar(folder.root()), plain(folder.root(), "archive"), beforeInit(folder.root());
    rar.init();
    plain.init();
    EXPECT_EQ(rar.archiveError(), "");
    for (DataFileService* files : {&rar, &plain, &beforeInit}) {
        auto script = files->find("hlv.txt");
        ASSERT_TRUE(script);
        EXPECT_EQ(contents(*script), "from directory");
        EXPECT_FALSE(files->find("missing.txt"));
        EXPECT_EQ(bool(files->find((folder.root() + "outside.txt").c_str())), files == &plain);
    }
    auto heights = rar.find("velm/canon.raw");
    ASSERT_TRUE(heights);
    // A found file outlives the archive; afterwards only the directory is searched.
    rar.release();
    EXPECT_EQ(contents(*heights), "heights");
    EXPECT_FALSE(rar.find("velm/canon.raw"));
}

// A deflated entry whose recorded size runs past what its data gives, in the
// central directory alone or in the local header too: a lie deflate could
// still tell (only the short read shows it) and one beyond any inflation of
// its bytes.  That entry is not found, the others still are.
TEST(DataFileArchive, EntryShorterThanItsRecordedSizeIsNotFound) {
    TempDataFolder folder;
    const std::string path = folder.root() + "good.zip";
    writeZip(path, {{"big.bin", "0123456789abcdef"}, {"ok.txt", "fine"}});
    std::ifstream in(path, std::ios::binary);
    const std::string good{std::istreambuf_iterator<char>(in), {}};
    const size_t central = good.find("PK\1\2");
    ASSERT_NE(central, std::string::npos);
    ASSERT_EQ(good[8], Z_DEFLATED) << "the first entry must be deflated";
    for (const char* lie : {"\x64\0\0\0", "\xf0\xff\xff\x7f"}) {   // 100 bytes, 2 GB
        for (bool localToo : {false, true}) {
            std::string bad = good;
            bad.replace(central + 24, 4, lie, 4);
            if (localToo) bad.replace(22, 4, lie, 4);
            folder.writeRoot("bad.zip", {bad.begin(), bad.end()});
            DataFile archive;
            ASSERT_TRUE(archive.openArchive((folder.root() + "bad.zip").c_str()));
            EXPECT_FALSE(archive.load("big.bin")) << uint8_t(lie[0]) << ", local header too: " << localToo;
            EXPECT_TRUE(archive.data() == nullptr && archive.size() == 0);
            ASSERT_TRUE(archive.load("ok.txt"));
            EXPECT_EQ(contents(archive), "fine");
        }
    }
}

// A "data.dat" that is there but cannot be read is named with its problem at
// init.  ShowExitTest sees one that is no archive, and folders without one.
TEST(DataFileLookup, UnreadableArchiveIsReportedAtInit) {
    TempDataFolder folder;
    const hlvtest::Entry later{.name = "a.txt", .data = {'a'}, .content = "a", .version = 29};
    hlvtest::Bytes cut = hlvtest::archive({hlvtest::stored("a.txt", "abc")});
    cut.resize(cut.size() - 2);
    for (const auto& [bytes, problem] : {std::pair{cut, "end"}, {hlvtest::archive({later}), "a.txt"}}) {
        folder.writeRoot("data.dat", bytes);
        DataFileService files(folder.root());
        files.init();
        const std::string& error = files.archiveError();
        EXPECT_TRUE(error.find("data.dat") != error.npos && error.find(problem) != error.npos) << error;
    }
}

// Lines keep their '\r', split at n bytes, and the last one gains a '\n'
// unless it fills all n; past the end come empty lines.  Every call
// zero-fills n bytes, ends the line at most at dst[n] and touches no more.
TEST(DataFileReadLine, SplitsAtNKeepsCarriageReturnsAndCompletesTheLastLine) {
    TempDataFolder folder;
    const std::tuple<std::string, uint32_t, std::vector<std::string>> cases[] = {
        {"A\r\nB", 256, {"A\r", "B\n", ""}},
        {"ab\n" + std::string(10, 'x') + "\nyyyy", 4, {"ab", "xxxx", "xxxx", "xx", "yyyy", ""}}};
    for (const auto& [text, n, lines] : cases) {
        folder.write("t.txt", text);
        auto f = DataFileService(folder.root()).find("t.txt");
        ASSERT_TRUE(f) << text;
        for (const std::string& expected : lines) {
            char line[258];
            std::memset(line, 'z', sizeof line);
            f->readLine(line, n);
            EXPECT_EQ(std::string(line, n), expected + std::string(n - expected.size(), '\0')) << text;
            EXPECT_TRUE(line[expected.size()] == '\0' && line[n + 1] == 'z') << text << ": ends, within n + 1 bytes";
        }
        EXPECT_EQ(f->cursor(), f->size());
    }
}

}  // namespace
