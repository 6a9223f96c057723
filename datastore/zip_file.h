#pragma once
// Reading ZIP packages (program and data updates): the central directory is
// read once when the archive is opened; entries are then extracted one by one
// into a folder, flat (only the last part of each name is used).
//
// Failures raise ZipError, whose what() is exactly the message shown to the
// user ("Not a ZIP archive.", "Index out of range.", "Bad entry name.",
// "Unsupported entry.", "Wrong size.", "Wrong CRC."; for files that cannot be
// opened or created, the path and the system's error text).  Workers that
// unpack packages catch it.
//
// An extraction never leaves a partial file: the entry is written to a
// temporary file in the target folder and renamed over the target only when
// its size and CRC-32 are right.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/fs.h"

class FileSystemOps;

class ZipError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TZipFile {
public:
    struct Entry {
        std::string name; // as stored, "/" separators
        uint16_t versionMadeBy = 0;
        uint16_t flags = 0;
        uint16_t method = 0;
        uint32_t crc = 0;
        uint32_t compressedSize = 0;
        uint32_t size = 0;
        uint32_t externalAttributes = 0;
        uint32_t localHeaderOffset = 0;
        int64_t dataOffset = 0; // from the local header
    };

    // Opens and parses the archive (read-only, others may read).
    void Open(const std::string& path);
    int Count() const { return static_cast<int>(entries_.size()); }
    const std::string& Name(int i) const;
    const Entry& At(int i) const;
    // Extracts entry i into the folder; an entry whose name ends in "/" (a
    // folder) writes nothing.  Returns the path written, empty for a folder.
    // The file is written through `ops` (tests make it fail).
    std::string Extract(int i, const std::string& folder, FileSystemOps& ops) const;
    std::string Extract(int i, const std::string& folder) const;

private:
    ReadOnlyFile file_;
    std::string path_;
    std::vector<Entry> entries_;
};

void ZipOpen(TZipFile& zip, const std::string& path);
int ZipCount(const TZipFile& zip);
std::string ZipName(const TZipFile& zip, int i);
void ZipExtract(const TZipFile& zip, int i, const std::string& folder);
void ZipExtract(const TZipFile& zip, int i, const std::string& folder, FileSystemOps& ops);
