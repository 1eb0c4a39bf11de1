#include "RarWriter.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

#include <zlib.h>

#include "resources/RarArchive.h"

namespace pack {

namespace {

constexpr uint8_t  kMarker[7]       = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr uint8_t  kMainHeader      = 0x73;
constexpr uint8_t  kFileHeader      = 0x74;
constexpr uint8_t  kEndOfArchive    = 0x7B;
constexpr uint16_t kMainSolid       = 0x0008;
constexpr uint16_t kFileContinues   = 0x0010;   // continues the solid stream of an earlier entry
constexpr uint16_t kFileWindow1M    = 0x0080;   // packed with the 1 MiB window
constexpr uint16_t kFileHasData     = 0x8000;
constexpr uint16_t kEndFlags        = 0x4000;
constexpr uint16_t kMainHeaderSize  = 13;
constexpr uint16_t kFileHeaderFixed = 32;
constexpr uint8_t  kHostDos         = 0;
constexpr uint32_t kDosTime         = 0x00210000;   // 1980-01-01 00:00: the same bytes on every run
constexpr uint8_t  kUnpackVersion   = 20;
constexpr uint8_t  kMethodStored    = 0x30;
constexpr uint8_t  kMethodNormal    = 0x33;
constexpr uint32_t kAttrArchive     = 0x20;
constexpr uint64_t kMaxSolidBytes   = 0x7FFFFFFF;   // stream positions of the compressor are 31-bit

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// A header's bytes from the type byte on, with the CRC placed in front.
void appendHeader(std::vector<uint8_t>& archive, const std::vector<uint8_t>& body) {
    const uint32_t crc = crc32(0, body.data(), uInt(body.size()));
    put16(archive, crc & 0xFFFF);
    archive.insert(archive.end(), body.begin(), body.end());
}

struct Entry {
    const PackFile* file;
    std::string     name;
    std::vector<uint8_t> data;   // what follows the header
    bool            stored = true;
    bool            continues = false;
    int             audioChannels = 0;
};

}  // namespace

bool buildArchive(const std::vector<PackFile>& files, const PackOptions& options, std::vector<uint8_t>& archive,
                  std::string& error, std::vector<PackedEntry>* report) {
    // Empty files are stored: there is nothing to decode.  In a solid
    // archive they go after every compressed entry, because unar ends a
    // solid stream at any stored entry; the show's reader does not mind
    // where they are.
    std::vector<const PackFile*> order;
    for (const PackFile& f : files) order.push_back(&f);
    if (options.solid && !options.store)
        std::stable_partition(order.begin(), order.end(), [](const PackFile* f) { return !f->bytes.empty(); });

    std::vector<Entry> entries;
    uint64_t streamBytes = 0;
    for (const PackFile* file : order) {
        const PackFile& f = *file;
        Entry e{&f, f.name, {}};
        std::replace(e.name.begin(), e.name.end(), '/', '\\');
        if (e.name.empty() || e.name.size() > kMaxNameBytes) {
            error = "\"" + f.name + "\": name of " + std::to_string(e.name.size()) +
                    " bytes, an archive name holds 1 to " + std::to_string(kMaxNameBytes);
            return false;
        }
        if (f.bytes.size() > kRarMaxUnpackedSize) {
            error = "\"" + f.name + "\": " + std::to_string(f.bytes.size()) + " bytes, more than the " +
                    std::to_string(kRarMaxUnpackedSize) + " the show reads from an archive";
            return false;
        }
        streamBytes += f.bytes.size();
        if (options.solid && streamBytes > kMaxSolidBytes) {
            error = "\"" + f.name + "\": a solid archive holds at most " + std::to_string(kMaxSolidBytes) +
                    " bytes in all";
            return false;
        }
        entries.push_back(std::move(e));
    }

    if (!options.store) {
        std::vector<size_t> packed;
        for (size_t i = 0; i < entries.size(); ++i)
            if (!entries[i].file->bytes.empty()) packed.push_back(i);
        if (options.solid) {
            std::vector<const std::vector<uint8_t>*> stream;
            for (size_t i : packed) stream.push_back(&entries[i].file->bytes);
            std::vector<EncodedFile> coded = encodeRar20(stream, options.encoder);
            for (size_t j = 0; j < packed.size(); ++j) {
                Entry& e = entries[packed[j]];
                e.data = std::move(coded[j].packed);
                e.stored = false;
                e.continues = j > 0;
                e.audioChannels = coded[j].audioChannels;
            }
        } else {
            for (size_t i : packed) {
                Entry& e = entries[i];
                std::vector<EncodedFile> coded = encodeRar20({&e.file->bytes}, options.encoder);
                // Data that does not shrink goes in as it is.
                if (coded[0].packed.size() < e.file->bytes.size()) {
                    e.data = std::move(coded[0].packed);
                    e.stored = false;
                    e.audioChannels = coded[0].audioChannels;
                }
            }
        }
    }

    archive.assign(std::begin(kMarker), std::end(kMarker));
    std::vector<uint8_t> main;
    main.push_back(kMainHeader);
    put16(main, options.solid ? kMainSolid : 0);
    put16(main, kMainHeaderSize);
    put16(main, 0);
    put32(main, 0);
    appendHeader(archive, main);

    if (report) report->clear();
    for (Entry& e : entries) {
        const std::vector<uint8_t>& content = e.file->bytes;
        const std::vector<uint8_t>& data = e.stored ? content : e.data;
        if (data.size() > std::numeric_limits<uint32_t>::max()) {
            error = "\"" + e.file->name + "\": packed data beyond 4 GiB";
            return false;
        }
        std::vector<uint8_t> h;
        h.push_back(kFileHeader);
        put16(h, kFileHasData | kFileWindow1M | (e.continues ? kFileContinues : 0));
        put16(h, uint32_t(kFileHeaderFixed + e.name.size()));
        put32(h, uint32_t(data.size()));
        put32(h, uint32_t(content.size()));
        h.push_back(kHostDos);
        put32(h, uint32_t(crc32(0, content.data(), uInt(content.size()))));
        put32(h, kDosTime);
        h.push_back(kUnpackVersion);
        h.push_back(e.stored ? kMethodStored : kMethodNormal);
        put16(h, uint32_t(e.name.size()));
        put32(h, kAttrArchive);
        h.insert(h.end(), e.name.begin(), e.name.end());
        appendHeader(archive, h);
        archive.insert(archive.end(), data.begin(), data.end());
        if (report)
            report->push_back({e.name, uint32_t(content.size()), uint32_t(data.size()), e.stored, e.audioChannels});
    }

    std::vector<uint8_t> end;
    end.push_back(kEndOfArchive);
    put16(end, kEndFlags);
    put16(end, 7);
    appendHeader(archive, end);
    return true;
}

bool collectFiles(const std::string& dir, std::vector<PackFile>& files, std::string& error, const std::string& skip) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        error = dir + ": not a folder";
        return false;
    }
    std::vector<fs::path> paths;
    for (fs::recursive_directory_iterator it(dir, ec), last; !ec && it != last; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        std::error_code notThere;   // the archive need not exist yet
        if (!skip.empty() && fs::equivalent(it->path(), skip, notThere)) continue;
        paths.push_back(it->path());
    }
    if (ec) {
        error = dir + ": " + ec.message();
        return false;
    }
    files.clear();
    for (const fs::path& p : paths) {
        std::ifstream in(p, std::ios::binary);
        const uintmax_t size = fs::file_size(p, ec);
        std::vector<uint8_t> bytes(ec ? 0 : size_t(size));
        in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
        if (ec || !in || in.gcount() != std::streamsize(bytes.size())) {
            error = p.string() + ": cannot read";
            return false;
        }
        files.push_back({fs::relative(p, dir).generic_string(), std::move(bytes)});
    }
    std::sort(files.begin(), files.end(), [](const PackFile& a, const PackFile& b) { return a.name < b.name; });
    return true;
}

bool createArchive(const std::string& archivePath, const std::string& dir, const PackOptions& options,
                   std::string& error, std::vector<PackedEntry>* report) {
    std::vector<PackFile> files;
    std::vector<uint8_t> archive;
    if (!collectFiles(dir, files, error, archivePath)) return false;
    if (!buildArchive(files, options, archive, error, report)) return false;
    std::ofstream out(archivePath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(archive.data()), std::streamsize(archive.size()));
    out.close();
    if (!out) {
        error = archivePath + ": cannot write";
        return false;
    }
    return true;
}

}  // namespace pack
