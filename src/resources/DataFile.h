// Every piece of content is asked for by a relative name ("hlv.txt",
// "tunnel/textura.png") and comes back whole, in memory.  The service looks
// in the directory "data/" first, then inside the archive "data.dat".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <minizip/unzip.h>

// One entry of the zip name index; all entries of an archive live in one array.
struct ZipIndexEntry {
    const char*    name;   // lowercased, points into the archive's name pool
    unz_file_pos   pos;    // central-directory offset and file number
    ZipIndexEntry* next;   // next entry of the same bucket (earlier in the archive)
};

// Bucket of a name in a zip index of bucketCount (a power of two) heads.
// Only the part before the first dot counts, so "a.png" and "a.jpg" share a bucket.
uint32_t hashName(const char* name, uint32_t bucketCount);

// Opens the zip archive at path for minizip (null when it is not one), with
// its reads served from a window of the file kept in memory.
unzFile openZipArchive(const char* path);

// One record type with two roles: an opened archive (mode, path, zip index)
// or one loaded file (bytes, size, cursor).  A file handed out from an archive
// shares the archive's index but owns only its bytes.
class DataFile {
public:
    enum Mode : int32_t { Plain = 0, Zip = 1, Rar = 2 };

    DataFile() = default;
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    // Remembers the path and picks the mode from it: ".zip" builds the index,
    // ".rar" or ".dat" means Rar, anything else stays Plain.
    bool openArchive(const char* path);

    // Cursor to 0, then reads the named file's bytes according to the mode.
    bool load(const char* name);

    // One text line from the cursor, newline removed, zero-terminated.
    // dst must hold n + 1 bytes.  At the end of the data it yields an empty line.
    void readLine(char* dst, uint32_t n);

    // Copies size * count bytes from the cursor and advances it.  Bytes past
    // the end of the data are not read: they come back as zeros and the cursor
    // stops at the size.  Returns the number of bytes actually copied.
    uint32_t read(void* dst, uint32_t size, uint32_t count);

    const uint8_t* data() const { return bytes_; }
    uint32_t size() const { return size_; }
    uint32_t cursor() const { return cursor_; }
    Mode mode() const { return mode_; }
    uint32_t bucketCount() const { return bucketCount_; }

    // Releases the bytes; the record may still be deleted afterwards.
    void freeData();

private:
    friend class DataFileService;

    bool buildZipIndex();
    bool loadPlain(const char* path);
    bool loadZip(const char* name);
    bool loadRar(const char* name);
    void releaseIndex();
    void takeFrom(DataFile& archive);

    Mode     mode_ = Plain;
    char     archivePath_[260] = {};   // NUL-terminated, at most 259 characters
    uint8_t* bytes_ = nullptr;         // owned by this record; from malloc
    uint32_t cursor_ = 0;              // read position in bytes
    uint32_t size_ = 0;                // bytes

    // Archive role only; a file copied out of an archive points at these but
    // does not own them (ownsIndex_ is false there).
    unzFile         zip_ = nullptr;
    ZipIndexEntry** buckets_ = nullptr;
    uint32_t        bucketCount_ = 0;   // power of two, 1 to 2048
    ZipIndexEntry*  entries_ = nullptr;
    char*           namePool_ = nullptr;
    bool            ownsIndex_ = false;
};

// Resolves names: directory prefixes first, then the opened archives.
class DataFileService {
public:
    // The show's service, rooted at the current directory; created on first use.
    static DataFileService& instance();

    // root is prepended to "data/" and to the archive name ("" = current
    // directory); tests and the capture tool point it at their own folders,
    // and tests may name another archive (one containing ".zip" is read as zip).
    explicit DataFileService(std::string root = "", std::string archiveName = "data.dat");
    ~DataFileService();

    // Opens the archive "data.dat".  A missing archive just means everything
    // comes from the directory; one that is present but unreadable is noted
    // in archiveError().
    void init();

    // One line naming the archive and why the show cannot read it; empty
    // when the archive is fine or absent.
    const std::string& archiveError() const { return archiveError_; }

    // A new DataFile holding the whole file, or null when nobody has it.
    std::unique_ptr<DataFile> find(const char* name);

    // While names is set, every name find() hands a file out for is added to
    // it: the player learns which files the effects read, to check them
    // before it reloads.  Not owned.
    void noteNames(std::vector<std::string>* names) { notedNames_ = names; }

    // Closes the archive; find() afterwards only searches the directory.
    void release();

    const std::string& root() const { return root_; }
    const std::string& archiveName() const { return archiveName_; }

private:
    std::string root_;
    std::string archiveName_;         // relative to root_
    DataFile*   archive_ = nullptr;   // owned; the one archive record
    std::string archiveError_;        // set by init()
    std::vector<std::string>* notedNames_ = nullptr;
};
