// Reader for the show's archive "data.dat": RAR 2.x archives with stored and
// compressed entries (method versions 13 to 20), solid or not, including the
// audio mode of the 2.0 compressor.  It only reads: no volumes, no comments,
// no recovery records, no encryption.
//
// Every entry point is safe on any input: damaged, truncated or hostile
// archives fail with a message (rarLastError) instead of handing out bytes
// whose checksum does not match.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One file header as the archive states it.
struct RarEntry {
    std::string name;           // as stored (backslashes and case untouched)
    uint32_t    packedSize;     // bytes of data following the header
    uint32_t    unpackedSize;   // bytes of content
    uint32_t    fileCrc;        // CRC-32 of the content
    uint8_t     unpackVersion;  // 13 to 20 can be read
    uint8_t     method;         // 0x30 stored, anything else compressed
    uint16_t    flags;          // 0x0004 encrypted, 0x0010 continues a solid stream
};

// Largest content handed out, in bytes; an entry claiming more is refused
// before anything is allocated.
constexpr uint32_t kRarMaxUnpackedSize = 512u << 20;

// Reads the file called name (compared case-blind, '/' '\\' and '_' alike)
// out of the archive at archivePath.  1 on success: *out is a block from
// malloc holding *outSize bytes, which the caller releases with free().
// 0 on failure: *out is null and *outSize 0, rarLastError() says why.
// password must be null or empty; encrypted entries are refused.
int rarGetFile(uint8_t** out, uint32_t* outSize, const char* name, const char* archivePath,
               const char* password);

// Takes a file's content in order as it is decoded, at most a megabyte at a
// time; false stops the extraction.
using RarSink = std::function<bool(const uint8_t* bytes, size_t size)>;

// rarGetFile without the block: the content goes to sink as it is decoded,
// so memory stays at the decoder's window whatever the file's size.  The CRC
// is known only at the end: after a 0 the bytes handed on so far are not the
// file.  *outSize is the content's size on success.
int rarExtractFile(const char* name, const char* archivePath, const RarSink& sink, uint32_t* outSize);

// The same as rarGetFile from an archive already in memory; label names it in messages.
int rarGetFileFromMemory(uint8_t** out, uint32_t* outSize, const char* name, const uint8_t* archive,
                         size_t archiveSize, const char* label);

// One line naming the archive, the entry (when there is one) and the
// problem of the last failed call; empty after a success.
const char* rarLastError();

// Every file header of the archive, in order.  False (with error set) when
// the archive cannot be read; entries then holds those read before the fault.
bool rarListEntries(const char* archivePath, std::vector<RarEntry>& entries, std::string& error);
bool rarListEntriesFromMemory(const uint8_t* archive, size_t archiveSize, const char* label,
                              std::vector<RarEntry>& entries, std::string& error);

// True when the bytes start with the archive marker (used to tell a damaged
// or foreign "data.dat" from one we can read).
bool rarHasMarker(const uint8_t* bytes, size_t size);
