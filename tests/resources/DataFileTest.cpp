#include "resources/DataFile.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <minizip/zip.h>

#include "support/TestSupport.h"

namespace {

struct ZipItem {
    std::string name;
    std::string bytes;
};

// Writes a zip archive with the entries in the given order (stored or deflated),
// optionally after a stub, as a self-extractor would be.
void writeZip(const std::string& path, const std::vector<ZipItem>& items, int method = Z_DEFLATED,
              const std::string& stub = "") {
    if (!stub.empty()) std::ofstream(path, std::ios::binary) << stub;
    zipFile zf = zipOpen(path.c_str(), stub.empty() ? APPEND_STATUS_CREATE : APPEND_STATUS_CREATEAFTER);
    ASSERT_NE(zf, nullptr) << path;
    for (const ZipItem& item : items) {
        zip_fileinfo info = {};
        ASSERT_EQ(zipOpenNewFileInZip(zf, item.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                      method, method ? Z_DEFAULT_COMPRESSION : 0),
                  ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zf, item.bytes.data(), unsigned(item.bytes.size())), ZIP_OK);
        ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
    }
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
}

std::string contents(const DataFile& f) {
    return std::string(reinterpret_cast<const char*>(f.data()), f.size());
}

std::vector<uint8_t> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string entryName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%d", i);
    return name;
}

void putLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) b[at + k] = uint8_t(v >> (8 * k));
}

// A file found through a service rooted at the folder.
std::unique_ptr<DataFile> fileWith(const hlvtest::TempDataFolder& folder, const std::string& bytes) {
    folder.write("t.txt", bytes);
    DataFileService files(folder.root());
    return files.find("t.txt");
}

// --- name hashing ---------------------------------------------------------

TEST(DataFileHash, MixesCharactersWithTheirPositionAndFoldsTheHighBits) {
    // 119*'a' + 120*'b' = 23303; 23303 ^ (23303 >> 10) = 23313; & 2047 = 785.
    EXPECT_EQ(hashName("ab", 2048), 785u);
    EXPECT_EQ(hashName("ab", 1), 0u);
    // Bytes above 0x7F count negative: 119 * -1 = -119, whose low 11 bits are 0x789.
    EXPECT_EQ(hashName("\xff", 2048), 0x789u);
}

TEST(DataFileHash, IgnoresCaseSeparatorStyleAndEverythingFromTheFirstDot) {
    EXPECT_EQ(hashName("CFlare\\FLARE.png", 2048), hashName("cflare/flare", 2048));
    EXPECT_EQ(hashName("tunnel/textura.png", 2048), hashName("tunnel/textura.jpg", 2048));
    EXPECT_EQ(hashName("a.b.c", 2048), hashName("a", 2048));
    EXPECT_NE(hashName("tunnel/textura", 2048), hashName("tunnel/texturb", 2048));
}

// --- archive mode and the zip index -----------------------------------------

TEST(DataFileArchive, ModeFollowsTheExtensionsAnywhereInThePath) {
    hlvtest::TempDataFolder folder;
    writeZip(folder.root() + "pack.zip.old", {{"a.txt", "a"}});

    DataFile zip, rar, dat, plain, missing;
    EXPECT_TRUE(zip.openArchive((folder.root() + "pack.zip.old").c_str()));
    EXPECT_EQ(zip.mode(), DataFile::Zip);
    EXPECT_TRUE(rar.openArchive("music.rar"));
    EXPECT_EQ(rar.mode(), DataFile::Rar);
    EXPECT_TRUE(dat.openArchive("data.dat"));
    EXPECT_EQ(dat.mode(), DataFile::Rar);
    EXPECT_STREQ(dat.archivePath(), "data.dat");
    EXPECT_TRUE(plain.openArchive("archive"));
    EXPECT_EQ(plain.mode(), DataFile::Plain);
    EXPECT_FALSE(missing.openArchive((folder.root() + "nothere.zip").c_str()));
    EXPECT_EQ(missing.mode(), DataFile::Plain);

    EXPECT_FALSE(rar.load("a.txt"));   // no RAR reader: nothing comes from there
}

TEST(DataFileArchive, BucketCountIsTheNextPowerOfTwoCappedAt2048) {
    const std::pair<int, uint32_t> cases[] = {{0, 1}, {1, 2}, {1023, 1024}, {1024, 2048}, {5000, 2048}};
    hlvtest::TempDataFolder folder;
    for (auto [entries, buckets] : cases) {
        std::vector<ZipItem> items;
        for (int i = 0; i < entries; ++i) items.push_back({entryName(i), "x"});
        const std::string path = folder.root() + std::to_string(entries) + ".zip";
        // minizip cannot find the directory end when it is the file's first
        // byte, which it is in an empty archive: give that one a stub.
        writeZip(path, items, 0, entries == 0 ? "stub" : "");
        DataFile archive;
        ASSERT_TRUE(archive.openArchive(path.c_str())) << entries;
        EXPECT_EQ(archive.bucketCount(), buckets) << entries << " entries";
        if (entries > 0) {
            const std::string last = entryName(entries - 1);
            EXPECT_TRUE(archive.load(last.c_str())) << last;
        }
    }
}

TEST(DataFileArchive, LookupIgnoresCaseAndAcceptsBackslashes) {
    hlvtest::TempDataFolder folder;
    const std::string path = folder.root() + "data.zip";
    writeZip(path, {{"cflare/FLARE.png", "flare"}, {"odd\\name.txt", "odd"}});
    DataFile archive;
    ASSERT_TRUE(archive.openArchive(path.c_str()));

    for (const char* name : {"cflare/FLARE.png", "cflare/flare.png", "CFLARE\\Flare.PNG"}) {
        ASSERT_TRUE(archive.load(name)) << name;
        EXPECT_EQ(contents(archive), "flare") << name;
    }
    EXPECT_FALSE(archive.load("cflare/flare.pn"));
    EXPECT_FALSE(archive.load("cflare/flare.png2"));
    EXPECT_FALSE(archive.load("flare.png"));
    // Stored names are only lowercased, requests read '\' as '/': they never meet.
    EXPECT_FALSE(archive.load("odd\\name.txt"));
}

TEST(DataFileArchive, NamesSharingABucketAreToldApartAndTheLaterDuplicateWins) {
    hlvtest::TempDataFolder folder;
    const std::string path = folder.root() + "data.zip";
    writeZip(path, {{"tunnel/textura.png", "png"},
                    {"tunnel/textura.jpg", "jpg"},
                    {"tunnel/textura", "bare"},
                    {"twice.txt", "first"},
                    {"TWICE.txt", "second"}});
    DataFile archive;
    ASSERT_TRUE(archive.openArchive(path.c_str()));
    ASSERT_EQ(hashName("tunnel/textura.png", archive.bucketCount()),
              hashName("tunnel/textura.jpg", archive.bucketCount()));

    const std::pair<const char*, const char*> expected[] = {
        {"tunnel/textura.png", "png"}, {"tunnel/textura.jpg", "jpg"}, {"tunnel/textura", "bare"},
        {"twice.txt", "second"}};
    for (auto [name, bytes] : expected) {
        ASSERT_TRUE(archive.load(name)) << name;
        EXPECT_EQ(contents(archive), bytes) << name;
    }
}

TEST(DataFileArchive, EntryShorterThanItsRecordedSizeIsNotFound) {
    hlvtest::TempDataFolder folder;
    const std::string path = folder.root() + "good.zip";
    writeZip(path, {{"big.bin", "0123456789abcdef"}, {"ok.txt", "fine"}}, 0);
    const std::vector<uint8_t> good = readAll(path);
    ASSERT_EQ(std::memcmp(good.data(), "PK\3\4", 4), 0);
    size_t central = 0;
    while (central + 4 <= good.size() && std::memcmp(&good[central], "PK\1\2", 4) != 0) ++central;
    ASSERT_LT(central + 28, good.size());

    // Lie about the size in the central directory only, and in both headers.
    for (bool localToo : {false, true}) {
        std::vector<uint8_t> bad = good;
        putLe32(bad, central + 24, 0x7ffffff0u);
        if (localToo) putLe32(bad, 22, 0x7ffffff0u);
        const std::string badPath = folder.root() + (localToo ? "both.zip" : "central.zip");
        folder.writeRoot(localToo ? "both.zip" : "central.zip", bad);

        DataFile archive;
        ASSERT_TRUE(archive.openArchive(badPath.c_str()));
        EXPECT_FALSE(archive.load("big.bin")) << badPath;
        EXPECT_EQ(archive.data(), nullptr);
        EXPECT_EQ(archive.size(), 0u);
        ASSERT_TRUE(archive.load("ok.txt"));
        EXPECT_EQ(contents(archive), "fine");
    }
}

// --- the service ------------------------------------------------------------

TEST(DataFileLookup, DirectoryComesBeforeTheArchive) {
    hlvtest::TempDataFolder folder;
    writeZip(folder.root() + "data.zip", {{"hlv.txt", "from archive"}, {"only/zip.txt", "zipped"}});
    folder.write("hlv.txt", "from directory");
    DataFileService files(folder.root(), "data.zip");
    files.init();

    auto script = files.find("hlv.txt");
    ASSERT_TRUE(script);
    EXPECT_EQ(contents(*script), "from directory");
    EXPECT_EQ(script->mode(), DataFile::Plain);

    auto zipped = files.find("ONLY/zip.txt");
    ASSERT_TRUE(zipped);
    EXPECT_EQ(contents(*zipped), "zipped");
    EXPECT_EQ(zipped->mode(), DataFile::Zip);
    EXPECT_EQ(zipped->cursor(), 0u);

    EXPECT_FALSE(files.find("missing.txt"));
}

TEST(DataFileLookup, RarArchiveAndNoArchiveServeTheDirectoryOnly) {
    hlvtest::TempDataFolder folder;
    folder.write("velm/canon.raw", std::string(16, '\7'));
    folder.writeRoot("data.dat", {'R', 'a', 'r', '!'});

    DataFileService withRar(folder.root());
    withRar.init();
    DataFileService beforeInit(folder.root());
    for (DataFileService* files : {&withRar, &beforeInit}) {
        auto raw = files->find("velm/canon.raw");
        ASSERT_TRUE(raw);
        EXPECT_EQ(raw->size(), 16u);
        EXPECT_FALSE(files->find("velm/other.raw"));
    }
}

TEST(DataFileLookup, PlainArchiveRecordOpensTheBareName) {
    // An archive that is not one, or a zip that cannot be opened, leaves a
    // lookup that missed the directory opening the name as given.
    hlvtest::TempDataFolder folder, elsewhere;
    elsewhere.writeRoot("outside.txt", {'o', 'k'});
    const std::string bare = elsewhere.root() + "outside.txt";
    for (const char* archiveName : {"archive", "broken.zip"}) {
        DataFileService files(folder.root(), archiveName);
        files.init();
        auto f = files.find(bare.c_str());
        ASSERT_TRUE(f) << archiveName;
        EXPECT_EQ(contents(*f), "ok");
    }
}

TEST(DataFileLookup, ArchiveBytesBelongToTheReturnedFileAlone) {
    hlvtest::TempDataFolder folder;
    writeZip(folder.root() + "data.zip", {{"a.txt", "alpha"}, {"b.txt", "beta"}});
    DataFileService files(folder.root(), "data.zip");
    files.init();

    auto a = files.find("a.txt");
    auto b = files.find("b.txt");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(contents(*a), "alpha");   // the second lookup left the first file alone
    a.reset();                       // deleting a found file first...
    EXPECT_EQ(contents(*b), "beta");
    files.release();                 // ...then the archive: each block freed once
    EXPECT_EQ(contents(*b), "beta");   // and the file outlives the service's archive
    b->freeData();
    EXPECT_EQ(b->data(), nullptr);
    EXPECT_FALSE(files.find("a.txt"));
    files.release();
}

// --- reading lines and blocks -------------------------------------------------

TEST(DataFileReadLine, KeepsCarriageReturnAndCompletesTheLastLine) {
    hlvtest::TempDataFolder folder;
    char line[257];
    auto f = fileWith(folder, "A\r\nB");
    ASSERT_TRUE(f);
    f->readLine(line, 256);
    EXPECT_STREQ(line, "A\r");
    f->readLine(line, 256);
    EXPECT_STREQ(line, "B\n");
    EXPECT_EQ(f->cursor(), f->size());

    for (std::string text : {"INI_01\nEND_01\n", "INI_01\nEND_01"}) {
        f = fileWith(folder, text);
        f->readLine(line, 256);
        EXPECT_STREQ(line, "INI_01");
        f->readLine(line, 256);
        EXPECT_STREQ(line, text.back() == '\n' ? "END_01" : "END_01\n");
    }
}

TEST(DataFileReadLine, ZeroFillsTheBufferAndSplitsLongLines) {
    hlvtest::TempDataFolder folder;
    char line[16];
    auto f = fileWith(folder, "ab\n" + std::string(10, 'x') + "\nyyyy");
    std::memset(line, 0x55, sizeof line);
    f->readLine(line, 8);
    EXPECT_STREQ(line, "ab");
    for (int k = 2; k < 8; ++k) EXPECT_EQ(line[k], 0) << k;
    EXPECT_EQ(line[9], 0x55);   // only n + 1 bytes are ever touched

    std::memset(line, 0x55, sizeof line);
    f->readLine(line, 8);
    EXPECT_STREQ(line, "xxxxxxxx");   // n bytes, then the NUL at dst[n]
    f->readLine(line, 8);
    EXPECT_STREQ(line, "xx");
    // A last line of exactly n bytes keeps its terminator rather than a '\n'.
    std::memset(line, 0x55, sizeof line);
    f->readLine(line, 4);
    EXPECT_STREQ(line, "yyyy");
}

TEST(DataFileReadLine, AtTheEndOrInAnEmptyFileGivesEmptyLines) {
    hlvtest::TempDataFolder folder;
    char line[257];
    for (const char* text : {"", "last\n"}) {
        auto f = fileWith(folder, text);
        ASSERT_TRUE(f) << "empty files are files too";
        if (*text) f->readLine(line, 256);
        for (int k = 0; k < 3; ++k) {
            std::memset(line, 'z', sizeof line);
            f->readLine(line, 256);
            EXPECT_STREQ(line, "");
            EXPECT_EQ(f->cursor(), f->size());
        }
    }
}

TEST(DataFileRead, CopiesWhatIsThereAndZeroFillsTheRest) {
    hlvtest::TempDataFolder folder;
    std::string map(262144, '\0');
    for (size_t i = 0; i < map.size(); ++i) map[i] = char(i * 7 + (i >> 9));
    folder.write("velm/canon.raw", map);
    DataFileService files(folder.root());
    auto raw = files.find("velm/canon.raw");
    ASSERT_TRUE(raw);
    std::vector<char> dst(262144);
    EXPECT_EQ(raw->read(dst.data(), 262144, 1), 262144u);
    EXPECT_EQ(raw->cursor(), 262144u);
    EXPECT_EQ(std::string(dst.begin(), dst.end()), map);

    auto f = fileWith(folder, "0123456789");
    char small[12];
    ASSERT_EQ(f->read(small, 2, 2), 4u);
    EXPECT_EQ(std::string(small, 4), "0123");
    std::memset(small, 'z', sizeof small);
    EXPECT_EQ(f->read(small, 4, 3), 6u);   // 12 asked, 6 left
    EXPECT_EQ(std::string(small, 12), std::string("456789") + std::string(6, '\0'));
    EXPECT_EQ(f->cursor(), 10u);
    std::memset(small, 'z', sizeof small);
    EXPECT_EQ(f->read(small, 1, 3), 0u);
    EXPECT_EQ(std::string(small, 3), std::string(3, '\0'));
    EXPECT_EQ(f->cursor(), 10u);
}

}  // namespace
