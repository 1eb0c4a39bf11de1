#include "resources/DataFile.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "resources/RarArchive.h"

namespace {

constexpr uint32_t kMaxPath = 259;            // characters of a path, without the NUL
constexpr uint32_t kMaxBuckets = 2048;        // the bucket count stops doubling past 1024
constexpr uint32_t kZipReadChunk = 1u << 20;  // unzReadCurrentFile takes an unsigned, returns an int
constexpr uint64_t kMaxInflateRatio = 1032;   // deflate's most: one stored byte never gives more
constexpr uint64_t kInflateSlack = 64;        // bytes, for tiny entries

// Directory prefixes tried before the archive, in order, relative to the root.
constexpr const char* kDirectoryPrefixes[] = {"data/"};

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// How a requested name is compared with the index: case-blind, either slash.
char foldForLookup(char c) {
    c = lowerAscii(c);
    return c == '\\' ? '/' : c;
}

// minizip reads the archive through these rather than through stdio.  It
// reads headers a field at a time with a seek before each group, and with
// stdio every such read at or past the end of the file is a system call: a
// header claiming 64 KB of extra fields that are not there cost about 50,000
// of them, each time the header was read.  Here reads come from a window of
// the file kept in memory and reads past the end cost nothing.
struct ZipStream {
    FILE*    file = nullptr;     // unbuffered; owned, closed with the stream
    uint64_t size = 0;           // bytes in the file
    uint64_t pos = 0;            // where the next read starts; may lie past the end
    uint64_t windowStart = 0;    // file offset of window[0]
    size_t   windowLength = 0;   // bytes of window that hold the file
    uint8_t  window[64 * 1024];
};

voidpf zipStreamOpen(voidpf, const void* path, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    FILE* file = std::fopen(static_cast<const char*>(path), "rb");
    if (!file) return nullptr;
    auto* stream = new (std::nothrow) ZipStream;
    const bool sized = std::fseek(file, 0, SEEK_END) == 0;
    const long size = sized ? std::ftell(file) : -1;
    if (!stream || size < 0 || std::setvbuf(file, nullptr, _IONBF, 0) != 0) {
        delete stream;
        std::fclose(file);
        return nullptr;
    }
    stream->file = file;
    stream->size = uint64_t(size);
    return stream;
}

uLong zipStreamRead(voidpf, voidpf opaque, void* buffer, uLong count) {
    auto* s = static_cast<ZipStream*>(opaque);
    auto* out = static_cast<uint8_t*>(buffer);
    uLong done = 0;
    while (done < count && s->pos < s->size) {
        if (s->pos < s->windowStart || s->pos >= s->windowStart + s->windowLength) {
            s->windowStart = s->pos;
            s->windowLength = 0;
            if (s->pos > uint64_t(LONG_MAX) || std::fseek(s->file, long(s->pos), SEEK_SET) != 0) break;
            s->windowLength = std::fread(s->window, 1, sizeof s->window, s->file);
            if (s->windowLength == 0) break;
        }
        const size_t at = size_t(s->pos - s->windowStart);
        const size_t take = size_t(std::min<uint64_t>(count - done, s->windowLength - at));
        std::memcpy(out + done, s->window + at, take);
        done += uLong(take);
        s->pos += take;
    }
    return done;
}

uLong zipStreamWrite(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T zipStreamTell(voidpf, voidpf opaque) { return static_cast<ZipStream*>(opaque)->pos; }

long zipStreamSeek(voidpf, voidpf opaque, ZPOS64_T offset, int origin) {
    auto* s = static_cast<ZipStream*>(opaque);
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET: s->pos = offset; break;
        case ZLIB_FILEFUNC_SEEK_CUR: s->pos += offset; break;
        case ZLIB_FILEFUNC_SEEK_END: s->pos = s->size + offset; break;
        default: return -1;
    }
    return 0;
}

int zipStreamClose(voidpf, voidpf opaque) {
    auto* s = static_cast<ZipStream*>(opaque);
    const int result = std::fclose(s->file);
    delete s;
    return result;
}

int zipStreamError(voidpf, voidpf opaque) { return std::ferror(static_cast<ZipStream*>(opaque)->file); }

}  // namespace

unzFile openZipArchive(const char* path) {
    zlib_filefunc64_def io{zipStreamOpen, zipStreamRead, zipStreamWrite, zipStreamTell,
                           zipStreamSeek, zipStreamClose, zipStreamError, nullptr};
    return unzOpen2_64(path, &io);
}

uint32_t hashName(const char* name, uint32_t bucketCount) {
    // 32-bit signed arithmetic that wraps: done in unsigned, read back as signed.
    uint32_t h = 0;
    for (int32_t i = 0; name[i] != '\0'; ++i) {
        int32_t c = int8_t(lowerAscii(name[i]));   // bytes 0x80..0xFF count negative
        if (c == '.') break;
        if (c == '\\') c = '/';
        h += uint32_t(119 + i) * uint32_t(c);
    }
    const int32_t s = int32_t(h);   // >> on a signed value sign-extends
    return uint32_t(s ^ (s >> 10) ^ (s >> 20)) & (bucketCount - 1);
}

// ---------------------------------------------------------------------------
// DataFile

DataFile::~DataFile() {
    freeData();
    if (ownsIndex_) releaseIndex();
}

void DataFile::freeData() {
    std::free(bytes_);
    bytes_ = nullptr;
}

void DataFile::releaseIndex() {
    if (zip_) unzClose(zip_);
    delete[] buckets_;
    delete[] entries_;
    delete[] namePool_;
    zip_ = nullptr;
    buckets_ = nullptr;
    entries_ = nullptr;
    namePool_ = nullptr;
    bucketCount_ = 0;
    ownsIndex_ = false;
}

bool DataFile::openArchive(const char* path) {
    if (ownsIndex_) releaseIndex();
    mode_ = Plain;
    std::memset(archivePath_, 0, sizeof archivePath_);
    if (std::strlen(path) > kMaxPath) return false;   // would not fit the path field
    std::strcpy(archivePath_, path);

    if (std::strstr(path, ".zip")) return buildZipIndex();
    if (std::strstr(path, ".rar") || std::strstr(path, ".dat")) mode_ = Rar;   // opened per load
    return true;
}

bool DataFile::buildZipIndex() {
    unzFile zip = openZipArchive(archivePath_);
    if (!zip) return false;
    unz_global_info info;
    if (unzGetGlobalInfo(zip, &info) != UNZ_OK) {
        unzClose(zip);
        return false;
    }
    const uLong n = info.number_entry;

    // minizip leaves a name that fills the buffer unterminated, so it gets one
    // byte less than the buffer and the last byte stays NUL.  (It also wants
    // somewhere to put the file info, even when nobody needs it.)
    char name[kMaxPath + 2];
    unz_file_info unused;
    auto readName = [&]() {
        std::memset(name, 0, sizeof name);
        return unzGetCurrentFileInfo(zip, &unused, name, kMaxPath + 1, nullptr, 0, nullptr, 0) == UNZ_OK;
    };

    // First pass: how many names, and how much room they need.
    uint32_t entryCount = 0;
    size_t poolSize = 0;
    unzGoToFirstFile(zip);
    for (uLong k = 0; k < n && readName(); ++k) {
        poolSize += std::strlen(name) + 1;
        ++entryCount;
        unzGoToNextFile(zip);
    }

    uint32_t buckets = 1;
    while (buckets <= n && buckets < kMaxBuckets) buckets *= 2;

    entries_ = new ZipIndexEntry[entryCount]();
    namePool_ = new char[poolSize ? poolSize : 1]();
    buckets_ = new ZipIndexEntry*[buckets]();
    bucketCount_ = buckets;
    zip_ = zip;
    ownsIndex_ = true;

    // Second pass: fill the pool and chain each entry in front of its bucket,
    // so a later entry of the same name shadows an earlier one.
    size_t poolUsed = 0;
    unzGoToFirstFile(zip);
    for (uint32_t k = 0; k < entryCount && readName(); ++k) {
        const size_t length = std::strlen(name);
        if (poolUsed + length + 1 > poolSize) break;   // the archive changed under us
        for (size_t j = 0; j < length; ++j) name[j] = lowerAscii(name[j]);

        ZipIndexEntry& entry = entries_[k];
        entry.name = namePool_ + poolUsed;
        std::memcpy(namePool_ + poolUsed, name, length + 1);
        poolUsed += length + 1;
        unzGetFilePos(zip, &entry.pos);

        ZipIndexEntry*& head = buckets_[hashName(entry.name, buckets)];
        entry.next = head;
        head = &entry;
        unzGoToNextFile(zip);
    }

    mode_ = Zip;
    return true;
}

bool DataFile::load(const char* name) {
    cursor_ = 0;
    switch (mode_) {
        case Plain: return loadPlain(name);
        case Zip:   return loadZip(name);
        case Rar:   return loadRar(name);
    }
    return false;
}

bool DataFile::loadPlain(const char* path) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    bool ok = false;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        const long length = std::ftell(f);
        std::fseek(f, 0, SEEK_SET);
        if (length >= 0 && uint64_t(length) <= UINT32_MAX) {
            const uint32_t size = uint32_t(length);
            // Every byte or nothing: a directory, or a file that shrank while
            // we read it, would otherwise come back as a block of garbage.
            uint8_t* bytes = static_cast<uint8_t*>(std::calloc(size ? size : 1, 1));
            if (bytes && std::fread(bytes, 1, size, f) == size) {
                freeData();
                bytes_ = bytes;
                size_ = size;
                ok = true;
            } else {
                std::free(bytes);
            }
        }
    }
    std::fclose(f);
    return ok;
}

bool DataFile::loadZip(const char* name) {
    const ZipIndexEntry* entry = buckets_[hashName(name, bucketCount_)];
    for (; entry; entry = entry->next) {
        size_t j = 0;
        while (name[j] != '\0' && foldForLookup(name[j]) == entry->name[j]) ++j;
        if (name[j] == '\0' && entry->name[j] == '\0') break;
    }
    if (!entry) return false;

    unz_file_pos pos = entry->pos;
    unz_file_info info;
    if (unzGoToFilePos(zip_, &pos) != UNZ_OK ||
        unzGetCurrentFileInfo(zip_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
        info.uncompressed_size > UINT32_MAX)
        return false;
    // A stored entry is as long as its bytes, a deflated one at most 1032
    // times as long: a larger recorded size is a lie, and believing it would
    // let a few bytes of archive ask for gigabytes.
    const bool possible = info.compression_method == 0
                              ? info.uncompressed_size == info.compressed_size
                              : info.uncompressed_size <= info.compressed_size * kMaxInflateRatio + kInflateSlack;
    if (!possible) return false;

    // The size comes from the archive, so it may lie (the compressed size
    // too): the buffer grows only as bytes really come, and the entry counts
    // as found only if it yields exactly that many.
    const uint32_t size = uint32_t(info.uncompressed_size);
    uint32_t capacity = std::min(size, kZipReadChunk);
    uint8_t* bytes = static_cast<uint8_t*>(std::malloc(capacity ? capacity : 1));
    if (!bytes) return false;
    uint32_t got = 0;
    if (unzOpenCurrentFile(zip_) == UNZ_OK) {
        while (got < size) {
            if (got == capacity) {
                const uint32_t grown = uint32_t(std::min<uint64_t>(size, uint64_t(capacity) * 2));
                auto* larger = static_cast<uint8_t*>(std::realloc(bytes, grown));
                if (!larger) break;
                bytes = larger;
                capacity = grown;
            }
            const int n = unzReadCurrentFile(zip_, bytes + got, std::min(capacity - got, kZipReadChunk));
            if (n <= 0) break;
            got += uint32_t(n);
        }
        unzCloseCurrentFile(zip_);
    }
    if (got != size) {
        std::free(bytes);
        return false;
    }
    freeData();
    bytes_ = bytes;
    size_ = size;
    return true;
}

bool DataFile::loadRar(const char* name) {
    uint8_t* bytes = nullptr;
    uint32_t size = 0;
    if (!rarGetFile(&bytes, &size, name, archivePath_, nullptr)) return false;
    freeData();
    bytes_ = bytes;   // the reader's block is kept as it is, never copied
    size_ = size;
    return true;
}

void DataFile::takeFrom(DataFile& archive) {
    mode_ = archive.mode_;
    std::memcpy(archivePath_, archive.archivePath_, sizeof archivePath_);
    zip_ = archive.zip_;               // shared references: the archive keeps ownership
    buckets_ = archive.buckets_;
    bucketCount_ = archive.bucketCount_;
    entries_ = archive.entries_;
    namePool_ = archive.namePool_;
    ownsIndex_ = false;

    freeData();
    bytes_ = std::exchange(archive.bytes_, nullptr);
    size_ = std::exchange(archive.size_, 0);
    cursor_ = 0;
}

void DataFile::readLine(char* dst, uint32_t n) {
    if (n == 0) {
        dst[0] = '\0';
        return;
    }
    std::memset(dst, 0, n);
    for (uint32_t i = 0; i < n; ++i) {
        if (cursor_ >= size_) return;   // nothing left: an empty line
        const char c = char(bytes_[cursor_++]);
        dst[i] = c;
        if (c == '\n') {
            dst[i] = '\0';
            return;
        }
        if (cursor_ == size_) {
            // A last line without a newline gets one, unless that would take
            // the byte the terminator needs.
            if (i + 1 < n) dst[i + 1] = '\n';
            else dst[n] = '\0';
            return;
        }
    }
    dst[n] = '\0';   // a long line comes n bytes at a time
}

uint32_t DataFile::read(void* dst, uint32_t size, uint32_t count) {
    const uint64_t wanted = uint64_t(size) * count;   // cannot wrap
    const uint32_t left = size_ - cursor_;
    const uint32_t copied = wanted < left ? uint32_t(wanted) : left;
    if (copied) std::memcpy(dst, bytes_ + cursor_, copied);
    if (wanted > copied) std::memset(static_cast<uint8_t*>(dst) + copied, 0, size_t(wanted - copied));
    cursor_ += copied;
    return copied;
}

// ---------------------------------------------------------------------------
// DataFileService

DataFileService::DataFileService(std::string root, std::string archiveName)
    : root_(std::move(root)), archiveName_(std::move(archiveName)) {}

DataFileService::~DataFileService() { release(); }

DataFileService& DataFileService::instance() {
    static DataFileService service("");
    return service;
}

void DataFileService::init() {
    release();
    archiveError_.clear();
    archive_ = new DataFile();
    const std::string path = root_ + archiveName_;
    const bool opened = archive_->openArchive(path.c_str());

    // A missing archive is no error: everything then comes from the
    // directory.  One that is there but unreadable would make the show fail
    // later, on some picture, with nothing said about why.
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return;
    std::fclose(f);
    if (!opened) {
        archiveError_ = path + ": cannot be read as an archive";
    } else if (archive_->mode() == DataFile::Rar) {
        std::vector<RarEntry> entries;
        std::string error;
        if (!rarListEntries(path.c_str(), entries, error)) {
            archiveError_ = error;
            return;
        }
        for (const RarEntry& e : entries) {
            if (e.flags & 0x0004) archiveError_ = path + ": \"" + e.name + "\": encrypted, and there is no password";
            else if (e.unpackVersion < 13 || e.unpackVersion > 20)
                archiveError_ = path + ": \"" + e.name + "\": made by an archiver version the show cannot read (" +
                                std::to_string(e.unpackVersion) + ")";
            if (!archiveError_.empty()) return;
        }
    }
}

std::unique_ptr<DataFile> DataFileService::find(const char* name) {
    auto file = std::make_unique<DataFile>();

    for (const char* prefix : kDirectoryPrefixes) {
        // Prefix and name together must fit a path; a cut-off name could
        // open some other file.
        if (std::strlen(prefix) + std::strlen(name) > kMaxPath) continue;
        if (file->load((root_ + prefix + name).c_str())) {
            if (notedNames_) notedNames_->push_back(name);
            return file;
        }
    }

    if (archive_ && archive_->load(name)) {
        file->takeFrom(*archive_);
        if (notedNames_) notedNames_->push_back(name);
        return file;
    }
    return nullptr;
}

void DataFileService::release() {
    delete archive_;
    archive_ = nullptr;
}
